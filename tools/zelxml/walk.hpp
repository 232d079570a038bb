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

// True for records the writer writes as text: text records and unnamed elements.
inline bool is_text_like(const XMLNode* node) {
    return node->type == XML_TEXT_NODE || (node->type == XML_ELEMENT_NODE && node->name[0] == '\0');
}

}  // namespace zelxml
