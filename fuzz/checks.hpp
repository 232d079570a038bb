// What each reader fuzz target does with one input. Shared by the fuzz targets and by the
// regression test that replays the inputs they once failed on.
#pragma once

#include "dom_read.hpp"
#include "fuzz_common.hpp"

namespace zelfuzz {

namespace detail {
inline void on_progress(double, int32_t, void*) {}
inline void on_error(int32_t, int32_t, const char*, int32_t, void*) {}
}  // namespace detail

// The event-driven reader on a byte buffer, with callbacks installed.
inline void run_sax_bytes(const uint8_t* data, size_t size) {
    start_once();
    std::string text(reinterpret_cast<const char*>(data), size);  // adds the terminator
    XMLParseCallbacks callbacks{};
    callbacks.filterMode = size > 0 && (data[0] & 1);
    std::memcpy(callbacks.filterName, "item", 5);
    callbacks.progressCallback = detail::on_progress;
    callbacks.errorCallback = detail::on_error;
    XMLNode* root = XMLCreateRootNode();
    int32_t count = -1;
    SAX_XMLMemRead(text.c_str(), root, &callbacks, &count);
    check_tree(root);
    XMLFreeRootNode(root);
}

// The event-driven reader on a buffer of 16-bit code units.
inline void run_sax_wide(const uint8_t* data, size_t size) {
    start_once();
    std::vector<uint16_t> units(size / 2 + 1, 0);
    std::memcpy(units.data(), data, size / 2 * 2);
    XMLNode* root = XMLCreateRootNode();
    SAX_XMLMemWideCharRead(units.data(), root, nullptr, nullptr);
    check_tree(root);
    XMLFreeRootNode(root);
}

// The document reader on a memory-backed file, then compared with the reference reader over
// the parser's document object model (result, count, messages and records).
inline void run_dom_read(const uint8_t* data, size_t size) {
    start_once();
    static MemFile file;
    file.write(data, size);
    XMLNode* root = XMLCreateRootNode();
    int32_t count = -1;
    XMLRead(file.path(), root, &count);
    check_tree(root);
    XMLFreeRootNode(root);
    std::string difference = oracle::differences(file.path(), size > 0 && (data[0] & 1));
    if (!difference.empty()) std::fprintf(stderr, "%s\n", difference.c_str());
    require(difference.empty(), "XMLRead agrees with the reference reader");
}

// Read, write, read again: a document the reader accepted must come back record for record,
// and writing it again must give the same bytes. Adjacent text records (CDATA beside text,
// say) are one text in the written document, so they compare as their concatenation.
inline void run_roundtrip(const uint8_t* data, size_t size) {
    start_once();
    static MemFile input, first, second;
    input.write(data, size);
    XMLNode* original = XMLCreateRootNode();
    if (XMLRead(input.path(), original, nullptr) == ZEL_XML_OK && original->name[0] != '\0' &&
        first.write_tree(original) == ZEL_XML_OK) {
        XMLNode* again = XMLCreateRootNode();
        bool read_back = XMLRead(first.path(), again, nullptr) == ZEL_XML_OK;
        bool same = read_back && same_tree(original, again, true);
        bool rewritten = same && second.write_tree(again) == ZEL_XML_OK;
        bool same_bytes = rewritten && first.contents() == second.contents();
        XMLFreeRootNode(again);
        XMLFreeRootNode(original);
        require(read_back, "written document reads back");
        require(same, "same records after writing");
        require(rewritten, "second write");
        require(same_bytes, "same bytes on writing again");
        return;
    }
    XMLFreeRootNode(original);
}

}  // namespace zelfuzz
