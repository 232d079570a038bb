// A tree-building reader of another library, for comparison. Kept in its own translation
// unit: that library's node type names are the same as ours.
#pragma once

#include <string>

namespace zelbench {

// Parses the buffer into that library's tree (network access off) and frees the tree.
void other_tree_parse(const std::string& document);
void other_init();
void other_cleanup();

// The same parse, keeping the tree for other_save. Blank text between elements is dropped,
// as our readers drop it, so that the serialiser indents the elements itself. Null when the
// parse fails.
void* other_tree_read(const std::string& document);
// Writes the tree to `path` in UTF-8, indented: xmlSaveFormatFileEnc(path, doc, "UTF-8", 1).
// False when it fails.
bool other_save(void* doc, const std::string& path);
void other_tree_free(void* doc);
// Evaluates an XPath expression over the tree from its document node; the number of nodes
// selected, or -1 when the evaluation fails.
long other_xpath(void* doc, const char* expression);

}  // namespace zelbench
