// Writing records: the layout, what each record type becomes, result codes and messages.
#include "dom_helpers.hpp"

#include "io/parser/messages.hpp"
#include "io/write/depth.hpp"

#include <gtest/gtest.h>

#include <xercesc/dom/DOMError.hpp>

namespace {

class DomWrite : public ParserTest {};

const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\" ?>\n";

TEST_F(DomWrite, ConfigExampleIsPrettyPrinted) {
    Root root = make_root("config");
    add_attribute(root.get(), "version", "1");
    XMLCreateTextNode("5", XMLCreateElementNode("key", root.get()));
    ScratchFile file;
    WriteOutcome out = write_document(file.path(), "UTF-8", root.get());
    EXPECT_EQ(out.result, ZEL_XML_OK);
    EXPECT_EQ(out.messages, "");
    EXPECT_EQ(file.read(), kDeclaration + "<config version=\"1\">\n  <key>5</key>\n</config>\n");
}

TEST_F(DomWrite, WhatEachRecordTypeBecomes) {
    Root root = make_root("r");
    XMLNode* unnamed = element_with_value(root.get(), "", "as text & more");
    add_attribute(unnamed, "lost", "1");
    XMLCreateElementNode("lost", unnamed);
    XMLNode* comment = XMLCreateElementNode("c", root.get());
    comment->type = XML_COMMENT_NODE;
    XMLCreateElementNode("below", comment);
    XMLNode* valued = element_with_value(root.get(), "valued", "own value, never written");
    add_attribute(valued, "t", "x", XML_NOTATION_NODE);
    // Text beside an element is mixed content: written as it is, without line breaks.
    EXPECT_EQ(written_bytes(root.get()), kDeclaration + "<r>as text &amp; more<valued t=\"x\"/></r>\n");

    // Without children the document element is empty and keeps its attributes.
    Root lone = make_root("lone");
    add_attribute(lone.get(), "a", "<\"&'>");
    EXPECT_EQ(written_bytes(lone.get()), kDeclaration + "<lone a=\"&lt;&quot;&amp;'>\"/>\n");
}

TEST_F(DomWrite, RefusedTreesWriteNothingAndLeaveTheFileAlone) {
    struct Case {
        const char* what;
        void (*shape)(XMLNode* root);
    };
    const Case cases[] = {
        {"type 11 below the root", [](XMLNode* r) { XMLCreateElementNode("second", r)->type = XML_DOCUMENT_NODE; }},
        {"illegal element name", [](XMLNode* r) { XMLCreateElementNode("1bad", r); }},
        {"illegal attribute name", [](XMLNode* r) { add_attribute(XMLCreateElementNode("e", r), "x y", "1"); }},
        {"empty root name", [](XMLNode* r) { r->name[0] = '\0'; }},
        // Bytes that are not UTF-8 cannot be written unchanged: refused rather than replaced.
        {"text not UTF-8", [](XMLNode* r) { XMLCreateTextNode("caf\xE9", XMLCreateElementNode("e", r)); }},
        {"attribute not UTF-8", [](XMLNode* r) { add_attribute(r, "a", "\xFF\xFE"); }},
        {"name not UTF-8", [](XMLNode* r) { XMLCreateElementNode("e\xC0\xAF", r); }},
    };
    for (const Case& c : cases) {
        Root root = make_root("doc");
        c.shape(root.get());
        ScratchFile file("precious");
        WriteOutcome out = write_document(file.path(), "UTF-8", root.get());
        EXPECT_EQ(out.result, ZEL_XML_EXCEPTION) << c.what;
        EXPECT_EQ(out.messages, std::string("\nUnexpected exception during parsing: ") + file.path() + "\n") << c.what;
        EXPECT_EQ(file.read(), "precious") << c.what;
    }
}

TEST_F(DomWrite, OutputFailuresGiveResult4WithTheMessage) {
    Root root = make_root("doc");
    XMLCreateElementNode("e", root.get());
    const std::string heading = "An error occurred during creation of output transcoder. Msg is:\n";

    WriteOutcome unopenable = write_document("/nonexistent/dir/out.xml", "UTF-8", root.get());
    EXPECT_EQ(unopenable.result, ZEL_XML_EXCEPTION);
    EXPECT_EQ(unopenable.messages, heading + "unable to open file '/nonexistent/dir/out.xml'\n");

    // The encoding is tried before the file is opened, so an existing file survives.
    ScratchFile file("precious");
    WriteOutcome unknown = write_document(file.path(), "no-such-encoding", root.get());
    EXPECT_EQ(unknown.result, ZEL_XML_EXCEPTION);
    EXPECT_EQ(unknown.messages, heading + "unable to create converter for 'no-such-encoding' encoding\n");
    EXPECT_EQ(file.read(), "precious");

    // A full disk is found when the output is flushed and closed.
    WriteOutcome full = write_document("/dev/full", "UTF-8", root.get());
    EXPECT_EQ(full.result, ZEL_XML_EXCEPTION);
    EXPECT_EQ(full.messages, heading + "unable to write data to file\n");
}

TEST_F(DomWrite, SerialiserReportedFailureGivesResult4) {
    Root root = make_root("doc");
    XMLCreateTextNode("\xce\xb1 in text becomes a reference", root.get());
    XMLCreateElementNode("\xce\xb2", root.get());  // a name cannot
    WriteOutcome out = write_document(ScratchFile().path(), "ISO-8859-1", root.get());
    EXPECT_EQ(out.result, ZEL_XML_EXCEPTION);
    EXPECT_EQ(out.messages, "\nFatal Message: char 0x3B2 is not representable in 'ISO-8859-1' encoding\n");
}

TEST_F(DomWrite, NullArgumentsAndEmptyTargets) {
    Root root = make_root("doc");
    std::string messages = capture_stderr([&] {
        EXPECT_EQ(XMLWrite(nullptr, "UTF-8", root.get()), ZEL_XML_OK);
        EXPECT_EQ(XMLWrite("", "UTF-8", root.get()), ZEL_XML_OK);
        EXPECT_EQ(XMLWriteFH(nullptr, "UTF-8", root.get()), ZEL_XML_OK);
        EXPECT_EQ(XMLWrite("unused.xml", "UTF-8", nullptr), ZEL_XML_EXCEPTION);
        EXPECT_EQ(XMLWriteFH(stdout, "UTF-8", nullptr), ZEL_XML_EXCEPTION);
    });
    EXPECT_EQ(messages, "");
    EXPECT_NE(access("unused.xml", F_OK), 0);

    // A NULL encoding is UTF-8.
    XMLCreateTextNode("\xc3\xa9", root.get());
    EXPECT_EQ(written_bytes(root.get(), nullptr), kDeclaration + "<doc>\xc3\xa9</doc>\n");
}

TEST_F(DomWrite, WriteFHLeavesTheCallersStreamOpen) {
    Root root = make_root("doc");
    XMLCreateTextNode("v", XMLCreateElementNode("k", root.get()));
    std::FILE* stream = std::tmpfile();
    ASSERT_NE(stream, nullptr);
    std::fputs("before\n", stream);
    std::string messages = capture_stderr([&] { EXPECT_EQ(XMLWriteFH(stream, "UTF-8", root.get()), ZEL_XML_OK); });
    EXPECT_EQ(messages, "");
    EXPECT_GE(std::fputs("after\n", stream), 0);
    std::rewind(stream);
    std::string all;
    for (int c; (c = std::fgetc(stream)) != EOF;) all += static_cast<char>(c);
    EXPECT_EQ(all, "before\n" + kDeclaration + "<doc>\n  <k>v</k>\n</doc>\nafter\n");

    // Messages name the stream by its descriptor.
    XMLCreateElementNode("x", root.get())->type = XML_DOCUMENT_NODE;
    messages = capture_stderr([&] { EXPECT_EQ(XMLWriteFH(stream, "UTF-8", root.get()), ZEL_XML_EXCEPTION); });
    EXPECT_EQ(messages, "\nUnexpected exception during parsing: " + std::to_string(fileno(stream)) + "\n");
    std::fclose(stream);
}

TEST_F(DomWrite, TreesDeeperThanTheSerialiserCanWriteAreRefused) {
    // Text beside the chain makes the document mixed, so nothing is indented and the output
    // stays linear in the depth.
    const std::size_t limit = zel::write::kMaxWriteDepth;

    Root deepest = chain(limit);
    ScratchFile fits;
    EXPECT_EQ(write_document(fits.path(), "UTF-8", deepest.get()).result, ZEL_XML_OK);
    ReadOutcome back = read_document(fits.path());
    EXPECT_EQ(back.count, static_cast<int32_t>(limit));
    EXPECT_STREQ(back.root->children.items[0]->value, "top");
    std::size_t levels = 1;
    for (const XMLNode* at = back.root.get(); at->children.count > 0; at = at->children.items[at->children.count - 1])
        levels += at->children.items[at->children.count - 1]->type == XML_ELEMENT_NODE;
    EXPECT_EQ(levels, limit);

    for (std::size_t levels : {limit + 1, std::size_t{1000000}}) {
        Root root = chain(levels);
        ScratchFile file("precious");
        WriteOutcome out = write_document(file.path(), "UTF-8", root.get());
        EXPECT_EQ(out.result, ZEL_XML_EXCEPTION) << levels;
        EXPECT_EQ(out.messages, std::string("\nUnexpected exception during parsing: ") + file.path() + "\n");
        EXPECT_EQ(file.read(), "precious");
    }
}

// The writer's problem headings, by severity.
TEST_F(DomWrite, ProblemHeadingsBySeverity) {
    const std::pair<xercesc::DOMError::ErrorSeverity, const char*> rows[] = {
        {xercesc::DOMError::DOM_SEVERITY_WARNING, "\nWarning Message: it \xc3\xa9\n"},
        {xercesc::DOMError::DOM_SEVERITY_ERROR, "\nError Message: it \xc3\xa9\n"},
        {xercesc::DOMError::DOM_SEVERITY_FATAL_ERROR, "\nFatal Message: it \xc3\xa9\n"},
    };
    for (const auto& [severity, expected] : rows)
        EXPECT_EQ(capture_stderr([&] { zel::parser::print_write_problem(severity, "it \xc3\xa9"); }), expected);
}

}  // namespace
