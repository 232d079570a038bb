// Record storage: strings, sequences, allocation and release of records.
#include "tree/tree.hpp"

#include <cstdlib>
#include <cstring>
#include <limits>

namespace zel::tree {

namespace {
char empty_storage[2] = {kInsideBlock, '\0'};
}  // namespace

char* const empty_string = empty_storage + 1;

bool detail::long_name_equals(const XMLNode* node, const char* name) {
    const LongName* block = agreeing_long_name(node);
    if (block == nullptr) return std::strncmp(node->name, name, sizeof node->name) == 0;
    return std::strcmp(block->text(), name) == 0;
}

void set_name(XMLNode* node, const char* name) {
    drop_long_name(node);
    std::size_t len = std::strlen(name);
    std::memcpy(node->name, name, len + 1);
}

std::size_t name_prefix_length(const char* name, std::size_t len) {
    if (len <= kMaxNameLength) return len;
    // Step back over the continuation bytes (10xxxxxx) of a character that starts before the
    // cut and goes on past it; a UTF-8 character has at most three of them.
    std::size_t cut = kMaxNameLength;
    while (cut > kMaxNameLength - 3 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    return cut;
}

bool set_long_name(XMLNode* node, const char* name, std::size_t len) {
    // `name` may lie in the record itself (its `name` or its long name block): it is copied
    // before the block it may lie in is freed.
    if (len <= kMaxNameLength) {
        std::memmove(node->name, name, len);
        node->name[len] = '\0';
        drop_long_name(node);
        return true;
    }
    auto* block = static_cast<LongName*>(std::malloc(sizeof(LongName) + len + 1));
    if (block == nullptr) return false;
    block->length = len;
    block->prefix = name_prefix_length(name, len);
    std::memcpy(block->text(), name, len);
    block->text()[len] = '\0';
    drop_long_name(node);
    std::memcpy(node->name, block->text(), block->prefix);
    node->name[block->prefix] = '\0';
    detail::store_long_name_block(node, block);
    return true;
}

void drop_long_name(XMLNode* node) {
    LongName* block = detail::long_name_block(node);
    if (block == nullptr) return;
    std::free(block);
    detail::store_long_name_block(node, nullptr);
}

namespace {

// Writes the storage byte, the text and a terminator at `at`; returns the string.
char* place_string(char* at, char storage, const char* text, std::size_t len) {
    at[0] = storage;
    std::memcpy(at + 1, text, len);
    at[len + 1] = '\0';
    return at + 1;
}

}  // namespace

char* new_string(const char* text, std::size_t len) {
    if (len == 0) return empty_string;
    char* block = static_cast<char*>(std::malloc(len + 2));
    return block == nullptr ? nullptr : place_string(block, kOwnBlock, text, len);
}

void release_string(char* text) {
    if (text != nullptr && text[-1] == kOwnBlock) std::free(text - 1);
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
    char* old = *slot;
    char* block;
    if (old[-1] == kOwnBlock) {
        block = static_cast<char*>(std::realloc(old - 1, old_len + len + 2));
        if (block == nullptr) return false;
    } else {  // stored inside another block: move it out into a block of its own
        block = static_cast<char*>(std::malloc(old_len + len + 2));
        if (block == nullptr) return false;
        place_string(block, kOwnBlock, old, old_len);
    }
    std::memcpy(block + 1 + old_len, text, len);
    block[1 + old_len + len] = '\0';
    *slot = block + 1;
    return true;
}

XMLNode* new_node(int32_t type) { return new_node_with_value(type, nullptr, 0); }

namespace {

// A record without a value of its own keeps room for one child pointer right after it: most
// elements hold a single child (their text), which then costs no allocation of its own. A
// second child moves the sequence into a block of its own.
XMLNode** inline_children(XMLNode* node) { return reinterpret_cast<XMLNode**>(node + 1); }

void release_children_items(XMLNode* node) {
    if (node->children.items != inline_children(node)) std::free(node->children.items);
    node->children = XMLNodeList{nullptr, 0, 0};
}

}  // namespace

XMLNode* new_node_with_value(int32_t type, const char* text, std::size_t len) {
    std::size_t size = sizeof(XMLNode) + (len > 0 ? len + 2 : sizeof(XMLNode*));
    auto* node = static_cast<XMLNode*>(std::malloc(size));
    if (node == nullptr) return nullptr;
    *node = XMLNode{};  // zero the record only; what follows it is written below
    detail::store_long_name_block(node, nullptr);  // the assignment need not zero the padding
    node->type = type;
    if (len > 0) {
        node->value = place_string(reinterpret_cast<char*>(node + 1), kInsideBlock, text, len);
    } else {
        node->value = empty_string;
        node->children = XMLNodeList{inline_children(node), 0, 1};
    }
    return node;
}

XMLNode* new_element(const char* name, std::size_t name_len, const char* text, const AttributeText* attributes,
                     int32_t count) {
    std::size_t strings = 0;
    for (int32_t i = 0; i < count; ++i) strings += attributes[i].name_len + attributes[i].value_len + 4;
    std::size_t sequence = count > 0 ? kSequenceHeader + static_cast<std::size_t>(count) * sizeof(XMLAttr) : 0;
    auto* node = static_cast<XMLNode*>(std::malloc(sizeof(XMLNode) + sizeof(XMLNode*) + sequence + strings));
    if (node == nullptr) return nullptr;
    *node = XMLNode{};
    detail::store_long_name_block(node, nullptr);  // the assignment need not zero the padding
    node->type = XML_ELEMENT_NODE;
    node->value = empty_string;
    node->children = XMLNodeList{inline_children(node), 0, 1};
    std::memcpy(node->name, name, name_len);
    node->name[name_len] = '\0';
    if (count == 0) return node;
    char* header = reinterpret_cast<char*>(inline_children(node) + 1);
    header[0] = kInsideBlock;
    auto* items = reinterpret_cast<XMLAttr*>(header + kSequenceHeader);
    char* at = reinterpret_cast<char*>(items + count);
    for (int32_t i = 0; i < count; ++i) {
        const AttributeText& a = attributes[i];
        char* name_copy = place_string(at, kInsideBlock, text + a.name_at, a.name_len);
        at += a.name_len + 2;
        char* value_copy = place_string(at, kInsideBlock, text + a.value_at, a.value_len);
        at += a.value_len + 2;
        items[i] = XMLAttr{name_copy, a.type, value_copy};
    }
    node->attributes = XMLAttrList{items, count, count};
    return node;
}

namespace {

// The capacity a sequence grows to when it must hold `wanted` items: doubling, at least 4,
// capped at INT32_MAX.
int32_t next_capacity(int32_t capacity, int32_t wanted) {
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    int32_t next = capacity < 4 ? 4 : (capacity > kMax / 2 ? kMax : capacity * 2);
    return next < wanted ? wanted : next;
}

// Grows a sequence that is a malloc block of its own to hold at least `wanted` items.
template <typename T>
bool grow(T** items, int32_t* capacity, int32_t wanted) {
    if (wanted <= *capacity) return true;
    int32_t next = next_capacity(*capacity, wanted);
    T* moved = static_cast<T*>(std::realloc(*items, static_cast<std::size_t>(next) * sizeof(T)));
    if (moved == nullptr) return false;
    *items = moved;
    *capacity = next;
    return true;
}

bool has_room_for_one_more(int32_t count) { return count < std::numeric_limits<int32_t>::max(); }

// The storage byte of an attribute sequence, at the start of the header before its items.
char& sequence_storage(XMLAttr* items) { return reinterpret_cast<char*>(items)[-kSequenceHeader]; }

// Grows an attribute sequence to hold at least `wanted` items. One stored inside its
// element's block moves into a block of its own, which a realloc grows from then on.
bool grow_attributes(XMLAttrList* list, int32_t wanted) {
    if (wanted <= list->capacity) return true;
    int32_t next = next_capacity(list->capacity, wanted);
    std::size_t size = kSequenceHeader + static_cast<std::size_t>(next) * sizeof(XMLAttr);
    bool own = list->items == nullptr || sequence_storage(list->items) == kOwnBlock;
    char* block = static_cast<char*>(own ? std::realloc(list->items ? &sequence_storage(list->items) : nullptr, size)
                                         : std::malloc(size));
    if (block == nullptr) return false;
    auto* items = reinterpret_cast<XMLAttr*>(block + kSequenceHeader);
    if (!own && list->count > 0)
        std::memcpy(items, list->items, static_cast<std::size_t>(list->count) * sizeof(XMLAttr));
    block[0] = kOwnBlock;
    list->items = items;
    list->capacity = next;
    return true;
}

void release_attributes(XMLAttrList* list) {
    for (int32_t i = 0; i < list->count; ++i) replace_attribute_strings(&list->items[i], nullptr, nullptr);
    if (list->items != nullptr && sequence_storage(list->items) == kOwnBlock) std::free(&sequence_storage(list->items));
    *list = XMLAttrList{nullptr, 0, 0};
}

// Releases what a record owns apart from its children's records.
void release_fields(XMLNode* node) {
    release_attributes(&node->attributes);
    release_children_items(node);
    release_string(node->value);
    node->value = empty_string;
    drop_long_name(node);
}

// Frees every record below `node` without recursion or allocation: records waiting to be
// freed are chained through their `parent` field, which is dead once a record is doomed.
void free_descendants(XMLNode* node) {
    XMLNode* pending = nullptr;
    auto push_children = [&pending](XMLNode* of) {
        for (int32_t i = of->children.count - 1; i >= 0; --i) {
            XMLNode* child = of->children.items[i];
            child->parent = pending;
            pending = child;
        }
    };
    push_children(node);
    release_children_items(node);
    while (pending != nullptr) {
        XMLNode* doomed = pending;
        pending = doomed->parent;
        push_children(doomed);
        release_fields(doomed);
        std::free(doomed);
    }
}

}  // namespace

bool reserve_children(XMLNode* parent, int32_t capacity) {
    XMLNodeList* list = &parent->children;
    if (capacity <= list->capacity) return true;
    if (list->items != inline_children(parent))
        return grow(&list->items, &list->capacity, capacity);
    // Leaving the room after the record: the sequence moves into a block of its own.
    XMLNode** kept = list->items;
    int32_t kept_capacity = list->capacity;
    list->items = nullptr;
    list->capacity = 0;
    if (!grow(&list->items, &list->capacity, capacity)) {
        list->items = kept;
        list->capacity = kept_capacity;
        return false;
    }
    if (list->count > 0) std::memcpy(list->items, kept, static_cast<std::size_t>(list->count) * sizeof(XMLNode*));
    return true;
}

bool append_child(XMLNode* parent, XMLNode* child) {
    XMLNodeList* list = &parent->children;
    if (!has_room_for_one_more(list->count) || !reserve_children(parent, list->count + 1)) return false;
    list->items[list->count++] = child;
    return true;
}

bool adopt_content(XMLNode* to, XMLNode* from) {
    const int64_t attributes = int64_t{to->attributes.count} + from->attributes.count;
    const int64_t children = int64_t{to->children.count} + from->children.count;
    constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
    if (attributes > kMax || children > kMax) return false;
    if (!grow_attributes(&to->attributes, static_cast<int32_t>(attributes)) ||
        !reserve_children(to, static_cast<int32_t>(children)))
        return false;
    if (from->attributes.count > 0)
        std::memcpy(to->attributes.items + to->attributes.count, from->attributes.items,
                    static_cast<std::size_t>(from->attributes.count) * sizeof(XMLAttr));
    to->attributes.count = static_cast<int32_t>(attributes);
    from->attributes.count = 0;
    for (int32_t i = 0; i < from->children.count; ++i) {
        XMLNode* child = from->children.items[i];
        child->parent = to;
        to->children.items[to->children.count++] = child;
    }
    from->children.count = 0;
    return true;
}

void replace_attribute_strings(XMLAttr* attr, char* name, char* value) {
    release_string(attr->value);  // first: it may live inside the name's block
    release_string(attr->name);
    attr->name = name;
    attr->value = value;
}

namespace {

// Copies an attribute's name and value, in one block when both are non-empty:
// [own]name\0[inside]value\0. False when out of memory (nothing allocated then).
bool copy_attribute_strings(const char* name, std::size_t name_len, const char* value, std::size_t value_len,
                            char** name_copy, char** value_copy) {
    if (name_len > 0 && value_len > 0) {
        char* block = static_cast<char*>(std::malloc(name_len + value_len + 4));
        if (block == nullptr) return false;
        *name_copy = place_string(block, kOwnBlock, name, name_len);
        *value_copy = place_string(*name_copy + name_len + 1, kInsideBlock, value, value_len);
        return true;
    }
    *name_copy = new_string(name, name_len);
    *value_copy = *name_copy ? new_string(value, value_len) : nullptr;
    if (*value_copy != nullptr) return true;
    if (*name_copy != nullptr) release_string(*name_copy);
    return false;
}

}  // namespace

XMLAttr* append_attribute(XMLNode* node, const char* name, std::size_t name_len, const char* value,
                          std::size_t value_len, int32_t type) {
    XMLAttrList* list = &node->attributes;
    char* name_copy;
    char* value_copy;
    if (!has_room_for_one_more(list->count) ||
        !copy_attribute_strings(name, name_len, value, value_len, &name_copy, &value_copy))
        return nullptr;
    if (!grow_attributes(list, list->count + 1)) {
        XMLAttr doomed{name_copy, 0, value_copy};
        replace_attribute_strings(&doomed, nullptr, nullptr);
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

void (*document_freed)(const XMLNode* document) = nullptr;

void free_node(XMLNode* node) {
    if (node == nullptr) return;
    if (node->type == XML_DOCUMENT_NODE && document_freed != nullptr) document_freed(node);
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
