// Construction: the document element in place, element and text children.
#include "tree/tree.hpp"

#include <cstring>

using namespace zel::tree;

namespace zel::tree {

void throw_name_too_long() { throw static_cast<ZEL_XML_RESULT>(ZEL_XML_EXCEPTION); }

XMLNode* attach_new_child(XMLNode* parent, XMLNode* child) {
    if (child == nullptr) return nullptr;
    if (!append_child(parent, child)) {
        free_node(child);
        return nullptr;
    }
    child->parent = parent;
    return child;
}

}  // namespace zel::tree

extern "C" {

ZEL_XML_API XMLNode* XMLCreateDocumentNode(const char* name, XMLNode* node) {
    if (name == nullptr || node == nullptr) return nullptr;
    node->docRef = nullptr;
    if (!name_fits(name)) throw_name_too_long();
    set_name(node, name);
    node->type = XML_ELEMENT_NODE;
    release_string(node->value);
    node->value = empty_string;
    return node;
}

ZEL_XML_API XMLNode* XMLCreateElementNode(const char* name, XMLNode* parent) {
    if (name == nullptr || parent == nullptr) return nullptr;
    if (!name_fits(name)) throw_name_too_long();
    return create_element(parent, name, std::strlen(name), nullptr, nullptr, 0);
}

}  // extern "C"

namespace zel::tree {

void prepare_document_root(XMLNode* root) {
    drop_long_name(root);
    root->name[0] = '\0';
    root->type = XML_DOCUMENT_NODE;
    release_string(root->value);
    root->value = empty_string;
}

XMLNode* create_element(XMLNode* parent, const char* name, std::size_t name_len, const char* text,
                        const AttributeText* attributes, int32_t count) {
    return attach_new_child(parent, new_element(name, name_len, text, attributes, count));
}

XMLNode* create_text(XMLNode* parent, const char* text, std::size_t len) {
    return attach_new_child(parent, new_node_with_value(XML_TEXT_NODE, text, len));
}

}  // namespace zel::tree

extern "C" {

ZEL_XML_API XMLNode* XMLCreateTextNode(const char* text, XMLNode* parent) {
    if (text == nullptr || parent == nullptr) return nullptr;
    return create_text(parent, text, std::strlen(text));
}

}  // extern "C"
