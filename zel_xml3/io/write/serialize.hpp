// Serialising a built document to a file or to a caller's stream.
#pragma once

#include <cstdio>

#include <xercesc/dom/DOMDocument.hpp>

namespace zel::write {

// Where a document goes: a file named by `path`, or `stream` when it is not null.
struct Destination {
    const char* path;
    std::FILE* stream;

    bool present() const { return stream != nullptr || (path != nullptr && path[0] != '\0'); }
};

// Writes `document` to `destination` (present) in `encoding` (null: UTF-8). Pretty-printed by
// the serialiser, or, for a document with mixed content, as laid out already with the same
// declaration line and final line break. True when the whole document reached the output.
// A parser-library exception (output cannot be opened or written, unknown encoding) is
// printed here and gives false; an unknown encoding is found before the output is opened.
// Other exceptions reach the caller.
bool serialize(const xercesc::DOMDocument* document, const Destination& destination, const char16_t* encoding,
               bool mixed);

}  // namespace zel::write
