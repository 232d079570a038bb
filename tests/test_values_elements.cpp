// Typed element setters: filling an unnamed node in place, or a new unnamed child, with a
// string, a double's text or an integer held in the element's own fields.
#include "tree_helpers.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace {

const std::string k31(31, 'e');
const std::string k32(32, 'e');

TEST(Elements, SetFillsAnUnnamedNodeInPlace) {
    // A fresh root becomes the element itself; no child is added.
    Root root = make_root();
    root->type = XML_DOCUMENT_NODE;
    EXPECT_EQ(XMLSetNodeStringElement(root.get(), "config", "on"), root.get());
    EXPECT_EQ(root->type, XML_ELEMENT_NODE);
    EXPECT_EQ(outline(root.get()), "config=on");

    // A text node becomes an element; a null value keeps its text as its own value.
    XMLNode* text = XMLCreateTextNode("words", root.get());
    EXPECT_EQ(XMLSetNodeStringElement(text, "said", nullptr), text);
    EXPECT_EQ(text->type, XML_ELEMENT_NODE);
    EXPECT_EQ(outline(root.get()), "config=on{said=words}");

    // An unnamed element keeps its attributes and children.
    XMLNode* unnamed = XMLCreateElementNode("", root.get());
    add_attribute(unnamed, "a", "1");
    XMLCreateTextNode("kid", unnamed);
    EXPECT_EQ(XMLSetNodeStringElement(unnamed, "full", "v"), unnamed);
    EXPECT_EQ(outline(unnamed), "full[a=1:3]=v{\"kid\"}");
}

TEST(Elements, SetOnANamedNodeAppendsAChildEachTime) {
    Root root = make_root("list");
    XMLNode* one = XMLSetNodeStringElement(root.get(), "item", "one");
    XMLNode* two = XMLSetNodeStringElement(root.get(), "item", "two");
    ASSERT_TRUE(one && two);
    EXPECT_NE(one, two);
    EXPECT_EQ(one->parent, root.get());
    EXPECT_EQ(outline(root.get()), "list{item=one,item=two}");

    const int32_t seven = 7;
    XMLNode* count = XMLSetNodeIntegerElement(root.get(), "count", &seven);
    XMLNode* ratio = XMLSetNodeDoubleElement(root.get(), "ratio", 0.75);
    EXPECT_EQ(count, XMLGetChildAt(root.get(), 2));
    EXPECT_EQ(ratio, XMLGetChildAt(root.get(), 3));
    EXPECT_EQ(count->intValue, 7);
    EXPECT_EQ(outline(root.get()), "list{item=one,item=two,count,ratio=0.75}");
    EXPECT_EQ(root->value[0], '\0');
    EXPECT_EQ(root->intValue, 0);
}

TEST(Elements, AppendAlwaysAddsAChild) {
    Root root = make_root();  // unnamed: Set would fill it, Append never does
    XMLNode* child = XMLAppendNodeStringElement(root.get(), "a", "1");
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->parent, root.get());
    XMLNode* bare = XMLAppendNodeStringElement(root.get(), "b", nullptr);
    EXPECT_EQ(bare, XMLGetChildAt(root.get(), 1));
    EXPECT_EQ(outline(root.get()), "{a=1,b}");
    EXPECT_STREQ(root->name, "");

    Root named = make_root("n");
    XMLAppendNodeStringElement(named.get(), "x", "1");
    XMLSetNodeStringElement(named.get(), "x", "1");
    EXPECT_EQ(outline(named.get()), "n{x=1,x=1}") << "on a named parent Append and Set agree";
}

TEST(Elements, DoubleZeroAndNaNMeanNoValue) {
    struct Case {
        double value;
        const char* stored;  // "": the value is left as it was
    };
    const Case cases[] = {
        {0.0, ""},         {-0.0, ""},
        {std::numeric_limits<double>::quiet_NaN(), ""},
        {2.5, "2.5"},      {0.0000001, "1e-007"},      {-1e6, "-1e+006"},
        {std::numeric_limits<double>::infinity(), "INF"},
    };
    for (const Case& c : cases) {
        Root root = make_root();
        EXPECT_EQ(XMLSetNodeDoubleElement(root.get(), "d", c.value), root.get());
        EXPECT_STREQ(root->name, "d");
        EXPECT_EQ(root->type, XML_ELEMENT_NODE);
        EXPECT_STREQ(root->value, c.stored) << c.value;
    }
    // "No value" keeps what was there.
    Root root = make_root();
    XMLNode* text = XMLCreateTextNode("kept", root.get());
    XMLSetNodeDoubleElement(text, "d", 0.0);
    EXPECT_STREQ(text->value, "kept");
}

