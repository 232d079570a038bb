// Depth: a chain of a million nested records is built, copied, searched and freed.
#include "tree_helpers.hpp"

#include <gtest/gtest.h>

namespace {

constexpr int kDepth = 1000000;

TEST(Depth, MillionLevelChainWithoutRecursion) {
    Root root = make_root("top");
    XMLNode* at = root.get();
    for (int i = 0; i < kDepth; ++i) at = XMLCreateElementNode("n", at);
    XMLCreateTextNode("bottom", at);
    XMLCreateElementNode("needle", at);

    uint8_t found = 0;
    XMLNode* needle = XMLGetNodeData(root.get(), "needle", &found);
    ASSERT_EQ(found, 1);
    EXPECT_EQ(needle->parent, at);

    Root copy(XMLCopyNodeData(root.get()));
    ASSERT_NE(copy, nullptr);
    XMLNode* copied_needle = XMLGetNodeData(copy.get(), "needle", &found);
    ASSERT_EQ(found, 1);
    EXPECT_NE(copied_needle, needle);
    // Climb back to the top of the copy through the parent links.
    int levels = 0;
    const XMLNode* up = copied_needle;
    while (up->parent != nullptr) up = up->parent, ++levels;
    EXPECT_EQ(up, copy.get());
    EXPECT_EQ(levels, kDepth + 1);

    // Removing the chain just below the top empties it without recursion too.
    Root chain(XMLGetChildAt(root.get(), 0));
    XML_RemoveNthChildData(root.get(), 0);
    EXPECT_EQ(XMLGetChildrenCount(chain.get()), 0);
    copy.reset();  // a million-level free
}

}  // namespace
