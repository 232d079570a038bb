// An error handler that passes the parser's diagnostics to a host's XMLParseCallbacks and
// prints nothing: for the readers that never print.
#pragma once

#include "text/utf.hpp"
#include "zel_xml3.h"

#include <cstdint>
#include <functional>
#include <string>

#include <xercesc/sax/ErrorHandler.hpp>

namespace zel::sax {

class CallbackReporter : public xercesc::ErrorHandler {
public:
    // `callbacks` may be null: diagnostics are dropped. Only errorCallback and userData are used.
    explicit CallbackReporter(const XMLParseCallbacks* callbacks);

    // Runs before each report, so that the host sees the tree as far as it was read.
    void before_report(std::function<void()> action) { before_report_ = std::move(action); }
    bool saw_fatal_error() const { return fatal_error_seen_; }
    // The document's bytes, for a decoding error: the parser reports it where its reader
    // stands, which is ahead of the bad byte by up to a buffer; the bytes tell the byte's own
    // line, column and value.
    void take_input(const void* bytes, std::size_t length) {
        input_ = static_cast<const unsigned char*>(bytes);
        input_length_ = length;
    }

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
    const unsigned char* input_ = nullptr;
    std::size_t input_length_ = 0;
    std::string located_;  // the message of a decoding error placed at its byte
    text::Utf8Buffer public_id_;
    text::Utf8Buffer message_;
};

// Progress reports to a host's XMLParseCallbacks: an estimate of the share read, measured
// against `input_size`, at the end of each element (or only of those named filterName when
// filterMode is 1), and 100 at the end of the document.
class ProgressReporter {
public:
    ProgressReporter(const XMLParseCallbacks* callbacks, std::uint64_t input_size);

    void advance(std::uint64_t units) { estimate_ += units; }
    bool wanted() const { return callback_ != nullptr && total_ != 0; }
    // At the end of the element named `name`, with `records` made so far.
    void element_end(const char* name, int32_t records);
    void document_end(int32_t records) {
        if (callback_ != nullptr) callback_(100.0, records, user_data_);
    }

private:
    XMLProgressCallback callback_ = nullptr;
    void* user_data_ = nullptr;
    bool filtered_ = false;
    char filter_name_[32] = {};
    std::uint64_t total_ = 0;
    std::uint64_t estimate_ = 0;
};

}  // namespace zel::sax
