// Child access: positions, removal, name lookups and the pre-order subtree search.
#include "tree_helpers.hpp"

#include <gtest/gtest.h>

namespace {

Root abc() {
    Root root = make_root("r");
    for (const char* name : {"a", "b", "c"}) XMLCreateTextNode(name, XMLCreateElementNode(name, root.get()));
    return root;
}

TEST(ChildAccess, PositionsAreRangeChecked) {
    Root root = abc();
    EXPECT_EQ(XMLGetChildrenCount(root.get()), 3);
    EXPECT_STREQ(XMLGetNthChildData(root.get(), 2)->name, "c");
    EXPECT_STREQ(XMLGetChildAt(root.get(), 0)->name, "a");
    for (int32_t bad : {-1, 3, INT32_MIN, INT32_MAX}) {
        EXPECT_EQ(XMLGetNthChildData(root.get(), bad), nullptr) << bad;
        EXPECT_EQ(XMLGetChildAt(root.get(), bad), nullptr) << bad;
    }
    EXPECT_EQ(XMLGetChildrenCount(nullptr), 0);
    EXPECT_EQ(XMLGetNthChildData(nullptr, 0), nullptr);
    EXPECT_EQ(XMLGetChildAt(nullptr, 0), nullptr);
}

TEST(ChildAccess, RemovalKeepsOrderAndTheRemovedRecordValid) {
    Root root = abc();
    XMLNode* b = XMLGetChildAt(root.get(), 1);
    add_attribute(b, "k", "v");
    b->intValue = 5;
    EXPECT_EQ(XML_RemoveNthChildData(root.get(), 1), 0);
    EXPECT_EQ(outline(root.get()), "r{a{\"a\"},c{\"c\"}}");

    // The removed record is the host's now: named, valued, emptied of attributes and children.
    Root removed(b);
    EXPECT_STREQ(b->name, "b");
    EXPECT_EQ(b->intValue, 5);
    EXPECT_EQ(b->parent, root.get()) << "links are left as they were";
    EXPECT_EQ(XMLGetChildrenCount(b), 0);
    EXPECT_EQ(b->attributes.count, 0);

    for (int32_t bad : {-1, 2, 5}) EXPECT_EQ(XML_RemoveNthChildData(root.get(), bad), 0);
    EXPECT_EQ(XMLGetChildrenCount(root.get()), 2);
    EXPECT_EQ(XML_RemoveNthChildData(nullptr, 0), 0);

    // Removing the last and then the only child.
    Root c(XMLGetChildAt(root.get(), 1));
    XML_RemoveNthChildData(root.get(), 1);
    Root a(XMLGetChildAt(root.get(), 0));
    XML_RemoveNthChildData(root.get(), 0);
    EXPECT_EQ(XMLGetChildrenCount(root.get()), 0);
    EXPECT_STREQ(c->name, "c");
}

TEST(ChildAccess, NameMatchingIsExactAndCaseSensitive) {
    Root root = make_root("r");
    XMLNode* first = XMLCreateElementNode("Item", root.get());
    XMLCreateElementNode("item", root.get());
    XMLNode* third = XMLCreateElementNode("Item", root.get());
    XMLCreateElementNode("Item ", root.get());
    XMLCreateElementNode("Ite", root.get());

    EXPECT_EQ(XMLGetNumChildrenWithKeyName(root.get(), "Item"), 2);
    EXPECT_EQ(XMLGetChildWithKeyName(root.get(), "Item"), first);
    EXPECT_EQ(XMLGetNthChildWithKey(root.get(), 0, "Item"), first);
    EXPECT_EQ(XMLGetNthChildWithKey(root.get(), 1, "Item"), third);
    EXPECT_EQ(XMLGetNthChildWithKey(root.get(), 2, "Item"), nullptr);
    EXPECT_EQ(XMLGetNthChildWithKey(root.get(), -1, "Item"), nullptr);
    EXPECT_EQ(XMLGetChildWithKeyName(root.get(), "ITEM"), nullptr);
    EXPECT_EQ(XMLGetNumChildrenWithKeyName(root.get(), "It"), 0);
    // A wanted name longer than any stored name never matches a full buffer.
    EXPECT_EQ(XMLGetChildWithKeyName(root.get(), std::string(40, 'I').c_str()), nullptr);
}

TEST(ChildAccess, EmptyNameFindsTextChildren) {
    Root root = make_root("r");
    XMLCreateElementNode("x", root.get());
    XMLNode* text = XMLCreateTextNode("t", root.get());
    XMLCreateElementNode("", root.get());
    EXPECT_EQ(XMLGetChildWithKeyName(root.get(), ""), text);
    EXPECT_EQ(XMLGetNumChildrenWithKeyName(root.get(), ""), 2);
}

TEST(ChildAccess, NameLookupsTolerateNull) {
    Root root = abc();
    EXPECT_EQ(XMLGetNumChildrenWithKeyName(nullptr, "a"), 0);
    EXPECT_EQ(XMLGetNumChildrenWithKeyName(root.get(), nullptr), 0);
    EXPECT_EQ(XMLGetNthChildWithKey(nullptr, 0, "a"), nullptr);
    EXPECT_EQ(XMLGetNthChildWithKey(root.get(), 0, nullptr), nullptr);
    EXPECT_EQ(XMLGetChildWithKeyName(nullptr, "a"), nullptr);
    EXPECT_EQ(XMLGetChildWithKeyName(root.get(), nullptr), nullptr);
}

TEST(SubtreeSearch, PreOrderFirstMatchWins) {
    // r{ p{ q{ x#deep } }, x#shallow }: the first child's whole subtree comes first.
    Root root = make_root("r");
    XMLNode* p = XMLCreateElementNode("p", root.get());
    XMLNode* deep = XMLCreateElementNode("x", XMLCreateElementNode("q", p));
    XMLNode* shallow = XMLCreateElementNode("x", root.get());
    uint8_t found = 7;
    EXPECT_EQ(XMLGetNodeData(root.get(), "x", &found), deep);
    EXPECT_EQ(found, 1);
    EXPECT_EQ(XMLGetNodeData(shallow, "x", &found), shallow) << "the record itself is searched first";
    EXPECT_EQ(XMLGetNodeData(root.get(), "r", &found), root.get());
    EXPECT_EQ(XMLGetNodeData(p, "q", &found), XMLGetChildAt(p, 0));

    found = 7;
    EXPECT_EQ(XMLGetNodeData(root.get(), "nowhere", &found), nullptr);
    EXPECT_EQ(found, 0);
    EXPECT_EQ(XMLGetNodeData(root.get(), "x", nullptr), deep) << "a null flag is simply not written";
}

TEST(SubtreeSearch, NullArgumentsGiveNotFound) {
    Root root = abc();
    uint8_t found = 1;
    EXPECT_EQ(XMLGetNodeData(nullptr, "a", &found), nullptr);
    EXPECT_EQ(found, 0);
    found = 1;
    EXPECT_EQ(XMLGetNodeData(root.get(), nullptr, &found), nullptr);
    EXPECT_EQ(found, 0);
}

}  // namespace
