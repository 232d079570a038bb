// Turning a record tree into a DOM document for the serialiser, without recursion.
#pragma once

#include "zel_xml3.h"

#include <cstddef>
#include <memory>
#include <optional>

#include <xercesc/dom/DOMDocument.hpp>

namespace zel::write {

// The serialiser recurses once per element level: about 128 bytes of stack a level on the
// machine this was measured on (it crashed at 65,469 levels on an 8 MB stack; a test measures
// the figure again). A write reserves kStackBytesPerLevel a level, nearly twice that, plus
// kStackReserve for the frames that do not repeat, out of what is left of the calling
// thread's stack, and never goes past kMaxWriteDepth, which an 8 MB stack allows.
constexpr std::size_t kMaxWriteDepth = 32000;
constexpr std::size_t kStackBytesPerLevel = 240;
constexpr std::size_t kStackReserve = 128 * 1024;

// Bytes of the calling thread's stack below the caller's frame; nothing when the thread's
// stack cannot be found.
std::optional<std::size_t> stack_bytes_left();

// Deepest element nesting, the document element being level 1, that a write on the calling
// thread accepts: min(kMaxWriteDepth, (stack left - kStackReserve) / kStackBytesPerLevel),
// or kMaxWriteDepth when the stack cannot be found.
std::size_t max_write_depth();

// Thrown by build_document for a tree deeper than max_write_depth().
struct TreeTooDeep {};

// Thrown when a record holds bytes that are not UTF-8: they cannot be written unchanged.
struct TextNotUtf8 {};

struct DocumentDeleter {
    void operator()(xercesc::DOMDocument* document) const { document->release(); }
};
using DocumentPtr = std::unique_ptr<xercesc::DOMDocument, DocumentDeleter>;

struct BuiltDocument {
    DocumentPtr document;
    bool mixed;  // some element holds both text and elements
};

// Builds the document for `root` (not null): elements from named type-0 records with their
// attributes, text nodes from text records and unnamed elements, a second top-level element
// for a type-11 record (which the DOM refuses), nothing for other types. Throws DOMException
// for names the DOM refuses, TreeTooDeep, TextNotUtf8, or the parser library's out-of-memory
// exceptions.
BuiltDocument build_document(const XMLNode* root);

// Lays out the element-only parts of a document that holds mixed content the way the
// serialiser's pretty print would: a line break and two spaces per level before each child
// and before the end tag. Mixed content, and everything inside it, is left as it is.
void lay_out_element_only_parts(xercesc::DOMElement* documentElement);

}  // namespace zel::write
