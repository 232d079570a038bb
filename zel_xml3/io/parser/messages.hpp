// Every fixed text the library prints or reports, in one place. A read or write names its
// input or output (its label) by file name, or by file descriptor when it writes to a
// caller's stream.
// Each printer goes to the standard error stream and never throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include <xercesc/dom/DOMError.hpp>
#include <xercesc/util/XMLException.hpp>

namespace zel::parser {

// A parser-library exception that ended a read or write of `label`.
void print_xml_exception(const char* label, const xercesc::XMLException& exc);
// Any other exception that ended a read or write of `label`.
void print_unexpected(const char* label);
// A read or write of `label` called while the parser library is not started.
void print_not_started(const char* label);

// The document reader's lines: a DOM exception, the closing line after parser errors, the
// summary of a complete read, and one diagnostic of the parser.
void print_dom_exception(const char* fileName, int code);
void print_read_errors_summary();
void print_read_summary(int32_t elements, int32_t nodes);
enum class Severity { warning, error, fatal_error };
void print_read_diagnostic(Severity severity, const char* systemId, int line, int column, const char* message);

// The serialiser's lines: one reported problem under its severity heading (through the C++
// error stream, flushed each line), and an output or encoding that cannot be used.
void print_write_problem(xercesc::DOMError::ErrorSeverity severity, const char* message);
void print_output_failure(const char* message);
// The serialiser's text for a value holding a character XML does not allow ("" when there
// is no memory for it).
std::string invalid_character_message();

// The warning for a remote DTD or entity that is read as empty; the system identifier follows.
constexpr char16_t kRemoteNotFetched[] = u"remote DTD or entity not fetched: ";
// The warning for a local DTD or entity that cannot be opened (missing, a folder, not
// readable) and is read as empty; the system identifier follows.
constexpr char16_t kLocalNotFound[] = u"local DTD or entity not found: ";

// The event-driven readers' diagnostic for an element name of `length` bytes that no record
// can hold: names the element by its first bytes, cut at a character boundary.
std::string name_too_long_message(const char* name, std::size_t length);

}  // namespace zel::parser
