// Read, write, read again: realistic documents come back record for record, their written
// form matches the golden file beside them, and writing what was read gives the same bytes.
#include "dom_helpers.hpp"

#include "text/utf.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <vector>

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

// Written bytes as UTF-8 text: UTF-16 output is in this machine's byte order, after a mark,
// which is dropped here.
std::string as_utf8(const std::string& bytes, const std::string& encoding) {
    if (encoding != "UTF-16") return bytes;
    std::u16string units(bytes.size() / 2, u'\0');
    std::memcpy(units.data(), bytes.data(), units.size() * 2);
    if (!units.empty() && units[0] == u'\uFEFF') units.erase(0, 1);
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

// The byte-order mark U+FEFF as a code unit of `Unit` in this machine's byte order.
template <typename Unit>
std::string native_mark() {
    const Unit mark = 0xFEFF;
    return std::string(reinterpret_cast<const char*>(&mark), sizeof mark);
}

// What SAX_XMLRead makes of a file.
std::string sax_outline(const std::string& path) {
    Root root(XMLCreateRootNode());
    EXPECT_EQ(SAX_XMLRead(path.c_str(), root.get(), nullptr, nullptr), ZEL_XML_OK) << path;
    return outline(root.get());
}

// Only the names that leave the byte order open start with a mark, before the declaration
// in both layouts, and every output reads back the same with both readers.
TEST_F(DomEncodings, ByteOrderMarkOnlyWhereTheByteOrderIsOpen) {
    const std::string mark16 = native_mark<char16_t>(), mark32 = native_mark<char32_t>();
    const std::pair<const char*, std::string> rows[] = {
        {"UTF-16", mark16},          {"utf-16", mark16},      {"Ucs-2", mark16},
        {"ISO-10646-UCS-2", mark16}, {"UTF-32", mark32},      {"ucs-4", mark32},
        {"iso-10646-ucs-4", mark32}, {"UTF-8", ""},           {"UTF-16LE", ""},
        {"UTF-16BE", ""},            {"UCS-4LE", ""},         {"UTF16", ""},
        {"ISO-8859-1", ""},
    };
    for (const char* source : {"config.xml", "mixed.xml"}) {
        ReadOutcome original = read_document(dom_data(source));
        ASSERT_EQ(original.result, ZEL_XML_OK);
        // Written attributes come in the document reader's order, which the event-driven
        // reader keeps: its reference is the tree written in UTF-8.
        const std::string sax_original = sax_outline(ScratchFile(written_bytes(original.root.get())).path());
        for (const auto& [encoding, mark] : rows) {
            const std::string where = std::string(source) + " in " + encoding;
            ScratchFile file(written_bytes(original.root.get(), encoding));
            const std::string bytes = file.read();
            EXPECT_EQ(bytes.compare(0, mark.size(), mark), 0) << where;
            // What follows the mark is the declaration's '<', whatever the unit width.
            std::size_t first = bytes.find_first_not_of('\0', mark.size());
            ASSERT_LT(first, mark.size() + 4) << where;
            EXPECT_EQ(bytes[first], '<') << where;

            ReadOutcome back = read_document(file.path());
            EXPECT_EQ(back.result, ZEL_XML_OK) << where << back.messages;
            EXPECT_EQ(outline(back.root.get()), outline(original.root.get())) << where;
            EXPECT_EQ(sax_outline(file.path()), sax_original) << where;
        }
    }
}

// Roots with a prefix, as schemas, stylesheets and envelopes have, are written as they stand
// and read back record for record; writing again gives the same bytes.
TEST_F(DomEncodings, PrefixedDocumentElementsRoundTrip) {
    const char* const documents[] = {
        "<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" elementFormDefault=\"qualified\">"
        "<xs:element name=\"note\" type=\"xs:string\"/></xs:schema>",
        "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
        "<xsl:template match=\"/\"><p>Total: <xsl:value-of select=\"sum(//n)\"/></p></xsl:template>"
        "</xsl:stylesheet>",
        "<soap:Envelope xmlns:soap=\"http://www.w3.org/2003/05/soap-envelope\"><soap:Body>"
        "<m:Ping xmlns:m=\"urn:example\"><m:n>1</m:n></m:Ping></soap:Body></soap:Envelope>",
    };
    for (const char* document : documents) {
        ScratchFile source(document);
        ReadOutcome first = read_document(source.path());
        ASSERT_EQ(first.result, ZEL_XML_OK) << first.messages;
        for (const char* encoding : {"UTF-8", "UTF-16"}) {
            std::string written = written_bytes(first.root.get(), encoding);
            ScratchFile copy(written);
            ReadOutcome second = read_document(copy.path());
            EXPECT_EQ(second.result, ZEL_XML_OK) << document << second.messages;
            EXPECT_EQ(outline(second.root.get()), outline(first.root.get())) << encoding;
            EXPECT_EQ(second.count, first.count);
            EXPECT_EQ(written_bytes(second.root.get(), encoding), written) << encoding;
        }
    }
}

}  // namespace
