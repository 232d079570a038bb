// XMLWrite and XMLWriteFH: the records become a DOM document, which the serialiser writes.
#include "zel_xml3.h"

#include "io/parser/messages.hpp"
#include "io/write/serialize.hpp"
#include "io/write/build.hpp"
#include "text/utf.hpp"

#include <cstdio>

namespace {

// How a write names its output in messages: the file name, or the stream's descriptor.
template <typename Label>
ZEL_XML_RESULT write_document(const XMLNode* root, const char* encoding, const zel::write::Destination& destination,
                              Label label) {
    try {
        zel::text::Utf16Buffer encoding16;
        const char16_t* encoding_name = encoding != nullptr ? encoding16.convert(encoding) : nullptr;
        zel::write::BuiltDocument built = zel::write::build_document(root);
        if (!destination.present()) return ZEL_XML_OK;
        if (built.mixed) zel::write::lay_out_element_only_parts(built.document->getDocumentElement());
        bool whole = zel::write::serialize(built.document.get(), destination, encoding_name, built.mixed);
        return whole ? ZEL_XML_OK : ZEL_XML_EXCEPTION;
    } catch (const xercesc::XMLException& exc) {
        zel::parser::print_xml_exception(label, exc);
    } catch (...) {
        zel::parser::print_unexpected(label);
    }
    return ZEL_XML_EXCEPTION;
}

}  // namespace

extern "C" {

ZEL_XML_API ZEL_XML_RESULT XMLWrite(const char* fileName, const char* encoding, const XMLNode* root) {
    if (root == nullptr) return ZEL_XML_EXCEPTION;
    const char* label = fileName != nullptr ? fileName : "(null)";
    return write_document(root, encoding, zel::write::Destination{fileName, nullptr}, label);
}

ZEL_XML_API ZEL_XML_RESULT XMLWriteFH(void* fileHandle, const char* encoding, const XMLNode* root) {
    if (root == nullptr) return ZEL_XML_EXCEPTION;
    auto* stream = static_cast<std::FILE*>(fileHandle);
    int fd = stream != nullptr ? fileno(stream) : -1;
    return write_document(root, encoding, zel::write::Destination{nullptr, stream}, fd);
}

}  // extern "C"
