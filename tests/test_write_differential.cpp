// XMLWrite and XMLWriteFH against the reference writer over the parser's document object
// model (oracle/): the same result, messages and output bytes, to a new file, over an existing
// one, through a stream and to no output at all, for every document the reader takes from
// the test data, the fuzz seeds and a few installed files, and for a table of trees built by
// hand, each in eight encodings.
#include "dom_write.hpp"
#include "io/write/depth.hpp"
#include "io_helpers.hpp"
#include "tree_helpers.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

#ifndef ZEL_FUZZ_CORPUS_DIR
#error "ZEL_FUZZ_CORPUS_DIR must name the fuzz seed folder"
#endif

namespace {

namespace fs = std::filesystem;

class WriteDifferential : public ParserTest {};

// NULL is UTF-8 by default; UTF-16 takes a byte-order mark; the single-byte ones cannot hold
// every character, and IBM037 is not ASCII-based.
const char* const kEncodings[] = {nullptr,      "UTF-8",    "UTF-16",       "UTF-16BE",
                                  "ISO-8859-1", "US-ASCII", "windows-1252", "IBM037"};

std::string label(const char* encoding) { return encoding != nullptr ? encoding : "NULL"; }

std::vector<std::string> files_under(const std::string& dir) {
    std::vector<std::string> paths;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        if (entry.is_regular_file()) paths.push_back(entry.path().string());
    return paths;
}

// Writing every document the reader takes: the test data, the fuzz seeds and installed files
// in all encodings, except the largest installed file, which the reference writes slowly:
// that one in UTF-8 and UTF-16 only.
TEST_F(WriteDifferential, EveryDocumentTheReaderTakes) {
    std::vector<std::string> paths = files_under(ZEL_TEST_DATA_DIR);
    for (const std::string& seed : files_under(ZEL_FUZZ_CORPUS_DIR "/xml")) paths.push_back(seed);
    for (const char* dir : {"/usr/share/xml/iso-codes", "/usr/share/dbus-1/interfaces"})
        if (fs::is_directory(dir))
            for (const std::string& path : files_under(dir)) paths.push_back(path);
    for (const char* path : {"/usr/share/dbus-1/session.conf", "/usr/share/dbus-1/system.conf"})
        if (fs::is_regular_file(path)) paths.push_back(path);
    const std::string large = "/usr/share/mime/packages/freedesktop.org.xml";
    if (fs::is_regular_file(large)) paths.push_back(large);

    int documents = 0, written = 0;
    for (const std::string& path : paths) {
        Root root = make_root();
        ZEL_XML_RESULT read = -1;
        capture_stderr([&] { read = XMLRead(path.c_str(), root.get(), nullptr); });
        if (read != ZEL_XML_OK) continue;
        ++documents;
        for (const char* encoding : kEncodings) {
            if (path == large && label(encoding) != "UTF-8" && label(encoding) != "UTF-16") continue;
            ZEL_XML_RESULT result = -1;
            EXPECT_EQ(oracle::write_differences(root.get(), encoding, &result), "")
                << path << " in " << label(encoding);
            written += result == ZEL_XML_OK;
        }
    }
    EXPECT_GT(documents, 30);
    EXPECT_GT(written, 6 * documents) << "most documents are written whole";
}

using Shape = std::function<void(XMLNode* root)>;

XMLNode* element(XMLNode* parent, const char* name, const char* text = nullptr) {
    XMLNode* made = XMLCreateElementNode(name, parent);
    if (text != nullptr) XMLCreateTextNode(text, made);
    return made;
}

XMLNode* typed(XMLNode* parent, int32_t type, const char* name = "t") {
    XMLNode* made = element(parent, name, "inside");
    element(made, "child");
    made->type = type;
    return made;
}

void attributes(XMLNode* node, const std::vector<const char*>& names, const char* value = "v") {
    for (const char* name : names) add_attribute(node, name, value);
}

// Values with every character the serialiser escapes, side by side, and with characters
// beyond Latin-1 and beyond the BMP. Single characters have a test of their own.
const char* const kEscapes = "a&b<c>d\"e'f\rg\nh\ti ]]> j]]k";
const char* const kWide = "\xC3\xA9 \xCE\xB1 \xE2\x82\xAC \xE4\xB8\xAD \xF0\x9F\x98\x80 \xF0\x90\x80\x80";

// A tree built on a root named r, and whether it is written in UTF-8 (a check that the row
// reaches the part of the writer it is meant for; the comparison covers the rest).
struct Row {
    const char* what;
    bool written;
    Shape build;
};

// Shapes that are written, shapes that are refused, and everything the layout looks at.
const std::vector<Row>& shapes() {
    static const std::vector<Row> table = {
        {"empty root", true, [](XMLNode*) {}},
        {"text-only root", true, [](XMLNode* r) { XMLCreateTextNode("only text", r); }},
        {"own values and key setters", true,
         [](XMLNode* r) {
             XMLAddKeyNameValue(r, "k", "own, never written");
             XMLSetKeyNameValue(r, "s", "as text");
             XMLSetKeyNameValue(r, "s", "own now");
             XMLSetNodeStringElement(r, "", "an unnamed child");
         }},
        {"attributes out of name order", true,
         [](XMLNode* r) {
             attributes(r, {"z", "B", "a", "A", "_", "Z", "\xC3\xA9", "\xEF\xBD\x81", "\xC4\x80", "b1", "b", ":"});
             attributes(element(r, "e"), {"y", "x", "\xC3\xA9", "Y"});
         }},
        {"two attributes of one name", true,
         [](XMLNode* r) {
             add_attribute(r, "a", "first");
             add_attribute(r, "b", "between");
             add_attribute(r, "a", "second");
         }},
        {"escapes in text and attributes", true,
         [](XMLNode* r) {
             add_attribute(r, "a", kEscapes);
             element(r, "t", kEscapes);
             element(r, "cdata", "]]>");
             element(r, "ends", "x]]");
         }},
        {"characters beyond Latin-1 and the BMP", true,
         [](XMLNode* r) {
             add_attribute(r, "a", kWide);
             element(r, "t", kWide);
             XMLCreateTextNode(kWide, element(r, "mixed", "lead "));
         }},
        {"non-ASCII element names", true,
         [](XMLNode* r) {
             element(r, "caf\xC3\xA9", "x");
             element(r, "\xCE\xB1\xCE\xB2");
             element(r, "\xE4\xB8\xAD");
         }},
        {"non-ASCII attribute name", true,
         [](XMLNode* r) { add_attribute(element(r, "e"), "\xC3\xA9t\xC3\xA9", "1"); }},
        {"empty attribute name", false, [](XMLNode* r) { add_attribute(r, "", "1"); }},
        {"empty root name", false, [](XMLNode* r) { r->name[0] = '\0'; }},
        {"illegal root name", false, [](XMLNode* r) { XMLCreateDocumentNode("<r>", r); }},
        {"prefixed names and xmlns", true,
         [](XMLNode* r) {
             XMLCreateDocumentNode("x:r", r);
             add_attribute(r, "xmlns:x", "urn:x");
             add_attribute(r, "xmlns", "urn:d");
             add_attribute(r, "xml:lang", "en");
             XMLNode* e = element(r, "y:e", "unbound prefix");
             add_attribute(e, "z:a", "1");
             add_attribute(e, "xmlns:", "2");
         }},
        {"multi-colon names", true, [](XMLNode* r) { attributes(element(r, "a:b:c"), {"d:e:f"}); }},
        {"unnamed elements", true,
         [](XMLNode* r) {
             XMLNode* unnamed = element(r, "", "dropped text");
             add_attribute(unnamed, "lost", "1");
             XMLSetNodeStringElement(unnamed, "", "own & value");
             element(r, "named");
             XMLAppendNodeStringElement(r, "", "appended");
         }},
        {"unnamed elements only", true, [](XMLNode* r) {
             XMLAppendNodeStringElement(r, "", "a < b");
             XMLAppendNodeStringElement(r, "", "");
         }},
        {"record types 2 to 10 and others below the root", true,
         [](XMLNode* r) {
             element(r, "before");
             for (int32_t type : {2, 3, 4, 5, 6, 7, 8, 9, 10, 12, -1}) typed(r, type);
             XMLNode* nested = element(r, "nested");
             typed(nested, XML_COMMENT_NODE);
             typed(typed(nested, XML_CDATA_SECTION_NODE), XML_PROCESSING_INSTRUCTION_NODE);
             element(r, "after");
         }},
        {"only other types below the root", true, [](XMLNode* r) {
             typed(r, XML_COMMENT_NODE);
             typed(r, XML_DOCUMENT_TYPE_NODE);
         }},
        {"type 11 first", false, [](XMLNode* r) { typed(r, XML_DOCUMENT_NODE); }},
        {"type 11 nested", false,
         [](XMLNode* r) { typed(element(element(r, "a", "t"), "b"), XML_DOCUMENT_NODE, "d"); }},
        {"type 11 with a bad name", false, [](XMLNode* r) { typed(r, XML_DOCUMENT_NODE, "1d"); }},
        {"text root type", true, [](XMLNode* r) {
             element(r, "e", "x");
             r->type = XML_TEXT_NODE;
         }},
        {"mixed content beside element-only content", true,
         [](XMLNode* r) {
             XMLNode* p = element(r, "p", "lead ");
             element(p, "i", "inner");
             XMLCreateTextNode(" tail", p);
             XMLNode* list = element(r, "list");
             element(list, "item", "1");
             XMLNode* second = element(list, "item");
             element(element(second, "sub"), "leaf", "deep");
             element(second, "empty");
             XMLNode* inside = element(p, "inside-mixed");
             element(element(inside, "a"), "b");
         }},
        {"mixed content at the root", true, [](XMLNode* r) {
             XMLCreateTextNode("top", r);
             XMLNode* list = element(r, "list");
             element(element(list, "a"), "b", "x");
             element(list, "c");
         }},
        {"blank text alone", true, [](XMLNode* r) {
             element(r, "a", " ");
             element(r, "b", "\n  ");
             element(r, "c", "\r");
         }},
        {"empty text alone", true, [](XMLNode* r) { element(r, "a", ""); }},
        {"blank text before and after elements", true, [](XMLNode* r) {
             XMLCreateTextNode("\n  ", r);
             element(r, "a");
             XMLCreateTextNode(" ", r);
             element(r, "b");
             XMLCreateTextNode("\r", r);
         }},
        {"empty text before an element", true, [](XMLNode* r) {
             XMLCreateTextNode("", r);
             element(r, "a");
         }},
        {"empty text at the end of a parent", true, [](XMLNode* r) {
             XMLNode* a = element(r, "a");
             element(a, "b");
             XMLCreateTextNode("", a);
             element(r, "c");
         }},
        {"several text records in a row", true, [](XMLNode* r) {
             XMLCreateTextNode("one", r);
             XMLCreateTextNode("", r);
             XMLCreateTextNode(" two", r);
         }},
        {"blank text inside element-only content", true, [](XMLNode* r) {
             XMLNode* a = element(r, "a");
             element(a, "b", "x");
             XMLCreateTextNode("  ", element(a, "c"));
             element(r, "d", "\n");
         }},
        {"10,000 children", true, [](XMLNode* r) {
             for (int i = 0; i < 10000; ++i) element(r, i % 3 ? "c" : "d", i % 2 ? "v" : nullptr);
         }},
        {"10,000 children beside text", true, [](XMLNode* r) {
             for (int i = 0; i < 10000; ++i) {
                 XMLCreateTextNode(" ", r);
                 element(r, "c");
             }
         }},
        {"a megabyte of text", true, [](XMLNode* r) {
             std::string text;
             const std::string line = "line & <more> \"q\" 'a' ]]> \t\r\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\n";
             while (text.size() < (1u << 20)) text += line;
             element(r, "t", text.c_str());
             add_attribute(r, "a", text.substr(0, 100000).c_str());
         }},
        {"many attributes in scrambled order", true,
         [](XMLNode* r) {
             const char* const pieces[] = {"a", "A", "b", "_", "-", ".", "1", ":", "\xC3\xA9", "\xEF\xBD\x81",
                                           "\xE4\xB8\xAD", "z"};
             unsigned state = 7;
             for (int i = 0; i < 150; ++i) {
                 std::string name;
                 do {
                     state = state * 1103515245u + 12345u;
                     name += pieces[(state >> 16) % 12];
                 } while (name.size() < 3 && (state >> 8) % 3 != 0);
                 if (name[0] != '-' && name[0] != '.' && name[0] != '1') add_attribute(r, name.c_str(), name.c_str());
             }
         }},
        {"a forbidden character after 100 KB", false, [](XMLNode* r) {
             element(r, "big", std::string(100000, 'x').c_str());
             element(r, "t", "a\x02");
         }},
        {"a forbidden character in an attribute after 100 KB", false, [](XMLNode* r) {
             add_attribute(r, "big", std::string(100000, 'x').c_str());
             add_attribute(r, "a", "\xEF\xBF\xBF");
         }},
        {"a non-ASCII name after 100 KB", true, [](XMLNode* r) {
             element(r, "big", std::string(100000, '&').c_str());
             element(r, "\xCE\xB1");
         }},
        {"a non-ASCII name after 100 KB of mixed content", true, [](XMLNode* r) {
             XMLCreateTextNode(std::string(100000, '<').c_str(), r);
             element(element(r, "e"), "\xE2\x82\xAC");
         }},
        {"other types inside mixed content", true, [](XMLNode* r) {
             XMLCreateTextNode("t", r);
             XMLNode* only = element(r, "only-elements");
             typed(only, XML_COMMENT_NODE);
             element(only, "e");
             typed(element(r, "only-others"), XML_PROCESSING_INSTRUCTION_NODE);
         }},
    };
    return table;
}

TEST_F(WriteDifferential, TreesBuiltByHand) {
    for (const Row& row : shapes()) {
        Root root = make_root("r");
        row.build(root.get());
        for (const char* encoding : kEncodings) {
            ZEL_XML_RESULT result = -1;
            EXPECT_EQ(oracle::write_differences(root.get(), encoding, &result), "")
                << row.what << " in " << label(encoding);
            if (label(encoding) == "UTF-8") {
                EXPECT_EQ(result == ZEL_XML_OK, row.written) << row.what;
            }
        }
    }
}

// Characters one at a time: C0 and C1 controls, escaped and name characters, the edges of
// the ranges XML allows, characters each single-byte encoding holds or lacks, and bytes that
// are not UTF-8 (stray, overlong, truncated, surrogates, past U+10FFFF); each in text and in
// an attribute value (inside and alone, where a truncated sequence meets the end), and in
// element and attribute names (first and later).
TEST_F(WriteDifferential, EachCharacterInEachPlace) {
    const char* const characters[] = {
        "\t", "\n", "\r", "\x01", "\x08", "\x0B", "\x0C", "\x1F", " ", "&", "<", ">", "\"", "'", "-", ".", "0",
        ":", "_", "=", "\x7F", "\xC2\x80", "\xC2\x85", "\xC2\x9F", "\xC2\xA0", "\xC2\xB7", "\xC3\x97", "\xC3\xBF",
        "\xC4\x80", "\xC5\x92", "\xCC\x80", "\xCD\xBE", "\xE2\x80\x8C", "\xE2\x80\xBF", "\xE2\x82\xAC",
        "\xE2\x84\xA2", "\xE3\x80\x80", "\xED\x9F\xBF", "\xEE\x80\x80", "\xEF\xBF\xBD", "\xEF\xBF\xBE",
        "\xEF\xBF\xBF", "\xF0\x90\x80\x80", "\xF3\xAF\xBF\xBF", "\xF4\x8F\xBF\xBF",
        // Not UTF-8.
        "\x80", "\xBF", "\xC0\x80", "\xC1\xBF", "\xC3", "\xC3(", "\xE2\x82", "\xE0\x80\x80", "\xE0\x9F\xBF",
        "\xED\xA0\x80", "\xED\xBF\xBF", "\xF0\x80\x80\x80", "\xF0\x8F\xBF\xBF", "\xF0\x9F\x98",
        "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xF8\x88\x80\x80\x80", "\xFE", "\xFF"};
    const std::pair<const char*, void (*)(XMLNode*, const std::string&)> places[] = {
        {"in text", [](XMLNode* r, const std::string& c) { element(r, "t", ("x" + c + "y").c_str()); }},
        {"text alone", [](XMLNode* r, const std::string& c) { XMLCreateTextNode(c.c_str(), element(r, "t")); }},
        {"in an attribute", [](XMLNode* r, const std::string& c) { add_attribute(r, "a", ("x" + c + "y").c_str()); }},
        {"attribute alone", [](XMLNode* r, const std::string& c) { add_attribute(element(r, "t"), "a", c.c_str()); }},
        {"element name first", [](XMLNode* r, const std::string& c) { element(r, (c + "e").c_str()); }},
        {"element name later", [](XMLNode* r, const std::string& c) { element(r, ("e" + c).c_str()); }},
        {"attribute name later", [](XMLNode* r, const std::string& c) { add_attribute(r, ("a" + c).c_str(), "v"); }},
    };
    for (const char* c : characters) {
        for (const auto& [place, put] : places) {
            Root root = make_root("r");
            put(root.get(), c);
            for (const char* encoding : kEncodings)
                EXPECT_EQ(oracle::write_differences(root.get(), encoding), "")
                    << ::testing::PrintToString(std::string(c)) << " " << place << " in " << label(encoding);
        }
    }
}

// The pretty print follows text that holds line breaks: a blank text with one stands for the
// line break before the next tag, and its trailing spaces shorten that tag's indentation.
TEST_F(WriteDifferential, LineBreaksInTextBetweenIndentedElements) {
    const char* const texts[] = {"\n", "\n ", "\n  ", "\n   ", "\n     ", " \n", "\r", "\r ", "\r   ", "\r\n  ",
                                 "\n\r ", "\t\n\t", "  ", "", "x\n", "x\n   ", "\nx", "x\r\n", "\n\n   ", "\n\t  "};
    for (const char* text : texts) {
        Root root = make_root("r");
        XMLNode* a = element(root.get(), "a");
        element(a, "e", text);
        element(element(a, "f"), "g");
        element(element(root.get(), "deep"), "deeper", text);
        element(root.get(), "k", text);
        element(root.get(), "l");
        element(root.get(), "last", text);
        for (const char* encoding : kEncodings)
            EXPECT_EQ(oracle::write_differences(root.get(), encoding), "")
                << ::testing::PrintToString(std::string(text)) << " in " << label(encoding);
    }
}

// Deep chains (see chain): pretty-printed, which indents them (two megabytes of spaces at 1,000
// levels); beside text, which does not, at the depth limit and one past it.
TEST_F(WriteDifferential, DeepTrees) {
    const std::size_t limit = zel::write::max_write_depth();
    ASSERT_EQ(limit, zel::write::kMaxWriteDepth);
    const std::pair<std::size_t, bool> chains[] = {{1000, false}, {3000, true}, {limit, true}, {limit + 1, true}};
    for (const auto& [levels, mixed] : chains) {
        Root root = chain(levels, mixed);
        for (const char* encoding : kEncodings) {
            ZEL_XML_RESULT result = -1;
            EXPECT_EQ(oracle::write_differences(root.get(), encoding, &result), "")
                << levels << " levels in " << label(encoding);
            EXPECT_EQ(result, levels > limit ? ZEL_XML_EXCEPTION : ZEL_XML_OK) << levels;
        }
    }
}

// Fields only a host that fills records itself can set: a name filling the whole buffer with
// no terminator, NULL strings.
TEST_F(WriteDifferential, RecordsFilledByHand) {
    Root root = make_root("r");
    XMLNode* full = element(root.get(), "x");
    std::memset(full->name, 'n', sizeof full->name);
    XMLNode* text = XMLCreateTextNode("t", element(root.get(), "e"));
    add_attribute(root.get(), "a", "v");
    char* const text_value = text->value;
    char* const attr_value = root->attributes.items[0].value;
    text->value = nullptr;
    root->attributes.items[0].value = nullptr;
    for (const char* encoding : kEncodings)
        EXPECT_EQ(oracle::write_differences(root.get(), encoding), "") << label(encoding);
    // The buffer's last byte starts a character that the name has no room to finish.
    full->name[sizeof full->name - 1] = '\xC3';
    EXPECT_EQ(oracle::write_differences(root.get(), "UTF-8"), "") << "name cut inside a character";

    char* const attr_name = root->attributes.items[0].name;
    root->attributes.items[0].name = nullptr;
    EXPECT_EQ(oracle::write_differences(root.get(), "UTF-8"), "") << "NULL attribute name";
    root->attributes.items[0].name = attr_name;
    root->attributes.items[0].value = attr_value;
    text->value = text_value;
    full->name[0] = '\0';
}

// Encodings besides the eight, named in other ways or unknown, with and without mixed
// content (which the library writes partly itself); outputs that cannot be opened or
// written. A NULL root gives 4 from both.
TEST_F(WriteDifferential, OtherEncodingsAndOutputs) {
    Root pretty = make_root("r");
    add_attribute(pretty.get(), "a", kWide);
    element(pretty.get(), "e", kEscapes);
    Root mixed = make_root("r");
    XMLCreateTextNode(kWide, mixed.get());
    element(element(mixed.get(), "e"), "f");
    for (const XMLNode* root : {pretty.get(), mixed.get()})
        for (const char* encoding : {"utf-16", "UTF-16LE", "UCS-4", "ISO-10646-UCS-2", "utf-8", "latin1", "",
                                     "no-such-encoding", "EBCDIC-CP-US"})
            EXPECT_EQ(oracle::write_differences(root, encoding), "") << encoding;

    char folder_pattern[] = "/tmp/zel_xml3_write_diffXXXXXX";
    ASSERT_NE(mkdtemp(folder_pattern), nullptr);
    const std::string folder = folder_pattern;
    const std::string file = folder + "/doc.xml";
    const std::string link = folder + "/link.xml";
    std::ofstream(file) << "old";
    ASSERT_EQ(symlink("doc.xml", link.c_str()), 0);
    for (const XMLNode* root : {pretty.get(), mixed.get()}) {
        for (const std::string& path : {folder, std::string("/proc/version"), std::string("/nonexistent/dir/out.xml"),
                                        std::string("/dev/full"), std::string("/dev/null"), folder + "/"})
            EXPECT_EQ(oracle::write_differences_at(path.c_str(), root, "UTF-8"), "") << path;
        EXPECT_EQ(oracle::write_differences_at(link.c_str(), root, "UTF-16", "old"), "") << link;
        EXPECT_EQ(oracle::write_differences_at(link.c_str(), root, "no-such-encoding", "old"), "") << link;
    }
    std::remove(link.c_str());
    std::remove(file.c_str());
    ::rmdir(folder.c_str());

    std::string messages = capture_stderr([&] {
        EXPECT_EQ(XMLWrite(file.c_str(), "UTF-8", nullptr), oracle::dom_write(file.c_str(), "UTF-8", nullptr));
        EXPECT_EQ(XMLWriteFH(stderr, "UTF-8", nullptr), oracle::dom_write_fh(stderr, "UTF-8", nullptr));
    });
    EXPECT_EQ(messages, "");
}

}  // namespace
