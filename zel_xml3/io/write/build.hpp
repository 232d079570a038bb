// Turning a record tree into a DOM document for the serialiser, without recursion.
#pragma once

#include "zel_xml3.h"

#include <memory>

#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/framework/MemoryManager.hpp>

namespace zel::write {

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
    bool mixed;                     // some element holds both text and elements
    xercesc::MemoryManager* memory;  // the document's, for everything the write makes
};

// Builds the document for `root` (not null): elements from named type-0 records with their
// attributes, text nodes from text records and unnamed elements, a second top-level element
// for a type-11 record (which the DOM refuses), nothing for other types. Throws DOMException
// for names the DOM refuses, TreeTooDeep, TextNotUtf8, or the parser library's out-of-memory
// exceptions. The document and the exceptions it throws allocate from `memory`, which must
// outlive them.
BuiltDocument build_document(const XMLNode* root, xercesc::MemoryManager* memory);

}  // namespace zel::write
