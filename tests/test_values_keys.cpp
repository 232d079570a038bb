// Key/value children: adding and setting keys, and the value of a node's first child.
#include "tree_helpers.hpp"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string k31(31, 'k');
const std::string k32(32, 'k');

// The value XMLGetValueOfNode reads, or "<1>" when it returns 1.
std::string value_of(const XMLNode* node) {
    char buffer[256];
    return XMLGetValueOfNode(node, sizeof buffer, buffer) == 0 ? std::string(buffer) : "<1>";
}

TEST(KeyValues, SetCreatesAKeyWhoseOnlyChildHoldsTheValue) {
    Root root = make_root("r");
    XMLNode* port = XMLSetKeyNameValue(root.get(), "port", "8080");
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(port->parent, root.get());
    EXPECT_EQ(outline(root.get()), "r{port{=8080}}");
    XMLNode* holder = XMLGetChildAt(port, 0);
    EXPECT_EQ(holder->type, XML_ELEMENT_NODE);
    EXPECT_STREQ(holder->name, "");
    EXPECT_EQ(holder->parent, port);
    EXPECT_STREQ(port->value, "") << "the key's own value stays empty";
    EXPECT_EQ(value_of(port), "8080");

    // A null value makes a key with no children.
    XMLNode* bare = XMLSetKeyNameValue(root.get(), "bare", nullptr);
    ASSERT_NE(bare, nullptr);
    EXPECT_EQ(XMLGetChildrenCount(bare), 0);
    char buffer[8] = "xxxxxxx";
    EXPECT_EQ(XMLGetValueOfNode(bare, sizeof buffer, buffer), 1);
    EXPECT_STREQ(buffer, "");
}

TEST(KeyValues, SetOnAnExistingKeyChangesOnlyItsOwnValue) {
    Root root = make_root("r");
    XMLNode* port = XMLSetKeyNameValue(root.get(), "port", "8080");
    EXPECT_EQ(XMLSetKeyNameValue(root.get(), "port", "9090"), port);
    EXPECT_EQ(XMLGetChildrenCount(root.get()), 1);
    EXPECT_STREQ(port->value, "9090");
    EXPECT_EQ(value_of(port), "8080") << "the value child keeps the earlier text";

    // A text child from a reader is kept the same way.
    XMLNode* host = XMLCreateElementNode("host", root.get());
    XMLCreateTextNode("example", host);
    EXPECT_EQ(XMLSetKeyNameValue(root.get(), "host", "other"), host);
    EXPECT_EQ(value_of(host), "example");
    EXPECT_STREQ(host->value, "other");

    // A null value on an existing key returns it unchanged.
    EXPECT_EQ(XMLSetKeyNameValue(root.get(), "host", nullptr), host);
    EXPECT_STREQ(host->value, "other");
    EXPECT_EQ(outline(root.get()), "r{port=9090{=8080},host=other{\"example\"}}");
}

TEST(KeyValues, AddAlwaysAppendsAndKeepsTheValueOnTheKey) {
    Root root = make_root("r");
    XMLNode* first = XMLAddKeyNameValue(root.get(), "item", "one");
    XMLNode* second = XMLAddKeyNameValue(root.get(), "item", "two");
    XMLNode* empty = XMLAddKeyNameValue(root.get(), "item", nullptr);
    ASSERT_TRUE(first && second && empty);
    EXPECT_NE(first, second);
    EXPECT_EQ(outline(root.get()), "r{item=one,item=two,item}");
    EXPECT_EQ(first->parent, root.get());
    EXPECT_EQ(value_of(first), "<1>") << "no child holds the value";
    EXPECT_EQ(value_of(root.get()), "one") << "the parent's first child is the key itself";

    // Set finds the first of the siblings.
    EXPECT_EQ(XMLSetKeyNameValue(root.get(), "item", "uno"), first);
    EXPECT_EQ(outline(root.get()), "r{item=uno,item=two,item}");
}

TEST(KeyValues, KeyMatchingIsExactAndTheFirstMatchWins) {
    Root root = make_root("r");
    XMLNode* lower = XMLAddKeyNameValue(root.get(), "key", nullptr);
    XMLNode* text = XMLCreateTextNode("words", root.get());
    struct Case {
        const char* key;
        XMLNode* found;  // nullptr: a new key is appended
    };
    const Case cases[] = {
        {"key", lower}, {"Key", nullptr}, {"KEY", nullptr}, {"ke", nullptr},
        {"key ", nullptr}, {" key", nullptr}, {"keys", nullptr}, {"", text},
    };
    for (const Case& c : cases) {
        int32_t before = XMLGetChildrenCount(root.get());
        XMLNode* got = XMLSetKeyNameValue(root.get(), c.key, "v");
        ASSERT_NE(got, nullptr) << '"' << c.key << '"';
        if (c.found != nullptr) {
            EXPECT_EQ(got, c.found) << '"' << c.key << '"';
            EXPECT_EQ(XMLGetChildrenCount(root.get()), before);
        } else {
            EXPECT_EQ(got, XMLGetChildAt(root.get(), before)) << '"' << c.key << '"';
            EXPECT_STREQ(got->name, c.key);
        }
        EXPECT_EQ(XMLGetChildWithKeyName(root.get(), c.key), XMLSetKeyNameValue(root.get(), c.key, "v"))
            << "the same lookup as XMLGetChildWithKeyName";
    }
    // The empty key matched the text node and replaced its value, which is written as text.
    EXPECT_EQ(text->type, XML_TEXT_NODE);
    EXPECT_STREQ(text->value, "v");
}

