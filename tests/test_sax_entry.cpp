// The three event-driven readers side by side: file checks of SAX_XMLRead, the same tree
// from a file, a byte buffer and a UTF-16 buffer, and documents of any depth.
#include "sax_helpers.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using SaxEntry = ParserTest;

TEST_F(SaxEntry, FilesThatCannotBeReadChangeNothing) {
    ScratchFile empty("");
    ScratchFile real("<a/>");
    const std::string url = "file://" + std::string(real.path());
    const char* paths[] = {"/nonexistent/zel_xml3/none.xml", empty.path(), "/tmp", url.c_str(),
                           "http://localhost/none.xml"};
    for (const char* path : paths) {
        Recorder r;
        XMLParseCallbacks cb = r.callbacks();
        int32_t count = -7;
        Root root = make_root("keep");
        EXPECT_EQ(SAX_XMLRead(path, root.get(), &cb, &count), ZEL_XML_NO_FILE) << path;
        EXPECT_EQ(outline(root.get()), "keep") << path;
        EXPECT_EQ(root->type, XML_ELEMENT_NODE) << path;
        EXPECT_EQ(count, -7) << path;
        EXPECT_TRUE(r.progress.empty() && r.diagnostics.empty()) << path;
    }
}

TEST_F(SaxEntry, FileAndBufferGiveTheSameTreeAndProgress) {
    for (const char* name : {"catalog.xml", "mixed.xml", "config.xml", "notation.xml"}) {
        const std::string path = sax_data(name);
        const std::string text = file_contents(path);
        ASSERT_FALSE(text.empty()) << path;

        Recorder from_file;
        XMLParseCallbacks cb = from_file.callbacks();
        int32_t file_count = -1;
        Root file_root(XMLCreateRootNode());
        ASSERT_EQ(SAX_XMLRead(path.c_str(), file_root.get(), &cb, &file_count), ZEL_XML_OK) << name;

        Recorder from_memory;
        cb = from_memory.callbacks();
        int32_t memory_count = -1;
        Root memory_root = read_memory(text, &cb, &memory_count);

        EXPECT_EQ(outline(file_root.get()), outline(memory_root.get())) << name;
        EXPECT_EQ(file_count, memory_count) << name;
        ASSERT_EQ(from_file.progress.size(), from_memory.progress.size()) << name;
        for (std::size_t i = 0; i < from_file.progress.size(); ++i)
            EXPECT_EQ(from_file.progress[i].percent, from_memory.progress[i].percent) << name << " " << i;
        EXPECT_EQ(from_file.severities(), from_memory.severities()) << name;
    }
}

TEST_F(SaxEntry, WideBufferGivesTheSameTreeAsBytes) {
    const std::string doc =
        "<?xml version=\"1.0\"?>\n<r k=\"\xC3\xA9\">\n  <t>\xE6\x97\xA5 &amp; \xF0\x9F\x98\x80</t>\n"
        "  <e/>x<![CDATA[<y>]]>\n</r>\n";
    Recorder bytes;
    XMLParseCallbacks cb = bytes.callbacks();
    int32_t byte_count = -1;
    Root byte_root = read_memory(doc, &cb, &byte_count);

    std::vector<uint16_t> wide = to_wide(doc);
    Recorder units;
    cb = units.callbacks();
    int32_t wide_count = -1;
    Root wide_root(XMLCreateRootNode());
    ASSERT_EQ(SAX_XMLMemWideCharRead(wide.data(), wide_root.get(), &cb, &wide_count), ZEL_XML_OK);

    EXPECT_EQ(outline(wide_root.get()), outline(byte_root.get()));
    EXPECT_EQ(outline(wide_root.get()),
              "r[k=\xC3\xA9:3]{t{\"\xE6\x97\xA5 & \xF0\x9F\x98\x80\"},e,\"x<y>\n\"}");
    EXPECT_EQ(wide_count, byte_count);
    EXPECT_TRUE(units.diagnostics.empty());
}

