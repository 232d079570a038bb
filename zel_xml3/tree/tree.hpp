// Internal record operations shared by every subsystem. Records are plain C structs
// allocated with malloc; nothing here throws, failures are reported by return value.
#pragma once

#include "zel_xml3.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace zel::tree {

// Every owned string carries one byte just before its first character that says where its
// storage lives: kOwnBlock when the string is a malloc block of its own (starting at that
// byte), kInsideBlock when it lives inside another block and goes with it: the shared "",
// a text record's value stored after the record, an attribute's value stored after its
// name. This saves an allocation per text record and per attribute on the readers' hot path.
// Every string release goes through release_string, which frees own blocks only.
constexpr char kOwnBlock = 0;
constexpr char kInsideBlock = 1;

// The shared "" that fresh records point at, so an empty value costs no allocation.
extern char* const empty_string;

// Longest name a record can hold (its buffer keeps one byte for the terminator).
constexpr std::size_t kMaxNameLength = sizeof(XMLNode{}.name) - 1;

// True when `name` fits a record's name buffer with its terminator.
inline bool name_fits(const char* name) {
    for (std::size_t i = 0; i <= kMaxNameLength; ++i)
        if (name[i] == '\0') return true;
    return false;
}

// Long names. A record whose name is longer than kMaxNameLength (the readers make them; the
// create functions still refuse such names) keeps the leading bytes in `name`, cut at a UTF-8
// character boundary, and the whole name in a LongName block of its own. The record struct
// has no field for the block's address, so it is kept in the struct's two 4-byte padding
// holes: after `type` and after `intValue`. Every record is allocated by the library, which
// writes a null address into a record it makes, so the holes are always defined.
struct LongName {
    std::size_t length;  // bytes of the whole name, without its terminator
    std::size_t prefix;  // bytes of it that `name` held when it was set
    const char* text() const { return reinterpret_cast<const char*>(this + 1); }
    char* text() { return reinterpret_cast<char*>(this + 1); }
};

namespace detail {

constexpr std::size_t kLowHalfAt = offsetof(XMLNode, type) + sizeof(int32_t);
constexpr std::size_t kHighHalfAt = offsetof(XMLNode, intValue) + sizeof(int32_t);
static_assert(sizeof(void*) == 8 && sizeof(std::uintptr_t) == 8, "the address is kept as two 4-byte halves");
static_assert(offsetof(XMLNode, value) - kLowHalfAt == 4, "4 padding bytes follow XMLNode::type");
static_assert(offsetof(XMLNode, attributes) - kHighHalfAt == 4, "4 padding bytes follow XMLNode::intValue");
static_assert(kLowHalfAt == 36 && kHighHalfAt == 52, "the padding holes of the LP64 record layout");

// Reads and writes the block's address in the padding holes, byte-wise: never through a
// struct member, and never by assigning a whole XMLNode, which need not carry the padding.
inline LongName* long_name_block(const XMLNode* node) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(node);
    std::uint32_t low;
    std::uint32_t high;
    std::memcpy(&low, bytes + kLowHalfAt, sizeof low);
    std::memcpy(&high, bytes + kHighHalfAt, sizeof high);
    return reinterpret_cast<LongName*>((std::uintptr_t{high} << 32) | low);
}

inline void store_long_name_block(XMLNode* node, const LongName* block) {
    auto address = reinterpret_cast<std::uintptr_t>(block);
    auto low = static_cast<std::uint32_t>(address);
    auto high = static_cast<std::uint32_t>(address >> 32);
    auto* bytes = reinterpret_cast<unsigned char*>(node);
    std::memcpy(bytes + kLowHalfAt, &low, sizeof low);
    std::memcpy(bytes + kHighHalfAt, &high, sizeof high);
}

// The whole name when `name` still holds exactly the prefix it was cut to; nullptr when the
// host has written `name` since.
inline const LongName* agreeing_long_name(const XMLNode* node) {
    const LongName* block = long_name_block(node);
    if (block == nullptr) return nullptr;
    bool agrees = node->name[block->prefix] == '\0' && std::memcmp(node->name, block->text(), block->prefix) == 0;
    return agrees ? block : nullptr;
}

bool long_name_equals(const XMLNode* node, const char* name);

}  // namespace detail

