// The text of a record: its string value (all text below an element, in document order) read
// into the host's buffer, and its content replaced by one piece of text.
#include "io/parser/last_error.hpp"
#include "tree/tree.hpp"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

using namespace zel::tree;

namespace {

// Records that stand for text: text, CDATA and unnamed elements (whose value the writers
// write as text, their own children never looked at).
bool is_text(const XMLNode* record) {
    return record->type == XML_TEXT_NODE || record->type == XML_CDATA_SECTION_NODE ||
           (record->type == XML_ELEMENT_NODE && record->name[0] == '\0');
}

// Records whose text is what lies below them: named elements, the document, entity
// references (their expansion), and the entity and fragment types.
bool text_below(const XMLNode* record) {
    switch (record->type) {
    case XML_ELEMENT_NODE:
        return record->name[0] != '\0';
    case XML_ENTITY_REFERENCE_NODE:
    case XML_ENTITY_NODE:
    case XML_DOCUMENT_FRAGMENT_NODE:
    case XML_DOCUMENT_NODE:
        return true;
    default:
        return false;
    }
}

// Gathers text into the host's buffer as snprintf does: what fits, and the whole length.
class Gather {
public:
    Gather(char* buffer, std::size_t size) : buffer_(size > 0 ? buffer : nullptr), room_(size > 0 ? size - 1 : 0) {}

    void add(const char* text) {
        std::size_t len = std::strlen(text);
        if (buffer_ != nullptr && length_ < room_) std::memcpy(buffer_ + length_, text, std::min(len, room_ - length_));
        length_ += len;
    }

    std::size_t finish() {
        if (buffer_ != nullptr) buffer_[std::min(length_, room_)] = '\0';
        return length_;
    }

private:
    char* buffer_;
    std::size_t room_;
    std::size_t length_ = 0;
};

// Hands the value of every text record below `top` to `gather`, in document order, through
// named elements and entity references; comments, processing instructions, the DOCTYPE and
// text directly under a document record are passed over. No recursion: a stack keeps, for
// each level entered, where its parent goes on. Should the stack not grow, deeper levels find
// their place again by their parent link, which every record below `top` carries.
void gather_below(const XMLNode* top, Gather& gather) {
    std::vector<int32_t> resume;
    const XMLNode* at = top;
    int32_t next = 0;
    std::size_t depth = 0;
    for (;;) {
        if (next < at->children.count) {
            const XMLNode* child = at->children.items[next++];
            if (is_text(child)) {
                if (at->type != XML_DOCUMENT_NODE) gather.add(child->value);
            } else if (text_below(child) && child->children.count > 0) {
                if (resume.size() == depth) {
                    try {
                        resume.push_back(next);
                    } catch (const std::bad_alloc&) {
                    }
                }
                ++depth;
                at = child;
                next = 0;
            }
            continue;
        }
        if (depth == 0) return;
        const XMLNode* parent = at->parent;
        if (resume.size() == depth) {
            next = resume.back();
            resume.pop_back();
        } else {
            int32_t place = parent != nullptr ? child_index(parent, at) : -1;
            if (place < 0) return;  // a broken link: stop rather than go round
            next = place + 1;
        }
        --depth;
        at = parent;
    }
}

ZEL_XML_RESULT refused(const char* why) {
    zel::parser::set_last_error(why);
    return ZEL_XML_EXCEPTION;
}

}  // namespace

extern "C" {

ZEL_XML_API size_t XMLGetNodeText(const XMLNode* node, char* buffer, size_t bufferSize) {
    Gather gather(buffer, bufferSize);
    if (node != nullptr) {
        if (text_below(node)) gather_below(node, gather);
        else gather.add(node->value != nullptr ? node->value : "");
    }
    return gather.finish();
}

ZEL_XML_API ZEL_XML_RESULT XMLSetNodeText(XMLNode* node, const char* text) {
    if (node == nullptr || text == nullptr) return refused("XMLSetNodeText: the node or the text is NULL");
    if (node->type == XML_DOCUMENT_NODE || node->type == XML_DOCUMENT_TYPE_NODE)
        return refused("XMLSetNodeText: a document record or DOCTYPE takes no text");
    std::size_t len = std::strlen(text);
    if (!text_below(node)) {
        if (!replace_string(&node->value, text, len)) return refused("XMLSetNodeText: out of memory");
        zel::parser::clear_last_error();
        return ZEL_XML_OK;
    }
    // What can fail comes first: the new record (made before the old ones go, as `text` may
    // be one of their values) and room for it.
    XMLNode* fresh = nullptr;
    if (len > 0) {
        fresh = new_node_with_value(XML_TEXT_NODE, text, len);
        if (fresh == nullptr || !reserve_children(node, 1)) {
            free_node(fresh);
            return refused("XMLSetNodeText: out of memory");
        }
    }
    XMLNodeList* list = &node->children;
    for (int32_t i = 0; i < list->count; ++i) free_node(list->items[i]);
    list->count = 0;
    if (fresh != nullptr) {
        list->items[list->count++] = fresh;
        fresh->parent = node;
    }
    zel::parser::clear_last_error();
    return ZEL_XML_OK;
}

}  // extern "C"
