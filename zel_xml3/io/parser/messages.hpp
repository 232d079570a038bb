// Diagnostics shared by the document reader and writer. A read or write names its input or
// output by file name, or by file descriptor when it writes to a caller's stream.
#pragma once

#include <xercesc/util/XMLException.hpp>

namespace zel::parser {

void print_xml_exception(const char* fileName, const xercesc::XMLException& exc);
void print_xml_exception(int fd, const xercesc::XMLException& exc);
void print_unexpected(const char* fileName);
void print_unexpected(int fd);

}  // namespace zel::parser
