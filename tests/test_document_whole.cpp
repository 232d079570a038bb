// Documents read whole (XMLReadBuffer with ZEL_XML_KEEP_ALL) and written back with
// XMLWriteToSink: unchanged parts come back byte for byte, an edit changes only what it
// touched, and the records have the documented shape.
#include "sax_helpers.hpp"

#include <gtest/gtest.h>

#include <functional>

namespace {

class DocumentWhole : public ::testing::Test {
protected:
    void SetUp() override { XMLInit(); }
    void TearDown() override { XMLTerm(); }
};

size_t append(const void* bytes, size_t length, void* user) {
    static_cast<std::string*>(user)->append(static_cast<const char*>(bytes), length);
    return length;
}

Root read_whole(const std::string& doc, ZEL_XML_RESULT expected = ZEL_XML_OK) {
    Root root = make_root();
    XMLReadOptions options{ZEL_XML_KEEP_ALL, nullptr};
    EXPECT_EQ(XMLReadBuffer(doc.data(), doc.size(), root.get(), &options, nullptr), expected) << XMLGetLastError();
    return root;
}

std::string written(const XMLNode* root, const char* encoding = nullptr, uint32_t flags = 0) {
    std::string out;
    XMLWriteOptions options{flags, encoding};
    EXPECT_EQ(XMLWriteToSink(append, &out, root, &options), ZEL_XML_OK) << XMLGetLastError();
    return out;
}

// The first element named `name` anywhere below `node`.
XMLNode* element(XMLNode* node, const char* name) { return XMLGetNodeData(node, name, nullptr); }

std::string utf16le(const std::string& ascii) {
    std::string out = "\xFF\xFE";
    for (char c : ascii) out += std::string{c, '\0'};
    return out;
}

std::string utf16be_without_mark(const std::string& ascii) {
    std::string out;
    for (char c : ascii) out += std::string{'\0', c};
    return out;
}

std::string utf32le(const std::string& ascii) {
    std::string out = std::string("\xFF\xFE\0\0", 4);
    for (char c : ascii) out += std::string{c, '\0', '\0', '\0'};
    return out;
}

const std::string kLong = "project.reporting.outputEncoding.and.then.some.more.of.it.to.pass.sixty.four.bytes.x";

// Documents that must come back unchanged: every shape the source keeps.
TEST_F(DocumentWhole, UnchangedDocumentsComeBackByteForByte) {
    const std::string docs[] = {
        "<a/>",
        "<?xml version='1.0'?>\n<a />\n",
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone='yes' ?>\r\n<a>\r\n <b  x = 'q\"' y=\"&amp;&#x41;&lt;\"\r\n   z='1'/>\r\n</a >\r\n",
        "\xEF\xBB\xBF<?xml version=\"1.0\"?><a>bom</a>",
        "<!-- before --><?pi  data  ?>\n<!DOCTYPE a PUBLIC \"-//x//y\" 'a.dtd' [\n<!ENTITY e \"ent&#65;\">\n"
        "<!-- ]> in a comment -->\n<!ENTITY % p \"<!ELEMENT q ANY>\"> %p;\n]>\n<a>&e;<![CDATA[<x>]]>text&#10;&gt;>"
        "<![CDATA[]]></a>\n<!-- after -->\n",
        "<p xml:space='preserve'>Hello <b>big</b> <i>world</i>!<sep> </sep><e></e><f/></p>",
        "<" + kLong + " " + kLong + "=\"v\"><" + kLong + "/></" + kLong + ">",
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<a b=\"caf\xE9\">na\xEFve \xA9</a>\n",
        utf16le("<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<a x='1'>wide</a>"),
        utf16be_without_mark("<?xml version=\"1.0\" encoding=\"UTF-16\"?><a>big end</a>"),
        utf32le("<?xml version=\"1.0\" encoding=\"UTF-32\"?>\n<a>four</a>\n"),
    };
    for (const std::string& doc : docs) {
        Root root = read_whole(doc);
        EXPECT_EQ(written(root.get()), doc);
    }
}

// An edit through the functions changes only the part it touched, in the document's own
// encoding and line ends.
TEST_F(DocumentWhole, EditsChangeOnlyWhatTheyTouch) {
    struct Row {
        std::string doc;
        std::function<void(XMLNode*)> edit;
        std::string expected;
    };
    const Row rows[] = {
        {"<a>\n  <port  v = '1'\n        w='2'/>\n</a>", [](XMLNode* r) { XMLSetNodeAttribute(element(r, "port"), "w", "3"); },
         "<a>\n  <port  v = '1'\n        w='3'/>\n</a>"},
        {"<a v='1' w = \"2\"/>", [](XMLNode* r) {
             XMLSetNodeAttribute(element(r, "a"), "v", "it's");
             XMLSetNodeAttribute(element(r, "a"), "w", "<\"");
         },
         "<a v=\"it's\" w = \"&lt;&quot;\"/>"},
        {"<a>\r\n<b>x &amp; y</b>\r\n<c>keep&#65;</c></a>",
         [](XMLNode* r) { XMLAlterValueOfNode(element(r, "b"), "one\ntwo"); },
         "<a>\r\n<b>one\r\ntwo</b>\r\n<c>keep&#65;</c></a>"},
        {"<a><b  /><c></c></a>", [](XMLNode* r) { XMLCreateElementNode("n", element(r, "b")); },
         "<a><b><n/></b><c></c></a>"},
        {"<a  x='1'><b/><c/></a>", [](XMLNode* r) {
             XMLNode* b = XMLGetChildAt(element(r, "a"), 0);
             XML_RemoveNthChildData(element(r, "a"), 0);
             XMLFreeRootNode(b);  // the removed record is the caller's
         },
         "<a  x='1'><c/></a>"},
        {"<a x='1' y='2'/>", [](XMLNode* r) { XMLRemoveAttrWithKeyName(element(r, "a"), "x"); }, "<a y='2'/>"},
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\xE9</a>",
         [](XMLNode* r) { XMLAlterValueOfNode(element(r, "a"), "\xC3\xA8\xE2\x82\xAC"); },
         "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\xE8&#x20AC;</a>"},
    };
    for (const Row& row : rows) {
        Root root = read_whole(row.doc);
        row.edit(root.get());
        EXPECT_EQ(written(root.get()), row.expected) << row.doc;
    }
}

