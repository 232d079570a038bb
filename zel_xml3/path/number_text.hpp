// XPath's conversions between numbers and strings, independent of the process locale.
#pragma once

#include <string>
#include <string_view>

namespace zel::path {

// string(number): NaN, Infinity, -Infinity; integers without a decimal point ("0" for both
// zeros); otherwise the shortest decimal that reads back as the same double, never with an
// exponent.
std::string number_to_string(double value);

// number(string): optional white space, an optional '-', digits with an optional '.' (or a
// '.' and digits), optional white space; anything else is NaN.
double string_to_number(std::string_view text);

}  // namespace zel::path
