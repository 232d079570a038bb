// The four ways a case is read: the library's two readers and the bare parsers they are
// measured against, with the same parser settings.
#pragma once

#include <string>

namespace conformance {

enum class Reader { DomRead, SaxRead, BareDom, BareSax, Count };

const char* reader_name(Reader reader);

// The bare parser whose verdict `reader` must match (itself for a bare parser).
Reader reference_of(Reader reader);

enum class Verdict { Accepted, Rejected, NameTooLong };

// Reads `path` with `reader` in the calling process. XMLRead accepts on result 0 (5 means an
// error or a fatal error); SAX_XMLRead accepts on 0 (5 means a fatal error); the bare DOM
// parser accepts without errors or fatal errors, the bare SAX parser without fatal errors. An
// exception out of a bare parser is a rejection. NameTooLong: a library reader ended with its
// exception result on a document holding an element name of 32 UTF-8 bytes or more, which a
// record's name cannot hold (the readers refuse such documents by design).
Verdict read_case(Reader reader, const std::string& path);

}  // namespace conformance
