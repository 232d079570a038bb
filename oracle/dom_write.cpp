// The reference writer: the records become a DOM document, which the serialiser writes. The
// conversion is iterative; the serialiser recurses once per element level, hence the depth
// limit of io/write/depth.hpp.
#include "dom_write.hpp"

#include "dom_walk.hpp"
#include "io/parser/messages.hpp"
#include "io/parser/safety.hpp"
#include "io/write/depth.hpp"
#include "io/write/file_target.hpp"
#include "text/utf.hpp"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include <xercesc/dom/DOMAttr.hpp>
#include <xercesc/dom/DOMConfiguration.hpp>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMError.hpp>
#include <xercesc/dom/DOMErrorHandler.hpp>
#include <xercesc/dom/DOMImplementation.hpp>
#include <xercesc/dom/DOMImplementationRegistry.hpp>
#include <xercesc/dom/DOMLSOutput.hpp>
#include <xercesc/dom/DOMLSSerializer.hpp>
#include <xercesc/dom/DOMText.hpp>
#include <xercesc/framework/MemBufFormatTarget.hpp>
#include <xercesc/util/XMLString.hpp>
#include <xercesc/util/XMLUni.hpp>

using xercesc::DOMElement;
using xercesc::DOMNode;
using xercesc::XMLUni;

namespace oracle::dom_writer {

namespace {

// ---- Records to a DOM document ----------------------------------------------------------

// Thrown for a tree deeper than max_write_depth().
struct TreeTooDeep {};

// Thrown when a record holds bytes that are not UTF-8: they cannot be written unchanged.
struct TextNotUtf8 {};

template <typename T>
struct Releaser {
    void operator()(T* object) const { object->release(); }
};
using DocumentPtr = std::unique_ptr<xercesc::DOMDocument, Releaser<xercesc::DOMDocument>>;
using SerializerPtr = std::unique_ptr<xercesc::DOMLSSerializer, Releaser<xercesc::DOMLSSerializer>>;
using OutputPtr = std::unique_ptr<xercesc::DOMLSOutput, Releaser<xercesc::DOMLSOutput>>;

struct BuiltDocument {
    DocumentPtr document;
    bool mixed;                      // some element holds both text and elements
    xercesc::MemoryManager* memory;  // the document's, for everything the write makes
};

// The next child of `record` to convert under `element`, and what kinds it has held so far.
struct Frame {
    const XMLNode* record;
    int32_t next;
    DOMElement* element;
    bool has_text;
    bool has_element;
};

// Elements from named type-0 records with their attributes, text nodes from text records and
// unnamed elements, a second top-level element for a type-11 record (which the DOM refuses),
// nothing for other types. Throws DOMException for names the DOM refuses, TreeTooDeep,
// TextNotUtf8, or the parser library's out-of-memory exceptions.
class Builder {
public:
    BuiltDocument run(const XMLNode* root, xercesc::MemoryManager* memory);

private:
    void add(const XMLNode* child, Frame& frame);
    DOMElement* new_element(const XMLNode* record);
    void push(const XMLNode* record, DOMElement* element);
    void copy_attributes(const XMLNode* record, DOMElement* element);
    const XMLCh* name_of(const XMLNode* record);
    const XMLCh* utf16(const char* text) { return checked(text_.convert(text != nullptr ? text : "")); }
    const XMLCh* checked(const XMLCh* converted) const {
        if (text_.malformed()) throw TextNotUtf8();
        return converted;
    }

