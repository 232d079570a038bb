// The SAX tree handler driven by a parser directly, for what the public readers cannot set
// up: a read with a progress function but an input size of 0.
#include "sax/tree_handler.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/parsers/SAXParser.hpp>
#include <xercesc/util/PlatformUtils.hpp>

namespace {

void record_percent(double percent, int32_t, void* user) {
    static_cast<std::vector<double>*>(user)->push_back(percent);
}

// Parses `doc` into `root` with a handler that got `input_size` as the size of the input.
std::vector<double> progress_of(const char* doc, std::uint64_t input_size, XMLNode* root) {
    std::vector<double> percents;
    XMLParseCallbacks cb{};
    cb.progressCallback = &record_percent;
    cb.userData = &percents;
    zel::parser::MemoryBudget memory(std::uint64_t{1} << 30);
    zel::sax::SAXTreeHandler handler(root, memory);
    handler.take_callbacks(cb, input_size);
    xercesc::SAXParser parser;
    parser.setDocumentHandler(&handler);
    parser.setErrorHandler(&handler);
    xercesc::MemBufInputSource source(reinterpret_cast<const XMLByte*>(doc), std::strlen(doc), "test");
    parser.parse(source);
    EXPECT_EQ(handler.node_count(), 3);
    return percents;
}

TEST(SaxHandler, InputSizeZeroGivesOnlyTheFinalReport) {
    xercesc::XMLPlatformUtils::Initialize();
    {
        XMLNode* root = XMLCreateRootNode();
        EXPECT_EQ(progress_of("<a><b/>t</a>", 0, root), std::vector<double>{100.0});
        // The same document measured against 40 bytes reports both element ends.
        EXPECT_EQ(progress_of("<a><b/>t</a>", 40, root), (std::vector<double>{30.0, 32.5, 100.0}));
        XMLFreeRootNode(root);
    }
    xercesc::XMLPlatformUtils::Terminate();
}

}  // namespace
