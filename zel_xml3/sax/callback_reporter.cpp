#include "sax/callback_reporter.hpp"

#include "sax/diagnostic.hpp"

#include <cstring>
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

ProgressReporter::ProgressReporter(const XMLParseCallbacks* callbacks, std::uint64_t input_size)
    : total_(input_size) {
    if (callbacks == nullptr) return;
    callback_ = callbacks->progressCallback;
    user_data_ = callbacks->userData;
    filtered_ = callbacks->filterMode == 1;
    // The host's buffer need not be terminated: at most 31 bytes are taken.
    for (std::size_t i = 0; filtered_ && i + 1 < sizeof filter_name_ && callbacks->filterName[i] != '\0'; ++i)
        filter_name_[i] = callbacks->filterName[i];
}

void ProgressReporter::element_end(const char* name, int32_t records) {
    if (!wanted() || (filtered_ && std::strcmp(name, filter_name_) != 0)) return;
    callback_(static_cast<double>(estimate_) / static_cast<double>(total_) * 100.0, records, user_data_);
}

}  // namespace zel::sax