TEST_F(DocumentWhole, RecordsHaveTheDocumentedShape) {
    Root root = read_whole(
        "<?xml version=\"1.0\"?>\n<!-- c -->\n<!DOCTYPE a SYSTEM \"a.dtd\" [<!ENTITY e \"t\">]>\n"
        "<a x=\"1\"><![CDATA[<]]>&e;<?go now?> </a>");
    EXPECT_EQ(outline(root.get()), "[version=1.0:3]{\"\n\",= c ,\"\n\",a[systemId=a.dtd:3]=<!ENTITY e \"t\">,\"\n\","
                                   "a[x=1:3]{=<,e{\"t\"},go=now,\" \"}}");
    const XMLNode* a = root->children.items[5];
    const int32_t types[] = {XML_CDATA_SECTION_NODE, XML_ENTITY_REFERENCE_NODE, XML_PROCESSING_INSTRUCTION_NODE,
                             XML_TEXT_NODE};
    ASSERT_EQ(a->children.count, 4);
    for (int32_t i = 0; i < 4; ++i) EXPECT_EQ(a->children.items[i]->type, types[i]);
    EXPECT_EQ(root->type, XML_DOCUMENT_NODE);
    EXPECT_EQ(root->children.items[3]->type, XML_DOCUMENT_TYPE_NODE);

    // A reference to an entity only a DTD that was not read declares stays a record of its own.
    const std::string skipped = "<!DOCTYPE a SYSTEM 'http://example.invalid/a.dtd'><a>caf&eacute; &amp; more</a>";
    Root unread = read_whole(skipped);
    EXPECT_EQ(outline(unread->children.items[1]), "a{\"caf\",eacute,\" & more\"}");
    EXPECT_EQ(unread->children.items[1]->children.items[1]->type, XML_ENTITY_REFERENCE_NODE);
    EXPECT_EQ(written(unread.get()), skipped);

    Root named = read_whole("<" + kLong + "/>");
    const XMLNode* long_named = named->children.items[0];
    EXPECT_EQ(std::string(XMLGetNodeName(long_named)), kLong);
    EXPECT_EQ(std::string(long_named->name), kLong.substr(0, 31));
}

