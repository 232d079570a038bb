// Problems during an event-driven read: parser diagnostics, fatal errors, names too long for
// a record, and null arguments.
#include "sax_helpers.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using SaxErrors = ParserTest;

TEST_F(SaxErrors, DiagnosticsReachTheCallbackWithPositionAndSeverity) {
    struct Case {
        const char* what;
        const char* doc;
        ZEL_XML_RESULT result;
        int32_t severity;
        int32_t line;
        int32_t column;
    };
    const Case cases[] = {
        {"warning: attribute declared twice",
         "<!DOCTYPE a [<!ELEMENT a ANY>\n<!ATTLIST a x CDATA #IMPLIED>\n<!ATTLIST a x CDATA #IMPLIED>]><a/>",
         ZEL_XML_OK, 6, 3, 14},
        {"error: content in an EMPTY element", "<!DOCTYPE a [<!ELEMENT a EMPTY>]>\n<a><a/></a>", ZEL_XML_OK, 5, 2, 12},
        {"fatal error: mismatched end tag", "<a>\n  <b>\n</a>", ZEL_XML_ERROR, 7, 3, 3},
    };
    for (const Case& c : cases) {
        Recorder r;
        XMLParseCallbacks cb = r.callbacks();
        int32_t count = -1;
        read_memory(c.doc, &cb, &count, c.result);
        ASSERT_EQ(r.diagnostics.size(), 1u) << c.what;
        const Recorder::Diagnostic& d = r.diagnostics[0];
        EXPECT_EQ(d.severity, c.severity) << c.what;
        EXPECT_EQ(d.line, c.line) << c.what;
        EXPECT_EQ(d.column, c.column) << c.what;
        EXPECT_FALSE(d.hasPublicId) << c.what;  // a memory buffer has no public identifier
        EXPECT_GE(count, 1) << c.what;
    }
}

TEST_F(SaxErrors, FatalErrorKeepsThePartialTreeAndReportsError) {
    Recorder r;
    XMLParseCallbacks cb = r.callbacks();
    int32_t count = -1;
    // The parser stops at the stray end tag; the blank text still open in b stays.
    Root root = read_memory("<a>x<b>\n  </a><c/>", &cb, &count, ZEL_XML_ERROR);
    EXPECT_EQ(outline(root.get()), "a{\"x\",b{\"\n  \"}}");
    EXPECT_EQ(count, 4);
    EXPECT_EQ(r.severities(), std::vector<int32_t>{7});
    // No final report: the document never ended. b did not end either.
    EXPECT_TRUE(r.progress.empty());

    // Without an error callback the same happens, silently.
    std::string printed = capture_stderr([&] {
        count = -1;
        Root quiet = read_memory("<a>x<b>\n  </a><c/>", nullptr, &count, ZEL_XML_ERROR);
        EXPECT_EQ(outline(quiet.get()), "a{\"x\",b{\"\n  \"}}");
    });
    EXPECT_EQ(count, 4);
    EXPECT_EQ(printed, "");
}

TEST_F(SaxErrors, EmptyInputLeavesTheDocumentSetUp) {
    Recorder r;
    XMLParseCallbacks cb = r.callbacks();
    int32_t count = -1;
    Root root = make_root();
    XMLSetNodeStringElement(root.get(), "old", "old value");
    ASSERT_EQ(SAX_XMLMemRead("", root.get(), &cb, &count), ZEL_XML_ERROR);
    EXPECT_STREQ(root->name, "");
    EXPECT_EQ(root->type, XML_DOCUMENT_NODE);
    EXPECT_STREQ(root->value, "");
    EXPECT_EQ(count, 0);
    EXPECT_EQ(r.severities(), std::vector<int32_t>{7});
    EXPECT_TRUE(r.progress.empty());

    const uint16_t nothing[] = {0};
    r.diagnostics.clear();
    count = -1;
    ASSERT_EQ(SAX_XMLMemWideCharRead(nothing, root.get(), &cb, &count), ZEL_XML_ERROR);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(r.severities(), std::vector<int32_t>{7});
}

