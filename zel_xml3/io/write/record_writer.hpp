// The writer of XMLWriteFile and XMLWriteToSink: every record type, in record order, with
// nothing added, and every part of a tree read whole that the host did not change given back
// as it was read.
#pragma once

#include "io/source/source_text.hpp"
#include "io/write/encoder.hpp"

#include "zel_xml3.h"

#include <string>

namespace zel::write {

// Thrown for a record that cannot be written; `message` says which and why.
struct WriteRefused {
    std::string message;
};

struct RecordLayout {
    const source::SourceText* source = nullptr;  // null: every part in its default form
    bool indent = false;                         // indent element-only content
    bool crlf = false;                           // default forms end lines with CR LF
    bool byte_order_mark = false;                // start with U+FEFF in the output encoding
    std::string leading_bytes;                   // or with these bytes, written as they are
    std::string encoding;                        // the output encoding's name, for a declaration
};

// Writes `root` through `out`. A document record (type 11) writes its declaration and its
// children; any other root is written after a declaration as its document element.
// Throws WriteRefused, or what the encoder's sink throws.
void write_records(const XMLNode* root, const RecordLayout& layout, Encoder& out);

}  // namespace zel::write
