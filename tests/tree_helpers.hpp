// Small helpers shared by the tests that build trees by hand.
#pragma once

#include "zel_xml3.h"

#include <cstddef>
#include <memory>
#include <string>

// Owns a root record for the length of a test.
struct RootDeleter {
    void operator()(XMLNode* node) const { XMLFreeRootNode(node); }
};
using Root = std::unique_ptr<XMLNode, RootDeleter>;

inline Root make_root(const char* name = nullptr) {
    Root root(XMLCreateRootNode());
    if (name != nullptr) XMLCreateDocumentNode(name, root.get());
    return root;
}

// A chain of `levels` nested elements. With `mixed`, text beside the first child makes the
// document mixed, so the serialiser writes it without indentation.
inline Root chain(std::size_t levels, bool mixed = true) {
    Root root = make_root("n");
    if (mixed) XMLCreateTextNode("top", root.get());
    XMLNode* at = root.get();
    for (std::size_t i = 1; i < levels; ++i) at = XMLCreateElementNode("n", at);
    XMLCreateTextNode("end", at);
    return root;
}

// A compact picture of a subtree: name(type)[attrs]{children}, text as "value".
inline std::string outline(const XMLNode* node) {
    std::string out;
    if (node->type == XML_TEXT_NODE) return "\"" + std::string(node->value) + "\"";
    out += node->name;
    if (node->attributes.count > 0) {
        out += "[";
        for (int32_t i = 0; i < node->attributes.count; ++i) {
            const XMLAttr& a = node->attributes.items[i];
            out += (i ? " " : "") + std::string(a.name) + "=" + a.value + ":" + std::to_string(a.type);
        }
        out += "]";
    }
    if (node->value[0] != '\0') out += "=" + std::string(node->value);
    if (node->children.count > 0) {
        out += "{";
        for (int32_t i = 0; i < node->children.count; ++i) out += (i ? "," : "") + outline(node->children.items[i]);
        out += "}";
    }
    return out;
}

// Appends an attribute through the public setters, even when one of that name exists: a
// node setter appends it under a name no test uses, and a record filler renames it.
inline void add_attribute(XMLNode* node, const char* name, const char* value, int32_t type = 3) {
    const char* fresh = "\x01fresh";
    XMLSetNodeStringAttribute(node, fresh, value);
    XMLSetStringAttribute(XMLFindAttrWithKeyName(node, fresh), name, value, type);
}
