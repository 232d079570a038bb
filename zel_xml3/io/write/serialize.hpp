// Serialising a built document to a file or to a caller's stream.
#pragma once

#include "io/write/build.hpp"

#include <cstdio>
#include <string>

namespace zel::write {

// Where a document goes: the file `path`, or `stream` when it is not null; `label` names it
// in messages (the file name, or the stream's descriptor).
struct Output {
    const char* path;
    std::FILE* stream;
    std::string label;

    static Output file(const char* path) { return Output{path, nullptr, path != nullptr ? path : "(null)"}; }
    static Output to_stream(std::FILE* stream) {
        return Output{nullptr, stream, std::to_string(stream != nullptr ? fileno(stream) : -1)};
    }
    bool present() const { return stream != nullptr || (path != nullptr && path[0] != '\0'); }
};

// Writes `built` to `output` (present) in `encoding` (null: UTF-8). A document without mixed
// content is pretty-printed by the serialiser; one with mixed content gets the library's own
// layout for its element-only parts, with the same byte-order mark, declaration line and
// final line break.
// True when the whole document reached the output. A parser-library exception (output
// cannot be opened or written, unknown encoding) is printed here and gives false; an unknown
// encoding is found before the output is opened. Other exceptions reach the caller.
bool serialize(BuiltDocument& built, const Output& output, const char16_t* encoding);

}  // namespace zel::write
