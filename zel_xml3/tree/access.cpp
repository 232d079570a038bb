// Child access: a record's whole name, children by position, by name, and the pre-order
// subtree search.
#include "tree/tree.hpp"

#include <cstring>
#include <new>
#include <vector>

using namespace zel::tree;

extern "C" {

ZEL_XML_API const char* XMLGetNodeName(const XMLNode* node) { return node ? whole_name(node) : ""; }

ZEL_XML_API int32_t XMLGetChildrenCount(const XMLNode* node) { return node ? node->children.count : 0; }

ZEL_XML_API XMLNode* XMLGetNthChildData(const XMLNode* node, int32_t index) {
    if (node == nullptr || index < 0 || index >= node->children.count) return nullptr;
    return node->children.items[index];
}

ZEL_XML_API XMLNode* XMLGetChildAt(const XMLNode* node, int32_t index) { return XMLGetNthChildData(node, index); }

ZEL_XML_API int32_t XML_RemoveNthChildData(XMLNode* node, int32_t index) {
    XMLNode* child = XMLGetNthChildData(node, index);
    if (child == nullptr) return 0;
    empty_node(child);
    XMLNodeList* list = &node->children;
    std::memmove(&list->items[index], &list->items[index + 1],
                 static_cast<std::size_t>(list->count - index - 1) * sizeof(XMLNode*));
    --list->count;
    return 0;
}

ZEL_XML_API XMLNode* XMLGetNthChildWithKey(const XMLNode* node, int32_t n, const char* name) {
    if (node == nullptr || name == nullptr || n < 0) return nullptr;
    for (int32_t i = 0; i < node->children.count; ++i) {
        XMLNode* child = node->children.items[i];
        if (name_equals(child, name) && n-- == 0) return child;
    }
    return nullptr;
}

ZEL_XML_API XMLNode* XMLGetChildWithKeyName(const XMLNode* node, const char* name) {
    return XMLGetNthChildWithKey(node, 0, name);
}

ZEL_XML_API int32_t XMLGetNumChildrenWithKeyName(const XMLNode* node, const char* name) {
    if (node == nullptr || name == nullptr) return 0;
    int32_t count = 0;
    for (int32_t i = 0; i < node->children.count; ++i)
        if (name_equals(node->children.items[i], name)) ++count;
    return count;
}

ZEL_XML_API XMLNode* XMLGetNodeData(XMLNode* node, const char* name, uint8_t* found) {
    XMLNode* match = nullptr;
    if (node != nullptr && name != nullptr) {
        try {
            // Pre-order with an explicit stack of (record, next child index) frames.
            struct Frame {
                XMLNode* node;
                int32_t next;
            };
            std::vector<Frame> stack;
            if (name_equals(node, name)) match = node;
            else stack.push_back(Frame{node, 0});
            while (match == nullptr && !stack.empty()) {
                Frame& top = stack.back();
                if (top.next == top.node->children.count) {
                    stack.pop_back();
                    continue;
                }
                XMLNode* child = top.node->children.items[top.next++];
                if (name_equals(child, name)) match = child;
                else if (child->children.count > 0) stack.push_back(Frame{child, 0});
            }
        } catch (const std::bad_alloc&) {
            match = nullptr;
        }
    }
    if (found != nullptr) *found = match != nullptr ? 1 : 0;
    return match;
}

}  // extern "C"
