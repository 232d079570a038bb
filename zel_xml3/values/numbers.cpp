// Number text built on std::to_chars, which never consults the locale.
#include "values/numbers.hpp"

#include <cassert>
#include <charconv>
#include <cmath>
#include <cstring>
#include <system_error>

namespace zel::values {

namespace {

constexpr int kSignificantDigits = 6;
constexpr std::size_t kMinExponentDigits = 3;

// The longest texts: "-2147483648", and a sign, six digits, a point and a four-character
// exponent, as in "-1.23457e-308" (no finite double has a wider exponent).
constexpr std::size_t kLongestInteger = 11;
constexpr std::size_t kLongestDouble = 1 + kSignificantDigits + 1 + 1 + 1 + kMinExponentDigits;
static_assert(kLongestInteger < NumberText::kScratchSize && kLongestDouble < NumberText::kScratchSize,
              "every number text and its terminator fit the scratch buffer");

// Pads the exponent digits of "%g" text to three: "1e+06" becomes "1e+006". The caller
// leaves room for the padding. Returns the new length.
std::size_t widen_exponent(char* text, std::size_t length) {
    auto* e = static_cast<char*>(std::memchr(text, 'e', length));
    if (e == nullptr) return length;
    char* digits = e + 2;  // past 'e' and the sign
    auto have = static_cast<std::size_t>(text + length - digits);
    if (have >= kMinExponentDigits) return length;
    std::size_t pad = kMinExponentDigits - have;
    std::memmove(digits + pad, digits, have);
    std::memset(digits, '0', pad);
    return length + pad;
}

// Stores `text` (a literal that fits) with its terminator.
std::size_t copy_literal(char* out, const char* text) {
    std::size_t length = std::strlen(text);
    std::memcpy(out, text, length + 1);
    return length;
}

}  // namespace

NumberText::NumberText(int32_t value) noexcept {
    std::to_chars_result r = std::to_chars(text_, text_ + kScratchSize - 1, value);
    assert(r.ec == std::errc{});
    *r.ptr = '\0';
    length_ = static_cast<std::size_t>(r.ptr - text_);
}

NumberText::NumberText(double value) noexcept {
    if (std::isnan(value)) {
        length_ = copy_literal(text_, "NaN");
    } else if (std::isinf(value)) {
        length_ = copy_literal(text_, value < 0 ? "-INF" : "INF");
    } else {
        // Room is kept for the exponent padding and the terminator.
        std::to_chars_result r = std::to_chars(text_, text_ + kScratchSize - 1 - kMinExponentDigits, value,
                                               std::chars_format::general, kSignificantDigits);
        assert(r.ec == std::errc{});
        length_ = widen_exponent(text_, static_cast<std::size_t>(r.ptr - text_));
        text_[length_] = '\0';
    }
}

}  // namespace zel::values
