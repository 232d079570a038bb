// Reading documents into records: what becomes a record, what is counted, what is printed.
#include "dom_helpers.hpp"

#include <gtest/gtest.h>

namespace {

class DomRead : public ParserTest {};

std::string summary(int elements, int nodes) {
    return "Total elements found = " + std::to_string(elements) + ", Total Nodes found = " +
           std::to_string(nodes) + " \n";
}

TEST_F(DomRead, ExampleDocumentGivesRecordsCountAndSummary) {
    ScratchFile file("<a x=\"1\"><b>hi</b></a>");
    ReadOutcome out = read_document(file.path());
    EXPECT_EQ(out.result, ZEL_XML_OK);
    EXPECT_EQ(out.count, 2);
    EXPECT_EQ(out.messages, summary(2, 3));
    const XMLNode* a = out.root.get();
    EXPECT_EQ(outline(a), "a[x=1:3]{b{\"hi\"}}");
    EXPECT_EQ(a->type, XML_ELEMENT_NODE);
    EXPECT_STREQ(a->value, "");
    const XMLNode* b = a->children.items[0];
    EXPECT_EQ(b->type, XML_ELEMENT_NODE);
    EXPECT_EQ(b->parent, a);
    const XMLNode* hi = b->children.items[0];
    EXPECT_EQ(hi->type, XML_TEXT_NODE);
    EXPECT_STREQ(hi->name, "");
    EXPECT_EQ(hi->parent, b);
}

TEST_F(DomRead, BlankTextIsDroppedButCountedAndOtherTextKeptWhole) {
    ScratchFile file("<a>\n  <b> x </b>\n  <c/>\n  <d>\t\r\n</d>\n</a>\n");
    ReadOutcome out = read_document(file.path());
    EXPECT_EQ(out.result, ZEL_XML_OK);
    EXPECT_EQ(outline(out.root.get()), "a{b{\" x \"},c,d}");
    // 4 elements; a has 4 blank texts beside its 3 elements, b one text, d one blank text.
    EXPECT_EQ(out.messages, summary(4, 4 + 4 + 1 + 1));
}

TEST_F(DomRead, CommentsAndInstructionsLeaveNoRecordButCount) {
    ScratchFile file("<?xml version=\"1.0\"?><!-- before --><a><!-- c --><?pi data?>t<b/></a><?after x?>");
    ReadOutcome out = read_document(file.path());
    EXPECT_EQ(out.result, ZEL_XML_OK);
    EXPECT_EQ(outline(out.root.get()), "a{\"t\",b}");
    EXPECT_EQ(out.root->type, XML_ELEMENT_NODE);
    EXPECT_EQ(out.messages, summary(2, 5));
}

TEST_F(DomRead, CdataAndEntityContentBecomeRecordsInPlace) {
    ScratchFile file(
        "<!DOCTYPE a [<!ENTITY e \"one <i>two</i> three\">]>"
        "<a><q><![CDATA[a < b]]></q><r>&e;</r><s><![CDATA[  ]]></s></a>");
    ReadOutcome out = read_document(file.path());
    EXPECT_EQ(out.result, ZEL_XML_OK);
    EXPECT_EQ(outline(out.root.get()), "a{q{\"a < b\"},r{\"one \",i{\"two\"},\" three\"},s}");
    const XMLNode* r = out.root->children.items[1];
    EXPECT_EQ(r->type, XML_ELEMENT_NODE);
    EXPECT_EQ(r->children.items[1]->parent, r);
    // The entity's content is converted but counted as one node, as before: a, q, r, s and
    // one child each.
    EXPECT_EQ(out.count, 4);
    EXPECT_EQ(out.messages, summary(4, 7));
}

TEST_F(DomRead, ExistingContentOfTheRootIsKept) {
    Root root = make_root("old");
    add_attribute(root.get(), "keep", "1");
    XMLCreateTextNode("first", root.get());
    ScratchFile file("<a y=\"2\"><b/></a>");
    std::string messages = capture_stderr([&] { EXPECT_EQ(XMLRead(file.path(), root.get(), nullptr), 0); });
    EXPECT_EQ(outline(root.get()), "a[keep=1:3 y=2:3]{\"first\",b}");
    EXPECT_EQ(messages, summary(2, 2));
}

TEST_F(DomRead, AttributesComeInTheParserOrderWithType3) {
    ScratchFile file("<a z=\"1\" b=\"&lt;&amp;\" m=\"\"/>");
    ReadOutcome out = read_document(file.path());
    EXPECT_EQ(outline(out.root.get()), "a[b=<&:3 m=:3 z=1:3]");
    EXPECT_EQ(out.messages, summary(1, 1));
}

TEST_F(DomRead, MalformedFileGivesErrorMessagesAndPartialTree) {
    ScratchFile file("<a><b>x</b><c>");
    ReadOutcome out = read_document(file.path());
    EXPECT_EQ(out.result, ZEL_XML_ERROR);
    EXPECT_EQ(outline(out.root.get()), "a{b{\"x\"},c}");
    EXPECT_EQ(out.count, 3);
    EXPECT_EQ(out.messages, std::string("\nFatal Error at file ") + file.path() +
                                ", line 1, char 15\n  Message: input ended before all started tags were "
                                "ended; last tag started is 'c'" +
                                summary(3, 4) + "\nErrors occured, no output available\n");
}

TEST_F(DomRead, EmptyOrMissingFileLeavesAnEmptyDocumentRoot) {
    ScratchFile empty("");
    ReadOutcome out = read_document(empty.path());
    EXPECT_EQ(out.result, ZEL_XML_ERROR);
    EXPECT_STREQ(out.root->name, "");
    EXPECT_EQ(out.root->type, XML_DOCUMENT_NODE);
    EXPECT_STREQ(out.root->value, "");
    EXPECT_EQ(out.count, -1);
    EXPECT_EQ(out.messages, std::string("\nFatal Error at file ") + empty.path() +
                                ", line 1, char 1\n  Message: invalid document structure"
                                "\nErrors occured, no output available\n");

    ReadOutcome missing = read_document("/nonexistent/dir/none.xml");
    EXPECT_EQ(missing.result, ZEL_XML_ERROR);
    EXPECT_EQ(missing.root->type, XML_DOCUMENT_NODE);
    EXPECT_EQ(missing.messages,
              "\nFatal Error at file , line 0, char 0\n  Message: unable to open primary document entity "
              "'/nonexistent/dir/none.xml'\nErrors occured, no output available\n");
}

TEST_F(DomRead, NameTooLongStopsWithRecordsSoFar) {
    std::string name(32, 'n');
    ScratchFile file("<a><b>t</b><" + name + "><c/></" + name + "><d/></a>");
    ReadOutcome out = read_document(file.path());
    EXPECT_EQ(out.result, ZEL_XML_EXCEPTION);
    EXPECT_EQ(outline(out.root.get()), "a{b{\"t\"}}");
    EXPECT_EQ(out.count, 5);
    EXPECT_EQ(out.messages, std::string("\nUnexpected exception during parsing: ") + file.path() + "\n");

    // 31 bytes fit, also when they are multi-byte characters.
    ScratchFile fits("<a><" + std::string(31, 'n') + "/><\xce\xbb\xce\xbb\xce\xbb/></a>");
    ReadOutcome ok = read_document(fits.path());
    EXPECT_EQ(ok.result, ZEL_XML_OK);
    EXPECT_EQ(outline(ok.root.get()), "a{" + std::string(31, 'n') + ",\xce\xbb\xce\xbb\xce\xbb}");
}

TEST_F(DomRead, NullArgumentsGiveResult4Silently) {
    Root root = make_root();
    std::string messages = capture_stderr([&] {
        EXPECT_EQ(XMLRead(nullptr, root.get(), nullptr), ZEL_XML_EXCEPTION);
        EXPECT_EQ(XMLRead("x.xml", nullptr, nullptr), ZEL_XML_EXCEPTION);
    });
    EXPECT_EQ(messages, "");
    EXPECT_EQ(outline(root.get()), "");
}

TEST_F(DomRead, MillionLevelDocumentReadsWithoutRecursion) {
    constexpr int kDepth = 1000000;
    std::string text;
    text.reserve(kDepth * 7 + 8);
    for (int i = 0; i < kDepth; ++i) text += "<n>";
    text += "x";
    for (int i = 0; i < kDepth; ++i) text += "</n>";
    ScratchFile file(text);
    ReadOutcome out = read_document(file.path());
    ASSERT_EQ(out.result, ZEL_XML_OK);
    EXPECT_EQ(out.count, kDepth);
    EXPECT_EQ(out.messages, summary(kDepth, kDepth + 1));
    int levels = 1;
    const XMLNode* at = out.root.get();
    while (at->children.count == 1 && at->children.items[0]->type == XML_ELEMENT_NODE)
        at = at->children.items[0], ++levels;
    EXPECT_EQ(levels, kDepth);
    EXPECT_STREQ(at->children.items[0]->value, "x");
}

}  // namespace

