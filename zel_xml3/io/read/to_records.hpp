// Turning the parser's document into records. Both walks are iterative, so any depth the
// parser accepts is fine.
#pragma once

#include "io/parser/safety.hpp"
#include "zel_xml3.h"

#include <cstdint>

#include <xercesc/dom/DOMElement.hpp>

namespace zel::read {

// Number of elements in the subtree of `element`, itself included, reached through element
// children only (content of entity references is not counted).
int32_t count_elements(const xercesc::DOMElement* element);

// Fills `root` in place as the document element and appends its attributes and content.
// Returns the number of nodes visited: every element plus every other direct child of an
// element. Each record made is charged to `memory`. Throws ZEL_XML_RESULT
// for a name too long for a record, std::bad_alloc when memory runs out and the parser
// library's OutOfMemoryException past the read's cap; records made so far stay in the tree.
int32_t convert_document_element(const xercesc::DOMElement* element, XMLNode* root,
                                 parser::MemoryBudget& memory);

}  // namespace zel::read
