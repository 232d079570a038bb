#include "text/xml_name.hpp"

#include <cstring>

#include <xercesc/util/XMLChar.hpp>

namespace zel::text {

bool is_xml_name(const char* name, std::size_t len, Utf16Buffer& scratch) {
    using xercesc::XMLChar1_0;
    std::size_t i = 0;
    while (i < len && static_cast<unsigned char>(name[i]) < 0x80) ++i;
    if (i == len) {  // ASCII: tested byte by byte, no conversion
        if (len == 0 || !XMLChar1_0::isFirstNameChar(static_cast<unsigned char>(name[0]))) return false;
        for (i = 1; i < len; ++i)
            if (!XMLChar1_0::isNameChar(static_cast<unsigned char>(name[i]))) return false;
        return true;
    }
    const char16_t* units = scratch.convert(name, len);
    return !scratch.malformed() && XMLChar1_0::isValidName(units);
}

bool is_xml_name(const char* name) {
    Utf16Buffer scratch;
    return is_xml_name(name, std::strlen(name), scratch);
}

}  // namespace zel::text
