#include "io/read/errors.hpp"

#include <cstdio>

#include <xercesc/sax/SAXParseException.hpp>

namespace zel::read {

// The texts are the library's fixed diagnostics; the spacing differs on purpose between them.
void XMLReadErrorHandler::warning(const xercesc::SAXParseException& exc) {
    print("\nWarning at file %s, line %d, char %d \n  Message: %s", exc);
}

void XMLReadErrorHandler::error(const xercesc::SAXParseException& exc) {
    sawErrors_ = true;
    print("\nError at file %s , line %d, char %d, \n Message %s", exc);
}

void XMLReadErrorHandler::fatalError(const xercesc::SAXParseException& exc) {
    sawErrors_ = true;
    print("\nFatal Error at file %s, line %d, char %d\n  Message: %s", exc);
}

// Never throws: the parser decides by its own rules whether to go on.
void XMLReadErrorHandler::print(const char* format, const xercesc::SAXParseException& exc) {
    try {
        const char* system_id = systemId_.convert(exc.getSystemId());
        const char* message = message_.convert(exc.getMessage());
        std::fprintf(stderr, format, system_id, static_cast<int>(exc.getLineNumber()),
                     static_cast<int>(exc.getColumnNumber()), message);
    } catch (...) {
        // Out of memory while converting: the diagnostic is lost, the result still says 5.
    }
}

}  // namespace zel::read
