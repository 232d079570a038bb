// Attributes: lookup by name, the record fillers, and the node setters built on them.
// Nothing here throws: strings are malloc'd and failures come back as false.
#include "tree/tree.hpp"
#include "values/numbers.hpp"

#include <cstring>

using namespace zel::tree;
using zel::values::NumberText;

namespace {

// The type code the readers give an ordinary attribute; every node setter stores it.
constexpr int32_t kOrdinaryAttribute = XML_CDATA_SECTION_NODE;

const char* bool_text(uint8_t flag) { return flag == 1 ? "true" : "false"; }

// The record filler: gives `attr` the name, the type code and the text. Both copies are made
// before the record changes, so a failure (false) leaves it as it was.
bool fill(XMLAttr* attr, const char* name, int32_t type, const char* text, std::size_t len) {
    if (attr == nullptr || name == nullptr || text == nullptr) return false;
    char* name_copy = new_string(name, std::strlen(name));
    char* text_copy = name_copy != nullptr ? new_string(text, len) : nullptr;
    if (text_copy == nullptr) {
        release_string(name_copy);
        return false;
    }
    replace_attribute_strings(attr, name_copy, text_copy);
    attr->type = type;
    return true;
}

// The node setter: fills the first attribute of that name, or appends a new one.
bool set_on_node(XMLNode* node, const char* name, const char* text, std::size_t len) {
    if (node == nullptr || name == nullptr || text == nullptr) return false;
    if (XMLAttr* existing = XMLFindAttrWithKeyName(node, name))
        return fill(existing, name, kOrdinaryAttribute, text, len);
    return append_attribute(node, name, std::strlen(name), text, len, kOrdinaryAttribute) != nullptr;
}

}  // namespace

extern "C" {

ZEL_XML_API XMLAttr* XMLFindAttrWithKeyName(XMLNode* node, const char* name) {
    if (node == nullptr || name == nullptr) return nullptr;
    for (int32_t i = 0; i < node->attributes.count; ++i) {
        XMLAttr* attr = &node->attributes.items[i];
        if (std::strcmp(attr->name, name) == 0) return attr;
    }
    return nullptr;
}

ZEL_XML_API uint8_t XMLSetIntegerAttribute(XMLAttr* attr, const char* name, int32_t value, int32_t type) {
    NumberText text(value);
    return fill(attr, name, type, text.data(), text.size());
}

ZEL_XML_API uint8_t XMLSetDoubleAttribute(XMLAttr* attr, const char* name, double value, int32_t type) {
    NumberText text(value);
    return fill(attr, name, type, text.data(), text.size());
}

ZEL_XML_API uint8_t XMLSetStringAttribute(XMLAttr* attr, const char* name, const char* value, int32_t type) {
    return fill(attr, name, type, value, value != nullptr ? std::strlen(value) : 0);
}

ZEL_XML_API uint8_t XMLSetBoolAttribute(XMLAttr* attr, const char* name, uint8_t value, int32_t type) {
    const char* text = bool_text(value);
    return fill(attr, name, type, text, std::strlen(text));
}

ZEL_XML_API uint8_t XMLSetNodeIntegerAttribute(XMLNode* node, const char* name, int32_t value) {
    NumberText text(value);
    return set_on_node(node, name, text.data(), text.size());
}

ZEL_XML_API uint8_t XMLSetNodeDoubleAttribute(XMLNode* node, const char* name, double value) {
    NumberText text(value);
    return set_on_node(node, name, text.data(), text.size());
}

ZEL_XML_API uint8_t XMLSetNodeStringAttribute(XMLNode* node, const char* name, const char* value) {
    return set_on_node(node, name, value, value != nullptr ? std::strlen(value) : 0);
}

ZEL_XML_API uint8_t XMLSetNodeBoolAttribute(XMLNode* node, const char* name, uint8_t value) {
    const char* text = bool_text(value);
    return set_on_node(node, name, text, std::strlen(text));
}

ZEL_XML_API uint8_t XMLSetNodeAttribute(XMLNode* node, const char* name, const char* value) {
    return XMLSetNodeStringAttribute(node, name, value);
}

ZEL_XML_API uint8_t XMLRemoveAttrWithKeyName(XMLNode* node, const char* name) {
    XMLAttr* attr = XMLFindAttrWithKeyName(node, name);
    if (attr == nullptr) return 0;
    replace_attribute_strings(attr, nullptr, nullptr);
    XMLAttrList* list = &node->attributes;
    XMLAttr* end = list->items + list->count;
    std::memmove(attr, attr + 1, static_cast<std::size_t>(end - attr - 1) * sizeof(XMLAttr));
    --list->count;
    return 1;
}

}  // extern "C"
