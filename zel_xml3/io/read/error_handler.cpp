#include "io/read/error_handler.hpp"

#include "io/parser/messages.hpp"

#include <xercesc/sax/SAXParseException.hpp>

namespace zel::read {

void XMLReadErrorHandler::warning(const xercesc::SAXParseException& exc) { print(parser::Severity::warning, exc); }

void XMLReadErrorHandler::error(const xercesc::SAXParseException& exc) {
    sawErrors_ = true;
    print(parser::Severity::error, exc);
}

void XMLReadErrorHandler::fatalError(const xercesc::SAXParseException& exc) {
    sawErrors_ = true;
    print(parser::Severity::fatal_error, exc);
}

// Never throws: the parser decides by its own rules whether to go on.
void XMLReadErrorHandler::print(parser::Severity severity, const xercesc::SAXParseException& exc) {
    try {
        const char* system_id = systemId_.convert(exc.getSystemId());
        const char* message = message_.convert(exc.getMessage());
        parser::print_read_diagnostic(severity, system_id, static_cast<int>(exc.getLineNumber()),
                                      static_cast<int>(exc.getColumnNumber()), message);
    } catch (...) {
        // Out of memory while converting: the diagnostic is lost, the result still says 5.
    }
}

}  // namespace zel::read