TEST(Elements, IntegerGoesToIntValueOnly) {
    Root root = make_root();
    XMLNode* text = XMLCreateTextNode("kept", root.get());
    const int32_t answer = 42;
    EXPECT_EQ(XMLSetNodeIntegerElement(text, "n", &answer), text);
    EXPECT_EQ(text->intValue, 42);
    EXPECT_STREQ(text->value, "kept");
    EXPECT_STREQ(text->name, "n");

    XMLNode* unnamed = XMLCreateElementNode("", root.get());
    unnamed->intValue = 5;
    EXPECT_EQ(XMLSetNodeIntegerElement(unnamed, "m", nullptr), unnamed);
    EXPECT_EQ(unnamed->intValue, 5) << "a null pointer only names the node";
    EXPECT_STREQ(unnamed->name, "m");

    const int32_t lowest = std::numeric_limits<int32_t>::min();
    EXPECT_EQ(XMLSetNodeIntegerElement(unnamed, "low", &lowest)->intValue, lowest);
}

TEST(Elements, NamesOf32BytesAreRefusedWithoutAThrow) {
    // In place: the node is unchanged.
    Root root = make_root();
    XMLNode* text = XMLCreateTextNode("t", root.get());
    const int32_t one = 1;
    EXPECT_EQ(XMLSetNodeStringElement(text, k32.c_str(), "v"), nullptr);
    EXPECT_EQ(XMLSetNodeDoubleElement(text, k32.c_str(), 1.5), nullptr);
    EXPECT_EQ(XMLSetNodeIntegerElement(text, k32.c_str(), &one), nullptr);
    EXPECT_EQ(text->type, XML_TEXT_NODE);
    EXPECT_EQ(text->intValue, 0);
    EXPECT_EQ(outline(root.get()), "{\"t\"}");

    // On the append path the new child stays, unnamed and empty; a later Set fills it.
    Root parent = make_root("p");
    EXPECT_EQ(XMLAppendNodeStringElement(parent.get(), k32.c_str(), "v"), nullptr);
    EXPECT_EQ(XMLSetNodeStringElement(parent.get(), k32.c_str(), "v"), nullptr);
    ASSERT_EQ(XMLGetChildrenCount(parent.get()), 2);
    XMLNode* left = XMLGetChildAt(parent.get(), 0);
    EXPECT_EQ(left->type, XML_ELEMENT_NODE);
    EXPECT_STREQ(left->value, "");
    EXPECT_EQ(XMLSetNodeStringElement(left, k31.c_str(), "v"), left);
    EXPECT_EQ(outline(parent.get()), "p{" + k31 + "=v,}");
}

TEST(Elements, NullArgumentsReturnNull) {
    Root root = make_root("r");
    const int32_t one = 1;
    EXPECT_EQ(XMLSetNodeStringElement(nullptr, "a", "v"), nullptr);
    EXPECT_EQ(XMLSetNodeStringElement(root.get(), nullptr, "v"), nullptr);
    EXPECT_EQ(XMLSetNodeDoubleElement(nullptr, "a", 1.5), nullptr);
    EXPECT_EQ(XMLSetNodeDoubleElement(root.get(), nullptr, 1.5), nullptr);
    EXPECT_EQ(XMLSetNodeIntegerElement(nullptr, "a", &one), nullptr);
    EXPECT_EQ(XMLSetNodeIntegerElement(root.get(), nullptr, &one), nullptr);
    EXPECT_EQ(XMLAppendNodeStringElement(nullptr, "a", "v"), nullptr);
    EXPECT_EQ(XMLAppendNodeStringElement(root.get(), nullptr, "v"), nullptr);
    EXPECT_EQ(outline(root.get()), "r");
}

}  // namespace
