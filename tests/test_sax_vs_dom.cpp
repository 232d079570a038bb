// On ordinary documents (no CDATA, entities, comments or document type) the event-driven
// reader and the document reader build the same tree, record by record. One difference is
// by design: the document reader gives attributes in the parser's attribute-map order, which
// sorts them by name, and the event-driven reader in document order; attribute order carries
// no meaning in XML, so attributes are compared as sets.

#include "sax_helpers.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace {

using SaxVsDom = ParserTest;

std::string where(const std::vector<int32_t>& path) {
    std::string out = "root";
    for (int32_t index : path) out += "/" + std::to_string(index);
    return out;
}

// A record's attributes as name, value and type, sorted by name.
std::vector<std::string> attribute_set(const XMLNode* node) {
    std::vector<std::string> all;
    for (int32_t i = 0; i < node->attributes.count; ++i) {
        const XMLAttr& a = node->attributes.items[i];
        all.push_back(std::string(a.name) + "=" + a.value + ":" + std::to_string(a.type));
    }
    std::sort(all.begin(), all.end());
    return all;
}

// The first difference between two trees, or "" when every record matches: name, type,
// value, attributes in order, children in order, and parent links pointing at the holder.
std::string first_difference(const XMLNode* left, const XMLNode* right) {
    struct Pair {
        const XMLNode* left;
        const XMLNode* right;
        std::vector<int32_t> path;
    };
    std::vector<Pair> pending{{left, right, {}}};
    while (!pending.empty()) {
        Pair p = std::move(pending.back());
        pending.pop_back();
        const XMLNode* a = p.left;
        const XMLNode* b = p.right;
        const std::string at = where(p.path);
        if (std::string(a->name) != b->name) return at + ": name " + a->name + " vs " + b->name;
        if (a->type != b->type) return at + ": type";
        if (std::string(a->value) != b->value) return at + ": value '" + a->value + "' vs '" + b->value + "'";
        if (attribute_set(a) != attribute_set(b)) return at + ": attributes";
        if (a->children.count != b->children.count) return at + ": child count";
        for (int32_t i = a->children.count - 1; i >= 0; --i) {
            const XMLNode* ca = a->children.items[i];
            const XMLNode* cb = b->children.items[i];
            if (ca->parent != a || cb->parent != b) return at + ": parent of child " + std::to_string(i);
            std::vector<int32_t> path = p.path;
            path.push_back(i);
            pending.push_back({ca, cb, std::move(path)});
        }
    }
    return "";
}

TEST_F(SaxVsDom, SameTreeOnOrdinaryDocuments) {
    for (const char* name : {"catalog.xml", "mixed.xml", "config.xml"}) {
        const std::string path = sax_data(name);
        Root sax(XMLCreateRootNode());
        ASSERT_EQ(SAX_XMLRead(path.c_str(), sax.get(), nullptr, nullptr), ZEL_XML_OK) << name;
        Root dom(XMLCreateRootNode());
        capture_stderr([&] { ASSERT_EQ(XMLRead(path.c_str(), dom.get(), nullptr), ZEL_XML_OK) << name; });
        EXPECT_EQ(first_difference(sax.get(), dom.get()), "") << name;
        EXPECT_GT(sax->children.count, 0) << name;
    }
}

}  // namespace
