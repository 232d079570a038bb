// What a reader needs to know about a named input file before it parses it.
#pragma once

#include <cstdint>

namespace zel::parser {

struct InputFile {
    bool opened;         // a regular file (or block device) that opened for reading
    std::uint64_t size;  // its size in bytes; 0 when it did not open
};

// Looks at `path` without reading it. Only regular files and block devices are opened, to
// see that they may be read and to measure them: a directory cannot be read as a document,
// and opening a pipe would wait for its writer.
InputFile probe_input_file(const char* path);

}  // namespace zel::parser
