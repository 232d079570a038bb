// Records with names over 31 bytes, as the readers make them through zel::tree::set_long_name.
#include "tree/tree.hpp"
#include "tree_helpers.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

const std::string kPrefix(29, 'p');
const std::string kWhole = kPrefix + "\xE2\x82\xAC-tail";  // the euro sign is cut: 29 bytes kept

XMLNode* named(XMLNode* node, const std::string& name) {
    EXPECT_TRUE(zel::tree::set_long_name(node, name.data(), name.size()));
    return node;
}

// `name` keeps what fits up to a character boundary; the whole name is what lookups match,
// stays with a removed record, and is still refused as a key.
TEST(LongNames, CutAtCharacterBoundaryAndMatchedWhole) {
    const std::string a(30, 'a');
    const struct { std::string name; std::size_t kept; } rows[] = {
        {a + "b", 31}, {a + "bc", 31}, {a + "\xC3\xA9", 30}, {a.substr(1) + "\xE2\x82\xAC", 29},
        {a.substr(2) + "\xF0\x9F\x98\x80x", 28}, {a.substr(3) + "\xF0\x9F\x98\x80x", 31}, {std::string(300, 'z'), 31}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string kept = row.name.substr(0, row.kept);
        Root root = make_root("r");
        XMLNode* sibling = XMLCreateElementNode(kept.c_str(), root.get());
        XMLNode* node = named(XMLCreateElementNode("", root.get()), row.name);
        XMLNode* match = kept == row.name ? sibling : node;
        EXPECT_EQ(node->name, kept);
        EXPECT_EQ(zel::tree::whole_name_length(node), row.name.size());
        EXPECT_EQ(XMLGetChildWithKeyName(root.get(), row.name.c_str()), match);
        EXPECT_EQ(XMLGetNumChildrenWithKeyName(root.get(), kept.c_str()), match == node ? 1 : 2);
        if (match == node) {
            EXPECT_THROW(XMLSetKeyNameValue(root.get(), row.name.c_str(), "v"), ZEL_XML_RESULT);
        }
        Root removed(node);
        XML_RemoveNthChildData(root.get(), 1);
        EXPECT_EQ(XMLGetNodeName(removed.get()), row.name);
    }
    EXPECT_STREQ(XMLGetNodeName(nullptr), "");
}

// Each row changes the name of a record named kWhole; a copy carries the same name and
// outlives the source.
TEST(LongNames, RenamesAndDirectWritesToNameWin) {
    const struct { void (*change)(XMLNode*); std::string expected; } rows[] = {
        {[](XMLNode* n) { XMLCreateDocumentNode(kPrefix.c_str(), n); }, kPrefix},
        {[](XMLNode* n) { named(n, kPrefix); }, kPrefix},
        {[](XMLNode* n) { named(n, kWhole + "2"); }, kWhole + "2"},
        {[](XMLNode* n) { std::strcpy(n->name, "other"); }, "other"},
        {[](XMLNode* n) { n->name[10] = '\0'; }, kPrefix.substr(0, 10)},
        {[](XMLNode* n) { std::strcat(n->name, "x"); }, kPrefix + "x"},
        {[](XMLNode* n) { n->type = 11, n->intValue = -1; }, kWhole}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.expected);
        Root root(named(XMLCreateRootNode(), kWhole));
        row.change(root.get());
        Root copy(XMLCopyNodeData(root.get()));
        EXPECT_EQ(XMLGetNodeName(root.get()), row.expected);
        EXPECT_EQ(XMLGetNodeData(root.get(), kWhole.c_str(), nullptr), row.expected == kWhole ? root.get() : nullptr);
        root.reset();  // ASan sees a block the copy would share
        EXPECT_EQ(XMLGetNodeName(copy.get()), row.expected);
    }
}

}  // namespace