TEST(KeyValues, KeysOf32BytesThrowWithTheParentUnchanged) {
    Root root = make_root("r");
    XMLSetKeyNameValue(root.get(), "a", "1");
    const std::string before = outline(root.get());
    for (auto call : {XMLAddKeyNameValue, XMLSetKeyNameValue}) {
        try {
            call(root.get(), k32.c_str(), "v");
            ADD_FAILURE() << "a 32-byte key must throw";
        } catch (ZEL_XML_RESULT code) {
            EXPECT_EQ(code, ZEL_XML_EXCEPTION);
        }
        EXPECT_EQ(outline(root.get()), before);
    }
    EXPECT_NE(XMLAddKeyNameValue(root.get(), k31.c_str(), "v"), nullptr);
    EXPECT_NE(XMLSetKeyNameValue(root.get(), std::string(31, 'x').c_str(), "v"), nullptr);
    EXPECT_EQ(XMLGetChildrenCount(root.get()), 3);
}

// Buffer rules of XMLGetValueOfNode on a first child holding "hello" (five bytes).
TEST(KeyValues, GetValueCopiesWholeValuesOnly) {
    Root root = make_root("r");
    XMLCreateTextNode("hello", root.get());
    struct Case {
        int32_t size;
        int32_t result;
        const char* buffer_after;
    };
    const Case cases[] = {
        {256, 0, "hello"},  {6, 0, "hello"},     {5, 1, "#######"}, {1, 1, "#######"},
        {0, 1, "#######"},  {-1, 1, "#######"},  {INT32_MIN, 1, "#######"},
    };
    for (const Case& c : cases) {
        char buffer[8] = "#######";
        EXPECT_EQ(XMLGetValueOfNode(root.get(), c.size, buffer), c.result) << c.size;
        EXPECT_STREQ(buffer, c.buffer_after) << c.size;
    }
}

TEST(KeyValues, GetValueOnEmptyValuesAndChildlessNodes) {
    Root root = make_root("r");
    XMLNode* empty_holder = XMLCreateElementNode("holder", root.get());
    XMLCreateElementNode("", empty_holder);  // first child with value ""
    XMLNode* childless = XMLAddKeyNameValue(root.get(), "none", "own");  // its own value is never read
    struct Case {
        const XMLNode* node;
        int32_t size;
        int32_t result;
        const char* buffer_after;
    };
    const Case cases[] = {
        {empty_holder, 1, 0, ""},        {empty_holder, 4, 0, ""},        {empty_holder, 0, 1, "###"},
        {childless, 4, 1, ""},           {childless, 2, 1, ""},           {childless, 1, 1, "###"},
        {childless, 0, 1, "###"},        {childless, -5, 1, "###"},
    };
    for (const Case& c : cases) {
        char buffer[4] = "###";
        EXPECT_EQ(XMLGetValueOfNode(c.node, c.size, buffer), c.result) << c.node->name << " " << c.size;
        EXPECT_STREQ(buffer, c.buffer_after) << c.node->name << " " << c.size;
    }
}

TEST(KeyValues, GetAndAlterUseTheFirstChildWhateverItIs) {
    Root root = make_root("r");
    XMLNode* inner = XMLCreateElementNode("inner", root.get());
    XMLCreateTextNode("inner text", inner);
    XMLCreateTextNode("later", root.get());
    EXPECT_EQ(value_of(root.get()), "") << "the first child is an element with an empty own value";

    EXPECT_EQ(XMLAlterValueOfNode(root.get(), "own"), 0);
    EXPECT_STREQ(inner->value, "own");
    EXPECT_EQ(value_of(root.get()), "own");
    EXPECT_EQ(value_of(inner), "inner text") << "the element's own children are untouched";

    EXPECT_EQ(XMLAlterValueOfNode(inner, "replaced"), 0);
    EXPECT_EQ(XMLAlterValueOfNode(inner, "r"), 0) << "the whole value is replaced, not appended to";
    EXPECT_EQ(value_of(inner), "r");
    EXPECT_EQ(XMLAlterValueOfNode(inner, ""), 0);
    EXPECT_EQ(value_of(inner), "");

    XMLNode* childless = XMLCreateElementNode("c", root.get());
    EXPECT_EQ(XMLAlterValueOfNode(childless, "x"), 1);
    EXPECT_STREQ(childless->value, "");
    EXPECT_EQ(outline(root.get()), "r{inner=own{\"\"},\"later\",c}");
}

TEST(KeyValues, NullArgumentsNeverCrash) {
    Root root = make_root("r");
    XMLSetKeyNameValue(root.get(), "k", "v");
    EXPECT_EQ(XMLAddKeyNameValue(nullptr, "k", "v"), nullptr);
    EXPECT_EQ(XMLAddKeyNameValue(root.get(), nullptr, "v"), nullptr);
    EXPECT_EQ(XMLSetKeyNameValue(nullptr, "k", "v"), nullptr);
    EXPECT_EQ(XMLSetKeyNameValue(root.get(), nullptr, "v"), nullptr);
    char buffer[4] = "###";
    EXPECT_EQ(XMLGetValueOfNode(nullptr, sizeof buffer, buffer), 1);
    EXPECT_STREQ(buffer, "###");
    EXPECT_EQ(XMLGetValueOfNode(root.get(), sizeof buffer, nullptr), 1);
    EXPECT_EQ(XMLAlterValueOfNode(nullptr, "x"), 1);
    EXPECT_EQ(XMLAlterValueOfNode(root.get(), nullptr), 1);
    EXPECT_EQ(outline(root.get()), "r{k{=v}}");
}

}  // namespace
