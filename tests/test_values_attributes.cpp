// Attributes: lookup by name, the record fillers, the node setters and the boolean byte rule.
#include "tree_helpers.hpp"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Attributes, LookupIsExactCaseSensitiveAndFirstMatch) {
    Root root = make_root("r");
    EXPECT_EQ(XMLFindAttrWithKeyName(root.get(), "width"), nullptr) << "no attributes at all";
    add_attribute(root.get(), "Width", "1");
    add_attribute(root.get(), "width", "2");
    add_attribute(root.get(), "", "3");
    add_attribute(root.get(), "width", "4");
    XMLAttr* items = root->attributes.items;
    struct Case {
        const char* name;
        XMLAttr* found;
    };
    const Case cases[] = {
        {"Width", &items[0]}, {"width", &items[1]}, {"", &items[2]},      {"WIDTH", nullptr},
        {"widt", nullptr},    {"widths", nullptr},  {" width", nullptr},
    };
    for (const Case& c : cases) EXPECT_EQ(XMLFindAttrWithKeyName(root.get(), c.name), c.found) << '"' << c.name << '"';
}

TEST(Attributes, NodeSettersAppendOnceThenUpdateInPlace) {
    Root root = make_root("r");
    ASSERT_TRUE(XMLSetNodeIntegerAttribute(root.get(), "width", 10));
    EXPECT_EQ(outline(root.get()), "r[width=10:3]");
    ASSERT_TRUE(XMLSetNodeStringAttribute(root.get(), "height", "tall"));
    ASSERT_TRUE(XMLSetNodeStringAttribute(root.get(), "depth", "deep"));

    // Every node setter changes the same attribute, in its place, without adding one.
    EXPECT_TRUE(XMLSetNodeDoubleAttribute(root.get(), "height", 2.5));
    EXPECT_EQ(outline(root.get()), "r[width=10:3 height=2.5:3 depth=deep:3]");
    EXPECT_TRUE(XMLSetNodeBoolAttribute(root.get(), "height", 1));
    EXPECT_TRUE(XMLSetNodeAttribute(root.get(), "width", "wide"));
    EXPECT_TRUE(XMLSetNodeIntegerAttribute(root.get(), "depth", -3));
    EXPECT_EQ(outline(root.get()), "r[width=wide:3 height=true:3 depth=-3:3]");
    EXPECT_EQ(root->attributes.count, 3);

    // Only the first of two same-named attributes is ever changed.
    add_attribute(root.get(), "width", "second");
    EXPECT_TRUE(XMLSetNodeStringAttribute(root.get(), "width", "first"));
    EXPECT_EQ(outline(root.get()), "r[width=first:3 height=true:3 depth=-3:3 width=second:3]");
}

TEST(Attributes, NodeSettersStoreTypeCode3WhateverItWas) {
    Root root = make_root("r");
    add_attribute(root.get(), "n", "old", XML_NOTATION_NODE);
    add_attribute(root.get(), "s", "old", XML_NOTATION_NODE);
    add_attribute(root.get(), "b", "old", 0);
    add_attribute(root.get(), "d", "old", -1);
    add_attribute(root.get(), "a", "old", XML_DOCUMENT_NODE);
    EXPECT_TRUE(XMLSetNodeIntegerAttribute(root.get(), "n", 1));
    EXPECT_TRUE(XMLSetNodeStringAttribute(root.get(), "s", "x"));
    EXPECT_TRUE(XMLSetNodeBoolAttribute(root.get(), "b", 0));
    EXPECT_TRUE(XMLSetNodeDoubleAttribute(root.get(), "d", 0.25));
    EXPECT_TRUE(XMLSetNodeAttribute(root.get(), "a", "y"));
    EXPECT_EQ(outline(root.get()), "r[n=1:3 s=x:3 b=false:3 d=0.25:3 a=y:3]");
}

