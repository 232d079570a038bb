#include "io/parser/last_error.hpp"

#include "zel_xml3.h"

namespace zel::parser {

namespace {

thread_local std::string last_error;
thread_local const char* last_error_text = "";

}  // namespace

void set_last_error(const char* message) noexcept {
    try {
        last_error = message;
        last_error_text = last_error.c_str();
    } catch (...) {
        last_error_text = "out of memory";
    }
}

void set_last_error(const std::string& message) noexcept { set_last_error(message.c_str()); }

}  // namespace zel::parser

extern "C" ZEL_XML_API const char* XMLGetLastError(void) { return zel::parser::last_error_text; }