    xercesc::DOMDocument* document_ = nullptr;
    std::vector<Frame> stack_;
    zel::text::Utf16Buffer text_;
    std::size_t depth_limit_ = 0;
    bool mixed_ = false;
};

BuiltDocument Builder::run(const XMLNode* root, xercesc::MemoryManager* memory) {
    depth_limit_ = zel::write::max_write_depth();
    xercesc::DOMImplementation* core = xercesc::DOMImplementationRegistry::getDOMImplementation(u"Core");
    if (core == nullptr) throw std::bad_alloc();
    // The document element is made like every other element, without namespace processing,
    // so a prefixed name such as xs:schema is written as it stands.
    DocumentPtr document(core->createDocument(memory));
    document_ = document.get();
    DOMElement* top = new_element(root);
    document_->appendChild(top);
    copy_attributes(root, top);
    push(root, top);
    while (!stack_.empty()) {
        Frame& frame = stack_.back();
        if (frame.next < frame.record->children.count) {
            add(frame.record->children.items[frame.next++], frame);
            continue;
        }
        mixed_ = mixed_ || (frame.has_text && frame.has_element);
        stack_.pop_back();
    }
    return BuiltDocument{std::move(document), mixed_, memory};
}

// `frame` is not used after a push, which may move the stack.
void Builder::add(const XMLNode* child, Frame& frame) {
    bool text_like = child->type == XML_TEXT_NODE || (child->type == XML_ELEMENT_NODE && child->name[0] == '\0');
    if (text_like) {
        frame.has_text = true;
        frame.element->appendChild(document_->createTextNode(utf16(child->value)));
    } else if (child->type == XML_ELEMENT_NODE) {
        frame.has_element = true;
        DOMElement* element = new_element(child);
        frame.element->appendChild(element);
        copy_attributes(child, element);
        push(child, element);
    } else if (child->type == XML_DOCUMENT_NODE) {
        // A second document element: the DOM refuses it, which ends the write.
        DOMElement* element = new_element(child);
        document_->appendChild(element);
        push(child, element);
    }
}

DOMElement* Builder::new_element(const XMLNode* record) { return document_->createElement(name_of(record)); }

void Builder::push(const XMLNode* record, DOMElement* element) {
    if (stack_.size() >= depth_limit_) throw TreeTooDeep();
    stack_.push_back(Frame{record, 0, element, false, false});
}

void Builder::copy_attributes(const XMLNode* record, DOMElement* element) {
    for (int32_t i = 0; i < record->attributes.count; ++i) {
        const XMLAttr& attr = record->attributes.items[i];
        xercesc::DOMAttr* node = document_->createAttribute(utf16(attr.name));
        node->setValue(utf16(attr.value));
        element->setAttributeNode(node);
    }
}

// A name fills at most the record's buffer, terminator or not.
const XMLCh* Builder::name_of(const XMLNode* record) {
    return checked(text_.convert(record->name, strnlen(record->name, sizeof record->name)));
}

// ---- The layout of mixed-content documents ----------------------------------------------

// True when `node` has children and every one of them is an element.
bool is_element_only(const DOMNode* node) {
    const DOMNode* child = node->getFirstChild();
    if (child == nullptr) return false;
    for (; child != nullptr; child = child->getNextSibling())
        if (child->getNodeType() != DOMNode::ELEMENT_NODE) return false;
    return true;
}

class Indenter {
public:
    explicit Indenter(xercesc::DOMDocument* document) : document_(document) {}

    // A line break and two spaces per level before each child of `element`, which sits at
    // `level`, and before its end tag.
    void indent_children(DOMNode* element, std::size_t level) {
        for (DOMNode* child = element->getFirstChild(); child != nullptr; child = child->getNextSibling())
            element->insertBefore(make(level + 1), child);
        element->appendChild(make(level));
    }

private:
    DOMNode* make(std::size_t level) {
        indent_.assign(1, u'\n');
        indent_.append(2 * level, u' ');
        return document_->createTextNode(indent_.c_str());
    }

