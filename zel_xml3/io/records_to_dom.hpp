// Turning a record tree into a DOM document for the serialiser, without recursion.
#pragma once

#include "zel_xml3.h"

#include <cstddef>
#include <memory>

#include <xercesc/dom/DOMDocument.hpp>

namespace zel::dom {

// The serialiser recurses once per element level. On the default 8 MB main-thread stack it
// crashed at 65,469 nested elements on the machine this was measured on (about 128 bytes a
// level); half of that leaves room for the caller's own frames.
constexpr std::size_t kMaxWriteDepth = 32000;

// Deepest element nesting, the document element being level 1, that a write accepts.
std::size_t max_write_depth();

// Thrown by build_document for a tree deeper than max_write_depth().
struct TreeTooDeep {};

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
// for names the DOM refuses, TreeTooDeep, or the parser library's out-of-memory exceptions.
BuiltDocument build_document(const XMLNode* root);

// Lays out the element-only parts of a document that holds mixed content the way the
// serialiser's pretty print would: a line break and two spaces per level before each child
// and before the end tag. Mixed content, and everything inside it, is left as it is.
void lay_out_element_only_parts(xercesc::DOMElement* documentElement);

}  // namespace zel::dom
