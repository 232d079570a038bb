// XMLReadFile and XMLReadBuffer: silent reads. Flags 0 build the event-driven readers' tree;
// ZEL_XML_KEEP_ALL builds the whole document and keeps its source for the writer.
#include "zel_xml3.h"

#include "io/parser/last_error.hpp"
#include "io/parser/safety.hpp"
#include "io/read/document_builder.hpp"
#include "io/source/source_scan.hpp"
#include "sax/callback_reporter.hpp"
#include "sax/tree_handler.hpp"
#include "text/utf.hpp"
#include "tree/tree.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include <sys/stat.h>

#include <xercesc/parsers/SAXParser.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/XMLException.hpp>

namespace {

using zel::parser::set_last_error;

// The input of one read: bytes in memory and the name relative references resolve against.
struct Input {
    const void* bytes;
    std::size_t length;
    std::u16string system_id;
    std::string* owned = nullptr;  // the string holding `bytes`, when the read may take it
};

// Validation only when asked for, where the document has a DTD.
xercesc::SAXParser::ValSchemes scheme(const XMLReadOptions& options) {
    return (options.flags & ZEL_XML_VALIDATE) != 0 ? xercesc::SAXParser::Val_Auto : xercesc::SAXParser::Val_Never;
}

zel::parser::DocumentInput in_memory(const Input& input) {
    return zel::parser::DocumentInput::memory(input.bytes, input.length, input.system_id.c_str());
}

ZEL_XML_RESULT keep_all(const Input& input, XMLNode* root, const XMLReadOptions& options, int32_t* count) {
    zel::parser::ReadParser reader(input.length);
    zel::sax::CallbackReporter reporter(options.callbacks);
    reporter.take_input(input.bytes, input.length);
    zel::tree::prepare_document_root(root);
    int32_t first_child = root->children.count;
    zel::sax::ProgressReporter progress(options.callbacks, input.length);
    zel::read::DocumentBuilder builder(root, reader.records(), progress);
    reporter.before_report([&builder] { builder.close_run(); });
    reader.parse(scheme(options), {reporter, &builder}, in_memory(input));
    if (count != nullptr) *count = builder.records();
    if (reporter.saw_fatal_error()) {
        set_last_error("the document is not well formed (see the error callback)");
        return ZEL_XML_ERROR;
    }
    zel::source::ParsedDocument parsed{input.bytes, input.length, builder.declared_reader_encoding(), root,
                                       first_child, input.owned};
    zel::source::attach(root, zel::source::scan_source(parsed));
    return ZEL_XML_OK;
}

ZEL_XML_RESULT events_tree(const Input& input, XMLNode* root, const XMLReadOptions& options, int32_t* count) {
    zel::parser::ReadParser reader(input.length);
    zel::tree::prepare_document_root(root);
    zel::sax::SAXTreeHandler handler(root, reader.records());
    handler.take_long_names();
    if (options.callbacks != nullptr) handler.take_callbacks(*options.callbacks, input.length);
    reader.parse(scheme(options), {handler, nullptr, &handler}, in_memory(input));
    if (count != nullptr) *count = handler.node_count();
    if (handler.saw_fatal_error()) {
        set_last_error("the document is not well formed (see the error callback)");
        return ZEL_XML_ERROR;
    }
    return ZEL_XML_OK;
}

ZEL_XML_RESULT read(const Input& input, XMLNode* root, const XMLReadOptions* options, int32_t* count) {
    if (!zel::parser::begin_call(root != nullptr, "no root to read into (NULL)")) return ZEL_XML_EXCEPTION;
    XMLReadOptions defaults{0, nullptr};
    const XMLReadOptions& chosen = options != nullptr ? *options : defaults;
    try {
        return (chosen.flags & ZEL_XML_KEEP_ALL) != 0 ? keep_all(input, root, chosen, count)
                                                      : events_tree(input, root, chosen, count);
    } catch (const xercesc::OutOfMemoryException&) {
        set_last_error("out of memory: the read passed the memory cap");
    } catch (const xercesc::XMLException& exc) {
        zel::text::Utf8Buffer message;
        set_last_error(message.convert(exc.getMessage()));
    } catch (const std::bad_alloc&) {
        set_last_error("out of memory");
    } catch (...) {
        set_last_error("unexpected exception");
    }
    return ZEL_XML_EXCEPTION;
}

// The whole file, or false with the reason in the last error.
bool load(const char* path, std::string& bytes) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        set_last_error(std::string(path) + ": cannot open: " + std::strerror(errno));
        return false;
    }
    // A regular file is read straight into a string of its size: growing the string as the
    // bytes come would copy them several times and touch twice the memory.
    struct stat st;
    if (fstat(fileno(file), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
        bytes.resize(static_cast<std::size_t>(st.st_size));
        bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
    }
    char chunk[64 * 1024];  // what is left: all of a pipe or a device, or what a file gained
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, got);
    bool failed = std::ferror(file) != 0;
    int error = errno;
    std::fclose(file);
    if (failed) {
        set_last_error(std::string(path) + ": cannot read: " + std::strerror(error));
        return false;
    }
    if (bytes.empty()) {
        set_last_error(std::string(path) + ": the file is empty");
        return false;
    }
    return true;
}

}  // namespace

extern "C" {

ZEL_XML_API ZEL_XML_RESULT XMLReadFile(const char* fileName, XMLNode* root, const XMLReadOptions* options,
                                       int32_t* recordCount) {
    if (fileName == nullptr) {
        set_last_error("no file name (NULL)");
        return ZEL_XML_EXCEPTION;
    }
    try {
        std::string bytes;
        if (!load(fileName, bytes)) return ZEL_XML_EXCEPTION;
        zel::text::Utf16Buffer name;
        Input input{bytes.data(), bytes.size(), name.convert(fileName), &bytes};
        return read(input, root, options, recordCount);
    } catch (const std::bad_alloc&) {
        set_last_error("out of memory");
        return ZEL_XML_EXCEPTION;
    }
}

ZEL_XML_API ZEL_XML_RESULT XMLReadBuffer(const void* bytes, size_t length, XMLNode* root,
                                         const XMLReadOptions* options, int32_t* recordCount) {
    if (bytes == nullptr || length == 0) {
        set_last_error("no bytes to read");
        return ZEL_XML_EXCEPTION;
    }
    try {
        return read(Input{bytes, length, u"XMLReadBuffer"}, root, options, recordCount);
    } catch (const std::bad_alloc&) {
        set_last_error("out of memory");
        return ZEL_XML_EXCEPTION;
    }
}

}  // extern "C"