TEST(Attributes, EmptyNameIsAnOrdinaryName) {
    Root root = make_root("r");
    EXPECT_TRUE(XMLSetNodeStringAttribute(root.get(), "", "first"));
    EXPECT_TRUE(XMLSetNodeIntegerAttribute(root.get(), "", 2));
    EXPECT_EQ(outline(root.get()), "r[=2:3]");
    EXPECT_EQ(XMLFindAttrWithKeyName(root.get(), ""), &root->attributes.items[0]);
}

TEST(Attributes, RecordFillersRenameRetypeAndReplace) {
    Root root = make_root("r");
    add_attribute(root.get(), "a", "1");
    add_attribute(root.get(), "b", "2");
    XMLAttr* b = XMLFindAttrWithKeyName(root.get(), "b");

    // The caller's type code is stored as given; the name is replaced, even by a duplicate.
    EXPECT_TRUE(XMLSetIntegerAttribute(b, "a", 42, XML_NOTATION_NODE));
    EXPECT_EQ(outline(root.get()), "r[a=1:3 a=42:10]");
    EXPECT_EQ(XMLFindAttrWithKeyName(root.get(), "a"), &root->attributes.items[0]) << "the first one wins";
    EXPECT_EQ(XMLFindAttrWithKeyName(root.get(), "b"), nullptr);

    EXPECT_TRUE(XMLSetDoubleAttribute(b, "c", 1e6, 0));
    EXPECT_EQ(outline(root.get()), "r[a=1:3 c=1e+006:0]");
    EXPECT_TRUE(XMLSetStringAttribute(b, "d", "text", -7));
    EXPECT_EQ(outline(root.get()), "r[a=1:3 d=text:-7]");
    EXPECT_TRUE(XMLSetBoolAttribute(b, "d", 1, 3));
    EXPECT_EQ(outline(root.get()), "r[a=1:3 d=true:3]");
    EXPECT_TRUE(XMLSetStringAttribute(b, "", "", 3));
    EXPECT_EQ(outline(root.get()), "r[a=1:3 =:3]");
    EXPECT_EQ(root->attributes.count, 2) << "fillers never add or remove";
}

TEST(Attributes, BooleanByteRule) {
    struct Case {
        uint8_t flag;
        const char* text;
    };
    const Case cases[] = {{1, "true"}, {0, "false"}, {2, "false"}, {0x81, "false"}, {0xFF, "false"}};
    for (const Case& c : cases) {
        Root root = make_root("r");
        EXPECT_TRUE(XMLSetNodeBoolAttribute(root.get(), "flag", c.flag));
        EXPECT_STREQ(root->attributes.items[0].value, c.text) << int(c.flag);
        EXPECT_TRUE(XMLSetBoolAttribute(&root->attributes.items[0], "flag", c.flag, 3));
        EXPECT_STREQ(root->attributes.items[0].value, c.text) << int(c.flag);
    }
}

TEST(Attributes, AppendingMayMoveTheRecordsAFreshLookupFindsThem) {
    Root root = make_root("r");
    XMLSetNodeIntegerAttribute(root.get(), "first", 1);
    for (int i = 0; i < 100; ++i) XMLSetNodeIntegerAttribute(root.get(), ("a" + std::to_string(i)).c_str(), i);
    XMLAttr* first = XMLFindAttrWithKeyName(root.get(), "first");
    ASSERT_EQ(first, &root->attributes.items[0]);
    EXPECT_TRUE(XMLSetDoubleAttribute(first, "first", 0.5, 3));
    EXPECT_EQ(root->attributes.count, 101);
    EXPECT_STREQ(XMLFindAttrWithKeyName(root.get(), "a99")->value, "99");
    EXPECT_STREQ(XMLFindAttrWithKeyName(root.get(), "first")->value, "0.5");
}