    xercesc::DOMDocument* document_;
    std::u16string indent_;
};

// Lays out the element-only parts of a document that holds mixed content the way the
// serialiser's pretty print would (which is off there, since it would put line breaks into
// the text). Mixed content, and everything inside it, is left as it is.
void lay_out_element_only_parts(DOMElement* documentElement) {
    Indenter indenter(documentElement->getOwnerDocument());
    DOMNode* node = documentElement;
    std::size_t level = 0;
    for (;;) {
        DOMNode* next = nullptr;
        if (is_element_only(node)) {
            indenter.indent_children(node, level);
            next = first_element_from(node->getFirstChild());
        }
        if (next != nullptr) {
            ++level;
        } else {
            // Climb until a later element sibling turns up.
            while (node != documentElement && (next = first_element_from(node->getNextSibling())) == nullptr) {
                node = node->getParentNode();
                --level;
            }
            if (next == nullptr) return;
        }
        node = next;
    }
}

// ---- The serialiser ----------------------------------------------------------------------

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

// Prints each reported problem under its severity heading; always true, so the serialiser
// goes on wherever it can.
class ErrorHandler : public xercesc::DOMErrorHandler {
public:
    bool handleError(const xercesc::DOMError& domError) override {
        try {
            zel::parser::print_write_problem(domError.getSeverity(), message_.convert(domError.getMessage()));
        } catch (...) {
            // Out of memory while converting: the serialiser still learns nothing went wrong here.
        }
        return true;
    }

private:
    zel::text::Utf8Buffer message_;
};

// The encoding names that leave the byte order open: output in them starts with a mark, in
// the machine's byte order as the transcoder writes it. Every other name gets none.
bool takes_byte_order_mark(const char16_t* encoding) {
    static const char16_t* const kMarked[] = {u"UTF-16", u"UCS-2", u"ISO-10646-UCS-2",
                                              u"UTF-32", u"UCS-4", u"ISO-10646-UCS-4"};
    if (encoding == nullptr) return false;
    for (const char16_t* name : kMarked)
        if (xercesc::XMLString::compareIStringASCII(encoding, name) == 0) return true;
    return false;
}

// Text in the output encoding, for the parts of a mixed-content document the writer writes
// itself. Making one tries the encoding: an unknown one throws TranscodingException.
class OutputText {
public:
    OutputText(const char16_t* encoding, xercesc::MemoryManager* memory)
        : encoding_(encoding != nullptr ? encoding : u"UTF-8"),
          buffer_(1023, memory),
          formatter_(encoding_, &buffer_, xercesc::XMLFormatter::NoEscapes, xercesc::XMLFormatter::UnRep_Fail,
                     memory) {}

    // The serialiser's own declaration line, with the encoding name as given, after the
    // byte-order mark when `marked`: U+FEFF through the same transcoder is the mark the
    // serialiser writes.
    void write_declaration(xercesc::XMLFormatTarget& target, bool marked) {
        std::u16string line = marked ? u"\uFEFF" : u"";
        line += u"<?xml version=\"1.0\" encoding=\"";
        line += encoding_;
        line += u"\" standalone=\"no\" ?>\n";
        write(line.c_str(), line.size(), target);
    }
    void write_line_end(xercesc::XMLFormatTarget& target) { write(u"\n", 1, target); }

private:
    void write(const char16_t* text, std::size_t len, xercesc::XMLFormatTarget& target) {
        buffer_.reset();
        formatter_.formatBuf(text, len, xercesc::XMLFormatter::NoEscapes);
        target.writeChars(buffer_.getRawBuffer(), buffer_.getLen(), nullptr);
    }

