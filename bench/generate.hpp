// Deterministic test documents for the benchmarks: the same bytes on every run.
#pragma once

#include <cstddef>
#include <string>

namespace zelbench {

enum class Kind {
    Records,  // many small indented elements with attributes and short text
    Text,     // long paragraphs of mixed content
};

// A document of about `bytes` bytes (never less), UTF-8, with an XML declaration.
std::string generate(Kind kind, std::size_t bytes);

const char* kind_name(Kind kind);

}  // namespace zelbench
