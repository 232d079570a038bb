// The edits: set, delete, insert, rename and move, each over the nodes an XPath selects.
//
// Structural changes of one edit are gathered first, as removals and insertions at the
// indices the children had before the edit, and carried out per parent at the end: a parent
// with few changes gets them one by one, a parent with many is rebuilt once (every child
// detached from the last, which moves nothing, and the survivors and newcomers appended in
// order), so that removing every other one of a million siblings stays linear.
#include "editor.hpp"

#include <algorithm>
#include <cstring>
#include <map>
#include <unordered_map>
#include <unordered_set>

namespace zelxml {
namespace {

int32_t count_of(const XMLNode* node) { return XMLGetChildrenCount(node); }
XMLNode* child_at(const XMLNode* node, int32_t index) { return XMLGetNthChildData(node, index); }

// Blank text that holds a line break: the end of one line and the indentation of the next.
bool is_line_break(const XMLNode* node) {
    if (node == nullptr || node->type != XML_TEXT_NODE || node->value == nullptr) return false;
    const std::string_view text = node->value;
    return text.find('\n') != std::string_view::npos && text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

bool holds_elements(const XMLNode* element) {
    for (int32_t i = 0; i < count_of(element); ++i) {
        const XMLNode* child = child_at(element, i);
        if (is_element(child) || (child->type == XML_ENTITY_REFERENCE_NODE && has_element_below(child))) return true;
    }
    return false;
}

bool is_inside(const XMLNode* record, const XMLNode* ancestor) {
    for (const XMLNode* p = record->parent; p != nullptr; p = p->parent)
        if (p == ancestor) return true;
    return false;
}

// A new element with no parent, of a name of any length; null for a name that is not an XML
// name or when memory runs out.
XMLNode* new_element(const std::string& name) {
    XMLNode* element = XMLCreateRootNode();
    if (element != nullptr && XMLRenameNode(element, name.c_str()) != ZEL_XML_OK) {
        XMLFreeRootNode(element);
        return nullptr;
    }
    return element;
}

// A new text record with no parent (the library makes text only under a parent).
XMLNode* new_text(const std::string& text) {
    XMLNode* scratch = XMLCreateRootNode();
    XMLNode* record = scratch != nullptr ? XMLCreateTextNode(text.c_str(), scratch) : nullptr;
    if (record != nullptr) XMLDetachNode(record);
    XMLFreeRootNode(scratch);
    return record;
}

bool is_xml_name(const std::string& name) {
    XMLNode* probe = new_element(name);
    XMLFreeRootNode(probe);
    return probe != nullptr;
}

// A quick check that `text` is UTF-8, the only text the library writes (the writer itself
// refuses the rarer malformed forms this does not look for).
bool is_utf8(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        auto byte = static_cast<unsigned char>(text[i]);
        std::size_t extra = byte < 0x80 ? 0 : byte < 0xC2 ? 4 : byte < 0xE0 ? 1 : byte < 0xF0 ? 2 : byte < 0xF5 ? 3 : 4;
        if (extra == 4 || text.size() - i <= extra) return false;
        for (std::size_t k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        i += extra + 1;
    }
    return true;
}

// Where each of some records stands among its parent's children: every parent is scanned
// once, however many of its children are asked for.
class Locator {
public:
    void want(XMLNode* record) {
        index_.emplace(record, -1);
        parents_.insert(record->parent);
    }
    void find() {
        for (XMLNode* parent : parents_)
            for (int32_t i = 0, n = count_of(parent); i < n; ++i) {
                auto it = index_.find(child_at(parent, i));
                if (it != index_.end()) it->second = i;
            }
    }
    int32_t operator[](XMLNode* record) const { return index_.at(record); }

private:
    std::unordered_map<XMLNode*, int32_t> index_;
    std::unordered_set<XMLNode*> parents_;
};

// The end of the run of text that starts at child `first` of `parent`: adjacent text, CDATA and
// entity references holding only text make one text node.
int32_t run_end(const XMLNode* parent, int32_t first) {
    int32_t end = first + 1;
    while (end < count_of(parent) && is_text_child(child_at(parent, end))) ++end;
    return end;
}

// The changes of one edit to the children of every parent it touches, by the children's
// indices before the edit.
class Splice {
public:
    // Marks child `index` of `parent` for removal. With `whole_line`, a record alone on its line
    // takes the line break and indentation before it along, so that no blank line stays.
    void remove(XMLNode* parent, int32_t index, bool whole_line) {
        Plan& plan = plan_of(parent);
        if (plan.flags.empty()) plan.flags.assign(static_cast<std::size_t>(plan.count), 0);
        plan.flags[index] |= kRemoved | (whole_line ? kWholeLine : 0);
    }
    // Places `records`, which belong to no parent, before child `index` of `parent` as it is now
    // (the number of children: at the end), after any placed there before.
    void insert(XMLNode* parent, int32_t index, const std::vector<XMLNode*>& records) {
        std::vector<XMLNode*>& at = plan_of(parent).inserts[index];
        at.insert(at.end(), records.begin(), records.end());
    }
    // Carries out every change: all removals first, then all insertions, so a record may move
    // from one parent to another. Removed records no insertion took go to `removed`. False when
    // the library refuses a change (memory ran out).
    bool apply(std::vector<XMLNode*>& removed) {
        std::vector<XMLNode*> taken;
        for (XMLNode* parent : order_) {
            Plan& plan = plans_[parent];
            take_lines(parent, plan);
            if (!detach(parent, plan, taken)) return false;
        }
        for (XMLNode* parent : order_)
            if (!attach(parent, plans_[parent])) return false;
        for (XMLNode* record : taken)
            if (record->parent == nullptr) removed.push_back(record);
        return true;
    }

private:
    enum : char { kRemoved = 1, kWholeLine = 2 };
    struct Plan {
        int32_t count = 0;
        std::vector<char> flags;  // per child: kRemoved, kWholeLine; empty when none is removed
        std::map<int32_t, std::vector<XMLNode*>> inserts;
        std::vector<int32_t> gone;  // removed indices, ascending
        bool rebuild = false;
        std::vector<XMLNode*> old;  // a rebuilt parent's children as they were
    };

    Plan& plan_of(XMLNode* parent) {
        auto found = plans_.find(parent);
        if (found != plans_.end()) return found->second;
        order_.push_back(parent);
        Plan& plan = plans_[parent];
        plan.count = count_of(parent);
        return plan;
    }

    // A removed record alone on its line, the next record kept being a line break or none,
    // takes the line break before it along: from the last child back, as if each removal had
    // been done before the one in front of it is looked at.
    static void take_lines(XMLNode* parent, Plan& plan) {
        bool line_ends_after = true;
        for (int32_t i = static_cast<int32_t>(plan.flags.size()) - 1; i >= 0; --i) {
            if ((plan.flags[i] & kRemoved) == 0) {
                line_ends_after = is_line_break(child_at(parent, i));
                continue;
            }
            if ((plan.flags[i] & kWholeLine) != 0 && line_ends_after && i > 0 && (plan.flags[i - 1] & kRemoved) == 0 &&
                is_line_break(child_at(parent, i - 1)))
                plan.flags[i - 1] |= kRemoved;
        }
    }

    bool detach(XMLNode* parent, Plan& plan, std::vector<XMLNode*>& taken) {
        // Each change one by one moves the children after it; a rebuild touches every child
        // twice.
        std::size_t moves = 0;
        for (int32_t i = 0; i < static_cast<int32_t>(plan.flags.size()); ++i)
            if ((plan.flags[i] & kRemoved) != 0) {
                plan.gone.push_back(i);
                moves += static_cast<std::size_t>(plan.count - i);
            }
        for (const auto& at : plan.inserts) moves += static_cast<std::size_t>(plan.count - at.first) * at.second.size();
        plan.rebuild = moves > 4 * static_cast<std::size_t>(plan.count) + 4096;
        if (plan.rebuild) {
            plan.old.reserve(static_cast<std::size_t>(plan.count));
            for (int32_t i = 0; i < plan.count; ++i) plan.old.push_back(child_at(parent, i));
            for (int32_t i = plan.count - 1; i >= 0; --i)
                if (XMLDetachNode(plan.old[i]) == nullptr) return false;
            for (int32_t i : plan.gone) taken.push_back(plan.old[i]);
            return true;
        }
        for (auto i = plan.gone.rbegin(); i != plan.gone.rend(); ++i) {
            XMLNode* record = XMLDetachNode(child_at(parent, *i));
            if (record == nullptr) return false;
            taken.push_back(record);
        }
        return true;
    }

    static bool attach(XMLNode* parent, Plan& plan) {
        if (plan.rebuild) {
            auto next = plan.inserts.begin();
            for (int32_t i = 0; i <= plan.count; ++i) {
                if (next != plan.inserts.end() && next->first == i) {
                    for (XMLNode* record : next->second)
                        if (XMLInsertChild(parent, -1, record) != ZEL_XML_OK) return false;
                    ++next;
                }
                if (i < plan.count && (plan.flags.empty() || (plan.flags[i] & kRemoved) == 0) &&
                    XMLInsertChild(parent, -1, plan.old[i]) != ZEL_XML_OK)
                    return false;
            }
            return true;
        }
        // Index `i` from before the edit is now i, less the removed children before it, plus
        // what was placed before it.
        std::size_t gone_before = 0;
        int32_t placed = 0;
        for (const auto& at : plan.inserts) {
            while (gone_before < plan.gone.size() && plan.gone[gone_before] < at.first) ++gone_before;
            int32_t index = at.first - static_cast<int32_t>(gone_before) + placed;
            for (XMLNode* record : at.second)
                if (XMLInsertChild(parent, index++, record) != ZEL_XML_OK) return false;
            placed += static_cast<int32_t>(at.second.size());
        }
        return true;
    }

    std::unordered_map<XMLNode*, Plan> plans_;
    std::vector<XMLNode*> order_;
};

// Places `records` (with no parent) before or after child `index` of `parent`, or as the first
// or last children of `parent`, in their order. With `lay_out`, where the siblings stand one a
// line, each record gets a line of its own, indented as its neighbours. False when memory runs
// out.
bool place(Splice& splice, XMLNode* parent, int32_t index, Where where, const std::vector<XMLNode*>& records,
           bool lay_out) {
    const int32_t count = count_of(parent);
    const XMLNode* line = nullptr;  // the line break to copy, when there is one
    std::string indent;             // or the indentation to make
    bool line_first = true;         // each record after its line break, or before it
    int32_t at = 0;
    switch (where) {
        case Where::kBefore:
            // ..., line, NEW, line', this
            at = index;
            line_first = false;
            if (index > 0 && is_line_break(child_at(parent, index - 1))) line = child_at(parent, index - 1);
            break;
        case Where::kAfter:
            // line, this, line', NEW, next line
            at = index + 1;
            if (index > 0 && is_line_break(child_at(parent, index - 1)) &&
                (index + 1 == count || is_line_break(child_at(parent, index + 1))))
                line = child_at(parent, index - 1);
            break;
        case Where::kFirst:
            // line', NEW, line, first
            at = 0;
            if (count >= 2 && is_line_break(child_at(parent, 0))) {
                line = child_at(parent, 0);
                break;
            }
            if (count != 1 || !is_line_break(child_at(parent, 0))) break;
            [[fallthrough]];  // only a line break inside: as the last child
        case Where::kLast:
            // ..., line, last, line', NEW, closing line
            at = count;
            if (count == 0 || !is_line_break(child_at(parent, count - 1))) break;
            at = count - 1;
            indent = std::string(child_at(parent, count - 1)->value) + "  ";
            for (int32_t i = count - 2; i >= 0; --i) {
                if (is_text_child(child_at(parent, i))) continue;
                if (i > 0 && is_line_break(child_at(parent, i - 1))) indent = child_at(parent, i - 1)->value;
                break;
            }
            break;
    }
    if (line != nullptr) indent = line->value;
    if (!lay_out) indent.clear();
    std::vector<XMLNode*> sequence;
    for (XMLNode* record : records) {
        XMLNode* copy = nullptr;
        if (!indent.empty() && (copy = new_text(indent)) == nullptr) return false;
        if (copy != nullptr && line_first) sequence.push_back(copy);
        sequence.push_back(record);
        if (copy != nullptr && !line_first) sequence.push_back(copy);
    }
    splice.insert(parent, at, sequence);
    return true;
}

// What a node-set node stands for among its parent's children: an element, comment or
// processing instruction itself, or the first record of a text node's run, an entity reference
// when its text starts inside one.
struct Item {
    XMLNode* record = nullptr;
    bool text = false;
};

// The item of a node of type 0, 1, 6 or 7; null for a text node that starts inside an entity
// reference whose text also holds elements, which cannot be taken apart.
Item item_of(const XMLPathNode& node) {
    Item item{node.node, node.type == XML_TEXT_NODE};
    if (!item.text) return item;
    bool climbed = false;
    while (item.record->parent != nullptr && item.record->parent->type == XML_ENTITY_REFERENCE_NODE) {
        item.record = item.record->parent;
        climbed = true;
    }
    if (climbed && has_element_below(item.record)) item.record = nullptr;
    return item;
}

// The items not inside an earlier one. `items` in document order: one inside an earlier item
// is inside the last item kept.
std::vector<Item> outermost(const std::vector<Item>& items) {
    std::vector<Item> kept;
    for (const Item& item : items)
        if (kept.empty() || !is_inside(item.record, kept.back().record)) kept.push_back(item);
    return kept;
}

bool is_document(const XMLNode* node) { return node != nullptr && node->type == XML_DOCUMENT_NODE; }

// A path of child steps and names only, as /a/b/c or a/b/@x: the kind whose missing steps set
// creates.
struct SimplePath {
    std::vector<std::string> steps;
    std::string attribute;
};

bool parse_simple(const std::string& text, SimplePath& path) {
    auto name_byte = [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
               c == '.' || c == ':' || (c & 0x80) != 0;
    };
    std::size_t at = !text.empty() && text[0] == '/' ? 1 : 0;
    for (;;) {
        bool attribute = at < text.size() && text[at] == '@' && !path.steps.empty();
        if (attribute) ++at;
        std::size_t start = at;
        while (at < text.size() && name_byte(text[at])) ++at;
        const std::string name = text.substr(start, at - start);
        if (name.empty() || !is_xml_name(name)) return false;
        if (attribute) path.attribute = name;
        else path.steps.push_back(name);
        if (at == text.size()) return true;
        if (attribute || text[at] != '/') return false;
        ++at;
    }
}

std::string joined(const std::vector<std::string>& steps, std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) text += "/" + steps[i];
    return text;
}

}  // namespace

Editor::~Editor() {
    for (XMLNode* record : removed_) XMLFreeRootNode(record);
}

int Editor::refuse(const std::string& message) const { return fail(kDocumentError, file_ + ": " + message); }

int Editor::check(const EditOp& edit, const Query& query) {
    int32_t type = 0;
    for (const std::string* path : {&edit.path, edit.kind == EditOp::kMove ? &edit.target : nullptr}) {
        if (path == nullptr) continue;
        int code = query.check(*path, &type);
        if (code != kOk) return code;
        if (type != ZEL_XML_PATH_NODE_SET)
            return fail(kUsage, "XPATH " + *path + " gives " + type_name(type) + ", not nodes to change");
    }
    std::vector<std::string> names, texts;
    switch (edit.kind) {
        case EditOp::kSet: texts.push_back(edit.value); break;
        case EditOp::kInsert:
            names.push_back(edit.value);
            texts.push_back(edit.text);
            for (const auto& attribute : edit.attributes) {
                names.push_back(attribute.first);
                texts.push_back(attribute.second);
            }
            break;
        case EditOp::kRename: names.push_back(edit.value); break;
        default: break;
    }
    for (const std::string& name : names)
        if (!is_xml_name(name)) return fail(kUsage, "'" + name + "' is not an XML name");
    for (const std::string& text : texts)
        if (!is_utf8(text)) return fail(kUsage, "VALUE is not UTF-8 text");
    return kOk;
}

int Editor::apply(const EditOp& edit) {
    PathResult found;
    int code = query_.evaluate(document_, edit.path, found);
    if (code != kOk) return code;
    if (!found.nodes())
        return fail(kUsage, "XPATH " + edit.path + " gives " + type_name(found->type) + ", not nodes to change");
    if (found->count == 0) {
        if (edit.kind == EditOp::kSet) return create_missing(edit);
        return refuse("nothing matches " + edit.path);
    }
    switch (edit.kind) {
        case EditOp::kSet: return set(edit, *found);
        case EditOp::kDelete: return remove(edit, *found);
        case EditOp::kInsert: return insert(edit, *found);
        case EditOp::kRename: return rename(edit, *found);
        case EditOp::kMove: return move(edit, *found);
    }
    return kOk;
}

int Editor::set(const EditOp& edit, const XMLPathResult& found) {
    const std::string& value = edit.value;
    std::vector<std::pair<XMLNode*, std::string>> attributes;
    std::vector<XMLNode*> records;  // elements, comments, processing instructions
    std::vector<Item> texts;
    for (std::size_t i = 0; i < found.count; ++i) {
        const XMLPathNode& node = found.nodes[i];
        switch (node.type) {
            case XML_ATTRIBUTE_NODE: attributes.emplace_back(node.node, node.attribute->name); break;
            case XML_ELEMENT_NODE:
                if (holds_elements(node.node))
                    return refuse(std::string(XMLGetNodeName(node.node)) + " holds elements; set changes only text");
                records.push_back(node.node);
                break;
            case XML_COMMENT_NODE:
            case XML_PROCESSING_INSTRUCTION_NODE: records.push_back(node.node); break;
            case XML_TEXT_NODE: {
                Item item = item_of(node);
                if (item.record == nullptr) return refuse("text inside an entity reference holding elements is kept");
                texts.push_back(item);
                break;
            }
            default: return refuse("set changes elements, attributes, text, comments and processing instructions");
        }
    }
    // A text node's records give way to one text record holding the value.
    if (!texts.empty()) {
        Locator locator;
        for (const Item& item : texts) locator.want(item.record);
        locator.find();
        Splice splice;
        for (const Item& item : texts) {
            XMLNode* parent = item.record->parent;
            const int32_t first = locator[item.record];
            for (int32_t i = first, end = run_end(parent, first); i < end; ++i) splice.remove(parent, i, false);
            if (value.empty()) continue;
            XMLNode* text = new_text(value);
            if (text == nullptr) return fail(kIoError, "out of memory");
            splice.insert(parent, first, {text});
        }
        if (!splice.apply(removed_)) return fail(kIoError, XMLGetLastError());
    }
    for (XMLNode* record : records)
        if (XMLSetNodeText(record, value.c_str()) != ZEL_XML_OK) return fail(kIoError, XMLGetLastError());
    for (const auto& attribute : attributes)
        if (XMLSetNodeAttribute(attribute.first, attribute.second.c_str(), value.c_str()) != 1)
            return fail(kIoError, "out of memory");
    return kOk;
}

// set on a path of child steps that selects nothing: under every element the longest leading
// part of the path selects, the missing steps are made, the first on a line of its own where
// its siblings have theirs; a final @name is set on the last.
int Editor::create_missing(const EditOp& edit) {
    SimplePath path;
    if (!parse_simple(edit.path, path)) return refuse("nothing matches " + edit.path);
    std::size_t found = path.steps.size();
    PathResult at;
    for (; found > 0; --found) {
        int code = query_.evaluate(document_, joined(path.steps, found), at);
        if (code != kOk) return code;
        if (at->count > 0) break;
    }
    if (found == 0) {
        const XMLNode* top = nullptr;
        for (int32_t i = 0; i < count_of(document_) && top == nullptr; ++i)
            if (is_element(child_at(document_, i))) top = child_at(document_, i);
        return refuse(std::string("the document element is '") + XMLGetNodeName(top) + "', not '" + path.steps[0] +
                      "'");
    }
    Splice splice;
    for (std::size_t i = 0; i < at->count; ++i) {
        XMLNode* parent = at->nodes[i].node;
        XMLNode* made = nullptr;  // the outermost new element
        XMLNode* last = parent;
        for (std::size_t s = found; s < path.steps.size(); ++s) {
            XMLNode* element = new_element(path.steps[s]);
            if (element == nullptr) return fail(kIoError, "out of memory");
            if (made == nullptr) made = element;
            else if (XMLInsertChild(last, -1, element) != ZEL_XML_OK) return fail(kIoError, XMLGetLastError());
            last = element;
        }
        bool done = !path.attribute.empty() ? XMLSetNodeAttribute(last, path.attribute.c_str(), edit.value.c_str()) == 1
                    : edit.value.empty()    ? true
                                            : XMLCreateTextNode(edit.value.c_str(), last) != nullptr;
        if (!done) return fail(kIoError, "out of memory");
        if (made != nullptr && !place(splice, parent, 0, Where::kLast, {made}, true))
            return fail(kIoError, "out of memory");
    }
    if (!splice.apply(removed_)) return fail(kIoError, XMLGetLastError());
    return kOk;
}

int Editor::remove(const EditOp&, const XMLPathResult& found) {
    std::vector<std::pair<XMLNode*, std::string>> attributes;
    std::vector<Item> items;
    for (std::size_t i = 0; i < found.count; ++i) {
        const XMLPathNode& node = found.nodes[i];
        switch (node.type) {
            case XML_ATTRIBUTE_NODE: attributes.emplace_back(node.node, node.attribute->name); break;
            case XML_ELEMENT_NODE:
                if (is_document(node.node->parent)) return refuse("the document element cannot be deleted");
                items.push_back(Item{node.node, false});
                break;
            case XML_COMMENT_NODE:
            case XML_PROCESSING_INSTRUCTION_NODE: items.push_back(Item{node.node, false}); break;
            case XML_TEXT_NODE:
                items.push_back(item_of(node));
                if (items.back().record == nullptr) return refuse("text inside an entity reference holding elements is kept");
                break;
            case ZEL_XML_PATH_NAMESPACE_NODE: return refuse("namespace nodes cannot be deleted");
            default: return refuse("the document cannot be deleted");
        }
    }
    for (const auto& attribute : attributes) XMLRemoveAttrWithKeyName(attribute.first, attribute.second.c_str());
    items = outermost(items);
    Locator locator;
    for (const Item& item : items) locator.want(item.record);
    locator.find();
    Splice splice;
    for (const Item& item : items) {
        XMLNode* parent = item.record->parent;
        const int32_t first = locator[item.record];
        if (!item.text) {
            splice.remove(parent, first, true);
            continue;
        }
        for (int32_t i = first, end = run_end(parent, first); i < end; ++i) splice.remove(parent, i, false);
    }
    if (!splice.apply(removed_)) return fail(kIoError, XMLGetLastError());
    return kOk;
}

int Editor::insert(const EditOp& edit, const XMLPathResult& found) {
    const bool beside = edit.where == Where::kBefore || edit.where == Where::kAfter;
    std::vector<Item> anchors;
    for (std::size_t i = 0; i < found.count; ++i) {
        const XMLPathNode& node = found.nodes[i];
        if (!beside) {
            if (node.type != XML_ELEMENT_NODE) return refuse("insert first or last needs elements to insert into");
            anchors.push_back(Item{node.node, false});
            continue;
        }
        if (node.type != XML_ELEMENT_NODE && node.type != XML_TEXT_NODE && node.type != XML_COMMENT_NODE &&
            node.type != XML_PROCESSING_INSTRUCTION_NODE)
            return refuse("insert before or after needs elements, text, comments or processing instructions");
        Item item = item_of(node);
        if (item.record == nullptr) return refuse("text inside an entity reference holding elements is kept");
        if (is_document(item.record->parent)) return refuse("a document holds one element: nothing goes beside it");
        anchors.push_back(item);
    }
    Locator locator;
    if (beside) {
        for (const Item& anchor : anchors) locator.want(anchor.record);
        locator.find();
    }
    // New elements that did not make it into the tree (after a failure) are freed.
    struct Made {
        std::vector<XMLNode*> elements;
        ~Made() {
            for (XMLNode* element : elements)
                if (element->parent == nullptr) XMLFreeRootNode(element);
        }
    } made;
    Splice splice;
    for (const Item& anchor : anchors) {
        XMLNode* element = new_element(edit.value);
        if (element == nullptr) return fail(kIoError, "out of memory");
        made.elements.push_back(element);
        for (const auto& attribute : edit.attributes)
            if (XMLSetNodeAttribute(element, attribute.first.c_str(), attribute.second.c_str()) != 1)
                return fail(kIoError, "out of memory");
        if (!edit.text.empty() && XMLCreateTextNode(edit.text.c_str(), element) == nullptr)
            return fail(kIoError, "out of memory");
        XMLNode* parent = beside ? anchor.record->parent : anchor.record;
        int32_t index = beside ? locator[anchor.record] : 0;
        if (anchor.text && edit.where == Where::kAfter) index = run_end(parent, index) - 1;
        if (!place(splice, parent, index, edit.where, {element}, !anchor.text)) return fail(kIoError, "out of memory");
    }
    if (!splice.apply(removed_)) return fail(kIoError, XMLGetLastError());
    return kOk;
}

int Editor::rename(const EditOp& edit, const XMLPathResult& found) {
    const std::string& name = edit.value;
    for (std::size_t i = 0; i < found.count; ++i) {
        const XMLPathNode& node = found.nodes[i];
        if (node.type == XML_ELEMENT_NODE || node.type == XML_PROCESSING_INSTRUCTION_NODE) {
            if (XMLRenameNode(node.node, name.c_str()) != ZEL_XML_OK) return refuse(XMLGetLastError());
        } else if (node.type == XML_ATTRIBUTE_NODE) {
            // Renamed in place, so it keeps its place among the element's attributes.
            const XMLAttr* same = XMLFindAttrWithKeyName(node.node, name.c_str());
            if (same != nullptr && same != node.attribute)
                return refuse(std::string(XMLGetNodeName(node.node)) + " already has an attribute " + name);
            const std::string value = node.attribute->value;
            if (XMLSetStringAttribute(node.attribute, name.c_str(), value.c_str(), node.attribute->type) != 1)
                return fail(kIoError, "out of memory");
        } else {
            return refuse("rename changes elements, attributes and processing instructions");
        }
    }
    return kOk;
}

int Editor::move(const EditOp& edit, const XMLPathResult& found) {
    std::vector<Item> items;
    bool markup_only = true;  // only comments and processing instructions move
    for (std::size_t i = 0; i < found.count; ++i) {
        const XMLPathNode& node = found.nodes[i];
        if (node.type != XML_ELEMENT_NODE && node.type != XML_TEXT_NODE && node.type != XML_COMMENT_NODE &&
            node.type != XML_PROCESSING_INSTRUCTION_NODE)
            return refuse("move takes elements, text, comments and processing instructions");
        if (node.type == XML_ELEMENT_NODE && is_document(node.node->parent))
            return refuse("the document element cannot be moved");
        items.push_back(item_of(node));
        if (items.back().record == nullptr) return refuse("text inside an entity reference holding elements is kept");
        markup_only = markup_only && (node.type == XML_COMMENT_NODE || node.type == XML_PROCESSING_INSTRUCTION_NODE);
    }
    items = outermost(items);

    PathResult places;
    int code = query_.evaluate(document_, edit.target, places);
    if (code != kOk) return code;
    if (!places.nodes())
        return fail(kUsage, "XPATH " + edit.target + " gives " + type_name(places->type) + ", not nodes to change");
    if (places->count == 0) return refuse("nothing matches " + edit.target);
    const XMLPathNode& target_node = places->nodes[0];
    const bool beside = edit.where == Where::kBefore || edit.where == Where::kAfter;
    if (!beside && target_node.type != XML_ELEMENT_NODE) return refuse("move first or last needs an element to move into");
    if (beside && target_node.type != XML_ELEMENT_NODE && target_node.type != XML_TEXT_NODE &&
        target_node.type != XML_COMMENT_NODE && target_node.type != XML_PROCESSING_INSTRUCTION_NODE)
        return refuse("move before or after needs an element, text, a comment or a processing instruction");
    const Item target = item_of(target_node);
    if (target.record == nullptr) return refuse("text inside an entity reference holding elements is kept");
    XMLNode* parent = beside ? target.record->parent : target.record;
    if (is_document(parent) && !markup_only) return refuse("a document holds one element: nothing goes beside it");
    std::unordered_set<const XMLNode*> moving;
    for (const Item& item : items) moving.insert(item.record);
    for (const XMLNode* p = target.record; p != nullptr; p = p->parent)
        if (moving.count(p) != 0) return refuse(edit.target + " lies in what moves");

    Locator locator;
    for (const Item& item : items) locator.want(item.record);
    if (beside) locator.want(target.record);
    locator.find();
    Splice splice;
    std::vector<XMLNode*> records;
    bool lay_out = true;
    for (const Item& item : items) {
        XMLNode* from = item.record->parent;
        const int32_t first = locator[item.record];
        const int32_t end = item.text ? run_end(from, first) : first + 1;
        for (int32_t i = first; i < end; ++i) {
            splice.remove(from, i, !item.text);
            records.push_back(child_at(from, i));
        }
        lay_out = lay_out && !item.text;
    }
    int32_t index = beside ? locator[target.record] : 0;
    if (target.text && edit.where == Where::kAfter) index = run_end(parent, index) - 1;
    if (!place(splice, parent, index, edit.where, records, lay_out && !target.text))
        return fail(kIoError, "out of memory");
    if (!splice.apply(removed_)) return fail(kIoError, XMLGetLastError());
    return kOk;
}

}  // namespace zelxml
