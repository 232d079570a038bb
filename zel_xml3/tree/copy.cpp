// Deep copy of a record and its subtree, without recursion.
#include "tree/tree.hpp"

#include <cstring>
#include <new>
#include <vector>

using namespace zel::tree;

namespace {

// Copies one record without its children; the copy has room reserved for exactly as many
// children as the source, so appending them cannot fail. nullptr when out of memory.
XMLNode* copy_record(const XMLNode* source) {
    XMLNode* copy = new_node_with_value(source->type, source->value, std::strlen(source->value));
    if (copy == nullptr) return nullptr;
    std::memcpy(copy->name, source->name, sizeof copy->name);
    copy->intValue = source->intValue;
    copy->docRef = source->docRef;
    // A long name the source still agrees with gets a block of the copy's own.
    const char* name = whole_name(source);
    bool ok = name == source->name || set_long_name(copy, name, whole_name_length(source));
    ok = ok && reserve_children(copy, source->children.count);
    for (int32_t i = 0; ok && i < source->attributes.count; ++i) {
        const XMLAttr& attr = source->attributes.items[i];
        ok = append_attribute(copy, attr.name, std::strlen(attr.name), attr.value, std::strlen(attr.value),
                              attr.type) != nullptr;
    }
    if (!ok) {
        free_node(copy);
        return nullptr;
    }
    return copy;
}

// Pre-order along the source with an explicit stack, as the other tree walks go: each frame
// pairs a source record with its copy, and the number of children copied so far is the
// index of the next source child. nullptr (nothing kept) when memory runs out.
XMLNode* copy_tree(const XMLNode* source) {
    struct Frame {
        const XMLNode* from;
        XMLNode* to;
    };
    XMLNode* top = copy_record(source);
    if (top == nullptr) return nullptr;
    try {
        std::vector<Frame> stack{Frame{source, top}};
        while (!stack.empty()) {
            Frame frame = stack.back();
            int32_t next = frame.to->children.count;
            if (next == frame.from->children.count) {
                stack.pop_back();
                continue;
            }
            const XMLNode* child_source = frame.from->children.items[next];
            XMLNode* child = copy_record(child_source);
            if (child == nullptr) throw std::bad_alloc();
            append_child(frame.to, child);  // room was reserved by copy_record
            child->parent = frame.to;
            if (child_source->children.count > 0) stack.push_back(Frame{child_source, child});
        }
    } catch (const std::bad_alloc&) {
        free_node(top);
        return nullptr;
    }
    return top;
}

}  // namespace

extern "C" ZEL_XML_API XMLNode* XMLCopyNodeData(const XMLNode* source) {
    if (source == nullptr) return nullptr;
    return copy_tree(source);
}
