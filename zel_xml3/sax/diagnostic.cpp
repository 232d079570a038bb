#include "sax/diagnostic.hpp"

#include "zel_xml3.h"

namespace zel::sax {

namespace {
// One per thread: a diagnostic is visible only to the thread whose callback receives it.
thread_local const char* current_message = nullptr;
}  // namespace

CurrentDiagnostic::CurrentDiagnostic(const char* message) : previous_(current_message) {
    current_message = message;
}

CurrentDiagnostic::~CurrentDiagnostic() { current_message = previous_; }

}  // namespace zel::sax

extern "C" ZEL_XML_API const char* XMLGetDiagnosticMessage(void) { return zel::sax::current_message; }
