// Typed element setters: name an unnamed node in place, or a new unnamed child, and store a
// string, a double's text or an integer in its own fields.
#include "tree/tree.hpp"
#include "values/numbers.hpp"

#include <cstring>

using namespace zel::tree;
using zel::values::NumberText;

namespace {

// What a setter stores. Either part may be absent: the field is then left as it was.
struct Payload {
    char* text = nullptr;               // owned copy for `value`
    const int32_t* integer = nullptr;   // for `intValue`
};

// Makes the owned copy of `text` first, so that running out of memory changes nothing.
// False when out of memory.
bool copy_text(Payload* payload, const char* text, std::size_t len) {
    payload->text = new_string(text, len);
    return payload->text != nullptr;
}

// Names `node`, makes it an element and stores the payload. A name that does not fit gives
// nullptr with `node` unchanged. Takes ownership of the payload's text either way.
XMLNode* fill(XMLNode* node, const char* name, Payload payload) {
    if (!name_fits(name)) {
        release_string(payload.text);
        return nullptr;
    }
    set_name(node, name);
    node->type = XML_ELEMENT_NODE;
    if (payload.text != nullptr) {
        release_string(node->value);
        node->value = payload.text;
    }
    if (payload.integer != nullptr) node->intValue = *payload.integer;
    return node;
}

enum class Where { UnnamedInPlace, AlwaysNewChild };

// Fills `node` itself when it is unnamed and `where` allows it, else a new unnamed child
// appended to it. A refused name leaves that new child in place, unnamed and empty.
XMLNode* place(XMLNode* node, const char* name, Payload payload, Where where) {
    XMLNode* target = node;
    if (where == Where::AlwaysNewChild || node->name[0] != '\0') {
        target = XMLCreateElementNode("", node);
        if (target == nullptr) {
            release_string(payload.text);
            return nullptr;
        }
    }
    return fill(target, name, payload);
}

XMLNode* set_string(XMLNode* node, const char* name, const char* value, Where where) {
    if (node == nullptr || name == nullptr) return nullptr;
    Payload payload;
    if (value != nullptr && !copy_text(&payload, value, std::strlen(value))) return nullptr;
    return place(node, name, payload, where);
}

}  // namespace

extern "C" {

ZEL_XML_API XMLNode* XMLSetNodeStringElement(XMLNode* node, const char* name, const char* value) {
    return set_string(node, name, value, Where::UnnamedInPlace);
}

ZEL_XML_API XMLNode* XMLAppendNodeStringElement(XMLNode* parent, const char* name, const char* value) {
    return set_string(parent, name, value, Where::AlwaysNewChild);
}

ZEL_XML_API XMLNode* XMLSetNodeDoubleElement(XMLNode* node, const char* name, double value) {
    if (node == nullptr || name == nullptr) return nullptr;
    Payload payload;
    bool has_value = value < 0 || value > 0;  // 0.0, -0.0 and NaN mean "no value"
    if (has_value) {
        NumberText text(value);
        if (!copy_text(&payload, text.data(), text.size())) return nullptr;
    }
    return place(node, name, payload, Where::UnnamedInPlace);
}

ZEL_XML_API XMLNode* XMLSetNodeIntegerElement(XMLNode* node, const char* name, const int32_t* value) {
    if (node == nullptr || name == nullptr) return nullptr;
    Payload payload;
    payload.integer = value;
    return place(node, name, payload, Where::UnnamedInPlace);
}

}  // extern "C"
