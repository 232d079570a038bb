// A tree-building reader of another library, for comparison. Kept in its own translation
// unit: that library's node type names are the same as ours.
#pragma once

#include <string>

namespace zelbench {

// Parses the buffer into that library's tree (network access off) and frees the tree.
void other_tree_parse(const std::string& document);
void other_init();
void other_cleanup();

}  // namespace zelbench
