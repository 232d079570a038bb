// XMLWrite and XMLWriteFH: the records become a DOM document, which the serialiser writes.
#include "zel_xml3.h"

#include "io/parser/messages.hpp"
#include "io/parser/safety.hpp"
#include "io/write/serialize.hpp"
#include "io/write/build.hpp"
#include "text/utf.hpp"

#include <cstdio>

namespace {

ZEL_XML_RESULT write_document(const XMLNode* root, const char* encoding, const zel::write::Output& output) {
    // Outlives the document, the serialiser and the exceptions they throw, all of which
    // allocate from it; it frees whatever they leave behind.
    zel::parser::CappedMemory memory(zel::parser::CappedMemory::kNoCap);
    try {
        zel::text::Utf16Buffer encoding16;
        const char16_t* encoding_name = encoding != nullptr ? encoding16.convert(encoding) : nullptr;
        zel::write::BuiltDocument built = zel::write::build_document(root, &memory);
        if (!output.present()) return ZEL_XML_OK;
        return zel::write::serialize(built, output, encoding_name) ? ZEL_XML_OK : ZEL_XML_EXCEPTION;
    } catch (const xercesc::XMLException& exc) {
        zel::parser::print_xml_exception(output.label.c_str(), exc);
    } catch (...) {
        zel::parser::print_unexpected(output.label.c_str());
    }
    return ZEL_XML_EXCEPTION;
}

}  // namespace

extern "C" {

ZEL_XML_API ZEL_XML_RESULT XMLWrite(const char* fileName, const char* encoding, const XMLNode* root) {
    if (root == nullptr) return ZEL_XML_EXCEPTION;
    try {
        return write_document(root, encoding, zel::write::Output::file(fileName));
    } catch (...) {
        return ZEL_XML_EXCEPTION;  // no memory for the output's label
    }
}

ZEL_XML_API ZEL_XML_RESULT XMLWriteFH(void* fileHandle, const char* encoding, const XMLNode* root) {
    if (root == nullptr) return ZEL_XML_EXCEPTION;
    try {
        return write_document(root, encoding, zel::write::Output::to_stream(static_cast<std::FILE*>(fileHandle)));
    } catch (...) {
        return ZEL_XML_EXCEPTION;  // no memory for the output's label
    }
}

}  // extern "C"
