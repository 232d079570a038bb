// Version strings of the library and of the parser library under it.
#include "zel_xml3.h"

#include <xercesc/util/XercesVersion.hpp>

#define ZEL_XML_STRINGIFY_(x) #x
#define ZEL_XML_STRINGIFY(x) ZEL_XML_STRINGIFY_(x)

extern "C" {

ZEL_XML_API const char* XMLGetVersion(void) {
    return ZEL_XML_STRINGIFY(ZEL_XML_VERSION_MAJOR) "." ZEL_XML_STRINGIFY(ZEL_XML_VERSION_MINOR) "." ZEL_XML_STRINGIFY(
        ZEL_XML_VERSION_PATCH);
}

// The parser library publishes its version only as macros, so this is the version of the
// headers the library was built with; the shared object it loads carries the same major and
// minor version in its name (libxerces-c-3.2.so), so only the patch level could differ.
ZEL_XML_API const char* XMLGetParserVersion(void) { return XERCES_FULLVERSIONDOT; }

}  // extern "C"
