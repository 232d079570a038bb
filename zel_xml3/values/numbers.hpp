// The one number formatter: the text stored for integer and double values.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zel::values {

// The text of one number, NUL-terminated in a fixed 256-byte scratch buffer.
// Integers: the "%d" form. Doubles: the "%g" form at six significant digits, a full stop as
// decimal separator whatever the process locale, and an exponent of a sign and at least
// three digits (1e+006, 1e-005, -1.5e+300); non-finite doubles are "INF", "-INF" and "NaN".
// No text is longer than 13 bytes, so every number fits the buffer (checked at compile time).
class NumberText {
public:
    static constexpr std::size_t kScratchSize = 256;

    explicit NumberText(int32_t value) noexcept;
    explicit NumberText(double value) noexcept;

    const char* data() const noexcept { return text_; }
    std::size_t size() const noexcept { return length_; }

private:
    char text_[kScratchSize];
    std::size_t length_;
};

}  // namespace zel::values
