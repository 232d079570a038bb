// An error handler that passes the parser's diagnostics to a host's XMLParseCallbacks and
// prints nothing: for the readers that never print.
#pragma once

#include "text/utf.hpp"
#include "zel_xml3.h"

#include <functional>

#include <xercesc/sax/ErrorHandler.hpp>

namespace zel::sax {

class CallbackReporter : public xercesc::ErrorHandler {
public:
    // `callbacks` may be null: diagnostics are dropped. Only errorCallback and userData are used.
    explicit CallbackReporter(const XMLParseCallbacks* callbacks);

    // Runs before each report, so that the host sees the tree as far as it was read.
    void before_report(std::function<void()> action) { before_report_ = std::move(action); }
    bool saw_fatal_error() const { return fatal_error_seen_; }

    void warning(const xercesc::SAXParseException& exc) override { report(exc, 6); }
    void error(const xercesc::SAXParseException& exc) override { report(exc, 5); }
    void fatalError(const xercesc::SAXParseException& exc) override;
    void resetErrors() override {}

private:
    void report(const xercesc::SAXParseException& exc, int32_t severity);

    XMLErrorCallback error_callback_ = nullptr;
    void* user_data_ = nullptr;
    std::function<void()> before_report_;
    bool fatal_error_seen_ = false;
    text::Utf8Buffer public_id_;
    text::Utf8Buffer message_;
};

}  // namespace zel::sax
