#include "bare.hpp"

#include "io/parser/switches.hpp"

#include <memory>
#include <vector>

#include <xercesc/dom/DOM.hpp>
#include <xercesc/framework/LocalFileFormatTarget.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/parsers/SAXParser.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/sax/HandlerBase.hpp>
#include <xercesc/util/TransService.hpp>
#include <xercesc/util/XMLUni.hpp>

using namespace xercesc;

namespace zelbench {

void bare_dom_parse(const std::string& path) {
    XercesDOMParser parser;
    zel::parser::set_reader_switches(parser, XercesDOMParser::Val_Never);
    HandlerBase errors;
    parser.setErrorHandler(&errors);
    parser.parse(path.c_str());
    parser.resetDocumentPool();
}

void bare_sax_parse(const std::string& document) {
    SAXParser parser;
    zel::parser::set_reader_switches(parser, SAXParser::Val_Auto);
    HandlerBase handler;
    parser.setDocumentHandler(&handler);
    parser.setErrorHandler(&handler);
    MemBufInputSource source(reinterpret_cast<const XMLByte*>(document.data()), document.size(), "bench", false);
    source.setCopyBufToStream(false);  // parsed in place, as the library does
    parser.parse(source);
}

namespace {

// A UTF-8 string transcoded by the parser library, released when it goes out of scope.
struct Wide {
    explicit Wide(const char* utf8)
        : text(reinterpret_cast<const XMLByte*>(utf8), XMLString::stringLen(utf8), "UTF-8") {}
    const XMLCh* get() const { return text.str(); }
    TranscodeFromStr text;
};

void copy_attributes(DOMElement* element, const XMLNode* record) {
    for (int32_t i = 0; i < record->attributes.count; ++i) {
        const ::XMLAttr& a = record->attributes.items[i];
        element->setAttribute(Wide(a.name).get(), Wide(a.value).get());
    }
}

// Builds the DOM below `element` from the record's children, iteratively.
void build(DOMDocument* doc, DOMElement* element, const XMLNode* record) {
    struct Frame {
        const XMLNode* record;
        DOMElement* element;
        int32_t next;
    };
    std::vector<Frame> stack{{record, element, 0}};
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next == top.record->children.count) {
            stack.pop_back();
            continue;
        }
        const XMLNode* child = top.record->children.items[top.next++];
        if (child->type == XML_TEXT_NODE || (child->type == XML_ELEMENT_NODE && child->name[0] == '\0')) {
            top.element->appendChild(doc->createTextNode(Wide(child->value).get()));
        } else if (child->type == XML_ELEMENT_NODE) {
            DOMElement* e = doc->createElement(Wide(child->name).get());
            top.element->appendChild(e);
            copy_attributes(e, child);
            stack.push_back(Frame{child, e, 0});
        }
    }
}

}  // namespace

void bare_write(const XMLNode* root, const std::string& path) {
    static const XMLCh kCore[] = {'C', 'o', 'r', 'e', 0};
    static const XMLCh kLS[] = {'L', 'S', 0};
    static const XMLCh kUtf8[] = {'U', 'T', 'F', '-', '8', 0};
    DOMImplementation* core = DOMImplementationRegistry::getDOMImplementation(kCore);
    DOMDocument* doc = core->createDocument(nullptr, Wide(root->name).get(), nullptr);
    copy_attributes(doc->getDocumentElement(), root);
    build(doc, doc->getDocumentElement(), root);

    DOMImplementation* ls = DOMImplementationRegistry::getDOMImplementation(kLS);
    DOMLSSerializer* writer = static_cast<DOMImplementationLS*>(ls)->createLSSerializer();
    DOMConfiguration* config = writer->getDomConfig();
    config->setParameter(XMLUni::fgDOMWRTSplitCdataSections, true);
    config->setParameter(XMLUni::fgDOMWRTDiscardDefaultContent, true);
    config->setParameter(XMLUni::fgDOMWRTFormatPrettyPrint, true);
    config->setParameter(XMLUni::fgDOMWRTBOM, false);
    config->setParameter(XMLUni::fgDOMWRTXercesPrettyPrint, false);
    DOMLSOutput* output = static_cast<DOMImplementationLS*>(ls)->createLSOutput();
    output->setEncoding(kUtf8);
    {
        LocalFileFormatTarget target(path.c_str());
        output->setByteStream(&target);
        writer->write(doc, output);
    }
    output->release();
    writer->release();
    doc->release();
}

}  // namespace zelbench
