// Text the parser hands over in several events reaches every reader's records whole. A
// character beyond U+FFFF is two UTF-16 units, and the parser flushes its full character
// buffer (a million units) wherever it stands, between the two if need be.
#include "dom_helpers.hpp"
#include "io/build/text_run.hpp"
#include "sax_helpers.hpp"

#include <xercesc/util/OutOfMemoryException.hpp>

#include <functional>
#include <vector>

namespace {

using TextRuns = ParserTest;

// The value of the first text record below `node`, depth first.
std::string first_text(const XMLNode* node) {
    std::vector<const XMLNode*> pending{node};
    while (!pending.empty()) {
        const XMLNode* at = pending.back();
        pending.pop_back();
        if (at->type == XML_TEXT_NODE) return at->value;
        for (int32_t i = at->children.count; i > 0; --i) pending.push_back(at->children.items[i - 1]);
    }
    return "(no text)";
}

struct Reader {
    const char* name;
    std::function<ZEL_XML_RESULT(const std::string& doc, const char* path, XMLNode* root)> read;
};

ZEL_XML_RESULT read_file(const char* path, XMLNode* root, uint32_t flags) {
    XMLReadOptions options{flags, nullptr};
    return XMLReadFile(path, root, &options, nullptr);
}

const Reader kReaders[] = {
    {"SAX_XMLMemRead", [](auto& doc, auto, XMLNode* r) { return SAX_XMLMemRead(doc.c_str(), r, nullptr, nullptr); }},
    {"SAX_XMLRead", [](auto&, auto path, XMLNode* r) { return SAX_XMLRead(path, r, nullptr, nullptr); }},
    {"SAX_XMLMemWideCharRead",
     [](auto& doc, auto, XMLNode* r) { return SAX_XMLMemWideCharRead(to_wide(doc).data(), r, nullptr, nullptr); }},
    {"XMLReadFile", [](auto&, auto path, XMLNode* r) { return read_file(path, r, 0); }},
    {"XMLReadFile keeping all", [](auto&, auto path, XMLNode* r) { return read_file(path, r, ZEL_XML_KEEP_ALL); }},
    {"XMLRead", [](auto&, auto path, XMLNode* r) {
         ZEL_XML_RESULT result = 0;
         capture_stderr([&] { result = XMLRead(path, r, nullptr); });
         return result;
     }},
};

TEST_F(TextRuns, PairsAcrossTheParsersBufferStayWhole) {
    // With one unit before the pairs the buffer fills between the halves of a pair; with none
    // or two, between two pairs.
    for (const std::string lead : {"x", "", "xy"}) {
        std::string text = lead;
        for (int i = 0; i < 600000; ++i) text += "\xF0\x9F\x98\x80";  // U+1F600
        const std::string doc = "<r>" + text + "</r>";
        ScratchFile file(doc);
        for (const Reader& reader : kReaders) {
            Root root = make_root();
            ASSERT_EQ(reader.read(doc, file.path(), root.get()), ZEL_XML_OK) << reader.name;
            EXPECT_TRUE(first_text(root.get()) == text) << reader.name << " after \"" << lead << "\"";
        }
    }
}

// Events as the run gets them ("|" starts a piece) and the pieces it then holds.
struct RunCase {
    std::vector<std::u16string> events;
    std::vector<std::string> pieces;
    bool blank;
};

const RunCase kRunCases[] = {
    {{u"a\xD83D", u"\xDE00" u"b"}, {"a\xF0\x9F\x98\x80" "b"}, false},
    {{u"\xD83D", u"\xDE00", u"\xD83D", u"\xDE00"}, {"\xF0\x9F\x98\x80\xF0\x9F\x98\x80"}, false},
    {{u"a\xD83D"}, {"a\xEF\xBF\xBD"}, false},                           // no partner ever comes
    {{u"\xD83D", u"x"}, {"\xEF\xBF\xBDx"}, false},                      // something else comes
    {{u"\xD83D", u"\xD83D", u"\xDE00"}, {"\xEF\xBF\xBD\xF0\x9F\x98\x80"}, false},
    {{u"\xDE00", u" "}, {"\xEF\xBF\xBD "}, false},                      // a partner on its own
    {{u"|", u"a\xD83D", u"|", u"\xDE00"}, {"a\xEF\xBF\xBD", "\xEF\xBF\xBD"}, false},  // pieces stay apart
    {{u"|", u" ", u"", u"|", u"|", u"\t\n"}, {" ", "", "\t\n"}, true},
    {{u" \r\n", u"", u" "}, {" \r\n "}, true},
    {{u"", u""}, {""}, true},
};

TEST(TextRun, JoinsPairsAcrossEventsAndKeepsPiecesApart) {
    zel::parser::MemoryBudget memory(1 << 20);
    zel::build::TextRun run(memory);
    for (const RunCase& c : kRunCases) {
        std::string shown;
        for (const std::u16string& event : c.events) {
            shown += event == u"|" ? "|" : std::to_string(event.size()) + " units ";
            if (event == u"|")
                run.start_piece();
            else
                run.add(event.data(), event.size());
        }
        run.end_piece();
        std::vector<std::string> pieces;
        for (std::size_t i = 0; i < run.piece_count(); ++i)
            pieces.emplace_back(run.text() + run.piece_start(i), run.piece_end(i) - run.piece_start(i));
        if (run.piece_count() == 0) pieces.emplace_back(run.text(), run.size());
        EXPECT_EQ(pieces, c.pieces) << shown;
        EXPECT_EQ(run.blank(), c.blank) << shown;
        run.clear();
    }
}

TEST(TextRun, ChargesEveryByteAndGivesThemBackOnlyWhenAsked) {
    zel::parser::MemoryBudget memory(12);
    zel::build::TextRun run(memory);
    run.charge(2);
    run.add(u"0123456789", 10);
    EXPECT_THROW(run.add(u"x", 1), xercesc::OutOfMemoryException);
    run.clear(true);
    run.add(u"\xD83D", 1);  // waits: nothing charged yet
    run.add(u"\xDE00" u"12345678", 9);
    EXPECT_THROW(run.add(u"x", 1), xercesc::OutOfMemoryException);
    run.clear();
    EXPECT_THROW(run.add(u"x", 1), xercesc::OutOfMemoryException);
}

}  // namespace
