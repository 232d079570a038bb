// What each reader fuzz target does with one input. Shared by the fuzz targets and by the
// regression test that replays the inputs they once failed on.
#pragma once

#include "dom_read.hpp"
#include "fuzz_common.hpp"

#include <cctype>

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

namespace detail {
inline size_t append(const void* bytes, size_t length, void* user) {
    static_cast<std::string*>(user)->append(static_cast<const char*>(bytes), length);
    return length;
}
}  // namespace detail

// True when all of `data` is UTF-8 (the parser stops reading at some malformed bytes after
// the document element without a word, so such inputs cannot come back whole).
inline bool well_formed_utf8(const uint8_t* data, size_t size) {
    for (size_t i = 0; i < size;) {
        uint8_t lead = data[i];
        size_t len = lead < 0x80 ? 1 : lead >= 0xC2 && lead < 0xE0 ? 2 : lead >= 0xE0 && lead < 0xF0 ? 3
                                     : lead >= 0xF0 && lead < 0xF5 ? 4 : 0;
        if (len == 0 || i + len > size) return false;
        for (size_t k = 1; k < len; ++k)
            if ((data[i + k] & 0xC0) != 0x80) return false;
        i += len;
    }
    return true;
}

// True when the declaration names no encoding or UTF-8 (others, such as UTF-7, have more
// than one way to write the same text).
inline bool declares_utf8(const uint8_t* data, size_t size) {
    std::string head(reinterpret_cast<const char*>(data), size < 200 ? size : 200);
    size_t end = head.find("?>");
    size_t at = head.find("encoding");
    if (head.compare(0, 5, "<?xml") != 0 && head.compare(3, 5, "<?xml") != 0) return true;
    if (at == std::string::npos || at > end) return true;
    size_t quote = head.find_first_of("\"'", at);
    if (quote == std::string::npos) return true;
    std::string name = head.substr(quote + 1, 5);
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return name == "UTF-8";
}

// A document read whole comes back byte for byte when nothing changed (when its source could
// be kept: a UTF-8 or UTF-16 document), and the records read back the same when written in
// default forms (another encoding) or re-indented.
inline void run_keep_all(const uint8_t* data, size_t size) {
    start_once();
    XMLParseCallbacks callbacks{};
    callbacks.progressCallback = detail::on_progress;
    callbacks.errorCallback = detail::on_error;
    XMLReadOptions keep{ZEL_XML_KEEP_ALL, &callbacks};
    XMLNode* root = XMLCreateRootNode();
    if (size == 0 || XMLReadBuffer(data, size, root, &keep, nullptr) != ZEL_XML_OK) {
        check_tree(root);
        XMLFreeRootNode(root);
        return;
    }
    check_tree(root);
    std::string same, other, indented;
    bool written = XMLWriteToSink(detail::append, &same, root, nullptr) == ZEL_XML_OK;
    // UTF-8 input: its source is kept. (The parser takes a NUL byte after the document element
    // for the end of the input, so the rest is not in the tree: such inputs are left out.)
    const bool utf8 = (data[0] == '<' || data[0] == 0xEF) && std::memchr(data, 0, size) == nullptr &&
                      well_formed_utf8(data, size) && declares_utf8(data, size);
    require(!utf8 || (written && same == std::string(reinterpret_cast<const char*>(data), size)),
            "a document read whole and written unchanged is the same bytes");
    XMLWriteOptions utf16{0, "UTF-16"};
    XMLWriteOptions indent{ZEL_XML_WRITE_INDENT, nullptr};
    if (XMLWriteToSink(detail::append, &other, root, &utf16) == ZEL_XML_OK) {
        XMLNode* again = XMLCreateRootNode();
        require(XMLReadBuffer(other.data(), other.size(), again, &keep, nullptr) == ZEL_XML_OK,
                "a document written in default forms reads back");
        XMLFreeRootNode(again);
    }
    XMLWriteToSink(detail::append, &indented, root, &indent);
    XMLFreeRootNode(root);
}

// An XPath expression (the input's first line) over a document (the rest, or a fixed one):
// evaluation never fails but with 4 and an offset inside the expression, every node it
// gives has a string value, and boolean(EXPR) agrees with the result converted.
inline void run_path(const uint8_t* data, size_t size) {
    start_once();
    static const char kDocument[] =
        "<?xml version='1.0'?><!DOCTYPE r [<!ENTITY e 'x<b>y</b>'>]><!--c--><r xmlns:p='urn:p' a='1'>"
        "t<a id='1' xml:lang='en'>one<![CDATA[two]]>&e;</a><p:a p:b='2'><?pi d?><a/></p:a><n>3</n><n>-4.5</n></r>";
    const uint8_t* end = static_cast<const uint8_t*>(std::memchr(data, '\n', size));
    const std::string expression(reinterpret_cast<const char*>(data), end != nullptr ? end - data : size);
    if (expression.find('\0') != std::string::npos) return;
    XMLReadOptions keep{ZEL_XML_KEEP_ALL, nullptr};
    XMLNode* root = XMLCreateRootNode();
    const size_t rest = end != nullptr ? size - static_cast<size_t>(end - data) - 1 : 0;
    if (rest == 0 || XMLReadBuffer(end + 1, rest, root, &keep, nullptr) != ZEL_XML_OK) {
        XMLFreeRootNode(root);
        root = XMLCreateRootNode();
        require(XMLReadBuffer(kDocument, sizeof kDocument - 1, root, &keep, nullptr) == ZEL_XML_OK,
                "the fixed document reads");
    }
    const char* const namespaces[] = {"p", "urn:p", "q", "urn:q", nullptr};
    XMLPathVariable variables[] = {{"s", ZEL_XML_PATH_STRING, 0, 0, "3", nullptr, 0},
                                   {"n", ZEL_XML_PATH_NUMBER, 0, 2, nullptr, nullptr, 0}};
    XMLPathOptions options{namespaces, variables, 2};
    const XMLNode* contexts[] = {root, XMLGetChildAt(root, root->children.count - 1)};
    for (const XMLNode* context : contexts) {
        if (context == nullptr) continue;
        XMLPathResult result;
        if (XMLEvaluatePath(context, expression.c_str(), &options, &result) != ZEL_XML_OK) {
            require(result.errorOffset >= -1 && result.errorOffset <= static_cast<int32_t>(expression.size()),
                    "an error offset lies inside the expression");
            require(XMLGetLastError()[0] != '\0', "a failed evaluation says why");
            XMLFreePathResult(&result);
            continue;
        }
        bool truth = result.count > 0;
        if (result.type == ZEL_XML_PATH_NODE_SET) {
            for (size_t i = 0; i < result.count; ++i) {
                char small[4];
                size_t length = XMLGetPathNodeText(&result.nodes[i], small, sizeof small);
                require(length == XMLGetPathNodeText(&result.nodes[i], nullptr, 0), "a string value has one length");
            }
        } else {
            require(result.string != nullptr, "a boolean, number or string result has its string");
            truth = result.boolean != 0;
        }
        XMLFreePathResult(&result);
        const std::string wrapped = "boolean(" + expression + ")";
        if (XMLEvaluatePath(context, wrapped.c_str(), &options, &result) == ZEL_XML_OK)
            require(result.type == ZEL_XML_PATH_BOOLEAN && (result.boolean != 0) == truth,
                    "boolean(EXPR) agrees with EXPR's result converted");
        else
            require(std::strstr(XMLGetLastError(), "nested too deeply") != nullptr,
                    "an expression that evaluates also evaluates inside boolean()");
        XMLFreePathResult(&result);
    }
    XMLFreeRootNode(root);
}

}  // namespace zelfuzz
