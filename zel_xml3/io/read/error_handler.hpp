// The document reader's error handler, which relays the parser's diagnostics to the standard
// error stream and remembers whether any of them was an error, and the rules that turn a
// read's exceptions and errors into its result.
#pragma once

#include "io/parser/messages.hpp"
#include "text/utf.hpp"

#include "zel_xml3.h"

#include <xercesc/dom/DOMException.hpp>
#include <xercesc/sax/ErrorHandler.hpp>
#include <xercesc/util/XMLException.hpp>

namespace zel::read {

class XMLReadErrorHandler : public xercesc::ErrorHandler {
public:
    void warning(const xercesc::SAXParseException& exc) override;
    void error(const xercesc::SAXParseException& exc) override;
    void fatalError(const xercesc::SAXParseException& exc) override;
    void resetErrors() override { sawErrors_ = false; }

    // True once an error or a fatal error has been reported since the last reset.
    bool sawErrors() const { return sawErrors_; }

private:
    void print(parser::Severity severity, const xercesc::SAXParseException& exc);

    bool sawErrors_ = false;
    text::Utf8Buffer systemId_;
    text::Utf8Buffer message_;
};

// Runs one read as XMLRead runs it: `body` parses and returns the result; an exception ends
// the read with 4 and its line on stderr; when the parser reported errors through `handler`,
// the closing line follows and the result is 5.
template <typename Body>
ZEL_XML_RESULT run_read(const char* fileName, const XMLReadErrorHandler& handler, Body body) {
    ZEL_XML_RESULT result = ZEL_XML_EXCEPTION;
    try {
        result = body();
    } catch (const xercesc::XMLException& exc) {
        parser::print_xml_exception(fileName, exc);
    } catch (const xercesc::DOMException& exc) {
        parser::print_dom_exception(fileName, static_cast<int>(exc.code));
    } catch (...) {
        parser::print_unexpected(fileName);
    }
    if (handler.sawErrors()) {
        parser::print_read_errors_summary();
        result = ZEL_XML_ERROR;
    }
    return result;
}

}  // namespace zel::read
