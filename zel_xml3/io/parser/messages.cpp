#include "io/parser/messages.hpp"

#include "text/utf.hpp"

#include <cstdio>

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

}  // namespace

void print_xml_exception(const char* fileName, const xercesc::XMLException& exc) {
    text::Utf8Buffer buffer;
    std::fprintf(stderr, "\nError during parsing: %s Exception message is: %s", fileName, message_of(exc, buffer));
}

void print_xml_exception(int fd, const xercesc::XMLException& exc) {
    text::Utf8Buffer buffer;
    std::fprintf(stderr, "\nError during parsing: %d Exception message is: %s", fd, message_of(exc, buffer));
}

void print_unexpected(const char* fileName) {
    std::fprintf(stderr, "\nUnexpected exception during parsing: %s\n", fileName);
}

void print_unexpected(int fd) { std::fprintf(stderr, "\nUnexpected exception during parsing: %d\n", fd); }

}  // namespace zel::parser
