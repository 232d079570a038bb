// Construction: the name limit and its thrown value, order of children, the document node.
#include "tree_helpers.hpp"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string k31(31, 'n');
const std::string k32(32, 'n');

TEST(Construct, NameLimitIs31Bytes) {
    Root root = make_root("r");
    XMLNode* e = XMLCreateElementNode(k31.c_str(), root.get());
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(std::string(e->name), k31);

    try {
        XMLCreateElementNode(k32.c_str(), root.get());
        FAIL() << "a 32-byte name must throw";
    } catch (ZEL_XML_RESULT code) {
        EXPECT_EQ(code, ZEL_XML_EXCEPTION);
    }
    EXPECT_EQ(XMLGetChildrenCount(root.get()), 1) << "nothing appended on a refused name";

    // The limit counts bytes of UTF-8: 10 three-byte characters plus one byte = 31 bytes.
    std::string cjk;
    for (int i = 0; i < 10; ++i) cjk += "\xE4\xB8\xAD";
    EXPECT_NE(XMLCreateElementNode((cjk + "x").c_str(), root.get()), nullptr);
    EXPECT_THROW(XMLCreateElementNode((cjk + "xy").c_str(), root.get()), ZEL_XML_RESULT);
}

TEST(Construct, DocumentNodeOnTooLongNameOnlyClearsDocRef) {
    Root root = make_root("old");
    root->docRef = root.get();
    root->type = XML_DOCUMENT_NODE;
    EXPECT_THROW(XMLCreateDocumentNode(k32.c_str(), root.get()), ZEL_XML_RESULT);
    EXPECT_EQ(root->docRef, nullptr);
    EXPECT_STREQ(root->name, "old");
    EXPECT_EQ(root->type, XML_DOCUMENT_NODE);
}

TEST(Construct, DocumentNodeKeepsChildrenAndAttributes) {
    Root root = make_root();
    root->type = XML_DOCUMENT_NODE;
    add_attribute(root.get(), "a", "1");
    XMLCreateElementNode("kid", root.get());
    XMLNode* same = XMLCreateDocumentNode("doc", root.get());
    EXPECT_EQ(same, root.get());
    EXPECT_EQ(root->type, XML_ELEMENT_NODE);
    EXPECT_EQ(outline(root.get()), "doc[a=1:3]{kid}");
    // A second call replaces the name.
    XMLCreateDocumentNode("", root.get());
    EXPECT_STREQ(root->name, "");
}

TEST(Construct, ChildrenKeepCallOrderAndTheirFields) {
    Root root = make_root("r");
    XMLNode* a = XMLCreateElementNode("a", root.get());
    XMLNode* t = XMLCreateTextNode("hello", root.get());
    XMLNode* empty = XMLCreateElementNode("", root.get());
    EXPECT_EQ(outline(root.get()), "r{a,\"hello\",}");
    EXPECT_EQ(a->type, XML_ELEMENT_NODE);
    EXPECT_STREQ(a->value, "");
    EXPECT_EQ(t->type, XML_TEXT_NODE);
    EXPECT_STREQ(t->name, "");
    EXPECT_STREQ(empty->name, "");
    for (XMLNode* n : {a, t, empty}) {
        EXPECT_EQ(n->parent, root.get());
        EXPECT_EQ(n->docRef, nullptr);
    }
}

TEST(Construct, LongTextIsStoredWhole) {
    Root root = make_root("r");
    std::string text(10000, 'x');
    text += "\xF0\x9F\x98\x80 end";
    XMLNode* t = XMLCreateTextNode(text.c_str(), root.get());
    EXPECT_EQ(std::string(t->value), text);
    EXPECT_STREQ(XMLCreateTextNode("", root.get())->value, "");
}

TEST(Construct, NullArgumentsCreateNothing) {
    Root root = make_root("r");
    EXPECT_EQ(XMLCreateDocumentNode(nullptr, root.get()), nullptr);
    EXPECT_EQ(XMLCreateDocumentNode("x", nullptr), nullptr);
    EXPECT_EQ(XMLCreateElementNode(nullptr, root.get()), nullptr);
    EXPECT_EQ(XMLCreateElementNode("x", nullptr), nullptr);
    EXPECT_EQ(XMLCreateTextNode(nullptr, root.get()), nullptr);
    EXPECT_EQ(XMLCreateTextNode("x", nullptr), nullptr);
    EXPECT_EQ(XMLGetChildrenCount(root.get()), 0);
    EXPECT_STREQ(root->name, "r");
}

}  // namespace
