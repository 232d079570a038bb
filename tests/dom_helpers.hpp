// Helpers for the document reading and writing tests.
#pragma once

#include "io_helpers.hpp"
#include "tree_helpers.hpp"

#include <string>

#ifndef ZEL_TEST_DATA_DIR
#error "ZEL_TEST_DATA_DIR must name the test data folder"
#endif

inline std::string dom_data(const std::string& name) { return std::string(ZEL_TEST_DATA_DIR) + "/dom/" + name; }

// Creates an element under `parent` whose own value is `text`, through the public API.
inline XMLNode* element_with_value(XMLNode* parent, const char* name, const char* text) {
    return XMLAddKeyNameValue(parent, name, text);
}

// What one XMLRead gave: the tree, the result, the element count (-1 when not written) and
// everything printed to the standard error stream.
struct ReadOutcome {
    Root root;
    ZEL_XML_RESULT result;
    int32_t count;
    std::string messages;
};

inline ReadOutcome read_document(const std::string& path) {
    ReadOutcome out{make_root(), 0, -1, ""};
    out.messages = capture_stderr([&] { out.result = XMLRead(path.c_str(), out.root.get(), &out.count); });
    return out;
}

// What one XMLWrite gave: the result and the messages.
struct WriteOutcome {
    ZEL_XML_RESULT result;
    std::string messages;
};

inline WriteOutcome write_document(const char* path, const char* encoding, const XMLNode* root) {
    WriteOutcome out{0, ""};
    out.messages = capture_stderr([&] { out.result = XMLWrite(path, encoding, root); });
    return out;
}

// Writes `root` to a scratch file in `encoding` and returns the bytes written.
inline std::string written_bytes(const XMLNode* root, const char* encoding = "UTF-8") {
    ScratchFile file;
    WriteOutcome out = write_document(file.path(), encoding, root);
    EXPECT_EQ(out.result, ZEL_XML_OK) << out.messages;
    return file.read();
}
