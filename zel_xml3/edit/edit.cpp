// Structural edits: children inserted, detached and deleted, records renamed, and the comment,
// CDATA and processing-instruction records made.
#include "io/parser/last_error.hpp"
#include "text/xml_name.hpp"
#include "tree/tree.hpp"

#include <cstring>
#include <limits>
#include <new>
#include <vector>

using namespace zel::tree;
using zel::parser::clear_last_error;
using zel::parser::set_last_error;

namespace {

ZEL_XML_RESULT refused(const char* why) {
    set_last_error(why);
    return ZEL_XML_EXCEPTION;
}

ZEL_XML_RESULT done() {
    clear_last_error();
    return ZEL_XML_OK;
}

// The record types that hold children in XML: elements and the document, and the entity and
// fragment types, which no reader makes. Entity references hold their expansion, which only
// a read makes.
bool holds_children(int32_t type) {
    return type == XML_ELEMENT_NODE || type == XML_DOCUMENT_NODE || type == XML_ENTITY_NODE ||
           type == XML_DOCUMENT_FRAGMENT_NODE;
}

// True when `wanted` is `top` or lies below it. Walks down from `top`, never up from
// `wanted`: the topmost record of a tree the host owns may carry a parent link that is no
// longer valid (XML_RemoveNthChildData keeps it), so only child links are followed.
// Throws std::bad_alloc.
bool in_subtree(const XMLNode* top, const XMLNode* wanted) {
    if (top == wanted) return true;
    if (top->children.count == 0) return false;
    std::vector<const XMLNode*> pending{top};
    while (!pending.empty()) {
        const XMLNode* at = pending.back();
        pending.pop_back();
        for (int32_t i = 0; i < at->children.count; ++i) {
            const XMLNode* child = at->children.items[i];
            if (child == wanted) return true;
            if (child->children.count > 0) pending.push_back(child);
        }
    }
    return false;
}

// Takes the child at `index` out of the sequence; later ones move down one place.
void take_out(XMLNode* parent, int32_t index) {
    XMLNodeList* list = &parent->children;
    std::memmove(&list->items[index], &list->items[index + 1],
                 static_cast<std::size_t>(list->count - index - 1) * sizeof(XMLNode*));
    --list->count;
}

// A processing-instruction target: an XML name other than "xml" in any letter case, which
// names the declaration. Throws std::bad_alloc.
bool is_target(const char* name) {
    bool reserved = (name[0] | 0x20) == 'x' && (name[1] | 0x20) == 'm' && (name[2] | 0x20) == 'l' && name[3] == '\0';
    return !reserved && zel::text::is_xml_name(name);
}

// Makes a record holding a copy of `text` and appends it to `parent` when there is one.
XMLNode* create_leaf(XMLNode* parent, int32_t type, const char* text) {
    if (text == nullptr || (parent != nullptr && !holds_children(parent->type))) return nullptr;
    XMLNode* record = new_node_with_value(type, text, std::strlen(text));
    return parent != nullptr ? attach_new_child(parent, record) : record;
}

}  // namespace

extern "C" {

ZEL_XML_API ZEL_XML_RESULT XMLInsertChild(XMLNode* parent, int32_t index, XMLNode* child) {
    if (parent == nullptr || child == nullptr) return refused("XMLInsertChild: the parent or the child is NULL");
    XMLNodeList* list = &parent->children;
    if (index < -1 || index > list->count) return refused("XMLInsertChild: the index is out of range");
    if (!holds_children(parent->type)) return refused("XMLInsertChild: the parent holds no children in XML");
    if (child->type == XML_DOCUMENT_NODE) return refused("XMLInsertChild: a document record cannot be a child");
    if (child->type == XML_DOCUMENT_TYPE_NODE && parent->type != XML_DOCUMENT_NODE)
        return refused("XMLInsertChild: a DOCTYPE goes only under a document record");
    // A record taken out by XML_RemoveNthChildData still links to its old parent: compared,
    // never followed.
    if (child->parent == parent && child_index(parent, child) >= 0)
        return refused("XMLInsertChild: the child already belongs to the parent");
    try {
        if (in_subtree(child, parent))
            return refused("XMLInsertChild: the child is the parent or one of its ancestors");
    } catch (const std::bad_alloc&) {
        return refused("XMLInsertChild: out of memory");
    }
    if (list->count == std::numeric_limits<int32_t>::max() || !reserve_children(parent, list->count + 1))
        return refused("XMLInsertChild: out of memory");
    int32_t at = index == -1 ? list->count : index;
    std::memmove(&list->items[at + 1], &list->items[at], static_cast<std::size_t>(list->count - at) * sizeof(XMLNode*));
    list->items[at] = child;
    ++list->count;
    child->parent = parent;
    return done();
}

ZEL_XML_API XMLNode* XMLDetachNode(XMLNode* node) {
    if (node == nullptr || node->parent == nullptr) return nullptr;
    int32_t at = child_index(node->parent, node);
    if (at < 0) return nullptr;
    take_out(node->parent, at);
    node->parent = nullptr;
    return node;
}

ZEL_XML_API ZEL_XML_RESULT XMLDeleteNode(XMLNode* node) {
    if (node == nullptr) return refused("XMLDeleteNode: the node is NULL");
    int32_t at = node->parent != nullptr ? child_index(node->parent, node) : -1;
    if (at < 0) return refused("XMLDeleteNode: the node belongs to no parent; free a root with XMLFreeRootNode");
    take_out(node->parent, at);
    free_node(node);
    return done();
}

ZEL_XML_API ZEL_XML_RESULT XMLRenameNode(XMLNode* node, const char* name) {
    if (node == nullptr || name == nullptr) return refused("XMLRenameNode: the node or the name is NULL");
    bool instruction = node->type == XML_PROCESSING_INSTRUCTION_NODE;
    if (node->type != XML_ELEMENT_NODE && node->type != XML_ENTITY_REFERENCE_NODE && !instruction)
        return refused("XMLRenameNode: only elements, processing instructions and entity references have names");
    try {
        if (instruction ? !is_target(name) : !zel::text::is_xml_name(name))
            return refused(instruction ? "XMLRenameNode: the name is not a processing-instruction target"
                                       : "XMLRenameNode: the name is not an XML name");
    } catch (const std::bad_alloc&) {
        return refused("XMLRenameNode: out of memory");
    }
    if (!set_long_name(node, name, std::strlen(name))) return refused("XMLRenameNode: out of memory");
    return done();
}

ZEL_XML_API XMLNode* XMLCreateCommentNode(const char* text, XMLNode* parent) {
    return create_leaf(parent, XML_COMMENT_NODE, text);
}

ZEL_XML_API XMLNode* XMLCreateCDATANode(const char* text, XMLNode* parent) {
    return create_leaf(parent, XML_CDATA_SECTION_NODE, text);
}

ZEL_XML_API XMLNode* XMLCreateProcessingInstructionNode(const char* target, const char* data, XMLNode* parent) {
    if (target == nullptr || data == nullptr) return nullptr;
    try {
        if (!is_target(target)) return nullptr;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    if (parent != nullptr && !holds_children(parent->type)) return nullptr;
    XMLNode* record = new_node_with_value(XML_PROCESSING_INSTRUCTION_NODE, data, std::strlen(data));
    if (record != nullptr && !set_long_name(record, target, std::strlen(target))) {
        free_node(record);
        return nullptr;
    }
    return parent != nullptr ? attach_new_child(parent, record) : record;
}

}  // extern "C"
