// Structural edits on a document read whole: each edit changes only the part it touched when
// the document is written back, refusals leave the tree as it was, and deep trees are edited
// without recursion.
#include "tree_helpers.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

class TreeEdits : public ::testing::Test {
protected:
    void SetUp() override { XMLInit(); }
    void TearDown() override { XMLTerm(); }
};

const std::string kDoc =
    "<?xml version='1.0'?>\n<!DOCTYPE doc [<!ENTITY e 'ee'>]>\n<!-- top -->\n<doc  a='1'>\n"
    "  <first x = \"1\"/>\n  <mid>one<!-- c --><b  y='2'>two</b><![CDATA[<3]]>&e;<?p q?>&amp;</mid>\n"
    "  <empty/>\n  <last></last>\n</doc>\n";
const std::string kLong = "a.name.well.over.thirty.one.bytes.long.enough";

size_t append(const void* bytes, size_t length, void* user) {
    static_cast<std::string*>(user)->append(static_cast<const char*>(bytes), length);
    return length;
}

Root read_whole(const std::string& doc) {
    Root root = make_root();
    XMLReadOptions options{ZEL_XML_KEEP_ALL, nullptr};
    EXPECT_EQ(XMLReadBuffer(doc.data(), doc.size(), root.get(), &options, nullptr), ZEL_XML_OK) << XMLGetLastError();
    return root;
}

std::string written(const XMLNode* root) {
    std::string out;
    EXPECT_EQ(XMLWriteToSink(append, &out, root, nullptr), ZEL_XML_OK) << XMLGetLastError();
    return out;
}

// The first element named `name` at or below the document element (the DOCTYPE has its name).
XMLNode* find(XMLNode* root, const char* name) {
    int32_t i = 0;
    while (XMLGetChildAt(root, i)->type != XML_ELEMENT_NODE) ++i;
    return XMLGetNodeData(XMLGetChildAt(root, i), name, nullptr);
}

XMLNode* fresh(const char* name) { return XMLCreateDocumentNode(name, XMLCreateRootNode()); }

// kDoc with each `from` replaced by its `to`.
std::string edited(std::vector<std::pair<std::string, std::string>> changes) {
    std::string doc = kDoc;
    for (const auto& [from, to] : changes) doc.replace(doc.find(from), from.size(), to);
    return doc;
}

