// Walking a DOM tree without recursion: the one helper both reference conversions share.
#pragma once

#include <xercesc/dom/DOMNode.hpp>

namespace oracle {

// `node` itself when it is an element, else its first following sibling that is one.
inline xercesc::DOMNode* first_element_from(xercesc::DOMNode* node) {
    while (node != nullptr && node->getNodeType() != xercesc::DOMNode::ELEMENT_NODE) node = node->getNextSibling();
    return node;
}

}  // namespace oracle
