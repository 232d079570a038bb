// The reference conversion of a parsed document into records, over the parser library's
// document object model: what XMLRead gave before it built its records from the parser's
// events, with the blank-text rule applied per run of character data. Both walks are
// iterative.
#pragma once

#include "io/parser/safety.hpp"
#include "zel_xml3.h"

#include <cstdint>

#include <xercesc/dom/DOMElement.hpp>

namespace oracle {

// Number of elements in the subtree of `element`, itself included, reached through element
// children only (content of entity references is not counted).
int32_t count_elements(const xercesc::DOMElement* element);

// Fills `root` in place as the document element and appends its attributes and content.
// Returns the number of nodes visited: every element plus every other direct child of an
// element. Each record made is charged to `memory`. Text nodes between two element
// boundaries form a run; a blank one is dropped only when its whole run is blank. Throws
// ZEL_XML_RESULT for a name too long for a record, std::bad_alloc when memory runs out and the
// parser library's OutOfMemoryException past the budget; records made so far stay in the tree.
int32_t convert_document_element(const xercesc::DOMElement* element, XMLNode* root,
                                 zel::parser::MemoryBudget& memory);

}  // namespace oracle
