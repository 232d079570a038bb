// Record storage: strings, sequences, allocation and release of records.
#include "tree/tree.hpp"

#include <cstdlib>
#include <cstring>
#include <limits>

namespace zel::tree {

char empty_string[1] = {'\0'};

bool name_equals(const XMLNode* node, const char* name) {
    return std::strncmp(node->name, name, sizeof node->name) == 0;
}

void set_name(XMLNode* node, const char* name) {
    std::size_t len = std::strlen(name);
    std::memcpy(node->name, name, len + 1);
}

char* new_string(const char* text, std::size_t len) {
    if (len == 0) return empty_string;
    char* copy = static_cast<char*>(std::malloc(len + 1));
    if (copy == nullptr) return nullptr;
    std::memcpy(copy, text, len);
    copy[len] = '\0';
    return copy;
}

void release_string(char* text) {
    if (text != empty_string) std::free(text);
}

bool replace_string(char** slot, const char* text, std::size_t len) {
    char* copy = new_string(text, len);
    if (copy == nullptr) return false;
    release_string(*slot);
    *slot = copy;
    return true;
}

bool append_string(char** slot, std::size_t old_len, const char* text, std::size_t len) {
    if (len == 0) return true;
    char* old = *slot == empty_string ? nullptr : *slot;
    char* grown = static_cast<char*>(std::realloc(old, old_len + len + 1));
    if (grown == nullptr) return false;
    std::memcpy(grown + old_len, text, len);
    grown[old_len + len] = '\0';
    *slot = grown;
    return true;
}

XMLNode* new_node(int32_t type) {
    auto* node = static_cast<XMLNode*>(std::calloc(1, sizeof(XMLNode)));
    if (node == nullptr) return nullptr;
    node->type = type;
    node->value = empty_string;
    return node;
}

namespace {

// Grows a sequence to hold at least `wanted` items: doubling, at least 4, capped at INT32_MAX.
template <typename T>
bool grow(T** items, int32_t* capacity, int32_t wanted) {
    if (wanted <= *capacity) return true;
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    int32_t next = *capacity < 4 ? 4 : (*capacity > kMax / 2 ? kMax : *capacity * 2);
    if (next < wanted) next = wanted;
    T* moved = static_cast<T*>(std::realloc(*items, static_cast<std::size_t>(next) * sizeof(T)));
    if (moved == nullptr) return false;
    *items = moved;
    *capacity = next;
    return true;
}

bool has_room_for_one_more(int32_t count) { return count < std::numeric_limits<int32_t>::max(); }

void release_attributes(XMLAttrList* list) {
    for (int32_t i = 0; i < list->count; ++i) {
        release_string(list->items[i].name);
        release_string(list->items[i].value);
    }
    std::free(list->items);
    *list = XMLAttrList{nullptr, 0, 0};
}

// Releases what a record owns apart from its children's records.
void release_fields(XMLNode* node) {
    release_attributes(&node->attributes);
    std::free(node->children.items);
    node->children = XMLNodeList{nullptr, 0, 0};
    release_string(node->value);
    node->value = empty_string;
}

// Frees every record below `node` without recursion or allocation: records waiting to be
// freed are chained through their `parent` field, which is dead once a record is doomed.
void free_descendants(XMLNode* node) {
    XMLNode* pending = nullptr;
    auto push_children = [&pending](XMLNode* of) {
        for (int32_t i = 0; i < of->children.count; ++i) {
            XMLNode* child = of->children.items[i];
            child->parent = pending;
            pending = child;
        }
    };
    push_children(node);
    std::free(node->children.items);
    node->children = XMLNodeList{nullptr, 0, 0};
    while (pending != nullptr) {
        XMLNode* doomed = pending;
        pending = doomed->parent;
        push_children(doomed);
        release_fields(doomed);
        std::free(doomed);
    }
}

}  // namespace

bool append_child(XMLNode* parent, XMLNode* child) {
    XMLNodeList* list = &parent->children;
    if (!has_room_for_one_more(list->count)) return false;
    if (!grow(&list->items, &list->capacity, list->count + 1)) return false;
    list->items[list->count++] = child;
    return true;
}

bool reserve_children(XMLNode* parent, int32_t capacity) {
    return grow(&parent->children.items, &parent->children.capacity, capacity);
}

XMLAttr* append_attribute(XMLNode* node, const char* name, std::size_t name_len, const char* value,
                          std::size_t value_len, int32_t type) {
    XMLAttrList* list = &node->attributes;
    if (!has_room_for_one_more(list->count)) return nullptr;
    char* name_copy = new_string(name, name_len);
    char* value_copy = name_copy ? new_string(value, value_len) : nullptr;
    if (value_copy == nullptr || !grow(&list->items, &list->capacity, list->count + 1)) {
        if (name_copy) release_string(name_copy);
        if (value_copy) release_string(value_copy);
        return nullptr;
    }
    XMLAttr* attr = &list->items[list->count++];
    *attr = XMLAttr{name_copy, type, value_copy};
    return attr;
}

void empty_node(XMLNode* node) {
    free_descendants(node);
    release_attributes(&node->attributes);
}

void free_node(XMLNode* node) {
    if (node == nullptr) return;
    free_descendants(node);
    release_fields(node);
    std::free(node);
}

void drop_last_child(XMLNode* parent) {
    XMLNodeList* list = &parent->children;
    free_node(list->items[--list->count]);
}

}  // namespace zel::tree

using namespace zel::tree;

extern "C" {

ZEL_XML_API XMLNode* XMLCreateRootNode(void) { return new_node(XML_ELEMENT_NODE); }

ZEL_XML_API void XMLFreeRootNode(XMLNode* node) { free_node(node); }

}  // extern "C"
