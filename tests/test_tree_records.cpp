// Records: a fresh root, freeing, and independent deep copies.
#include "tree_helpers.hpp"

#include <gtest/gtest.h>

#include <string>

namespace {

// config[version=1]{server{"alpha",port},"tail"} with extra fields set on `server`.
Root sample_tree() {
    Root root = make_root("config");
    add_attribute(root.get(), "version", "1");
    XMLNode* server = XMLCreateElementNode("server", root.get());
    add_attribute(server, "name", "a");
    add_attribute(server, "kind", "b", 10);
    server->intValue = 77;
    server->docRef = &server->intValue;
    XMLCreateTextNode("alpha", server);
    XMLCreateElementNode("port", server);
    XMLCreateTextNode("tail", root.get());
    return root;
}

TEST(Records, FreshRootIsEmpty) {
    Root root = make_root();
    ASSERT_NE(root, nullptr);
    EXPECT_STREQ(root->name, "");
    EXPECT_STREQ(root->value, "");
    EXPECT_EQ(root->type, XML_ELEMENT_NODE);
    EXPECT_EQ(root->intValue, 0);
    EXPECT_EQ(root->attributes.count, 0);
    EXPECT_EQ(XMLGetChildrenCount(root.get()), 0);
    EXPECT_EQ(root->parent, nullptr);
    EXPECT_EQ(root->docRef, nullptr);
}

TEST(Records, NullArgumentsAreHarmless) {
    XMLFreeRootNode(nullptr);
    EXPECT_EQ(XMLCopyNodeData(nullptr), nullptr);
}

TEST(Records, CopyOfInnerRecordEqualsSourceAndIsDetached) {
    Root root = sample_tree();
    XMLNode* server = XMLGetChildAt(root.get(), 0);
    Root copy(XMLCopyNodeData(server));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(outline(copy.get()), outline(server));
    EXPECT_EQ(outline(copy.get()), "server[name=a:3 kind=b:10]{\"alpha\",port}");
    EXPECT_EQ(copy->parent, nullptr);
    EXPECT_EQ(copy->intValue, 77);
    EXPECT_EQ(copy->docRef, &server->intValue) << "docRef is carried over unchanged";
    for (int32_t i = 0; i < XMLGetChildrenCount(copy.get()); ++i)
        EXPECT_EQ(XMLGetChildAt(copy.get(), i)->parent, copy.get());
}

TEST(Records, CopySharesNothingWithSource) {
    Root root = sample_tree();
    Root copy(XMLCopyNodeData(root.get()));
    const std::string before = outline(copy.get());
    XMLNode* server = XMLGetChildAt(root.get(), 0);
    XMLNode* server_copy = XMLGetChildAt(copy.get(), 0);
    EXPECT_NE(server, server_copy);
    EXPECT_NE(server->attributes.items, server_copy->attributes.items);
    EXPECT_NE(server->attributes.items[0].name, server_copy->attributes.items[0].name);
    EXPECT_NE(XMLGetChildAt(server, 0)->value, XMLGetChildAt(server_copy, 0)->value);

    // Freeing the source leaves the copy whole (ASan would catch a shared string).
    root.reset();
    EXPECT_EQ(outline(copy.get()), before);
    // And the other way round.
    Root second(XMLCopyNodeData(copy.get()));
    copy.reset();
    EXPECT_EQ(outline(second.get()), before);
}

TEST(Records, CopyKeepsFullNameBufferAndTypes) {
    Root root = make_root("abcdefghijklmnopqrstuvwxyz01234");  // 31 bytes
    root->type = XML_DOCUMENT_NODE;
    Root copy(XMLCopyNodeData(root.get()));
    EXPECT_STREQ(copy->name, "abcdefghijklmnopqrstuvwxyz01234");
    EXPECT_EQ(copy->type, XML_DOCUMENT_NODE);
}

TEST(Records, FreeingWideAndNestedTreeReleasesEverything) {
    // Runs clean under ASan/LeakSanitizer only if every record, attribute and string is
    // freed exactly once.
    Root root = make_root("r");
    for (int i = 0; i < 100; ++i) {
        XMLNode* e = XMLCreateElementNode("e", root.get());
        add_attribute(e, "i", std::to_string(i).c_str());
        for (int j = 0; j < 10; ++j) XMLCreateTextNode("some text", XMLCreateElementNode("c", e));
    }
    EXPECT_EQ(XMLGetChildrenCount(root.get()), 100);
    root.reset();
}

}  // namespace

namespace {

// Text records keep their value in the record's own block and attributes keep the value in
// the name's block; every way of changing or freeing them must keep the other strings whole
// (ASan reports a wrong free or a read of freed memory).
TEST(Records, StringsStoredTogetherChangeIndependently) {
    Root root = make_root("r");
    XMLNode* text = XMLCreateTextNode("first text", root.get());
    EXPECT_EQ(XMLAlterValueOfNode(root.get(), "second, a longer text"), 0);
    EXPECT_STREQ(text->value, "second, a longer text");
    EXPECT_EQ(XMLAlterValueOfNode(root.get(), ""), 0);
    EXPECT_STREQ(text->value, "");

    XMLNode* other = XMLCreateTextNode("to be named", root.get());
    EXPECT_EQ(XMLSetNodeStringElement(other, "named", "own value"), other);
    EXPECT_STREQ(other->value, "own value");

    ASSERT_TRUE(XMLSetNodeStringAttribute(root.get(), "colour", "blue"));
    XMLAttr* attr = XMLFindAttrWithKeyName(root.get(), "colour");
    ASSERT_TRUE(XMLSetStringAttribute(attr, "color", "green", 3));  // renames: both strings change
    EXPECT_STREQ(attr->name, "color");
    EXPECT_STREQ(attr->value, "green");
    ASSERT_TRUE(XMLSetNodeStringAttribute(root.get(), "empty", ""));
    ASSERT_TRUE(XMLSetNodeIntegerAttribute(root.get(), "empty", 7));
    EXPECT_STREQ(XMLFindAttrWithKeyName(root.get(), "empty")->value, "7");

    Root copy(XMLCopyNodeData(root.get()));
    root.reset();
    EXPECT_EQ(outline(copy.get()), "r[color=green:3 empty=7:3]{\"\",named=own value}");
}

}  // namespace