// The record's whole name: the long name it was given while `name` still holds that name's
// leading bytes as they were cut, else `name` itself. Owned by the record.
inline const char* whole_name(const XMLNode* node) {
    if (detail::long_name_block(node) == nullptr) return node->name;
    const LongName* block = detail::agreeing_long_name(node);
    return block != nullptr ? block->text() : node->name;
}

// The length in bytes of whole_name(node).
inline std::size_t whole_name_length(const XMLNode* node) {
    if (detail::long_name_block(node) == nullptr) return std::strlen(node->name);
    const LongName* block = detail::agreeing_long_name(node);
    return block != nullptr ? block->length : std::strlen(node->name);
}

// How many leading bytes of a name of `len` bytes a record's `name` holds: all of them up to
// kMaxNameLength, else kMaxNameLength less the bytes of a UTF-8 character that would be cut.
std::size_t name_prefix_length(const char* name, std::size_t len);

// Names the record with `len` bytes at `name` (no terminator needed, no NUL inside). Up to
// kMaxNameLength bytes: as set_name. Longer: the cut prefix in `name`, the whole name in a
// block of the record's own. Any long name the record had goes. False when out of memory,
// with the record unchanged.
bool set_long_name(XMLNode* node, const char* name, std::size_t len);

// Frees the record's long name, if any; `name` is left as it is.
void drop_long_name(XMLNode* node);

// Exact, case-sensitive comparison of a record's whole name with a wanted name. A wanted
// name of more than kMaxNameLength bytes matches only a record with a long name.
inline bool name_equals(const XMLNode* node, const char* name) {
    if (detail::long_name_block(node) != nullptr) return detail::long_name_equals(node, name);
    return std::strncmp(node->name, name, sizeof node->name) == 0;
}

// Copies a name that fits (see name_fits) into the record's buffer; any long name goes.
void set_name(XMLNode* node, const char* name);

// Owned strings. new_string copies `len` bytes and adds a terminator; nullptr when out of
// memory. release_string frees a string that is a block of its own and leaves the others.
char* new_string(const char* text, std::size_t len);
void release_string(char* text);
// Replaces *slot with a copy of `text`; false (and *slot unchanged) when out of memory.
bool replace_string(char** slot, const char* text, std::size_t len);
// Appends to *slot, which holds `old_len` bytes; false (and *slot unchanged) when out of memory.
bool append_string(char** slot, std::size_t old_len, const char* text, std::size_t len);

// A fresh record: empty name and value, no attributes or children, null links, type `type`.
// nullptr when out of memory.
XMLNode* new_node(int32_t type);

// A fresh record like new_node whose value is a copy of `text`, stored in the record's own
// block. nullptr when out of memory.
XMLNode* new_node_with_value(int32_t type, const char* text, std::size_t len);

// Attribute sequences carry a header of this size just before their first item; its first
// byte says, as a string's does, where the items live: kOwnBlock for a malloc block of their
// own (starting at the header), kInsideBlock for a sequence stored in its element's block.
constexpr std::ptrdiff_t kSequenceHeader = alignof(XMLAttr);

// One attribute for new_element: its name and value as byte ranges of one buffer, its type.
struct AttributeText {
    std::size_t name_at, name_len, value_at, value_len;
    int32_t type;
};

// A fresh element record named `name` (name_len <= kMaxNameLength) holding `count`
// attributes whose strings are taken from `text`: the record, its attribute sequence and the
// attributes' strings in one block, so a reader makes an element with one allocation. The
// sequence moves out when it grows, the strings when they are replaced. nullptr when out of
// memory.
XMLNode* new_element(const char* name, std::size_t name_len, const char* text, const AttributeText* attributes,
                     int32_t count);

// What a record costs a read's memory budget, defined here beside the layout it measures:
// the record, its text stored after it (with the storage byte and the terminator) or its
// first child pointer, and its place in the parent's child sequence. An attribute costs its
// slot in the sequence and its one block holding both strings.
constexpr std::size_t kRecordBytes = sizeof(XMLNode) + sizeof(XMLNode*);
inline std::size_t record_cost(std::size_t text_bytes) { return kRecordBytes + text_bytes + 2; }
inline std::size_t attribute_cost(std::size_t name_bytes, std::size_t value_bytes) {
    return sizeof(XMLAttr) + name_bytes + value_bytes + 4;
}
// A name of `name_bytes` bytes costs its LongName block when it does not fit `name`.
inline std::size_t long_name_cost(std::size_t name_bytes) {
    return name_bytes > kMaxNameLength ? sizeof(LongName) + name_bytes + 1 : 0;
}

