// Why the last call of the silent entry points failed, per thread (XMLGetLastError).
#pragma once

#include <string>

namespace zel::parser {

// Sets the calling thread's last error; "" marks a success. Never throws: without memory for
// the message the error becomes "out of memory".
void set_last_error(const std::string& message) noexcept;
void set_last_error(const char* message) noexcept;
inline void clear_last_error() noexcept { set_last_error(""); }

// The opening of every silent entry point: false, with the reason as the last error, when an
// argument is missing (`has_arguments` false: `missing` says which) or the parser library is
// not started; else the last error is cleared and the call may go on.
bool begin_call(bool has_arguments, const char* missing) noexcept;

}  // namespace zel::parser
