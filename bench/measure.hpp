// Memory figures for the benchmark report: bytes the records take, and each reader's peak.
#pragma once

#include <string>

namespace zelbench {

// Prints record bytes per input byte and the peak resident memory that each reader adds.
void print_memory(const std::string& label, const std::string& document, const std::string& path);

}  // namespace zelbench
