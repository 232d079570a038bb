// Helpers for the event-driven reader tests: a recorder for the progress and error
// callbacks, and short ways to read a document from a string.
#pragma once

#include "text/utf.hpp"
#include "io_helpers.hpp"
#include "tree_helpers.hpp"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// Everything the callbacks received, in arrival order.
struct Recorder {
    struct Progress {
        double percent;
        int32_t nodeCount;
    };
    struct Diagnostic {
        int32_t line;
        int32_t column;
        bool hasPublicId;
        std::string publicId;
        int32_t severity;
        std::string message;  // XMLGetDiagnosticMessage() during the call
    };
    std::vector<Progress> progress;
    std::vector<Diagnostic> diagnostics;

    // Callbacks that record into this recorder, which they get back as userData (a wrong
    // userData would not find the recorder); filterMode 1 reports only `filterName` ends.
    XMLParseCallbacks callbacks(int32_t filterMode = 0, const char* filterName = "") {
        XMLParseCallbacks cb{};
        cb.filterMode = filterMode;
        std::strncpy(cb.filterName, filterName, sizeof cb.filterName);
        cb.progressCallback = &on_progress;
        cb.errorCallback = &on_error;
        cb.userData = this;
        return cb;
    }
    std::vector<int32_t> severities() const {
        std::vector<int32_t> out;
        for (const Diagnostic& d : diagnostics) out.push_back(d.severity);
        return out;
    }

    static void on_progress(double percent, int32_t nodeCount, void* userData) {
        auto* self = static_cast<Recorder*>(userData);
        self->progress.push_back({percent, nodeCount});
    }
    static void on_error(int32_t line, int32_t column, const char* publicId, int32_t severity, void* userData) {
        auto* self = static_cast<Recorder*>(userData);
        const char* message = XMLGetDiagnosticMessage();
        self->diagnostics.push_back(
            {line, column, publicId != nullptr, publicId ? publicId : "", severity, message ? message : "(null)"});
    }
};

// The UTF-16 form of a UTF-8 document, as the wide reader takes it, zero-terminated.
inline std::vector<uint16_t> to_wide(const std::string& utf8) {
    zel::text::Utf16Buffer buffer;
    const char16_t* units = buffer.convert(utf8.data(), utf8.size());
    return std::vector<uint16_t>(units, units + buffer.size() + 1);
}

// Reads `doc` from memory into a fresh root, expecting `result`.
inline Root read_memory(const std::string& doc, const XMLParseCallbacks* callbacks = nullptr,
                        int32_t* count = nullptr, ZEL_XML_RESULT result = ZEL_XML_OK) {
    Root root(XMLCreateRootNode());
    EXPECT_EQ(SAX_XMLMemRead(doc.c_str(), root.get(), callbacks, count), result) << doc;
    return root;
}

// The path of a test document in tests/data/sax.
inline std::string sax_data(const char* name) { return std::string(ZEL_TEST_DATA_DIR) + "/sax/" + name; }
