// The bare Xerces-C side of each benchmark pair: the same work the library does, with the
// same parser settings, and nothing of the library.
#pragma once

#include "zel_xml3.h"

#include <string>

namespace zelbench {

// XercesDOMParser on a file: never validate, no namespaces, no schema; document released.
void bare_dom_parse(const std::string& path);

// SAXParser with an empty HandlerBase on a memory buffer (not copied): validation auto, no
// namespaces, no schema.
void bare_sax_parse(const std::string& document);

// Builds a DOM equivalent to the tree from its UTF-8 strings and serialises it to `path`
// with the library's serialiser features.
void bare_write(const XMLNode* root, const std::string& path);

}  // namespace zelbench
