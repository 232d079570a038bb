// What the tool says.
#include "cli.hpp"

namespace zelxml {

int fail(int code, const std::string& message) {
    std::fprintf(stderr, "zelxml: %s\n", message.c_str());
    return code;
}

void note(bool quiet, const std::string& message) {
    if (!quiet) std::fprintf(stderr, "note: %s\n", message.c_str());
}

std::string about(const std::string& name, const std::string& message) {
    if (message.compare(0, name.size(), name) == 0 && message.compare(name.size(), 2, ": ") == 0) return message;
    return name + ": " + message;
}

std::size_t utf8_cut(const char* text, std::size_t length, std::size_t max_bytes) {
    if (length <= max_bytes) return length;
    std::size_t cut = max_bytes;
    // Back over continuation bytes (10xxxxxx) to the start of the character that crosses.
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    return cut;
}

}  // namespace zelxml
