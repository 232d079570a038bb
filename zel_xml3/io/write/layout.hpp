// The library's own layout for documents with mixed content, where the serialiser's pretty
// print is off because it would put line breaks into the text.
#pragma once

#include <xercesc/dom/DOMElement.hpp>

namespace zel::write {

// Lays out the element-only parts of a document that holds mixed content the way the
// serialiser's pretty print would: a line break and two spaces per level before each child
// and before the end tag. Mixed content, and everything inside it, is left as it is.
void lay_out_element_only_parts(xercesc::DOMElement* documentElement);

}  // namespace zel::write