// Trees without a source, and trees written in another encoding, take the default forms.
TEST_F(DocumentWhole, DefaultFormsAndIndentation) {
    Root root = read_whole("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><!--c--><a><b>t</b><c><d/></c></a>");
    EXPECT_EQ(written(root.get(), "UTF-8"), "<?xml version=\"1.0\" encoding=\"UTF-8\"?><!--c--><a><b>t</b><c><d/></c></a>");
    EXPECT_EQ(written(root.get(), "UTF-8", ZEL_XML_WRITE_INDENT),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!--c-->\n<a>\n  <b>t</b>\n  <c>\n    <d/>\n  </c>\n</a>\n");
    Root undeclared = read_whole("<?xml version=\"1.0\"?><a>\xC3\xA9</a>");
    EXPECT_EQ(written(undeclared.get(), "ISO-8859-1"), "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\xE9</a>");
    Root built = make_root("r");
    XMLCreateTextNode("x]]>y", XMLCreateElementNode("t", built.get()));
    XMLSetNodeAttribute(built.get(), "z", "1");
    XMLSetNodeAttribute(built.get(), "a", "<\"");
    EXPECT_EQ(written(built.get()), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<r z=\"1\" a=\"&lt;&quot;\"><t>x]]&gt;y</t></r>\n");
}

TEST_F(DocumentWhole, FailuresGiveFourAndSayWhy) {
    Root root = read_whole("<a>text</a>");
    auto refuse = [](const void*, size_t length, void*) -> size_t { return length / 2; };
    EXPECT_EQ(XMLWriteToSink(refuse, nullptr, root.get(), nullptr), ZEL_XML_EXCEPTION);
    EXPECT_NE(std::string(XMLGetLastError()).find("sink"), std::string::npos);
    XMLWriteOptions unknown{0, "no-such-encoding"};
    std::string out;
    EXPECT_EQ(XMLWriteToSink(append, &out, root.get(), &unknown), ZEL_XML_EXCEPTION);
    EXPECT_STRNE(XMLGetLastError(), "");
    EXPECT_EQ(out, "");
    XMLWriteOptions ascii{0, "US-ASCII"};
    Root named = read_whole("<caf\xC3\xA9/>");
    EXPECT_EQ(XMLWriteToSink(append, &out, named.get(), &ascii), ZEL_XML_EXCEPTION);
    EXPECT_NE(std::string(XMLGetLastError()).find("caf"), std::string::npos) << XMLGetLastError();
    EXPECT_EQ(written(root.get()), "<a>text</a>");
    EXPECT_STREQ(XMLGetLastError(), "");

    Root broken = read_whole("<a><b></a>", ZEL_XML_ERROR);
    EXPECT_EQ(XMLReadBuffer("<a/>", 4, nullptr, nullptr, nullptr), ZEL_XML_EXCEPTION);
    EXPECT_EQ(XMLReadFile("/no/such/file.xml", broken.get(), nullptr, nullptr), ZEL_XML_EXCEPTION);
    EXPECT_NE(std::string(XMLGetLastError()).find("/no/such/file.xml"), std::string::npos);
}

// Flags 0 build the tree the event-driven reader builds, without printing, and with names of
// any length.
TEST_F(DocumentWhole, FlagsZeroBuildTheEventReadersTree) {
    const std::string docs[] = {
        "<a x='1'><!--c--><b> t </b>\n <c/>&lt;<![CDATA[z]]></a>",
        "<!DOCTYPE a [<!ATTLIST a d CDATA 'def'>]><a>x<?p?>y</a>",
    };
    for (const std::string& doc : docs) {
        Root whole = make_root();
        std::string printed = capture_stderr([&] {
            EXPECT_EQ(XMLReadBuffer(doc.data(), doc.size(), whole.get(), nullptr, nullptr), ZEL_XML_OK);
        });
        EXPECT_EQ(printed, "");
        EXPECT_EQ(outline(whole.get()), outline(read_memory(doc).get())) << doc;
    }
    Recorder recorder;
    XMLParseCallbacks callbacks = recorder.callbacks();
    XMLReadOptions keep{ZEL_XML_KEEP_ALL, &callbacks};
    Root whole = make_root();
    const std::string doc3 = "<a><b/><c>t</c></a>";
    EXPECT_EQ(XMLReadBuffer(doc3.data(), doc3.size(), whole.get(), &keep, nullptr), ZEL_XML_OK);
    ASSERT_EQ(recorder.progress.size(), 4u) << "one report at each element's end, then 100";
    EXPECT_EQ(recorder.progress.back().percent, 100.0);

    Root named = make_root();
    std::string doc = "<r><" + kLong + ">v</" + kLong + "></r>";
    EXPECT_EQ(XMLReadBuffer(doc.data(), doc.size(), named.get(), nullptr, nullptr), ZEL_XML_OK);
    EXPECT_EQ(std::string(XMLGetNodeName(named->children.items[0])), kLong);
}

}  // namespace