#include "io/read/error_handler.hpp"

#include <xercesc/sax/SAXParseException.hpp>

namespace {

// Every heading of the reader's diagnostics, byte for byte, and which of them count as errors.
TEST_F(DomRead, ErrorHandlerPrintsEachSeverityAndTracksErrors) {
    xercesc::SAXParseException exc(u"bad thing \u00e9", nullptr, u"doc.xml", 3, 14);
    zel::read::XMLReadErrorHandler handler;
    EXPECT_EQ(capture_stderr([&] { handler.warning(exc); }),
              "\nWarning at file doc.xml, line 3, char 14 \n  Message: bad thing \xc3\xa9");
    EXPECT_FALSE(handler.sawErrors());
    EXPECT_EQ(capture_stderr([&] { handler.error(exc); }),
              "\nError at file doc.xml , line 3, char 14, \n Message bad thing \xc3\xa9");
    EXPECT_TRUE(handler.sawErrors());
    handler.resetErrors();
    EXPECT_FALSE(handler.sawErrors());
    EXPECT_EQ(capture_stderr([&] { handler.fatalError(exc); }),
              "\nFatal Error at file doc.xml, line 3, char 14\n  Message: bad thing \xc3\xa9");
    EXPECT_TRUE(handler.sawErrors());
}

}  // namespace