TEST_F(TreeEdits, EachEditChangesOnlyWhatItTouched) {
    struct Row {
        std::function<ZEL_XML_RESULT(XMLNode*)> edit;
        std::string expected;
    };
    const Row rows[] = {
        {[](XMLNode* r) { return XMLInsertChild(find(r, "doc"), 0, fresh("n")); }, edited({{"a='1'>", "a='1'><n/>"}})},
        // The document element holds: blank, first, blank, mid, blank, empty, blank, last, blank.
        {[](XMLNode* r) { return XMLInsertChild(find(r, "doc"), 5, fresh("n")); },
         edited({{"<empty/>", "<n/><empty/>"}})},
        {[](XMLNode* r) { return XMLInsertChild(find(r, "doc"), 2, fresh("n")); },
         edited({{"\"1\"/>", "\"1\"/><n/>"}})},
        {[](XMLNode* r) { return XMLInsertChild(find(r, "doc"), -1, fresh("n")); },
         edited({{"\n</doc>", "\n<n/></doc>"}})},
        // A copy is a new record: written in default forms beside its original.
        {[](XMLNode* r) { return XMLInsertChild(find(r, "last"), 0, XMLCopyNodeData(find(r, "b"))); },
         edited({{"<last>", "<last><b y=\"2\">two</b>"}})},
        // A move keeps the record's own form.
        {[](XMLNode* r) { return XMLInsertChild(find(r, "last"), 0, XMLDetachNode(find(r, "first"))); },
         edited({{"<first x = \"1\"/>", ""}, {"<last>", "<last><first x = \"1\"/>"}})},
        {[](XMLNode* r) { return XMLDeleteNode(find(r, "empty")); }, edited({{"<empty/>", ""}})},
        {[](XMLNode* r) { return XMLRenameNode(find(r, "b"), kLong.c_str()); },
         edited({{"<b  y='2'>two</b>", "<" + kLong + " y=\"2\">two</" + kLong + ">"}})},
        // A new name taken from the record's own: read before the old one goes.
        {[](XMLNode* r) {
             XMLNode* b = find(r, "b");
             XMLRenameNode(b, kLong.c_str());
             return XMLRenameNode(b, XMLGetNodeName(b) + 2);
         },
         edited({{"<b  y='2'>two</b>", "<" + kLong.substr(2) + " y=\"2\">two</" + kLong.substr(2) + ">"}})},
        {[](XMLNode* r) { return XMLSetNodeText(find(r, "mid"), "new <text>"); },
         edited({{"one<!-- c --><b  y='2'>two</b><![CDATA[<3]]>&e;<?p q?>&amp;", "new &lt;text&gt;"}})},
        {[](XMLNode* r) { return XMLSetNodeText(find(r, "mid"), ""); },
         edited({{"<mid>one<!-- c --><b  y='2'>two</b><![CDATA[<3]]>&e;<?p q?>&amp;</mid>", "<mid/>"}})},
        {[](XMLNode* r) { return XMLSetNodeText(find(r, "empty"), "t"); }, edited({{"<empty/>", "<empty>t</empty>"}})},
        {[](XMLNode* r) { return XMLSetNodeText(XMLGetChildAt(find(r, "mid"), 1), "d"); },
         edited({{"<!-- c -->", "<!--d-->"}})},
        {[](XMLNode* r) {
             XMLCreateCommentNode("k", find(r, "last"));
             XMLCreateCDATANode("]]>", find(r, "last"));
             return XMLInsertChild(r, 0, XMLCreateProcessingInstructionNode("go", "x y", nullptr));
         },
         edited({{"<?xml version='1.0'?>", "<?xml version='1.0'?><?go x y?>"},
                 {"<last>", "<last><!--k--><![CDATA[]]]]><![CDATA[>]]>"}})},
    };
    for (const Row& row : rows) {
        Root root = read_whole(kDoc);
        EXPECT_EQ(row.edit(root.get()), ZEL_XML_OK) << XMLGetLastError();
        EXPECT_STREQ(XMLGetLastError(), "");
        EXPECT_EQ(written(root.get()), row.expected);
    }
}

TEST_F(TreeEdits, TextIsEverythingReadBelowInDocumentOrder) {
    Root root = read_whole(kDoc);
    const std::string mid = "one" "two" "<3" "ee" "&";
    const std::string doc = "\n  \n  " + mid + "\n  \n  \n";  // not the white space beside it
    for (const auto& [node, all] :
         {std::pair{root.get(), doc}, {find(root.get(), "doc"), doc}, {find(root.get(), "mid"), mid}}) {
        std::string full(all.size() + 1, 'X');
        EXPECT_EQ(XMLGetNodeText(node, full.data(), full.size()), all.size());
        EXPECT_EQ(full.c_str(), all);
        EXPECT_EQ(XMLGetNodeText(node, nullptr, 0), all.size());
        char small[5] = "XXXX";
        EXPECT_EQ(XMLGetNodeText(node, small, 4), all.size());
        EXPECT_EQ(small, all.substr(0, 3));
    }
    char comment[16];
    EXPECT_EQ(XMLGetNodeText(XMLGetChildAt(find(root.get(), "mid"), 1), comment, sizeof comment), 3u);
    EXPECT_STREQ(comment, " c ");
    char none[2] = "X";
    EXPECT_EQ(XMLGetNodeText(nullptr, none, sizeof none), 0u);
    EXPECT_STREQ(none, "");
}

