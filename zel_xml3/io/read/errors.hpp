// The document reader's error handler: relays the parser's diagnostics to the standard error
// stream and remembers whether any of them was an error.
#pragma once

#include "io/parser/messages.hpp"
#include "text/utf.hpp"

#include <xercesc/sax/ErrorHandler.hpp>

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

}  // namespace zel::read