TEST_F(SaxEntry, WideBufferIsUtf16WithoutADeclaration) {
    // Code units are read as UTF-16 even where the first bytes alone would not say so, a
    // byte-order mark is skipped, and a declaration naming another encoding is overruled.
    const char* docs[] = {
        "<a>x\xC3\xA9</a>",
        "\xEF\xBB\xBF<a>x\xC3\xA9</a>",
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>x\xC3\xA9</a>",
    };
    for (const char* doc : docs) {
        std::vector<uint16_t> wide = to_wide(doc);
        Recorder r;
        XMLParseCallbacks cb = r.callbacks();
        Root root(XMLCreateRootNode());
        EXPECT_EQ(SAX_XMLMemWideCharRead(wide.data(), root.get(), &cb, nullptr), ZEL_XML_OK) << doc;
        EXPECT_EQ(outline(root.get()), "a{\"x\xC3\xA9\"}") << doc;
        EXPECT_TRUE(r.diagnostics.empty()) << doc;
    }
}

TEST_F(SaxEntry, NoCallbacksAndNoCount) {
    Root root(XMLCreateRootNode());
    ASSERT_EQ(SAX_XMLMemRead("<a><b>t</b></a>", root.get(), nullptr, nullptr), ZEL_XML_OK);
    EXPECT_EQ(outline(root.get()), "a{b{\"t\"}}");

    ScratchFile file("<!-- before -->\n<a>t</a>\n<?after?>\n");
    Root from_file(XMLCreateRootNode());
    ASSERT_EQ(SAX_XMLRead(file.path(), from_file.get(), nullptr, nullptr), ZEL_XML_OK);
    EXPECT_EQ(outline(from_file.get()), "a{\"t\"}");
}

TEST_F(SaxEntry, FatalErrorInTheMiddleOfAFile) {
    ScratchFile file("<a>\n  <b>one</b>\n  <c>two</d>\n  <e/>\n</a>\n");
    Recorder r;
    XMLParseCallbacks cb = r.callbacks();
    int32_t count = -1;
    Root root(XMLCreateRootNode());
    ASSERT_EQ(SAX_XMLRead(file.path(), root.get(), &cb, &count), ZEL_XML_ERROR);
    EXPECT_EQ(outline(root.get()), "a{b{\"one\"},c{\"two\"}}");
    EXPECT_EQ(count, 7);  // two blank texts were made and removed
    ASSERT_EQ(r.severities(), std::vector<int32_t>{7});
    EXPECT_EQ(r.diagnostics[0].line, 3);
}

// A chain of `depth` nested elements with one text at the bottom.
std::string nested(int depth) {
    std::string doc;
    doc.reserve(static_cast<std::size_t>(depth) * 7 + 8);
    for (int i = 0; i < depth; ++i) doc += "<a>";
    doc += "end";
    for (int i = 0; i < depth; ++i) doc += "</a>";
    return doc;
}

void expect_chain(const XMLNode* root, int depth) {
    const XMLNode* at = root;
    for (int level = 1; level < depth; ++level) {
        ASSERT_EQ(at->children.count, 1) << level;
        at = at->children.items[0];
    }
    ASSERT_EQ(at->children.count, 1);
    EXPECT_STREQ(at->children.items[0]->value, "end");
}

TEST_F(SaxEntry, MillionLevelsDeepByAllThreeReaders) {
    constexpr int kDepth = 1000000;
    const std::string doc = nested(kDepth);
    int32_t count = -1;
    {
        Root root = read_memory(doc, nullptr, &count);
        EXPECT_EQ(count, kDepth + 1);
        expect_chain(root.get(), kDepth);
    }
    {
        std::vector<uint16_t> wide = to_wide(doc);
        Root root(XMLCreateRootNode());
        count = -1;
        ASSERT_EQ(SAX_XMLMemWideCharRead(wide.data(), root.get(), nullptr, &count), ZEL_XML_OK);
        EXPECT_EQ(count, kDepth + 1);
        expect_chain(root.get(), kDepth);
    }
    {
        ScratchFile file(doc);
        Root root(XMLCreateRootNode());
        count = -1;
        ASSERT_EQ(SAX_XMLRead(file.path(), root.get(), nullptr, &count), ZEL_XML_OK);
        EXPECT_EQ(count, kDepth + 1);
        expect_chain(root.get(), kDepth);
    }
}

}  // namespace
