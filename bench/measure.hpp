// Memory figures for the benchmark report: bytes the records take, and each reader's peak.
#pragma once

#include <string>

namespace zelbench {

// Prints record bytes per input byte and the peak resident memory that each reader adds.
void print_memory(const std::string& label, const std::string& document, const std::string& path);

// Reads the document with `reader` (XMLRead from `path`, or SAX_XMLMemRead from `document`),
// writes the tree with XMLWrite in UTF-8 to a new file at `out`, and prints how much the write
// raised the process's peak resident memory (VmHWM), against `target_mb`. Meaningful only in
// a process that has done nothing else. False when the read or the write failed.
bool print_write_peak(const std::string& label, const std::string& document, const std::string& path,
                      const std::string& out, const std::string& reader, double target_mb);

}  // namespace zelbench