TEST_F(TreeEdits, RefusalsLeaveTheTreeAsItWas) {
    Root root = read_whole(kDoc);
    Root other = read_whole("<x/>");
    Root host = make_root("h");
    XMLNode* below = XMLCreateElementNode("c", host.get());
    XMLNode* r = root.get();
    XMLNode* doc = find(r, "doc");
    XMLNode* doctype = XMLGetChildAt(r, 1);
    const std::function<ZEL_XML_RESULT()> refusals[] = {
        [&] { return XMLInsertChild(below, 0, host.get()); },
        [&] { return XMLInsertChild(host.get(), 0, host.get()); },
        [&] { return XMLInsertChild(doc, XMLGetChildrenCount(doc) + 1, host.get()); },
        [&] { return XMLInsertChild(doc, -2, host.get()); },
        [&] { return XMLInsertChild(nullptr, 0, host.get()); },
        [&] { return XMLInsertChild(doc, 0, nullptr); },
        [&] { return XMLInsertChild(doc, 0, other.get()); },
        [&] { return XMLInsertChild(XMLGetChildAt(doc, 0), 0, host.get()); },
        [&] { return XMLInsertChild(doc, 0, find(r, "mid")); },
        [&] { return XMLDeleteNode(r); },
        [&] { return XMLDeleteNode(nullptr); },
        [&] { return XMLSetNodeText(r, "t"); },
        [&] { return XMLSetNodeText(doctype, "t"); },
        [&] { return XMLSetNodeText(doc, nullptr); },
        [&] { return XMLRenameNode(XMLGetChildAt(doc, 0), "t"); },
        [&] { return XMLRenameNode(doc, nullptr); },
    };
    for (const auto& refusal : refusals) {
        EXPECT_EQ(refusal(), ZEL_XML_EXCEPTION);
        EXPECT_STRNE(XMLGetLastError(), "");
    }
    ASSERT_EQ(XMLDetachNode(doctype), doctype);
    EXPECT_EQ(XMLInsertChild(doc, 0, doctype), ZEL_XML_EXCEPTION);
    EXPECT_EQ(XMLInsertChild(r, 1, doctype), ZEL_XML_OK);  // back in its place: written as it was read
    for (const char* name : {"", "1x", "a b", "a=b", "-a", "\xC3(", "\xFF"}) {
        EXPECT_EQ(XMLRenameNode(doc, name), ZEL_XML_EXCEPTION) << name;
        EXPECT_EQ(XMLCreateProcessingInstructionNode(name, "", doc), nullptr) << name;
    }
    EXPECT_EQ(XMLRenameNode(XMLGetChildAt(find(r, "mid"), 5), "XmL"), ZEL_XML_EXCEPTION);
    EXPECT_EQ(XMLCreateProcessingInstructionNode("xml", "", nullptr), nullptr);
    EXPECT_EQ(XMLCreateCommentNode("t", XMLGetChildAt(doc, 0)), nullptr);
    EXPECT_EQ(XMLDetachNode(r), nullptr);
    EXPECT_EQ(written(r), kDoc);
    EXPECT_EQ(outline(host.get()), "h{c}");
    // Blank text is all a document record may hold beside its elements.
    XMLCreateCDATANode("t", r);
    std::string out;
    EXPECT_EQ(XMLWriteToSink(append, &out, r, nullptr), ZEL_XML_EXCEPTION);
}

TEST_F(TreeEdits, DeepTreesWithoutRecursion) {
    constexpr std::size_t kLevels = 200000;
    Root root = chain(kLevels);
    XMLNode* deepest = root.get();
    while (XMLGetChildrenCount(deepest) > 0) deepest = XMLGetChildAt(deepest, XMLGetChildrenCount(deepest) - 1);
    deepest = deepest->parent;
    XMLNode* top = XMLDetachNode(XMLGetChildAt(root.get(), 1));
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(XMLInsertChild(deepest, 0, top), ZEL_XML_EXCEPTION);  // the whole chain is walked
    EXPECT_EQ(XMLGetNodeText(top, nullptr, 0), 3u);
    EXPECT_EQ(XMLInsertChild(root.get(), 0, top), ZEL_XML_OK);
    EXPECT_EQ(XMLGetNodeText(root.get(), nullptr, 0), 6u);  // "end" then "top"
    EXPECT_EQ(XMLDeleteNode(XMLGetChildAt(top, 0)), ZEL_XML_OK);
    EXPECT_EQ(XMLSetNodeText(root.get(), "flat"), ZEL_XML_OK);
    EXPECT_EQ(outline(root.get()), "n{\"flat\"}");
}

}  // namespace
