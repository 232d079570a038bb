// On ordinary documents (no CDATA, entities, comments or document type) the event-driven
// reader and the document reader build the same tree, record by record.
// Built once XMLRead is part of the library (ZEL_TEST_HAVE_XMLREAD).
#if defined(ZEL_TEST_HAVE_XMLREAD)

#include "sax_helpers.hpp"

#include <gtest/gtest.h>

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
        if (a->attributes.count != b->attributes.count) return at + ": attribute count";
        for (int32_t i = 0; i < a->attributes.count; ++i) {
            const XMLAttr& x = a->attributes.items[i];
            const XMLAttr& y = b->attributes.items[i];
            if (std::string(x.name) != y.name || std::string(x.value) != y.value || x.type != y.type)
                return at + ": attribute " + std::to_string(i);
        }
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

#endif  // ZEL_TEST_HAVE_XMLREAD
