#include "io/write/serialize.hpp"

#include "io/parser/messages.hpp"
#include "io/write/errors.hpp"
#include "io/write/file_target.hpp"
#include "io/write/layout.hpp"
#include "text/utf.hpp"

#include <memory>
#include <optional>
#include <string>

#include <xercesc/dom/DOMConfiguration.hpp>
#include <xercesc/dom/DOMImplementation.hpp>
#include <xercesc/dom/DOMImplementationRegistry.hpp>
#include <xercesc/dom/DOMLSOutput.hpp>
#include <xercesc/dom/DOMLSSerializer.hpp>
#include <xercesc/framework/MemBufFormatTarget.hpp>
#include <xercesc/util/XMLString.hpp>
#include <xercesc/util/XMLUni.hpp>

using xercesc::XMLUni;

namespace zel::write {

namespace {

template <typename T>
struct Releaser {
    void operator()(T* object) const { object->release(); }
};
using SerializerPtr = std::unique_ptr<xercesc::DOMLSSerializer, Releaser<xercesc::DOMLSSerializer>>;
using OutputPtr = std::unique_ptr<xercesc::DOMLSOutput, Releaser<xercesc::DOMLSOutput>>;

// The encoding names that leave the byte order open: output in them starts with a mark, in
// the machine's byte order as the transcoder writes it. Every other name (UTF-8, UTF-16LE,
// UTF-16BE, ...) gets none.
bool takes_byte_order_mark(const char16_t* encoding) {
    static const char16_t* const kMarked[] = {u"UTF-16", u"UCS-2", u"ISO-10646-UCS-2",
                                              u"UTF-32", u"UCS-4", u"ISO-10646-UCS-4"};
    if (encoding == nullptr) return false;
    for (const char16_t* name : kMarked)
        if (xercesc::XMLString::compareIStringASCII(encoding, name) == 0) return true;
    return false;
}

// Text in the output encoding, for the parts of a mixed-content document the library writes
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
void configure(xercesc::DOMConfiguration* config, XMLWriteErrorHandler& handler, bool mixed, bool marked) {
    config->setParameter(XMLUni::fgDOMErrorHandler, static_cast<xercesc::DOMErrorHandler*>(&handler));
    set_if_possible(config, XMLUni::fgDOMWRTSplitCdataSections, true);
    set_if_possible(config, XMLUni::fgDOMWRTDiscardDefaultContent, true);
    set_if_possible(config, XMLUni::fgDOMWRTFormatPrettyPrint, !mixed);
    set_if_possible(config, XMLUni::fgDOMWRTBOM, marked && !mixed);
    set_if_possible(config, XMLUni::fgDOMWRTXercesPrettyPrint, false);
    if (mixed) set_if_possible(config, XMLUni::fgDOMXMLDeclaration, false);
}

void print_output_failure(const xercesc::XMLException& exc) {
    text::Utf8Buffer message;
    const char* text = "";
    try {
        text = message.convert(exc.getMessage());
    } catch (...) {
        // No memory for the message: the heading still goes out.
    }
    parser::print_output_failure(text);
}

}  // namespace

bool serialize(BuiltDocument& built, const Output& output_to, const char16_t* encoding) {
    const bool mixed = built.mixed;
    const bool marked = takes_byte_order_mark(encoding);
    try {
        OutputText output_text(encoding, built.memory);
        XMLWriteErrorHandler handler;
        xercesc::DOMImplementationLS* ls = xercesc::DOMImplementationRegistry::getDOMImplementation(u"LS");
        SerializerPtr writer(ls->createLSSerializer(built.memory));
        configure(writer->getDomConfig(), handler, mixed, marked);
        OutputPtr output(ls->createLSOutput(built.memory));
        if (encoding != nullptr) output->setEncoding(encoding);

        if (mixed) lay_out_element_only_parts(built.document->getDocumentElement());
        std::optional<FileTarget> target;
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

}  // namespace zel::write