    const char16_t* encoding_;
    xercesc::MemBufFormatTarget buffer_;
    xercesc::XMLFormatter formatter_;
};

template <typename Value>
void set_if_possible(xercesc::DOMConfiguration* config, const XMLCh* name, Value value) {
    if (config->canSetParameter(name, value)) config->setParameter(name, value);
}

// Pretty print is off for mixed content, which then carries its own layout and declaration
// (and the byte-order mark before it).
void configure(xercesc::DOMConfiguration* config, ErrorHandler& handler, bool mixed, bool marked) {
    config->setParameter(XMLUni::fgDOMErrorHandler, static_cast<xercesc::DOMErrorHandler*>(&handler));
    set_if_possible(config, XMLUni::fgDOMWRTSplitCdataSections, true);
    set_if_possible(config, XMLUni::fgDOMWRTDiscardDefaultContent, true);
    set_if_possible(config, XMLUni::fgDOMWRTFormatPrettyPrint, !mixed);
    set_if_possible(config, XMLUni::fgDOMWRTBOM, marked && !mixed);
    set_if_possible(config, XMLUni::fgDOMWRTXercesPrettyPrint, false);
    if (mixed) set_if_possible(config, XMLUni::fgDOMXMLDeclaration, false);
}

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

// True when the whole document reached the output. A parser-library exception (output
// cannot be opened or written, unknown encoding) is printed here and gives false; an unknown
// encoding is found before the output is opened. Other exceptions reach the caller.
bool serialize(BuiltDocument& built, const Output& output_to, const char16_t* encoding) {
    const bool mixed = built.mixed;
    const bool marked = takes_byte_order_mark(encoding);
    try {
        OutputText output_text(encoding, built.memory);
        ErrorHandler handler;
        xercesc::DOMImplementationLS* ls = xercesc::DOMImplementationRegistry::getDOMImplementation(u"LS");
        SerializerPtr writer(ls->createLSSerializer(built.memory));
        configure(writer->getDomConfig(), handler, mixed, marked);
        OutputPtr output(ls->createLSOutput(built.memory));
        if (encoding != nullptr) output->setEncoding(encoding);

        if (mixed) lay_out_element_only_parts(built.document->getDocumentElement());
        std::optional<zel::write::FileTarget> target;
        if (output_to.stream != nullptr)
            target.emplace(output_to.stream);
        else
            target.emplace(output_to.path);
        output->setByteStream(&*target);
        if (mixed) output_text.write_declaration(*target, marked);
        bool whole = writer->write(built.document.get(), output.get());
        if (!whole) {
            // A document cut short never replaces what was there: the target drops it.
            target->abandon();
            return false;
        }
        if (mixed) output_text.write_line_end(*target);
        target->finish();
        return true;
    } catch (const xercesc::XMLException& exc) {
        print_output_failure(exc);
        return false;
    }
}

ZEL_XML_RESULT write_document(const XMLNode* root, const char* encoding, const Output& output) {
    // Outlives the document, the serialiser and the exceptions they throw, all of which
    // allocate from it; it frees whatever they leave behind.
    zel::parser::CappedMemory memory(zel::parser::CappedMemory::kNoCap);
    try {
        zel::text::Utf16Buffer encoding16;
        const char16_t* encoding_name = encoding != nullptr ? encoding16.convert(encoding) : nullptr;
        BuiltDocument built = Builder().run(root, &memory);
        if (!output.present()) return ZEL_XML_OK;
        return serialize(built, output, encoding_name) ? ZEL_XML_OK : ZEL_XML_EXCEPTION;
    } catch (const xercesc::XMLException& exc) {
        zel::parser::print_xml_exception(output.label.c_str(), exc);
    } catch (...) {
        zel::parser::print_unexpected(output.label.c_str());
    }
    return ZEL_XML_EXCEPTION;
}

}  // namespace

}  // namespace oracle::dom_writer

namespace oracle {

ZEL_XML_RESULT dom_write(const char* fileName, const char* encoding, const XMLNode* root) {
    if (root == nullptr) return ZEL_XML_EXCEPTION;
    try {
        return dom_writer::write_document(root, encoding, dom_writer::Output::file(fileName));
    } catch (...) {
        return ZEL_XML_EXCEPTION;  // no memory for the output's label
    }
}

ZEL_XML_RESULT dom_write_fh(void* fileHandle, const char* encoding, const XMLNode* root) {
    if (root == nullptr) return ZEL_XML_EXCEPTION;
    try {
        return dom_writer::write_document(root, encoding,
                                          dom_writer::Output::to_stream(static_cast<std::FILE*>(fileHandle)));
    } catch (...) {
        return ZEL_XML_EXCEPTION;  // no memory for the output's label
    }
}

}  // namespace oracle
