// Finds the source text of each record of a document read whole, after the parse: a light
// scan of the document (which the parser has found well formed) walks along the logged
// events, each of which says what construct comes next. The scan also makes the DOCTYPE
// record, which the parser reports to no document handler.
#pragma once

#include "io/source/source_text.hpp"
#include "zel_xml3.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace zel::source {

// One event of the document proper (not of entity text), in document order: the kind in
// the low bits of the record's address (records are malloc blocks, aligned to 16), so that
// the log of a large document costs one word an event.
class SourceEvent {
public:
    enum Kind : std::uintptr_t { start_tag, empty_tag, end_tag, text, cdata, comment, pi, entity_reference };
    SourceEvent(Kind kind, XMLNode* record) : bits_(reinterpret_cast<std::uintptr_t>(record) | kind) {}
    Kind kind() const { return static_cast<Kind>(bits_ & 7); }
    XMLNode* record() const { return reinterpret_cast<XMLNode*>(bits_ & ~std::uintptr_t{7}); }

private:
    std::uintptr_t bits_;
};
// Grows in blocks, never copying what it holds.
using SourceEvents = std::deque<SourceEvent>;

// What the parse gave: the bytes it read, the encoding its declaration made the parser use
// (empty without a declaration), the events, and the document record whose children from
// `first_child` on the parse made.
struct ParsedDocument {
    const void* bytes;
    std::size_t length;
    std::u16string reader_encoding;
    const SourceEvents* events;
    XMLNode* document;
    int32_t first_child;
    std::string* owned_bytes = nullptr;  // `bytes` held in a string the scan may take over
};

// Adds the DOCTYPE record to the document's children and returns the source of the
// document, or null when its encoding is one the scan does not read (EBCDIC, UCS-4), it is
// 4 GB or more, or the scan and the events disagree: the tree is then written the default
// way. Throws std::bad_alloc when out of memory.
std::unique_ptr<SourceText> scan_source(const ParsedDocument& parsed);

}  // namespace zel::source
