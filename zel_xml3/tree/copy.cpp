// Deep copy of a record and its subtree, without recursion.
#include "tree/tree.hpp"

#include <cstring>

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
    bool ok = reserve_children(copy, source->children.count);
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

}  // namespace

extern "C" ZEL_XML_API XMLNode* XMLCopyNodeData(const XMLNode* source) {
    if (source == nullptr) return nullptr;
    XMLNode* top = copy_record(source);
    if (top == nullptr) return nullptr;

    // Walk the source in pre-order along the copy: while a copied record is being filled,
    // its docRef holds its source record, and the number of children copied so far is the
    // index of the next source child. The real docRef is put back when the record is done.
    top->docRef = const_cast<XMLNode*>(source);
    XMLNode* at = top;
    while (at != nullptr) {
        const auto* from = static_cast<const XMLNode*>(at->docRef);
        int32_t next = at->children.count;
        if (next == from->children.count) {
            at->docRef = from->docRef;
            at = at == top ? nullptr : at->parent;
            continue;
        }
        const XMLNode* child_source = from->children.items[next];
        XMLNode* child = copy_record(child_source);
        if (child == nullptr) {
            free_node(top);
            return nullptr;
        }
        append_child(at, child);  // room was reserved by copy_record
        child->parent = at;
        child->docRef = const_cast<XMLNode*>(child_source);
        at = child;
    }
    top->parent = nullptr;
    return top;
}
