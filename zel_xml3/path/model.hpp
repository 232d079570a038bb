// The tree as XPath sees it: nodes over records, their axes, string values, names and
// document order. Nothing here recurses on document depth.
#pragma once

#include "zel_xml3.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zel::path {

enum class Kind : std::uint8_t { Root, Element, Text, Comment, PI, Attribute, Namespace };

// One XPath node.
//   Root:      rec is the document record, or the top record of a tree without one (then
//              the root stands above it: `virtual_root()`).
//   Element, Comment, PI: rec is the record. Text: rec is the first record of the run.
//   Attribute: rec is the element, attr the index in its attributes.
//   Namespace: rec is the element it belongs to, owner the element whose xmlns attribute
//              `attr` declares it; owner nullptr (attr -1) for the xml prefix.
struct Node {
    const XMLNode* rec = nullptr;
    const XMLNode* owner = nullptr;
    std::int32_t attr = -1;
    Kind kind = Kind::Root;

    bool operator==(const Node& o) const {
        return rec == o.rec && owner == o.owner && attr == o.attr && kind == o.kind;
    }
    bool virtual_root() const { return kind == Kind::Root && rec->type != XML_DOCUMENT_NODE; }
    const XMLAttr& attribute() const { return (kind == Kind::Namespace ? owner : rec)->attributes.items[attr]; }
};

extern const char kXmlNamespace[];

// A record's own kind of node; Text for every record that holds text (type 1, CDATA and an
// unnamed element), whether or not it starts a run.
Kind kind_of(const XMLNode* record);
// A record that holds text of XPath's data model: text, CDATA or an unnamed element, not empty.
bool holds_text(const XMLNode* record);
// Whether an xmlns or xmlns:* attribute name.
bool is_namespace_declaration(const char* name);

// Which nodes an axis walk keeps (all when `keep` is null): the node test, checked while
// walking so that a walk over a large subtree keeps only what it selects.
// A walk stops once `limit` nodes are in its output (a step whose first predicate is [n]).
struct NodeFilter {
    bool (*keep)(const Node& n, const void* data) = nullptr;
    const void* data = nullptr;
    std::size_t limit = static_cast<std::size_t>(-1);
    bool operator()(const Node& n) const { return keep == nullptr || keep(n, data); }
};

// A map from record addresses to small values: open addressing with linear probing in one
// array, no allocation per entry (maps here hold up to every record of a tree).
template <typename V>
class PointerMap {
public:
    bool empty() const { return size_ == 0; }
    void reserve(std::size_t n) {
        std::size_t want = 16;
        while (want < n * 2) want *= 2;
        if (want > slots_.size()) rehash(want);
    }
    void insert(const XMLNode* key, V value) {
        if ((size_ + 1) * 2 > slots_.size()) rehash(slots_.empty() ? 16 : slots_.size() * 2);
        std::size_t i = slot_of(key);
        if (slots_[i].key == nullptr) ++size_;
        slots_[i] = Slot{key, value};
    }
    const V* find(const XMLNode* key) const {
        if (slots_.empty()) return nullptr;
        const Slot& s = slots_[slot_of(key)];
        return s.key == key ? &s.value : nullptr;
    }

private:
    struct Slot {
        const XMLNode* key = nullptr;
        V value{};
    };
    std::size_t slot_of(const XMLNode* key) const {
        const std::size_t mask = slots_.size() - 1;
        std::size_t i = (reinterpret_cast<std::uintptr_t>(key) >> 4) * 0x9E3779B97F4A7C15ull >> 20 & mask;
        while (slots_[i].key != nullptr && slots_[i].key != key) i = (i + 1) & mask;
        return i;
    }
    void rehash(std::size_t n) {
        std::vector<Slot> old(n);
        old.swap(slots_);
        size_ = 0;
        for (const Slot& s : old)
            if (s.key != nullptr) insert(s.key, s.value);
    }
    std::vector<Slot> slots_;
    std::size_t size_ = 0;
};

// Per-evaluation memory of where records stand: their index among their parent's children,
// the nearest element declaring namespaces, and (for large sorts) every record's place in
// document order. Valid while the tree does not change.
class Navigator {
public:
    // The node a record stands for (Root for a document record).
    Node node_of(const XMLNode* record) const;
    // The root of the tree holding `record`.
    Node root_of(const XMLNode* record) const;
    // The first record of the text run `record` (a record holding text) belongs to.
    const XMLNode* run_start(const XMLNode* record);
    // Whether a record is a node XPath sees: not empty text, text beside the document
    // element, an entity reference or a DOCTYPE.
    static bool is_node(const XMLNode* record);
    // XPath's parent; false for the root.
    bool parent(const Node& n, Node& out) const;

    // Appends the nodes of an axis in the axis's order (reverse axes nearest first).
    void children(const Node& n, std::vector<Node>& out, NodeFilter keep = {}) const;
    void descendants(const Node& n, bool self, std::vector<Node>& out, NodeFilter keep = {}) const;
    void following_siblings(const Node& n, std::vector<Node>& out, NodeFilter keep = {});
    void preceding_siblings(const Node& n, std::vector<Node>& out, NodeFilter keep = {});
    void following(const Node& n, std::vector<Node>& out, NodeFilter keep = {});
    void preceding(const Node& n, std::vector<Node>& out, NodeFilter keep = {});
    void attributes(const Node& n, std::vector<Node>& out, NodeFilter keep = {}) const;
    void namespaces(const Node& n, std::vector<Node>& out, NodeFilter keep = {}) const;

    // XPath's string-value, appended to `out`.
    void string_value(const Node& n, std::string& out);
    std::string string_value(const Node& n) {
        std::string s;
        string_value(n, s);
        return s;
    }

    // The name as written (prefix:local), the local part, and the namespace URI the prefix
    // (or the default namespace, for an element) resolves to in the node's scope. found is
    // false for a prefix no declaration in scope binds.
    std::string_view qname(const Node& n) const;
    static std::string_view local_part(std::string_view qname);
    std::string_view namespace_uri(const Node& n, bool& found);
    // The URI `prefix` ("" for the default namespace) has in the scope of element `element`.
    std::string_view resolve(const XMLNode* element, std::string_view prefix, bool& found);

    // Document order: negative, zero or positive.
    int compare(const Node& a, const Node& b);
    // Sorts into document order and drops duplicates.
    void sort_unique(std::vector<Node>& nodes);

private:
    std::int32_t index_of(const XMLNode* child);
    const XMLNode* nearest_declaring(const XMLNode* element);
    void sibling_path(const Node& n, std::vector<std::pair<const XMLNode*, std::int32_t>>& frames);
    std::uint64_t ordinal(const XMLNode* record);
    void element_text(const XMLNode* element, std::string& out);

    std::unordered_map<const XMLNode*, PointerMap<std::int32_t>> indexes_;
    PointerMap<const XMLNode*> declaring_;
    struct Resolved {
        std::string_view uri;
        bool found = false;
    };
    std::vector<std::pair<std::string, PointerMap<Resolved>>> resolved_;  // per prefix, per scope
    std::vector<const XMLNode*> scratch_;
    PointerMap<std::uint64_t> ordinals_;
    // The string values of elements that hold elements, as ranges of `texts_`: one walk of
    // such a subtree gives every element in it its value, so asking each of a million
    // nested elements for its value costs one walk, not a million.
    struct Range {
        std::size_t start = 0, end = 0;
    };
    PointerMap<Range> text_ranges_;
    std::string texts_;
    int uncached_walks_ = 0;
};

}  // namespace zel::path
