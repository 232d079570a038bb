// One walk over the records that writes the document: declaration, elements, attributes in
// name order, text, and the layout.
#pragma once

#include "io/write/encoder.hpp"
#include "io/write/tree_check.hpp"

#include "zel_xml3.h"

namespace zel::write {

// Thrown when a value about to be written holds a character XML does not allow; nothing of
// that value has been written.
struct CharacterNotAllowed {};

// Writes the document for `root`, which check_tree found writable, through `encoder`: the
// byte-order mark when `marked`, the declaration naming `encoding_name` (UTF-8), then the
// elements. A document without mixed content is pretty-printed: each element on a line of
// its own, two spaces a level, text-only elements on one line; blank text follows the
// serialiser's rules (the indentation after a blank text that ends a line is shortened by
// half the spaces that follow its last line break). A document with mixed content is laid
// out only where the elements and their ancestors hold nothing but elements; text and
// everything inside mixed content is written as it is. Attributes are written in the order
// of their names as UTF-16 units, one for each name (the last value given). Never recurses.
// Throws CharacterNotAllowed, NameNotRepresentable, or what the encoder's sink throws.
void write_document(const XMLNode* root, const TreeCheck& check, bool marked, const char* encoding_name,
                    Encoder& encoder);

}  // namespace zel::write
