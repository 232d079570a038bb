// Start-up and shut-down: nesting, and concurrent calls from several threads.
#include "zel_xml3.h"

#include <gtest/gtest.h>

#include <string>
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

TEST(Lifecycle, VersionsAreTheBuiltOnesAndNeedNoInit) {
    const std::string ours = std::to_string(ZEL_XML_VERSION_MAJOR) + "." + std::to_string(ZEL_XML_VERSION_MINOR) + "." +
                             std::to_string(ZEL_XML_VERSION_PATCH);
    EXPECT_EQ(std::string(XMLGetVersion()), ours);
    EXPECT_EQ(XMLGetVersion(), XMLGetVersion()) << "one static string";
    EXPECT_EQ(std::string(XMLGetParserVersion()).rfind("3.2.", 0), 0u) << XMLGetParserVersion();
}

}  // namespace