TEST(Attributes, RemovingTakesTheFirstOfThatNameAndKeepsTheOrder) {
    Root root = make_root("r");
    for (const char* name : {"a", "b", "c", "b", "d"}) add_attribute(root.get(), name, name);
    root->attributes.items[3].value[0] = 'B';  // tells the two b apart
    EXPECT_EQ(XMLRemoveAttrWithKeyName(root.get(), "b"), 1);
    EXPECT_EQ(XMLRemoveAttrWithKeyName(root.get(), "e"), 0);
    EXPECT_EQ(XMLRemoveAttrWithKeyName(root.get(), "B"), 0) << "names compare case-sensitively";
    std::string left;
    for (int32_t i = 0; i < root->attributes.count; ++i)
        left += std::string(root->attributes.items[i].name) + "=" + root->attributes.items[i].value + " ";
    EXPECT_EQ(left, "a=a c=c b=B d=d ");
    EXPECT_EQ(XMLRemoveAttrWithKeyName(root.get(), "d"), 1) << "the last one";
    EXPECT_EQ(XMLRemoveAttrWithKeyName(root.get(), "a"), 1) << "the first one";
    EXPECT_EQ(root->attributes.count, 2);
    EXPECT_STREQ(root->attributes.items[0].name, "c");
    EXPECT_EQ(XMLRemoveAttrWithKeyName(nullptr, "c"), 0);
    EXPECT_EQ(XMLRemoveAttrWithKeyName(root.get(), nullptr), 0);
    EXPECT_EQ(root->attributes.count, 2);
}

TEST(Attributes, NullArgumentsChangeNothing) {
    Root root = make_root("r");
    add_attribute(root.get(), "a", "1");
    XMLAttr* a = &root->attributes.items[0];
    EXPECT_EQ(XMLFindAttrWithKeyName(nullptr, "a"), nullptr);
    EXPECT_EQ(XMLFindAttrWithKeyName(root.get(), nullptr), nullptr);

    EXPECT_FALSE(XMLSetIntegerAttribute(nullptr, "a", 1, 3));
    EXPECT_FALSE(XMLSetIntegerAttribute(a, nullptr, 1, 9));
    EXPECT_FALSE(XMLSetDoubleAttribute(nullptr, "a", 1.0, 3));
    EXPECT_FALSE(XMLSetDoubleAttribute(a, nullptr, 1.0, 9));
    EXPECT_FALSE(XMLSetStringAttribute(nullptr, "a", "x", 3));
    EXPECT_FALSE(XMLSetStringAttribute(a, nullptr, "x", 9));
    EXPECT_FALSE(XMLSetStringAttribute(a, "b", nullptr, 9));
    EXPECT_FALSE(XMLSetBoolAttribute(nullptr, "a", 1, 3));
    EXPECT_FALSE(XMLSetBoolAttribute(a, nullptr, 1, 9));

    EXPECT_FALSE(XMLSetNodeIntegerAttribute(nullptr, "a", 1));
    EXPECT_FALSE(XMLSetNodeIntegerAttribute(root.get(), nullptr, 1));
    EXPECT_FALSE(XMLSetNodeDoubleAttribute(nullptr, "a", 1.0));
    EXPECT_FALSE(XMLSetNodeDoubleAttribute(root.get(), nullptr, 1.0));
    EXPECT_FALSE(XMLSetNodeStringAttribute(nullptr, "a", "x"));
    EXPECT_FALSE(XMLSetNodeStringAttribute(root.get(), nullptr, "x"));
    EXPECT_FALSE(XMLSetNodeStringAttribute(root.get(), "a", nullptr));
    EXPECT_FALSE(XMLSetNodeStringAttribute(root.get(), "new", nullptr));
    EXPECT_FALSE(XMLSetNodeBoolAttribute(nullptr, "a", 1));
    EXPECT_FALSE(XMLSetNodeBoolAttribute(root.get(), nullptr, 1));
    EXPECT_FALSE(XMLSetNodeAttribute(nullptr, "a", "x"));
    EXPECT_FALSE(XMLSetNodeAttribute(root.get(), nullptr, "x"));
    EXPECT_FALSE(XMLSetNodeAttribute(root.get(), "a", nullptr));

    EXPECT_EQ(outline(root.get()), "r[a=1:3]");
}

}  // namespace
