#include "io/parser/messages.hpp"

#include "text/utf.hpp"

#include <cstdio>
#include <iostream>

#include <xercesc/dom/DOMException.hpp>
#include <xercesc/dom/DOMImplementation.hpp>

namespace zel::parser {

namespace {

// The exception's message in UTF-8, or "" when there is no memory to convert it.
const char* message_of(const xercesc::XMLException& exc, text::Utf8Buffer& buffer) {
    try {
        return buffer.convert(exc.getMessage());
    } catch (...) {
        return "";
    }
}

// Longest part of a name a diagnostic quotes: what a record could have held.
constexpr std::size_t kQuotedNameBytes = 31;

}  // namespace

void print_xml_exception(const char* label, const xercesc::XMLException& exc) {
    text::Utf8Buffer buffer;
    std::fprintf(stderr, "\nError during parsing: %s Exception message is: %s", label, message_of(exc, buffer));
}

void print_unexpected(const char* label) { std::fprintf(stderr, "\nUnexpected exception during parsing: %s\n", label); }

void print_not_started(const char* label) {
    std::fprintf(stderr, "\nError during parsing: %s Exception message is: the parser library is not started; call XMLInit first\n",
                 label);
}

void print_dom_exception(const char* fileName, int code) {
    std::fprintf(stderr, "\nDOM Error during parsing: %s DOMException code is:  %d\n", fileName, code);
}

void print_read_errors_summary() { std::fputs("\nErrors occured, no output available\n", stderr); }

void print_read_summary(int32_t elements, int32_t nodes) {
    std::fprintf(stderr, "Total elements found = %d, Total Nodes found = %d \n", elements, nodes);
}

// The spacing differs on purpose between the three formats.
void print_read_diagnostic(Severity severity, const char* systemId, int line, int column, const char* message) {
    const char* format = severity == Severity::warning ? "\nWarning at file %s, line %d, char %d \n  Message: %s"
                         : severity == Severity::error ? "\nError at file %s , line %d, char %d, \n Message %s"
                                                       : "\nFatal Error at file %s, line %d, char %d\n  Message: %s";
    std::fprintf(stderr, format, systemId, line, column, message);
}

void print_write_problem(xercesc::DOMError::ErrorSeverity severity, const char* message) {
    const char* heading = severity == xercesc::DOMError::DOM_SEVERITY_WARNING ? "\nWarning Message: "
                          : severity == xercesc::DOMError::DOM_SEVERITY_ERROR ? "\nError Message: "
                                                                              : "\nFatal Message: ";
    try {
        std::cerr << heading << message << std::endl;
    } catch (...) {
        // A failing error stream has nobody left to tell.
    }
}

void print_output_failure(const char* message) {
    try {
        std::cerr << "An error occurred during creation of output transcoder. Msg is:" << std::endl
                  << message << std::endl;
    } catch (...) {
        // As above.
    }
}

std::string invalid_character_message() {
    try {
        XMLCh text[1024];
        if (!xercesc::DOMImplementation::loadDOMExceptionMsg(xercesc::DOMException::INVALID_CHARACTER_ERR, text, 1023))
            return "";
        text::Utf8Buffer buffer;
        return buffer.convert(text);
    } catch (...) {
        return "";
    }
}

std::string name_too_long_message(const char* name, std::size_t length) {
    std::size_t cut = length < kQuotedNameBytes ? length : kQuotedNameBytes;
    // Never end inside a character: step back over continuation bytes to the lead byte.
    if (cut < length)
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    return "element name '" + std::string(name, cut) + "...' is " + std::to_string(length) +
           " bytes long; a record holds names of at most 31 bytes";
}

}  // namespace zel::parser
