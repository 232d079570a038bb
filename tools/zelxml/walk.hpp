// Visiting every record of a tree in document order without recursion.
#pragma once

#include "zel_xml3.h"

#include <vector>

namespace zelxml {

// Calls visit(node, depth) for every record below and including `root`, in pre-order;
// the root has depth 0.
template <typename Visit>
void walk(const XMLNode* root, Visit visit) {
    struct Frame {
        const XMLNode* node;
        int32_t next;
    };
    std::vector<Frame> stack{{root, 0}};
    visit(root, 0);
    while (!stack.empty()) {
        Frame& top = stack.back();
        const XMLNode* child = XMLGetNthChildData(top.node, top.next++);
        if (child == nullptr) {
            stack.pop_back();
            continue;
        }
        visit(child, static_cast<int>(stack.size()));
        stack.push_back(Frame{child, 0});
    }
}

// The kinds of record a document read whole holds (the document record on top).
// An element: type 0 with a name.
inline bool is_element(const XMLNode* node) {
    return node->type == XML_ELEMENT_NODE && node->name[0] != '\0';
}
// A record holding text of its own: text, blank or not, and CDATA sections.
inline bool holds_text(const XMLNode* node) {
    return node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE;
}
// Whether an element turns up anywhere below `node` (an entity reference's text may hold some).
inline bool has_element_below(const XMLNode* node) {
    bool found = false;
    walk(node, [&](const XMLNode* record, int depth) { found = found || (depth > 0 && is_element(record)); });
    return found;
}
// A child that is text in the document: text, CDATA, or an entity reference whose text holds
// no element.
inline bool is_text_child(const XMLNode* node) {
    return holds_text(node) || (node->type == XML_ENTITY_REFERENCE_NODE && !has_element_below(node));
}

}  // namespace zelxml
