// The reference writer: XMLWrite and XMLWriteFH as they were over the parser library's
// document object model (records to a DOM document, the serialiser's pretty print or the
// library's own layout for mixed content), and a comparison of the library's writer with it.
// Shared by the tests and the fuzz targets; links the library's objects.
#pragma once

#include "zel_xml3.h"

#include <string>

namespace oracle {

// XMLWrite's and XMLWriteFH's reference: same arguments, results, messages, output bytes and
// depth limit. The serialiser recurses once per element level.
ZEL_XML_RESULT dom_write(const char* fileName, const char* encoding, const XMLNode* root);
ZEL_XML_RESULT dom_write_fh(void* fileHandle, const char* encoding, const XMLNode* root);

// "" when the library's writer and the reference agree on `root` (not null) in `encoding`,
// else a short description of the first difference. Both write, in turn, to the same new
// file, to the same existing file (which a failed write must leave as it was), through the
// same stream after a few bytes of the caller's, and to a NULL and an empty file name and a
// NULL handle; each run compares the result, everything printed on the standard error
// stream, and the bytes that reached the output (and, for the stream, its position and
// error flag; for the files, what else is left in their folder). `*result`, when given,
// receives the library's result for the new file.
std::string write_differences(const XMLNode* root, const char* encoding, ZEL_XML_RESULT* result = nullptr);

// The stream part of write_differences alone, the quickest: for the fuzz target.
std::string stream_differences(const XMLNode* root, const char* encoding);

// The same comparison for XMLWrite to `path` as given (a folder, a file that cannot be
// written, ...): result, messages, and the file's bytes afterwards when it is a regular file.
// When `old` is not null, `path` is filled with it before each writer runs. A file that was
// not there before is removed after each run.
std::string write_differences_at(const char* path, const XMLNode* root, const char* encoding,
                                 const char* old = nullptr);

}  // namespace oracle
