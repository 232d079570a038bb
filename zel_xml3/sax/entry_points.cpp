// The event-driven readers: a file, a byte buffer or a UTF-16 buffer parsed by the SAX
// parser into the caller's root through a SAXTreeHandler.
#include "io/parser/input_file.hpp"
#include "io/parser/lifecycle.hpp"
#include "io/parser/messages.hpp"
#include "io/parser/safety.hpp"
#include "sax/tree_handler.hpp"
#include "text/utf.hpp"
#include "tree/tree.hpp"
#include "zel_xml3.h"

#include <cstdint>
#include <cstring>

#include <xercesc/util/XMLException.hpp>

using zel::sax::SAXTreeHandler;

namespace {

// The system identifier of both buffer readers, used in the parser's own messages.
constexpr XMLCh kBufferId[] = u"SAX_XMLMemRead";
constexpr const char* kBufferLabel = "Memory Buffer";

// Runs one read of `input`. `label` names the input in the message for an unexpected
// exception. A fatal parse error gives ZEL_XML_ERROR with the partial tree kept.
ZEL_XML_RESULT read_document(XMLNode* root, const XMLParseCallbacks* callbacks, int32_t* count,
                             std::uint64_t input_size, const char* label, const zel::parser::DocumentInput& input) {
    if (!zel::parser::library_started()) {
        zel::parser::print_not_started(label);
        return ZEL_XML_EXCEPTION;
    }
    try {
        zel::parser::ReadParser reader(input_size);
        zel::tree::prepare_document_root(root);
        SAXTreeHandler handler(root, reader.records());
        if (callbacks != nullptr) handler.take_callbacks(*callbacks, input_size);
        reader.parse(xercesc::SAXParser::Val_Auto, {handler, nullptr, &handler}, input);
        if (count != nullptr) *count = handler.node_count();
        return handler.saw_fatal_error() ? ZEL_XML_ERROR : ZEL_XML_OK;
    } catch (const xercesc::XMLException&) {
        return ZEL_XML_EXCEPTION;
    } catch (...) {
        zel::parser::print_unexpected(label);
        return ZEL_XML_UNEXPECTED;
    }
}

// UTF-16 in the machine's byte order, the form of a buffer of 16-bit code units.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
constexpr XMLCh kNativeUtf16[] = u"UTF-16BE";
#else
constexpr XMLCh kNativeUtf16[] = u"UTF-16LE";
#endif

// Parses `size` bytes in place. `encoding` null lets the parser recognise the encoding from
// the first bytes.
ZEL_XML_RESULT read_buffer(const void* bytes, std::size_t size, const XMLCh* encoding, XMLNode* root,
                           const XMLParseCallbacks* callbacks, int32_t* count) {
    return read_document(root, callbacks, count, size, kBufferLabel,
                         zel::parser::DocumentInput::memory(bytes, size, kBufferId, encoding));
}

}  // namespace

extern "C" {

ZEL_XML_API ZEL_XML_RESULT SAX_XMLRead(const char* path, XMLNode* root, const XMLParseCallbacks* callbacks,
                                       int32_t* count) {
    if (path == nullptr) return ZEL_XML_NO_FILE;
    if (root == nullptr) return ZEL_XML_EXCEPTION;
    // The parser would fetch a URL over the network: it counts as a file that cannot be opened.
    if (zel::parser::is_remote(path)) return ZEL_XML_NO_FILE;
    zel::parser::InputFile file = zel::parser::probe_input_file(path);
    if (!file.opened || file.size == 0) return ZEL_XML_NO_FILE;
    return read_document(root, callbacks, count, file.size, path, zel::parser::DocumentInput::file(path));
}

ZEL_XML_API ZEL_XML_RESULT SAX_XMLMemRead(const char* buffer, XMLNode* root, const XMLParseCallbacks* callbacks,
                                          int32_t* count) {
    if (buffer == nullptr || root == nullptr) return ZEL_XML_EXCEPTION;
    return read_buffer(buffer, std::strlen(buffer), nullptr, root, callbacks, count);
}

ZEL_XML_API ZEL_XML_RESULT SAX_XMLMemWideCharRead(const uint16_t* buffer, XMLNode* root,
                                                  const XMLParseCallbacks* callbacks, int32_t* count) {
    if (buffer == nullptr || root == nullptr) return ZEL_XML_EXCEPTION;
    // Code units are UTF-16 whatever the document's declaration says: without a declaration
    // or a byte-order mark the parser would otherwise take the bytes for UTF-8.
    return read_buffer(buffer, 2 * zel::text::utf16_length(buffer), kNativeUtf16, root, callbacks, count);
}

}  // extern "C"
