// The reference reader: XMLRead as it was over the parser library's document object model,
// with the blank-text rule applied per run, and a comparison of XMLRead with it. Shared by
// the tests and the fuzz targets; links the library's objects.
#pragma once

#include "zel_xml3.h"

#include <cstdint>
#include <string>

namespace oracle {

// What one read gave: result, element count (-1 when not stored), everything printed to the
// standard error stream and the records, dumped exactly.
struct ReadResult {
    ZEL_XML_RESULT result = 0;
    int32_t count = -1;
    std::string messages;
    std::string records;
    bool records_budget_ran_out = false;  // only the reference reader tells
};

// XMLRead's reference: same arguments and results. `*records_budget_ran_out` says whether the
// read ended in the records' memory budget.
ZEL_XML_RESULT dom_read(const char* fileName, XMLNode* root, int32_t* elementCount, bool* records_budget_ran_out);

// Every field of every record below and including `root`, attributes in order with their type
// codes, children in order; iterative.
std::string dump_records(const XMLNode* root);

// Reads `path` with XMLRead (library == true) or the reference into a root that already holds
// `preset` (see make_preset_root), capturing the standard error stream.
ReadResult read_with(bool library, const char* path, bool preset);

// "" when XMLRead and the reference agree on `path` (result, count, messages, records; the
// records are not compared when the reference ran out of its records' budget), else a
// description of the first difference. Both read into a root that already holds content when
// `preset`.
std::string differences(const char* path, bool preset = false);

}  // namespace oracle
