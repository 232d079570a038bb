// Key/value children: keys as named child elements, values read and replaced in a node's
// first child. Out of memory gives a null or 1 result with the tree as it was.
#include "tree/tree.hpp"

#include <cstring>

using namespace zel::tree;

namespace {

// Replaces the record's own value with a copy of `value`; false when out of memory.
bool set_value(XMLNode* node, const char* value) {
    return replace_string(&node->value, value, std::strlen(value));
}

}  // namespace

extern "C" {

ZEL_XML_API XMLNode* XMLAddKeyNameValue(XMLNode* parent, const char* key, const char* value) {
    if (parent == nullptr || key == nullptr) return nullptr;
    XMLNode* element = XMLCreateElementNode(key, parent);  // lets the name-too-long value out
    if (element == nullptr) return nullptr;
    if (value != nullptr && !set_value(element, value)) {
        drop_last_child(parent);
        return nullptr;
    }
    return element;
}

ZEL_XML_API XMLNode* XMLSetKeyNameValue(XMLNode* parent, const char* key, const char* value) {
    if (parent == nullptr || key == nullptr) return nullptr;
    // A long key is refused before the lookup, which could match a record with a long name.
    if (!name_fits(key)) throw_name_too_long();
    if (XMLNode* found = XMLGetChildWithKeyName(parent, key)) {
        if (value != nullptr && !set_value(found, value)) return nullptr;
        return found;
    }
    XMLNode* element = XMLCreateElementNode(key, parent);  // lets the name-too-long value out
    if (element == nullptr || value == nullptr) return element;
    XMLNode* holder = XMLCreateElementNode("", element);
    if (holder == nullptr || !set_value(holder, value)) {
        drop_last_child(parent);
        return nullptr;
    }
    return element;
}

ZEL_XML_API int32_t XMLGetValueOfNode(const XMLNode* node, int32_t bufferSize, char* buffer) {
    if (node == nullptr || buffer == nullptr) return 1;
    if (node->children.count == 0) {
        if (bufferSize > 1) buffer[0] = '\0';
        return 1;
    }
    const char* value = node->children.items[0]->value;
    std::size_t length = std::strlen(value);
    if (bufferSize <= 0 || length >= static_cast<std::size_t>(bufferSize)) return 1;
    std::memcpy(buffer, value, length + 1);
    return 0;
}

ZEL_XML_API int32_t XMLAlterValueOfNode(XMLNode* node, const char* value) {
    if (node == nullptr || value == nullptr || node->children.count == 0) return 1;
    return set_value(node->children.items[0], value) ? 0 : 1;
}

}  // extern "C"
