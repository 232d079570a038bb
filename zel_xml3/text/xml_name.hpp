// The library's one test of XML 1.0 names: for the writers, which refuse a record they could
// not write as a name, and for the functions that name records.
#pragma once

#include "text/utf.hpp"

#include <cstddef>

namespace zel::text {

// True when `name` (`len` bytes) is an XML 1.0 name, tested as the parser library's DOM tests
// names; `scratch` is conversion space for names that are not all ASCII. Bytes that are not
// UTF-8 are never a name. Throws std::bad_alloc when the scratch space cannot grow.
bool is_xml_name(const char* name, std::size_t len, Utf16Buffer& scratch);

// The same for a terminated name, with scratch space of its own.
bool is_xml_name(const char* name);

}  // namespace zel::text
