#include "sax/callback_reporter.hpp"

#include "sax/diagnostic.hpp"

#include <limits>

#include <xercesc/sax/SAXParseException.hpp>

namespace zel::sax {

namespace {

int32_t narrow(XMLFileLoc position) {
    constexpr auto kMax = static_cast<XMLFileLoc>(std::numeric_limits<int32_t>::max());
    return static_cast<int32_t>(position > kMax ? kMax : position);
}

}  // namespace

CallbackReporter::CallbackReporter(const XMLParseCallbacks* callbacks) {
    if (callbacks == nullptr) return;
    error_callback_ = callbacks->errorCallback;
    user_data_ = callbacks->userData;
}

void CallbackReporter::fatalError(const xercesc::SAXParseException& exc) {
    fatal_error_seen_ = true;
    report(exc, 7);
}

void CallbackReporter::report(const xercesc::SAXParseException& exc, int32_t severity) {
    if (before_report_) before_report_();
    if (error_callback_ == nullptr) return;
    const XMLCh* public_id = exc.getPublicId();
    const char* converted = public_id != nullptr ? public_id_.convert(public_id) : nullptr;
    CurrentDiagnostic message(message_.convert(exc.getMessage()));
    error_callback_(narrow(exc.getLineNumber()), narrow(exc.getColumnNumber()), converted, severity, user_data_);
}

}  // namespace zel::sax
