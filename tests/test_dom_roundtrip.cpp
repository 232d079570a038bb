// Read, write, read again: realistic documents come back record for record, their written
// form matches the golden file beside them, and writing what was read gives the same bytes.
#include "dom_helpers.hpp"

#include "text/utf.hpp"

#include <gtest/gtest.h>

#include <cstring>

namespace {

class DomRoundTrip : public ParserTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(DomRoundTrip, WrittenDocumentMatchesGoldenAndReadsBackUnchanged) {
    std::string name = GetParam();
    ReadOutcome first = read_document(dom_data(name + ".xml"));
    ASSERT_EQ(first.result, ZEL_XML_OK) << first.messages;

    std::string written = written_bytes(first.root.get());
    EXPECT_EQ(written, file_contents(dom_data(name + ".expected.xml")));

    ScratchFile copy(written);
    ReadOutcome second = read_document(copy.path());
    ASSERT_EQ(second.result, ZEL_XML_OK) << second.messages;
    EXPECT_EQ(outline(second.root.get()), outline(first.root.get()));
    EXPECT_EQ(second.count, first.count);
    EXPECT_EQ(written_bytes(second.root.get()), written);
}

INSTANTIATE_TEST_SUITE_P(Documents, DomRoundTrip, ::testing::Values("config", "feed", "mixed", "unicode"));

class DomEncodings : public ParserTest {};

TEST_F(DomEncodings, EveryOutputEncodingReadsBackEqual) {
    ReadOutcome unicode = read_document(dom_data("unicode.xml"));
    ReadOutcome mixed = read_document(dom_data("mixed.xml"));
    ASSERT_EQ(unicode.result, ZEL_XML_OK);
    // Latin-1 cannot hold the Greek and CJK names of the first document; text it cannot hold
    // is written as character references.
    Root latin = make_root("caf\xc3\xa9");
    XMLCreateTextNode("Stra\xc3\x9f" "e \xce\xb1 \xf0\x9f\x98\x80", XMLCreateElementNode("t\xc3\xa9", latin.get()));
    struct Row {
        const char* encoding;
        const XMLNode* root;
    };
    const Row rows[] = {{"UTF-8", unicode.root.get()},      {"UTF-16", unicode.root.get()},
                        {"UTF-16", mixed.root.get()},       {"ISO-8859-1", latin.get()},
                        {"ISO-8859-1", mixed.root.get()}};
    for (const Row& row : rows) {
        ScratchFile file(written_bytes(row.root, row.encoding));
        ReadOutcome back = read_document(file.path());
        EXPECT_EQ(back.result, ZEL_XML_OK) << row.encoding << back.messages;
        EXPECT_EQ(outline(back.root.get()), outline(row.root)) << row.encoding;
    }
}

// Written bytes as UTF-8 text: UTF-16 output is in this machine's byte order, without a mark.
std::string as_utf8(const std::string& bytes, const std::string& encoding) {
    if (encoding != "UTF-16") return bytes;
    std::u16string units(bytes.size() / 2, u'\0');
    std::memcpy(units.data(), bytes.data(), units.size() * 2);
    std::string text(zel::text::utf8_capacity_for(units.size()), '\0');
    text.resize(zel::text::utf16_to_utf8(units.data(), units.size(), text.data()));
    return text;
}

// Mixed content switches the serialiser's pretty print off; the library's own layout must
// give the same bytes for everything else: declaration, line breaks, indentation, last line.
TEST_F(DomEncodings, OwnLayoutAgreesWithThePrettyPrint) {
    for (std::string encoding : {"UTF-8", "utf-8", "UTF-16", "ISO-8859-1"}) {
        ReadOutcome config = read_document(dom_data("config.xml"));
        std::string pretty = as_utf8(written_bytes(config.root.get(), encoding.c_str()), encoding);
        EXPECT_EQ(pretty.rfind("<?xml version=\"1.0\" encoding=\"" + encoding + "\" standalone=\"no\" ?>\n<config ", 0),
                  0u);

        // The same tree with a mixed element added last: only that element's line is new.
        XMLNode* note = XMLCreateElementNode("note", config.root.get());
        XMLCreateTextNode("a ", note);
        XMLCreateTextNode("b", XMLCreateElementNode("em", note));
        std::string own = as_utf8(written_bytes(config.root.get(), encoding.c_str()), encoding);

        std::string expected = pretty;
        expected.insert(expected.rfind("</config>\n"), "  <note>a <em>b</em></note>\n");
        EXPECT_EQ(own, expected) << encoding;
    }
}

}  // namespace
