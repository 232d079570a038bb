// Text that the parser reports in many pieces reaches the records whole, and pieces of
// different kinds (text, CDATA, entity content) keep their places.
#include "dom_helpers.hpp"

#include <gtest/gtest.h>

namespace {

class DomTextRuns : public ParserTest {};

TEST_F(DomTextRuns, ManyPiecesMakeOneRecordPerRun) {
    // Every reference splits the parser's report; 20,000 of them in each of 50 elements.
    std::string piece = "ab&amp;c&#x3B1;d&lt;";
    std::string expected_piece = "ab&c\xCE\xB1" "d<";
    std::string doc = "<doc>";
    std::string expected;
    for (int i = 0; i < 20000; ++i) expected += expected_piece;
    for (int e = 0; e < 50; ++e) {
        doc += "<p>";
        for (int i = 0; i < 20000; ++i) doc += piece;
        doc += "</p>\n";
    }
    doc += "</doc>";
    ScratchFile file(doc);
    ReadOutcome out = read_document(file.path());
    ASSERT_EQ(out.result, ZEL_XML_OK) << out.messages;
    ASSERT_EQ(XMLGetChildrenCount(out.root.get()), 50);
    for (int e = 0; e < 50; ++e) {
        const XMLNode* p = XMLGetChildAt(out.root.get(), e);
        ASSERT_EQ(XMLGetChildrenCount(p), 1);
        EXPECT_EQ(XMLGetChildAt(p, 0)->value, expected) << e;
    }
}

TEST_F(DomTextRuns, RunsEndAtEveryOtherKindOfContent) {
    ScratchFile file("<!DOCTYPE a [<!ENTITY e \"in&#x20;entity\">]>"
                     "<a>x&amp;y<![CDATA[c<d]]>z<!--c-->w<?pi d?>v&e;u<b/>t</a>");
    ReadOutcome out = read_document(file.path());
    ASSERT_EQ(out.result, ZEL_XML_OK) << out.messages;
    EXPECT_EQ(outline(out.root.get()), "a{\"x&y\",\"c<d\",\"z\",\"w\",\"v\",\"in entity\",\"u\",b,\"t\"}");
}

TEST_F(DomTextRuns, TextBeforeAFatalErrorIsKept) {
    ScratchFile file("<a><b>kept &amp; whole</b><c>cut here &amp; too</d></a>");
    ReadOutcome out = read_document(file.path());
    EXPECT_EQ(out.result, ZEL_XML_ERROR);
    EXPECT_EQ(outline(out.root.get()), "a{b{\"kept & whole\"},c{\"cut here & too\"}}");
}

}  // namespace
