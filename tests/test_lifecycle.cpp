// Start-up and shut-down: nesting, and concurrent calls from several threads.
#include "io_helpers.hpp"
#include "zel_xml3.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <unistd.h>
#include <thread>
#include <vector>

#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLString.hpp>

namespace {

// True when the parser library is usable: its transcoding service exists only after start-up.
bool parser_library_started() { return xercesc::XMLPlatformUtils::fgTransService != nullptr; }

TEST(Lifecycle, InitAndTermNest) {
    XMLInit();
    XMLInit();
    EXPECT_TRUE(parser_library_started());
    XMLTerm();
    EXPECT_TRUE(parser_library_started()) << "one XMLInit is still outstanding";
    XMLTerm();
    EXPECT_FALSE(parser_library_started());
    // A full cycle again works.
    XMLInit();
    EXPECT_TRUE(parser_library_started());
    XMLTerm();
}

TEST(Lifecycle, ConcurrentInitAndTermFromManyThreads) {
    constexpr int kThreads = 8;
    constexpr int kRounds = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([] {
            for (int i = 0; i < kRounds; ++i) {
                XMLInit();
                XMLInit();
                XMLTerm();
                XMLTerm();
            }
        });
    for (auto& t : threads) t.join();
    EXPECT_FALSE(parser_library_started()) << "every XMLInit was balanced";

    // Two threads starting at the same moment: both start-ups complete, and one shut-down
    // each leaves the library stopped.
    std::thread a(XMLInit), b(XMLInit);
    a.join();
    b.join();
    EXPECT_TRUE(parser_library_started());
    char* text = xercesc::XMLString::replicate("usable");
    EXPECT_STREQ(text, "usable");
    xercesc::XMLString::release(&text);
    XMLTerm();
    XMLTerm();
    EXPECT_FALSE(parser_library_started());
}

TEST(Lifecycle, TreeFunctionsNeedNoStartUp) {
    ASSERT_FALSE(parser_library_started());
    XMLNode* root = XMLCreateRootNode();
    XMLCreateTextNode("x", XMLCreateElementNode("e", XMLCreateDocumentNode("d", root)));
    XMLNode* copy = XMLCopyNodeData(root);
    EXPECT_EQ(XMLGetChildrenCount(copy), 1);
    XMLFreeRootNode(copy);
    XMLFreeRootNode(root);
}

// Every read and write while the parser library is stopped, before the first XMLInit and
// after the last XMLTerm: 4 and one line naming the input or output, nothing written.
TEST(Lifecycle, ReadsAndWritesWhileStoppedReturn4) {
    ASSERT_FALSE(parser_library_started());
    ScratchFile doc("<d a=\"1\"><e>x</e></d>");
    const std::string path = doc.path();
    const std::string out = path + ".out";
    const uint16_t wide[] = {'<', 'd', '/', '>', 0};
    const std::string tail = " Exception message is: the parser library is not started; call XMLInit first\n";
    for (int cycle = 0; cycle < 2; ++cycle) {
        XMLNode* root = XMLCreateRootNode();
        XMLCreateDocumentNode("d", root);
        std::FILE* stream = std::tmpfile();
        ASSERT_NE(stream, nullptr);
        const std::pair<std::string, std::function<ZEL_XML_RESULT()>> calls[] = {
            {path, [&] { return XMLRead(path.c_str(), root, nullptr); }},
            {path, [&] { return SAX_XMLRead(path.c_str(), root, nullptr, nullptr); }},
            {"Memory Buffer", [&] { return SAX_XMLMemRead("<d/>", root, nullptr, nullptr); }},
            {"Memory Buffer", [&] { return SAX_XMLMemWideCharRead(wide, root, nullptr, nullptr); }},
            {out, [&] { return XMLWrite(out.c_str(), "UTF-8", root); }},
            {std::to_string(fileno(stream)), [&] { return XMLWriteFH(stream, "UTF-8", root); }},
        };
        for (const auto& [label, call] : calls) {
            ZEL_XML_RESULT result = -1;
            EXPECT_EQ(capture_stderr([&] { result = call(); }), "\nError during parsing: " + label + tail);
            EXPECT_EQ(result, ZEL_XML_EXCEPTION) << label;
        }
        EXPECT_EQ(std::ftell(stream), 0L);
        EXPECT_NE(access(out.c_str(), F_OK), 0) << "nothing written";
        EXPECT_EQ(XMLGetChildrenCount(root), 0);
        std::fclose(stream);
        XMLFreeRootNode(root);
        XMLInit();  // one full cycle, then the same again
        XMLTerm();
    }
}

TEST(Lifecycle, VersionsAreTheBuiltOnesAndNeedNoInit) {
    const std::string ours = std::to_string(ZEL_XML_VERSION_MAJOR) + "." + std::to_string(ZEL_XML_VERSION_MINOR) + "." +
                             std::to_string(ZEL_XML_VERSION_PATCH);
    EXPECT_EQ(std::string(XMLGetVersion()), ours);
    EXPECT_EQ(XMLGetVersion(), XMLGetVersion()) << "one static string";
    EXPECT_EQ(std::string(XMLGetParserVersion()).rfind("3.2.", 0), 0u) << XMLGetParserVersion();
}

}  // namespace
