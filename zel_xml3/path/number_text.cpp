// Number text for XPath: shortest round-trip digits laid out in plain decimal notation.
#include "path/number_text.hpp"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace zel::path {

std::string number_to_string(double value) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value > 0 ? "Infinity" : "-Infinity";
    if (value == 0) return "0";
    // The shortest digits that read back as `value`, as d.ddde±x, then placed by the exponent.
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    (void)ec;  // 64 bytes always hold a double's shortest form
    std::string_view text(buffer, static_cast<std::size_t>(end - buffer));
    const bool negative = text.front() == '-';
    if (negative) text.remove_prefix(1);
    const std::size_t e = text.find('e');
    std::string digits;
    for (char c : text.substr(0, e))
        if (c != '.') digits += c;
    int exponent = 0;
    std::string_view exp_text = text.substr(e + 1);
    if (exp_text.front() == '+') exp_text.remove_prefix(1);
    std::from_chars(exp_text.data(), exp_text.data() + exp_text.size(), exponent);
    std::string out = negative ? "-" : "";
    const int point = exponent + 1;  // digits before the decimal point
    if (point <= 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-point), '0');
        out += digits;
    } else if (static_cast<std::size_t>(point) >= digits.size()) {
        out += digits;
        out.append(static_cast<std::size_t>(point) - digits.size(), '0');
    } else {
        out += digits.substr(0, static_cast<std::size_t>(point));
        out += '.';
        out += digits.substr(static_cast<std::size_t>(point));
    }
    return out;
}

double string_to_number(std::string_view text) {
    auto space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (!text.empty() && space(text.front())) text.remove_prefix(1);
    while (!text.empty() && space(text.back())) text.remove_suffix(1);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::size_t i = 0;
    if (i < text.size() && text[i] == '-') ++i;
    std::size_t digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
    }
    if (digits == 0 || i != text.size()) return nan;
    // from_chars takes neither "5." nor ".5" as a whole number everywhere; give it digits on
    // both sides of the point.
    std::string normal(text);
    if (normal.back() == '.') normal += '0';
    std::size_t dot = normal.find('.');
    if (dot != std::string::npos && (dot == 0 || normal[dot - 1] == '-')) normal.insert(dot, "0");
    double value = nan;
    auto result = std::from_chars(normal.data(), normal.data() + normal.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // Too many digits for a double: infinite when there are whole digits, else zero.
        const bool negative = normal.front() == '-';
        const bool whole = normal.find_first_not_of("-0") < normal.find('.');
        value = whole ? std::numeric_limits<double>::infinity() : 0.0;
        if (negative) value = -value;
    }
    return value;
}

}  // namespace zel::path
