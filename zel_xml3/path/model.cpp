// XPath's view of records: which records are nodes, the axes, string values, names and
// document order, all with explicit stacks.
#include "path/model.hpp"

#include "tree/tree.hpp"

#include <algorithm>
#include <cstring>
#include <limits>
#include <unordered_set>

namespace zel::path {

const char kXmlNamespace[] = "http://www.w3.org/XML/1998/namespace";

namespace {

// Parents with more children than this get an index map instead of a scan.
constexpr std::int32_t kScanLimit = 32;
// String values of elements holding elements walked for alone before the ranges are kept.
constexpr int kWalksBeforeRanges = 8;
// Sorts of more nodes than this number every record of the tree once instead of comparing
// ancestor chains.
constexpr std::size_t kChainSortLimit = 64;

// Keeps `n` when the filter does; false once the output holds as many nodes as wanted.
bool push(std::vector<Node>& out, const NodeFilter& keep, const Node& n) {
    if (keep(n)) out.push_back(n);
    return out.size() < keep.limit;
}

bool is_container(Kind kind) { return kind == Kind::Root || kind == Kind::Element; }

// How a record counts among the children of a container: false for records XPath does not
// see (empty text, DOCTYPE, and any text directly below a document record).
bool child_kind(const XMLNode* record, bool document_container, Kind& kind) {
    switch (record->type) {
        case XML_ELEMENT_NODE:
            if (record->name[0] != '\0') {
                kind = Kind::Element;
                return true;
            }
            [[fallthrough]];
        case XML_TEXT_NODE:
        case XML_CDATA_SECTION_NODE:
            kind = Kind::Text;
            return !document_container && holds_text(record);
        case XML_COMMENT_NODE: kind = Kind::Comment; return true;
        case XML_PROCESSING_INSTRUCTION_NODE: kind = Kind::PI; return true;
        default: return false;
    }
}

// The element or document record above `record`, entity references passed through; nullptr
// at the top.
const XMLNode* logical_parent(const XMLNode* record) {
    const XMLNode* p = record->parent;
    while (p != nullptr && p->type == XML_ENTITY_REFERENCE_NODE) p = p->parent;
    return p;
}

const XMLNode* top_of(const XMLNode* record) {
    while (record->parent != nullptr) record = record->parent;
    return record;
}

// A walk over the records that stand in a container's child list, in either direction:
// entity references are entered and their records stand in their place.
struct Frame {
    const XMLNode* parent;
    std::int32_t index;  // the next child to look at
};

const XMLNode* next_forward(std::vector<Frame>& frames) {
    while (!frames.empty()) {
        Frame& f = frames.back();
        if (f.index >= f.parent->children.count) {
            frames.pop_back();
            continue;
        }
        const XMLNode* r = f.parent->children.items[f.index++];
        if (r->type == XML_ENTITY_REFERENCE_NODE) {
            frames.push_back(Frame{r, 0});
            continue;
        }
        return r;
    }
    return nullptr;
}

const XMLNode* next_backward(std::vector<Frame>& frames) {
    while (!frames.empty()) {
        Frame& f = frames.back();
        if (f.index < 0) {
            frames.pop_back();
            continue;
        }
        const XMLNode* r = f.parent->children.items[f.index--];
        if (r->type == XML_ENTITY_REFERENCE_NODE) {
            frames.push_back(Frame{r, r->children.count - 1});
            continue;
        }
        return r;
    }
    return nullptr;
}

// Records whose children hold text of an element's string value: named elements and entity
// references (an unnamed element's text is its own value).
bool is_walked_through(const XMLNode* r) {
    return r->children.count > 0 &&
           ((r->type == XML_ELEMENT_NODE && r->name[0] != '\0') || r->type == XML_ENTITY_REFERENCE_NODE);
}

// Appends the text of every record below `record` (not itself) in document order; records
// directly below a document record are left out when they are text.
void append_text_below(const XMLNode* record, std::string& out) {
    std::vector<Frame> frames{Frame{record, 0}};
    while (!frames.empty()) {
        Frame& f = frames.back();
        if (f.index >= f.parent->children.count) {
            frames.pop_back();
            continue;
        }
        const XMLNode* r = f.parent->children.items[f.index++];
        if (holds_text(r)) {
            if (f.parent->type != XML_DOCUMENT_NODE) out += r->value;
        } else if (is_walked_through(r)) {
            frames.push_back(Frame{r, 0});
        }
    }
}

}  // namespace

bool holds_text(const XMLNode* record) {
    bool text_type = record->type == XML_TEXT_NODE || record->type == XML_CDATA_SECTION_NODE ||
                     (record->type == XML_ELEMENT_NODE && record->name[0] == '\0');
    return text_type && record->value != nullptr && record->value[0] != '\0';
}

Kind kind_of(const XMLNode* record) {
    switch (record->type) {
        case XML_DOCUMENT_NODE: return Kind::Root;
        case XML_ELEMENT_NODE: return record->name[0] != '\0' ? Kind::Element : Kind::Text;
        case XML_COMMENT_NODE: return Kind::Comment;
        case XML_PROCESSING_INSTRUCTION_NODE: return Kind::PI;
        default: return Kind::Text;
    }
}

bool is_namespace_declaration(const char* name) {
    return std::strncmp(name, "xmlns", 5) == 0 && (name[5] == '\0' || name[5] == ':');
}

Node Navigator::node_of(const XMLNode* record) const {
    Node n;
    n.rec = record;
    n.kind = kind_of(record);
    return n;
}

Node Navigator::root_of(const XMLNode* record) const {
    Node n;
    n.rec = top_of(record);
    n.kind = Kind::Root;
    return n;
}

bool Navigator::parent(const Node& n, Node& out) const {
    switch (n.kind) {
        case Kind::Root: return false;
        case Kind::Attribute:
        case Kind::Namespace:
            out = Node{n.rec, nullptr, -1, Kind::Element};
            return true;
        default: break;
    }
    const XMLNode* p = logical_parent(n.rec);
    if (p == nullptr) {
        out = root_of(n.rec);  // the top record stands below a root of its own
        return true;
    }
    out = node_of(p);
    return true;
}

void Navigator::children(const Node& n, std::vector<Node>& out, NodeFilter keep) const {
    if (!is_container(n.kind)) return;
    if (n.virtual_root()) {
        Kind kind;
        if (child_kind(n.rec, false, kind)) push(out, keep, Node{n.rec, nullptr, -1, kind});
        return;
    }
    const bool document = n.rec->type == XML_DOCUMENT_NODE;
    std::vector<Frame> frames{Frame{n.rec, 0}};
    bool in_text = false;
    while (const XMLNode* r = next_forward(frames)) {
        Kind kind;
        if (!child_kind(r, document, kind)) continue;
        if (kind == Kind::Text && in_text) continue;
        in_text = kind == Kind::Text;
        if (!push(out, keep, Node{r, nullptr, -1, kind})) return;
    }
}

void Navigator::descendants(const Node& n, bool self, std::vector<Node>& out, NodeFilter keep) const {
    if (self && !push(out, keep, n)) return;
    if (!is_container(n.kind)) return;
    if (n.virtual_root()) {
        Node top;
        Kind kind;
        if (!child_kind(n.rec, false, kind)) return;
        top = Node{n.rec, nullptr, -1, kind};
        descendants(top, true, out, keep);
        return;
    }
    // Each frame is a container's walk; an entity reference's frame carries on the text run
    // of the frame below it and hands it back when done.
    struct Walk {
        const XMLNode* parent;
        std::int32_t index;
        bool in_text;
        bool document;
    };
    std::vector<Walk> walks{Walk{n.rec, 0, false, n.rec->type == XML_DOCUMENT_NODE}};
    while (!walks.empty()) {
        Walk& w = walks.back();
        if (w.index >= w.parent->children.count) {
            const bool in_text = w.in_text;
            const bool transparent = w.parent->type == XML_ENTITY_REFERENCE_NODE;
            walks.pop_back();
            if (transparent && !walks.empty()) walks.back().in_text = in_text;
            continue;
        }
        const XMLNode* r = w.parent->children.items[w.index++];
        if (r->type == XML_ENTITY_REFERENCE_NODE) {
            walks.push_back(Walk{r, 0, w.in_text, false});
            continue;
        }
        Kind kind;
        if (!child_kind(r, w.document, kind)) continue;
        if (kind == Kind::Text) {
            if (!w.in_text && !push(out, keep, Node{r, nullptr, -1, kind})) return;
            w.in_text = true;
            continue;
        }
        w.in_text = false;
        if (!push(out, keep, Node{r, nullptr, -1, kind})) return;
        if (kind == Kind::Element && r->children.count > 0) walks.push_back(Walk{r, 0, false, false});
    }
}

std::int32_t Navigator::index_of(const XMLNode* child) {
    const XMLNode* p = child->parent;
    if (p->children.count <= kScanLimit) {
        for (std::int32_t i = 0; i < p->children.count; ++i)
            if (p->children.items[i] == child) return i;
        return -1;
    }
    auto& map = indexes_[p];
    if (map.empty()) {
        map.reserve(static_cast<std::size_t>(p->children.count));
        for (std::int32_t i = 0; i < p->children.count; ++i) map.insert(p->children.items[i], i);
    }
    const std::int32_t* found = map.find(child);
    return found == nullptr ? -1 : *found;
}

// The frames that walk on from the record of `n` to the end of its parent's children:
// the logical parent's frame first, each entity reference between them after it.
void Navigator::sibling_path(const Node& n, std::vector<std::pair<const XMLNode*, std::int32_t>>& frames) {
    frames.clear();
    const XMLNode* r = n.rec;
    while (r->parent != nullptr) {
        frames.emplace_back(r->parent, index_of(r));
        if (r->parent->type != XML_ENTITY_REFERENCE_NODE) break;
        r = r->parent;
    }
    std::reverse(frames.begin(), frames.end());
}

const XMLNode* Navigator::run_start(const XMLNode* record) {
    std::vector<std::pair<const XMLNode*, std::int32_t>> path;
    sibling_path(Node{record, nullptr, -1, Kind::Text}, path);
    std::vector<Frame> frames;
    for (auto& [parent, index] : path) frames.push_back(Frame{parent, index - 1});
    const XMLNode* start = record;
    while (const XMLNode* r = next_backward(frames)) {
        Kind kind;
        if (!child_kind(r, false, kind)) continue;
        if (kind != Kind::Text) break;
        start = r;
    }
    return start;
}

bool Navigator::is_node(const XMLNode* record) {
    switch (record->type) {
        case XML_DOCUMENT_NODE: return record->parent == nullptr;
        case XML_ENTITY_REFERENCE_NODE:
        case XML_DOCUMENT_TYPE_NODE: return false;
        default: break;
    }
    Kind kind;
    const XMLNode* parent = logical_parent(record);
    return parent == nullptr || child_kind(record, parent->type == XML_DOCUMENT_NODE, kind);
}

void Navigator::following_siblings(const Node& n, std::vector<Node>& out, NodeFilter keep) {
    if (n.kind == Kind::Root || n.kind == Kind::Attribute || n.kind == Kind::Namespace) return;
    std::vector<std::pair<const XMLNode*, std::int32_t>> path;
    sibling_path(n, path);
    if (path.empty()) return;
    const bool document = path.front().first->type == XML_DOCUMENT_NODE;
    std::vector<Frame> frames;
    for (auto& [parent, index] : path) frames.push_back(Frame{parent, index + 1});
    bool in_text = n.kind == Kind::Text;  // the rest of its own run belongs to it
    while (const XMLNode* r = next_forward(frames)) {
        Kind kind;
        if (!child_kind(r, document, kind)) continue;
        if (kind == Kind::Text && in_text) continue;
        in_text = kind == Kind::Text;
        if (!push(out, keep, Node{r, nullptr, -1, kind})) return;
    }
}

void Navigator::preceding_siblings(const Node& n, std::vector<Node>& out, NodeFilter keep) {
    if (n.kind == Kind::Root || n.kind == Kind::Attribute || n.kind == Kind::Namespace) return;
    std::vector<std::pair<const XMLNode*, std::int32_t>> path;
    sibling_path(n, path);
    if (path.empty()) return;
    const bool document = path.front().first->type == XML_DOCUMENT_NODE;
    std::vector<Frame> frames;
    for (auto& [parent, index] : path) frames.push_back(Frame{parent, index - 1});
    // Going backwards, a text node is known only when its run ends: at its first record.
    const XMLNode* run = nullptr;
    while (const XMLNode* r = next_backward(frames)) {
        Kind kind;
        if (!child_kind(r, document, kind)) continue;
        if (kind == Kind::Text) {
            run = r;
            continue;
        }
        if (run != nullptr && !push(out, keep, Node{run, nullptr, -1, Kind::Text})) return;
        run = nullptr;
        if (!push(out, keep, Node{r, nullptr, -1, kind})) return;
    }
    if (run != nullptr) push(out, keep, Node{run, nullptr, -1, Kind::Text});
}

void Navigator::following(const Node& n, std::vector<Node>& out, NodeFilter keep) {
    Node x = n;
    if (n.kind == Kind::Attribute || n.kind == Kind::Namespace) {
        parent(n, x);
        descendants(x, false, out, keep);  // they follow the attribute in document order
        if (out.size() >= keep.limit) return;
    }
    std::vector<Node> siblings;
    Node up;
    while (parent(x, up)) {
        siblings.clear();
        following_siblings(x, siblings);
        for (const Node& s : siblings) {
            descendants(s, true, out, keep);
            if (out.size() >= keep.limit) return;
        }
        x = up;
    }
}

void Navigator::preceding(const Node& n, std::vector<Node>& out, NodeFilter keep) {
    Node x = n;
    if (n.kind == Kind::Attribute || n.kind == Kind::Namespace) parent(n, x);
    std::vector<Node> siblings;
    std::vector<Node> subtree;
    NodeFilter whole = keep;  // a subtree is wanted whole: its last nodes come first here
    whole.limit = static_cast<std::size_t>(-1);
    Node up;
    while (parent(x, up)) {
        siblings.clear();
        preceding_siblings(x, siblings);
        for (const Node& s : siblings) {
            subtree.clear();
            descendants(s, true, subtree, whole);
            out.insert(out.end(), subtree.rbegin(), subtree.rend());
            if (out.size() >= keep.limit) {
                out.resize(keep.limit);
                return;
            }
        }
        x = up;
    }
}

void Navigator::attributes(const Node& n, std::vector<Node>& out, NodeFilter keep) const {
    if (n.kind != Kind::Element) return;
    for (std::int32_t i = 0; i < n.rec->attributes.count; ++i)
        if (!is_namespace_declaration(n.rec->attributes.items[i].name))
            if (!push(out, keep, Node{n.rec, nullptr, i, Kind::Attribute})) return;
}

// The element's own declarations first, in attribute order, then each ancestor's that no
// nearer one hides, then the xml prefix's. xmlns="" hides the default namespace.
void Navigator::namespaces(const Node& n, std::vector<Node>& out, NodeFilter keep) const {
    if (n.kind != Kind::Element) return;
    std::unordered_set<std::string_view> seen;
    for (const XMLNode* e = n.rec; e != nullptr && e->type == XML_ELEMENT_NODE; e = logical_parent(e)) {
        for (std::int32_t i = 0; i < e->attributes.count; ++i) {
            const char* name = e->attributes.items[i].name;
            if (!is_namespace_declaration(name)) continue;
            std::string_view prefix = name[5] == ':' ? std::string_view(name + 6) : std::string_view();
            if (prefix == "xml" || !seen.insert(prefix).second) continue;
            if (e->attributes.items[i].value[0] != '\0' && !push(out, keep, Node{n.rec, e, i, Kind::Namespace})) return;
        }
    }
    if (!push(out, keep, Node{n.rec, nullptr, -1, Kind::Namespace})) return;
}

void Navigator::string_value(const Node& n, std::string& out) {
    switch (n.kind) {
        case Kind::Attribute: out += n.attribute().value; return;
        case Kind::Namespace: out += n.owner != nullptr ? n.attribute().value : kXmlNamespace; return;
        case Kind::Comment:
        case Kind::PI: out += n.rec->value; return;
        case Kind::Text: {
            std::vector<Frame> frames;
            // The run starts at the record itself; around it, each entity reference's parent
            // goes on after the reference.
            for (const XMLNode* r = n.rec; r->parent != nullptr; r = r->parent) {
                frames.insert(frames.begin(), Frame{r->parent, index_of(r) + (r == n.rec ? 0 : 1)});
                if (r->parent->type != XML_ENTITY_REFERENCE_NODE) break;
            }
            if (frames.empty()) {
                out += n.rec->value;
                return;
            }
            while (const XMLNode* r = next_forward(frames)) {
                Kind kind;
                if (!child_kind(r, false, kind)) continue;
                if (kind != Kind::Text) break;
                out += r->value;
            }
            return;
        }
        case Kind::Root:
            if (n.virtual_root()) {
                if (holds_text(n.rec)) out += n.rec->value;
                else if (n.rec->type == XML_ELEMENT_NODE) append_text_below(n.rec, out);
                return;
            }
            append_text_below(n.rec, out);
            return;
        case Kind::Element: element_text(n.rec, out); return;
    }
}

void Navigator::element_text(const XMLNode* element, std::string& out) {
    if (const Range* known = text_ranges_.find(element)) {
        out.append(texts_, known->start, known->end - known->start);
        return;
    }
    bool holds_elements = false;
    for (std::int32_t i = 0; i < element->children.count && !holds_elements; ++i) {
        const XMLNode* child = element->children.items[i];
        holds_elements = child->type == XML_ENTITY_REFERENCE_NODE ||
                         (child->type == XML_ELEMENT_NODE && child->name[0] != '\0');
    }
    // The first few values are walked for alone: a single question (XMLGetPathNodeText, a
    // string() of one node) should not pay for remembering a whole subtree.
    if (!holds_elements || ++uncached_walks_ <= kWalksBeforeRanges) {
        append_text_below(element, out);
        return;
    }
    // Many values asked for: one walk from the top element gives every element its range, in
    // whatever order (innermost first, as ancestor:: asks) the values are wanted.
    const XMLNode* top = element;
    for (const XMLNode* up = logical_parent(top); up != nullptr && up->type == XML_ELEMENT_NODE && up->name[0] != '\0';
         up = logical_parent(up))
        top = up;
    // Pre-order: an element's range opens when its frame is pushed and closes when it is popped.
    struct Open {
        const XMLNode* parent;
        std::int32_t index;
        std::size_t start;
    };
    std::vector<Open> frames{Open{top, 0, texts_.size()}};
    while (!frames.empty()) {
        Open& f = frames.back();
        if (f.index >= f.parent->children.count) {
            if (f.parent->type == XML_ELEMENT_NODE) text_ranges_.insert(f.parent, Range{f.start, texts_.size()});
            frames.pop_back();
            continue;
        }
        const XMLNode* r = f.parent->children.items[f.index++];
        if (holds_text(r)) texts_ += r->value;
        else if (is_walked_through(r))
            frames.push_back(Open{r, 0, texts_.size()});
    }
    const Range* built = text_ranges_.find(element);
    out.append(texts_, built->start, built->end - built->start);
}

std::string_view Navigator::qname(const Node& n) const {
    switch (n.kind) {
        case Kind::Element:
        case Kind::PI: return tree::whole_name(n.rec);
        case Kind::Attribute: return n.attribute().name;
        case Kind::Namespace: {
            if (n.owner == nullptr) return "xml";
            const char* name = n.attribute().name;
            return name[5] == ':' ? std::string_view(name + 6) : std::string_view();
        }
        default: return {};
    }
}

std::string_view Navigator::local_part(std::string_view qname) {
    std::size_t colon = qname.find(':');
    return colon == std::string_view::npos ? qname : qname.substr(colon + 1);
}

std::string_view Navigator::namespace_uri(const Node& n, bool& found) {
    found = true;
    if (n.kind != Kind::Element && n.kind != Kind::Attribute) return {};
    std::string_view name = qname(n);
    std::size_t colon = name.find(':');
    if (colon == std::string_view::npos && n.kind == Kind::Attribute) return {};
    std::string_view prefix = colon == std::string_view::npos ? std::string_view() : name.substr(0, colon);
    return resolve(n.rec, prefix, found);
}

namespace {

bool declares_namespaces(const XMLNode* e) {
    for (std::int32_t i = 0; i < e->attributes.count; ++i)
        if (e->attributes.items[i].name[0] == 'x' && is_namespace_declaration(e->attributes.items[i].name)) return true;
    return false;
}

// Ancestor chains longer than this are looked up through the memo, so that asking for every
// element of a deep tree does not cost the square of its depth.
constexpr int kUnmemoisedSteps = 64;

}  // namespace

const XMLNode* Navigator::nearest_declaring(const XMLNode* element) {
    int steps = 0;
    for (const XMLNode* e = element; e != nullptr && e->type == XML_ELEMENT_NODE; e = logical_parent(e)) {
        if (++steps > kUnmemoisedSteps) break;
        if (declares_namespaces(e)) return e;
    }
    if (steps <= kUnmemoisedSteps) return nullptr;
    scratch_.clear();
    const XMLNode* found = nullptr;
    for (const XMLNode* e = element; e != nullptr && e->type == XML_ELEMENT_NODE; e = logical_parent(e)) {
        if (const XMLNode* const* memo = declaring_.find(e)) {
            found = *memo;
            break;
        }
        scratch_.push_back(e);
        if (declares_namespaces(e)) {
            found = e;
            break;
        }
    }
    for (const XMLNode* e : scratch_) declaring_.insert(e, found);
    return found;
}

std::string_view Navigator::resolve(const XMLNode* element, std::string_view prefix, bool& found) {
    found = true;
    if (prefix == "xml") return kXmlNamespace;
    const XMLNode* scope = nearest_declaring(element);
    if (scope == nullptr) {
        found = prefix.empty();
        return {};
    }
    // Every element whose nearest declaring element is `scope` sees the same bindings: each
    // prefix is looked up once per scope, however many elements ask.
    PointerMap<Resolved>* memo = nullptr;
    for (auto& [known, map] : resolved_)
        if (known == prefix) memo = &map;
    if (memo == nullptr) memo = &resolved_.emplace_back(std::string(prefix), PointerMap<Resolved>()).second;
    if (const Resolved* r = memo->find(scope)) {
        found = r->found;
        return r->uri;
    }
    Resolved r{{}, prefix.empty()};  // undeclared: only the default namespace, as none
    bool declared = false;
    for (const XMLNode* d = scope; d != nullptr && !declared;) {
        for (std::int32_t i = 0; i < d->attributes.count && !declared; ++i) {
            const char* name = d->attributes.items[i].name;
            if (!is_namespace_declaration(name)) continue;
            declared = (name[5] == ':' ? std::string_view(name + 6) : std::string_view()) == prefix;
            if (declared) r = Resolved{d->attributes.items[i].value, true};
        }
        const XMLNode* up = logical_parent(d);
        d = up != nullptr && up->type == XML_ELEMENT_NODE ? nearest_declaring(up) : nullptr;
    }
    memo->insert(scope, r);
    found = r.found;
    return r.uri;
}

namespace {

// Where a node stands relative to the other nodes of its record: the record itself, then its
// namespace nodes, then its attributes.
struct Place {
    const XMLNode* rec;
    int cls;
    std::uint64_t sub;
};

Place place_of(const Node& n) {
    switch (n.kind) {
        case Kind::Namespace: {
            std::uint64_t distance = 0;
            if (n.owner == nullptr) {
                distance = std::numeric_limits<std::uint32_t>::max();
            } else {
                for (const XMLNode* e = n.rec; e != n.owner; e = logical_parent(e)) ++distance;
            }
            return Place{n.rec, 1, (distance << 32) | static_cast<std::uint32_t>(n.attr)};
        }
        case Kind::Attribute: return Place{n.rec, 2, static_cast<std::uint64_t>(n.attr)};
        default: return Place{n.rec, 0, 0};
    }
}

int compare_places(const Place& a, const Place& b) {
    if (a.cls != b.cls) return a.cls < b.cls ? -1 : 1;
    if (a.sub != b.sub) return a.sub < b.sub ? -1 : 1;
    return 0;
}

std::size_t depth_of(const XMLNode* r) {
    std::size_t d = 0;
    for (; r->parent != nullptr; r = r->parent) ++d;
    return d;
}

}  // namespace

int Navigator::compare(const Node& a, const Node& b) {
    const bool va = a.virtual_root(), vb = b.virtual_root();
    if (va || vb) return va == vb ? 0 : (va ? -1 : 1);
    Place pa = place_of(a), pb = place_of(b);
    if (pa.rec == pb.rec) return compare_places(pa, pb);
    const XMLNode* ra = pa.rec;
    const XMLNode* rb = pb.rec;
    std::size_t da = depth_of(ra), db = depth_of(rb);
    for (; da > db; --da) ra = ra->parent;
    for (; db > da; --db) rb = rb->parent;
    if (ra == rb) return pa.rec == ra ? -1 : 1;  // an ancestor (and its attributes) first
    while (ra->parent != rb->parent) {
        ra = ra->parent;
        rb = rb->parent;
    }
    return index_of(ra) < index_of(rb) ? -1 : 1;
}

std::uint64_t Navigator::ordinal(const XMLNode* record) {
    if (ordinals_.empty()) {
        const XMLNode* top = top_of(record);
        std::uint64_t next = 1;
        std::vector<Frame> frames{Frame{top, 0}};
        ordinals_.insert(top, next++);
        while (!frames.empty()) {
            Frame& f = frames.back();
            if (f.index >= f.parent->children.count) {
                frames.pop_back();
                continue;
            }
            const XMLNode* r = f.parent->children.items[f.index++];
            ordinals_.insert(r, next++);
            if (r->children.count > 0) frames.push_back(Frame{r, 0});
        }
    }
    const std::uint64_t* found = ordinals_.find(record);
    return found == nullptr ? 0 : *found;
}

void Navigator::sort_unique(std::vector<Node>& nodes) {
    if (nodes.size() < 2) return;
    if (nodes.size() <= kChainSortLimit) {
        std::sort(nodes.begin(), nodes.end(), [&](const Node& a, const Node& b) { return compare(a, b) < 0; });
    } else {
        struct Keyed {
            std::uint64_t ordinal;
            Place place;
            Node node;
        };
        std::vector<Keyed> keyed;
        keyed.reserve(nodes.size());
        for (const Node& n : nodes) {
            Place p = n.kind == Kind::Namespace ? Place{n.rec, 1, 0} : place_of(n);
            if (n.kind == Kind::Namespace) {
                // Nearer declarations first: the owner's place in document order, reversed
                // (no walk up to the owner per node).
                const std::uint64_t owner = n.owner != nullptr ? ordinal(n.owner) : 0;
                p.sub = n.owner == nullptr ? ~std::uint64_t{0}
                                           : ((0xFFFFFFFFull - (owner & 0xFFFFFFFFull)) << 32) |
                                                 static_cast<std::uint32_t>(n.attr);
            }
            keyed.push_back(Keyed{n.virtual_root() ? 0 : ordinal(p.rec), p, n});
        }
        std::sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
            if (a.ordinal != b.ordinal) return a.ordinal < b.ordinal;
            return compare_places(a.place, b.place) < 0;
        });
        for (std::size_t i = 0; i < nodes.size(); ++i) nodes[i] = keyed[i].node;
    }
    nodes.erase(std::unique(nodes.begin(), nodes.end()), nodes.end());
}

}  // namespace zel::path
