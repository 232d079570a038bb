// XMLWrite and XMLWriteFH: the tree is checked, then written in one walk over its records.
#include "zel_xml3.h"

#include "io/parser/lifecycle.hpp"
#include "io/parser/messages.hpp"
#include "io/parser/safety.hpp"
#include "io/write/depth.hpp"
#include "io/write/document_writer.hpp"
#include "io/write/encoder.hpp"
#include "io/write/file_target.hpp"
#include "io/write/tree_check.hpp"
#include "text/utf.hpp"

#include <cstdio>
#include <optional>
#include <string>

#include <xercesc/dom/DOMError.hpp>
#include <xercesc/util/XMLException.hpp>

namespace {

using zel::write::FileTarget;

// Where a document goes: the file `path`, or `stream` when it is not null; `label` names it
// in messages (the file name, or the stream's descriptor).
struct Output {
    const char* path;
    std::FILE* stream;
    std::string label;

    static Output file(const char* path) { return Output{path, nullptr, path != nullptr ? path : "(null)"}; }
    static Output to_stream(std::FILE* stream) {
        return Output{nullptr, stream, std::to_string(stream != nullptr ? fileno(stream) : -1)};
    }
    bool present() const { return stream != nullptr || (path != nullptr && path[0] != '\0'); }
};

void print_output_failure(const xercesc::XMLException& exc) {
    zel::text::Utf8Buffer message;
    const char* text = "";
    try {
        text = message.convert(exc.getMessage());
    } catch (...) {
        // No memory for the message: the heading still goes out.
    }
    zel::parser::print_output_failure(text);
}

// What was gathered goes to the target and on to its stream, as far as it got.
void deliver(zel::write::BlockSink& sink, FileTarget& target) {
    sink.flush_block();
    target.flush();
}

// Writes a tree check_tree found writable to an output that is present. A parser-library
// exception here (unknown encoding, output that cannot be opened or written) is printed as
// an output failure; nothing is written for an unknown encoding.
ZEL_XML_RESULT emit(const XMLNode* root, const zel::write::TreeCheck& check, const char* encoding,
                    const Output& output, xercesc::MemoryManager* memory) {
    using xercesc::DOMError;
    try {
        zel::text::Utf16Buffer encoding16;
        const char16_t* encoding_name = encoding != nullptr ? encoding16.convert(encoding) : nullptr;
        zel::write::BlockSink sink;
        auto encoder = zel::write::make_encoder(encoding_name, sink, memory);
        std::optional<FileTarget> target;
        if (output.stream != nullptr)
            target.emplace(output.stream);
        else
            target.emplace(output.path);
        sink.attach(*target);
        try {
            zel::write::write_document(root, check, zel::write::takes_byte_order_mark(encoding_name),
                                       encoding != nullptr ? encoding : "UTF-8", *encoder);
            sink.flush_block();
        } catch (const zel::write::CharacterNotAllowed&) {
            zel::parser::print_write_problem(DOMError::DOM_SEVERITY_FATAL_ERROR,
                                             zel::parser::invalid_character_message().c_str());
            deliver(sink, *target);
            zel::parser::print_unexpected(output.label.c_str());
            return ZEL_XML_EXCEPTION;
        } catch (const zel::write::NameNotRepresentable& refused) {
            zel::parser::print_write_problem(DOMError::DOM_SEVERITY_FATAL_ERROR, refused.message.c_str());
            deliver(sink, *target);
            target->abandon();  // a document cut short never replaces what was there
            return ZEL_XML_EXCEPTION;
        } catch (const xercesc::XMLException&) {
            target->flush();
            throw;
        }
        target->finish();
        return ZEL_XML_OK;
    } catch (const xercesc::XMLException& exc) {
        print_output_failure(exc);
        return ZEL_XML_EXCEPTION;
    }
}

ZEL_XML_RESULT write_document(const XMLNode* root, const char* encoding, const Output& output) {
    if (!zel::parser::library_started()) {
        zel::parser::print_not_started(output.label.c_str());
        return ZEL_XML_EXCEPTION;
    }
    // Outlives the formatter and the exceptions it throws, which allocate from it; it frees
    // whatever they leave behind.
    zel::parser::CappedMemory memory(zel::parser::CappedMemory::kNoCap);
    try {
        zel::write::TreeCheck check = zel::write::check_tree(root, zel::write::max_write_depth());
        if (!check.writable) {
            zel::parser::print_unexpected(output.label.c_str());
            return ZEL_XML_EXCEPTION;
        }
        if (!output.present()) return ZEL_XML_OK;
        return emit(root, check, encoding, output, &memory);
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
        return write_document(root, encoding, Output::file(fileName));
    } catch (...) {
        return ZEL_XML_EXCEPTION;  // no memory for the output's label
    }
}

ZEL_XML_API ZEL_XML_RESULT XMLWriteFH(void* fileHandle, const char* encoding, const XMLNode* root) {
    if (root == nullptr) return ZEL_XML_EXCEPTION;
    try {
        return write_document(root, encoding, Output::to_stream(static_cast<std::FILE*>(fileHandle)));
    } catch (...) {
        return ZEL_XML_EXCEPTION;  // no memory for the output's label
    }
}

}  // extern "C"