TEST_F(SaxErrors, ValidityErrorsDoNotStopTheTree) {
    Recorder r;
    XMLParseCallbacks cb = r.callbacks();
    int32_t count = 0;
    Root root = read_memory("<!DOCTYPE a [<!ELEMENT a (b)>]><a><c>t</c><d/></a>", &cb, &count);
    EXPECT_EQ(outline(root.get()), "a{c{\"t\"},d}");
    EXPECT_EQ(count, 4);
    // Undeclared b is a warning; undeclared c and d and a's content are errors.
    EXPECT_EQ(r.severities(), (std::vector<int32_t>{6, 5, 5, 5}));
    ASSERT_FALSE(r.progress.empty());
    EXPECT_EQ(r.progress.back().percent, 100.0);
}

TEST_F(SaxErrors, DiagnosticsBetweenTextDoNotChangeTheTree) {
    // Each undeclared element start is reported while text before it is still being
    // gathered; with or without an error function the tree and the count are the same.
    const char* doc =
        "<!DOCTYPE a [<!ELEMENT a (#PCDATA)>]><a> <c/>x<d/> <e>\n</e>y </a>";
    Recorder r;
    XMLParseCallbacks cb = r.callbacks();
    int32_t with_count = -1;
    Root with = read_memory(doc, &cb, &with_count);
    int32_t without_count = -1;
    Root without = read_memory(doc, nullptr, &without_count);
    EXPECT_EQ(outline(with.get()), "a{c,\"x\",d,e,\"y \"}");
    EXPECT_EQ(outline(without.get()), outline(with.get()));
    EXPECT_EQ(with_count, 9);
    EXPECT_EQ(without_count, with_count);
    EXPECT_GE(r.diagnostics.size(), 3u);
}

TEST_F(SaxErrors, NameTooLongEndsTheReadAsUnexpected) {
    const std::string name31(31, 'n');
    const std::string name32(32, 'n');
    Root ok = read_memory("<" + name31 + "/>");
    EXPECT_EQ(ok->name, name31);

    // Below the document element: the records made before it stay, count keeps its value.
    int32_t count = -7;
    Root root;
    std::string printed = capture_stderr(
        [&] { root = read_memory("<a><b>t</b><" + name32 + "/><c/></a>", nullptr, &count, ZEL_XML_UNEXPECTED); });
    EXPECT_EQ(printed, "\nUnexpected exception during parsing: Memory Buffer\n");
    EXPECT_EQ(outline(root.get()), "a{b{\"t\"}}");
    EXPECT_EQ(count, -7);

    // As the document element, through the wide reader: the root keeps its set-up.
    std::vector<uint16_t> wide = to_wide("<" + name32 + "/>");
    Root top = make_root("old");
    printed = capture_stderr([&] {
        EXPECT_EQ(SAX_XMLMemWideCharRead(wide.data(), top.get(), nullptr, &count), ZEL_XML_UNEXPECTED);
    });
    EXPECT_EQ(printed, "\nUnexpected exception during parsing: Memory Buffer\n");
    EXPECT_STREQ(top->name, "");
    EXPECT_EQ(top->type, XML_DOCUMENT_NODE);
    EXPECT_EQ(count, -7);

    // From a file the message names the path.
    ScratchFile file("<a><" + name32 + "/></a>");
    printed = capture_stderr(
        [&] { EXPECT_EQ(SAX_XMLRead(file.path(), top.get(), nullptr, &count), ZEL_XML_UNEXPECTED); });
    EXPECT_EQ(printed, "\nUnexpected exception during parsing: " + std::string(file.path()) + "\n");
    EXPECT_EQ(count, -7);
}