// XMLCreateElementNode for a name whose length is known, with attributes as new_element
// takes them: appends the element to `parent` and returns it; nullptr when out of memory.
XMLNode* create_element(XMLNode* parent, const char* name, std::size_t name_len, const char* text,
                        const AttributeText* attributes, int32_t count);

// Throws what the record functions throw for a name of more than kMaxNameLength bytes.
[[noreturn]] void throw_name_too_long();

// XMLCreateTextNode for a text whose length is known: appends a text record holding a copy
// of `len` bytes to `parent` and returns it; nullptr when out of memory (nothing appended).
XMLNode* create_text(XMLNode* parent, const char* text, std::size_t len);

// Makes `root` stand for the document until the document element fills it: empty name,
// type XML_DOCUMENT_NODE, empty value. Attributes and children already there are kept.
void prepare_document_root(XMLNode* root);

// Moves the attributes and children of `from` after those of `to`, leaving `from` without
// either. False when out of memory; nothing moves then. The attributes of `from` must own
// their strings (appended with append_attribute, not made by new_element): strings stored in
// the block of `from` would go with it.
bool adopt_content(XMLNode* to, XMLNode* from);

// Appends `child` to `parent->children`, growing the sequence geometrically.
// False when out of memory or full; `parent` is unchanged then.
bool append_child(XMLNode* parent, XMLNode* child);

// Appends a record just made (nullptr accepted: nothing happens) to `parent` and sets its
// parent link; returns it. When it cannot be appended it is freed and nullptr comes back.
XMLNode* attach_new_child(XMLNode* parent, XMLNode* child);

// Position of `child` in `parent->children`, or -1 when `parent` does not hold it. Looks from
// both ends at once, so finding a child costs no more than moving the children after it
// (and taking children from the end, one by one, costs nothing per child).
inline int32_t child_index(const XMLNode* parent, const XMLNode* child) {
    XMLNode* const* items = parent->children.items;
    for (int32_t front = 0, back = parent->children.count - 1; front <= back; ++front, --back) {
        if (items[back] == child) return back;
        if (items[front] == child) return front;
    }
    return -1;
}

// Makes room for `capacity` children without appending; false when out of memory.
bool reserve_children(XMLNode* parent, int32_t capacity);

// Appends an attribute with copies of the given strings, both in one block. Returns the new
// attribute (valid until the next append to the same node), nullptr when out of memory
// (node unchanged).
XMLAttr* append_attribute(XMLNode* node, const char* name, std::size_t name_len, const char* value,
                          std::size_t value_len, int32_t type);

// Gives an attribute new strings (owned by it from now on) and releases the old ones in the
// order that keeps a value stored inside its name's block valid until it is released.
void replace_attribute_strings(XMLAttr* attr, char* name, char* value);

// Frees every descendant and every attribute of `node`, leaving both sequences empty.
// Name (a long one included), type, value, intValue, parent and docRef are untouched: the
// record stays valid. Iterative, allocation-free.
void empty_node(XMLNode* node);

// Called with a document record (type 11) about to be freed, when set: what the layers above
// keep for a document (its source text) goes with it. Set once, while the library loads.
extern void (*document_freed)(const XMLNode* document);

// Frees `node`, everything it owns and the record itself. Accepts nullptr.
void free_node(XMLNode* node);

// Takes the last child out of `parent` and frees it with its subtree.
void drop_last_child(XMLNode* parent);

}  // namespace zel::tree

namespace zel::tree {

// True when every byte is XML-ish white space: space, tab, line feed, vertical tab, form
// feed or carriage return. Bytes from 0x80 up are never white space. Empty text is blank.
inline bool is_blank(const char* text, std::size_t len) {
    for (std::size_t i = 0; i < len; ++i) {
        char c = text[i];
        if (c != ' ' && c != '\t' && c != '\n' && c != '\v' && c != '\f' && c != '\r') return false;
    }
    return true;
}

}  // namespace zel::tree
