#include "io/parser/last_error.hpp"

#include "io/parser/lifecycle.hpp"
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

bool begin_call(bool has_arguments, const char* missing) noexcept {
    if (!has_arguments) {
        set_last_error(missing);
        return false;
    }
    if (!library_started()) {
        set_last_error("the parser library is not started; call XMLInit first");
        return false;
    }
    clear_last_error();
    return true;
}

}  // namespace zel::parser

extern "C" ZEL_XML_API const char* XMLGetLastError(void) { return zel::parser::last_error_text; }
