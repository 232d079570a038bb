#include "sax/callback_reporter.hpp"

#include "sax/diagnostic.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include <xercesc/sax/SAXParseException.hpp>

namespace zel::sax {

namespace {

int32_t narrow(XMLFileLoc position) {
    constexpr auto kMax = static_cast<XMLFileLoc>(std::numeric_limits<int32_t>::max());
    return static_cast<int32_t>(position > kMax ? kMax : position);
}

// Where a decoding error really is: the first byte that is not UTF-8 (for "invalid byte"
// messages) or the first byte of the value a single-byte decoder refused ("char 0x.. is not
// representable"), as line and column counted in characters from 1. False when the message
// is another one or no such byte is found.
struct BadByte {
    int32_t line = 1;
    int32_t column = 1;
    unsigned char value = 0;
};

bool locate_bad_byte(const unsigned char* bytes, std::size_t length, const std::string& message, BadByte& at) {
    const bool utf8 = message.compare(0, 12, "invalid byte") == 0;
    const bool ascii = message.compare(0, 7, "char 0x") == 0 && message.find("not representable") != std::string::npos;
    if (bytes == nullptr || (!utf8 && !ascii)) return false;
    if (length >= 2 && (bytes[0] == 0xFE || bytes[0] == 0xFF || bytes[0] == 0 || bytes[1] == 0)) return false;
    const unsigned long refused = ascii ? std::strtoul(message.c_str() + 7, nullptr, 16) : 0;
    for (std::size_t i = 0; i < length;) {
        unsigned char lead = bytes[i];
        std::size_t len = lead < 0x80 ? 1 : lead >= 0xC2 && lead < 0xE0 ? 2 : lead >= 0xE0 && lead < 0xF0 ? 3
                                      : lead >= 0xF0 && lead < 0xF5 ? 4 : 0;
        if (ascii) len = lead == refused ? 0 : 1;
        for (std::size_t k = 1; k < len; ++k)
            if (i + k >= length || (bytes[i + k] & 0xC0) != 0x80) len = 0;
        if (len == 0) {
            at.value = lead;
            return true;
        }
        if (lead == '\n') {
            ++at.line;
            at.column = 1;
        } else {
            ++at.column;
        }
        i += len;
    }
    return false;
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
    const char* text = message_.convert(exc.getMessage());
    int32_t line = narrow(exc.getLineNumber());
    int32_t column = narrow(exc.getColumnNumber());
    BadByte bad;
    if (severity == 7 && locate_bad_byte(input_, input_length_, text, bad)) {
        char value[8];
        std::snprintf(value, sizeof value, "0x%02X", bad.value);
        located_ = std::string(text).compare(0, 12, "invalid byte") == 0
                       ? std::string("invalid byte ") + value + ", not UTF-8"
                       : std::string("byte ") + value + " is not representable in the document's encoding";
        text = located_.c_str();
        line = bad.line;
        column = bad.column;
    }
    CurrentDiagnostic message(text);
    error_callback_(line, column, converted, severity, user_data_);
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
