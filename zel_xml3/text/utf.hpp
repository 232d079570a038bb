// The library's one UTF-16 <-> UTF-8 converter, used wherever text crosses between the
// parser library (UTF-16) and the records (UTF-8). Lossless for valid input; an unpaired
// surrogate or a malformed UTF-8 sequence becomes U+FFFD. Never allocates per call: the
// buffers below keep and reuse their storage.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zel::text {

// Worst case: one UTF-16 unit gives at most 3 UTF-8 bytes (a surrogate pair, two units, 4).
constexpr std::size_t utf8_capacity_for(std::size_t utf16_units) { return 3 * utf16_units + 1; }
// Worst case: one UTF-8 byte gives at most one UTF-16 unit.
constexpr std::size_t utf16_capacity_for(std::size_t utf8_bytes) { return utf8_bytes + 1; }

// Converts `len` UTF-16 units into `out`, which holds at least utf8_capacity_for(len) bytes.
// Writes a terminator and returns the number of bytes before it.
std::size_t utf16_to_utf8(const char16_t* in, std::size_t len, char* out);

// Converts `len` UTF-8 bytes into `out`, which holds at least utf16_capacity_for(len) units.
// Writes a terminating zero unit and returns the number of units before it. Sets *malformed
// (when given) if some bytes were not UTF-8 and became U+FFFD.
std::size_t utf8_to_utf16(const char* in, std::size_t len, char16_t* out, bool* malformed = nullptr);

// Decodes the sequence at `at`, which must be well-formed UTF-8, into *code_point; returns
// its length in bytes.
inline std::size_t decode_utf8(const unsigned char* at, char32_t* code_point) {
    unsigned char lead = at[0];
    if (lead < 0x80) {
        *code_point = lead;
        return 1;
    }
    std::size_t len = lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    char32_t cp = lead & (0x7F >> len);
    for (std::size_t i = 1; i < len; ++i) cp = (cp << 6) | (at[i] & 0x3F);
    *code_point = cp;
    return len;
}

// Length of a zero-terminated UTF-16 string, in units (char16_t, or uint16_t at the C API).
template <typename Unit>
std::size_t utf16_length(const Unit* text) {
    const Unit* end = text;
    while (*end != 0) ++end;
    return static_cast<std::size_t>(end - text);
}

// Reusable UTF-8 scratch space: convert() returns a terminated string valid until the next
// call. Throws std::bad_alloc when it cannot grow.
class Utf8Buffer {
public:
    const char* convert(const char16_t* text, std::size_t len);
    const char* convert(const char16_t* text) { return convert(text, text ? utf16_length(text) : 0); }
    std::size_t size() const { return size_; }

private:
    std::vector<char> bytes_;
    std::size_t size_ = 0;
};

// Reusable UTF-16 scratch space, the other way round.
class Utf16Buffer {
public:
    const char16_t* convert(const char* text, std::size_t len);
    const char16_t* convert(const char* text);
    std::size_t size() const { return size_; }
    // True when the last conversion met bytes that are not UTF-8 (they became U+FFFD).
    bool malformed() const { return malformed_; }

private:
    std::vector<char16_t> units_;
    std::size_t size_ = 0;
    bool malformed_ = false;
};

}  // namespace zel::text