TEST_F(SaxErrors, NullArgumentsTouchNothing) {
    Recorder r;
    XMLParseCallbacks cb = r.callbacks();
    int32_t count = -7;
    Root root = make_root("keep");
    const uint16_t wide[] = {'<', 'a', '/', '>', 0};
    ScratchFile file("<a/>");

    EXPECT_EQ(SAX_XMLMemRead(nullptr, root.get(), &cb, &count), ZEL_XML_EXCEPTION);
    EXPECT_EQ(SAX_XMLMemRead("<a/>", nullptr, &cb, &count), ZEL_XML_EXCEPTION);
    EXPECT_EQ(SAX_XMLMemWideCharRead(nullptr, root.get(), &cb, &count), ZEL_XML_EXCEPTION);
    EXPECT_EQ(SAX_XMLMemWideCharRead(wide, nullptr, &cb, &count), ZEL_XML_EXCEPTION);
    EXPECT_EQ(SAX_XMLRead(nullptr, root.get(), &cb, &count), ZEL_XML_NO_FILE);
    EXPECT_EQ(SAX_XMLRead(file.path(), nullptr, &cb, &count), ZEL_XML_EXCEPTION);

    EXPECT_EQ(count, -7);
    EXPECT_EQ(outline(root.get()), "keep");
    EXPECT_EQ(root->type, XML_ELEMENT_NODE);
    EXPECT_TRUE(r.progress.empty());
    EXPECT_TRUE(r.diagnostics.empty());
}

}  // namespace

// Every diagnostic carries its text, the same through the three readers; an element name
// too long for a record is reported where it stands, quoted up to a character boundary.
TEST(SaxDiagnostics, MessagesReachTheCallbackFromEveryReader) {
    XMLInit();
    const std::string long_name = std::string("xy") + "ééééééééééééééééé";  // 36 bytes; byte 31 is inside an é
    struct Case {
        std::string doc;
        std::vector<int32_t> severities;
        std::string first_message;
        int32_t line, column;
        ZEL_XML_RESULT result;
    };
    const Case cases[] = {
        {"<a><b></a>", {7}, "expected end of tag 'b'", 1, 9, ZEL_XML_ERROR},
        {"<!DOCTYPE a [<!ELEMENT a EMPTY>]><a><b/></a>", {5, 5}, "no declaration found for element 'b'", 1, 39,
         ZEL_XML_OK},
        {"<a>\n <" + long_name + " k='v'/></a>", {7},
         "element name '" + long_name.substr(0, 30) + "...' is 36 bytes long; a record holds names of at most 31 bytes",
         2, 30, ZEL_XML_UNEXPECTED},  // just past the start tag, counted in characters
    };
    for (const Case& c : cases) {
        ScratchFile file(c.doc);
        std::vector<uint16_t> wide = to_wide(c.doc);
        for (int reader = 0; reader < 3; ++reader) {
            Recorder recorder;
            XMLParseCallbacks callbacks = recorder.callbacks();
            Root root = make_root();
            ZEL_XML_RESULT result = 0;
            capture_stderr([&] {
                result = reader == 0   ? SAX_XMLRead(file.path(), root.get(), &callbacks, nullptr)
                         : reader == 1 ? SAX_XMLMemRead(c.doc.c_str(), root.get(), &callbacks, nullptr)
                                       : SAX_XMLMemWideCharRead(wide.data(), root.get(), &callbacks, nullptr);
            });
            EXPECT_EQ(result, c.result) << c.doc << " reader " << reader;
            ASSERT_EQ(recorder.severities(), c.severities) << c.doc << " reader " << reader;
            const Recorder::Diagnostic& first = recorder.diagnostics[0];
            EXPECT_EQ(first.message, c.first_message) << " reader " << reader;
            EXPECT_EQ(first.line, c.line) << c.doc;
            EXPECT_EQ(first.column, c.column) << c.doc;
            EXPECT_EQ(XMLGetDiagnosticMessage(), nullptr) << "only during the callback";
        }
    }
    XMLTerm();
}
