// Finds the source text of each record of a document read whole, after the parse: a light
// scan of the document (which the parser has found well formed) walks along the records the
// parse made, in document order, each of which says what construct comes next. The scan also
// makes the DOCTYPE record and the white space beside the document element, which the parser
// reports to no document handler.
#pragma once

#include "io/source/source_text.hpp"
#include "zel_xml3.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zel::source {

// What the parse gave: the bytes it read, the encoding its declaration made the parser use
// (empty without a declaration), and the document record whose children from `first_child`
// on the parse made (entity references hold their expansion, which the scan passes over).
struct ParsedDocument {
    const void* bytes;
    std::size_t length;
    std::u16string reader_encoding;
    XMLNode* document;
    int32_t first_child;
    std::string* owned_bytes = nullptr;  // `bytes` held in a string the scan may take over
};

// Adds the DOCTYPE record to the document's children and returns the source of the
// document, or null when its encoding is one the scan does not read (EBCDIC, UCS-4), it is
// 4 GB or more, or the scan and the records disagree: the tree is then written the default
// way. Throws std::bad_alloc when out of memory.
std::unique_ptr<SourceText> scan_source(const ParsedDocument& parsed);

}  // namespace zel::source
