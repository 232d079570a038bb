// XMLWriteFile and XMLWriteToSink: the records written in their order, silently; a tree read
// whole gives back what the host did not change as it was read.
#include "zel_xml3.h"

#include "io/parser/last_error.hpp"
#include "io/parser/safety.hpp"
#include "io/source/source_text.hpp"
#include "io/write/encoder.hpp"
#include "io/write/file_target.hpp"
#include "io/write/record_writer.hpp"
#include "text/utf.hpp"

#include <cstring>
#include <new>
#include <optional>
#include <string>

#include <xercesc/util/XMLException.hpp>
#include <xercesc/util/XMLString.hpp>

namespace {

using zel::parser::set_last_error;

// The host's sink as an output target: a short count ends the write.
class SinkTarget : public xercesc::XMLFormatTarget {
public:
    struct Refused {};

    SinkTarget(XMLWriteSink sink, void* user_data) : sink_(sink), user_data_(user_data) {}
    void writeChars(const XMLByte* bytes, XMLSize_t count, xercesc::XMLFormatter*) override {
        if (count > 0 && sink_(bytes, count, user_data_) != count) throw Refused{};
    }

private:
    XMLWriteSink sink_;
    void* user_data_;
};

bool same_encoding(const char* a, const char* b) {
    zel::text::Utf16Buffer a16, b16;
    return xercesc::XMLString::compareIStringASCII(a16.convert(a), b16.convert(b)) == 0;
}

// The encoding a document record's declaration names, or UTF-8.
const char* declared_encoding(const XMLNode* root) {
    if (root->type == XML_DOCUMENT_NODE)
        for (int32_t i = 0; i < root->attributes.count; ++i) {
            const XMLAttr& attr = root->attributes.items[i];
            if (attr.name != nullptr && attr.value != nullptr && std::strcmp(attr.name, "encoding") == 0)
                return attr.value;
        }
    return "UTF-8";
}

// How `root` is laid out: from its source when it has one and the encoding is the source's.
zel::write::RecordLayout layout_for(const XMLNode* root, const XMLWriteOptions* options) {
    zel::write::RecordLayout layout;
    const char* wanted = options != nullptr ? options->encoding : nullptr;
    layout.indent = options != nullptr && (options->flags & ZEL_XML_WRITE_INDENT) != 0;
    const zel::source::SourceText* source = zel::source::source_of(root);
    if (source != nullptr && (wanted == nullptr || same_encoding(wanted, source->encoding.c_str()))) {
        layout.source = source;
        layout.encoding = source->encoding;
        layout.leading_bytes = source->byte_order_mark;  // as they were, whatever the declaration says
        layout.crlf = source->crlf;
        return layout;
    }
    layout.encoding = wanted != nullptr ? wanted : declared_encoding(root);
    zel::text::Utf16Buffer name;
    layout.byte_order_mark = zel::write::takes_byte_order_mark(name.convert(layout.encoding.c_str()));
    return layout;
}

// Writes into `target`; the caller finishes or abandons it.
ZEL_XML_RESULT write_into(xercesc::XMLFormatTarget& target, const XMLNode* root, const XMLWriteOptions* options) {
    zel::parser::CappedMemory memory(zel::parser::CappedMemory::kNoCap);
    try {
        zel::write::RecordLayout layout = layout_for(root, options);
        zel::text::Utf16Buffer encoding;
        zel::write::BlockSink sink;
        auto encoder = zel::write::make_encoder(encoding.convert(layout.encoding.c_str()), sink, &memory);
        sink.attach(target);
        sink.append(layout.leading_bytes.data(), layout.leading_bytes.size());
        zel::write::write_records(root, layout, *encoder);
        sink.flush_block();
        return ZEL_XML_OK;
    } catch (const zel::write::WriteRefused& refused) {
        set_last_error("cannot write " + refused.message);
    } catch (const SinkTarget::Refused&) {
        set_last_error("the sink took fewer bytes than it was given");
    } catch (const xercesc::XMLException& exc) {
        zel::text::Utf8Buffer message;
        set_last_error(message.convert(exc.getMessage()));
    } catch (const std::bad_alloc&) {
        set_last_error("out of memory");
    }
    return ZEL_XML_EXCEPTION;
}

bool ready(const XMLNode* root) { return zel::parser::begin_call(root != nullptr, "no tree to write (root is NULL)"); }

}  // namespace

extern "C" {

ZEL_XML_API ZEL_XML_RESULT XMLWriteFile(const char* fileName, const XMLNode* root, const XMLWriteOptions* options) {
    if (fileName == nullptr || fileName[0] == '\0') {
        set_last_error("no file name");
        return ZEL_XML_EXCEPTION;
    }
    if (!ready(root)) return ZEL_XML_EXCEPTION;
    try {
        zel::write::FileTarget target(fileName);
        ZEL_XML_RESULT result = write_into(target, root, options);
        if (result != ZEL_XML_OK) {
            target.abandon();
            return result;
        }
        target.finish();
        return ZEL_XML_OK;
    } catch (const xercesc::XMLException& exc) {
        zel::text::Utf8Buffer message;
        set_last_error(std::string(fileName) + ": " + message.convert(exc.getMessage()));
    } catch (...) {
        set_last_error("out of memory");
    }
    return ZEL_XML_EXCEPTION;
}

ZEL_XML_API ZEL_XML_RESULT XMLWriteToSink(XMLWriteSink sink, void* userData, const XMLNode* root,
                                          const XMLWriteOptions* options) {
    if (sink == nullptr) {
        set_last_error("no sink (NULL)");
        return ZEL_XML_EXCEPTION;
    }
    if (!ready(root)) return ZEL_XML_EXCEPTION;
    SinkTarget target(sink, userData);
    return write_into(target, root, options);
}

}  // extern "C"
