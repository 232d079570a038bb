// XMLRead: the whole document is parsed first, then converted into the caller's root.
#include "zel_xml3.h"

#include "io/dom_messages.hpp"
#include "io/dom_parser.hpp"
#include "io/dom_read_errors.hpp"
#include "io/dom_to_records.hpp"
#include "tree/tree.hpp"

#include <cstdio>
#include <memory>

#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMException.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>

using xercesc::XercesDOMParser;
using zel::dom::TextCoalescingParser;

namespace {

// Releases the parsed document before the parser itself goes.
struct ParserDeleter {
    void operator()(TextCoalescingParser* parser) const {
        parser->resetDocumentPool();
        delete parser;
    }
};
using ParserPtr = std::unique_ptr<TextCoalescingParser, ParserDeleter>;

// A non-validating parser without namespaces or schemas; other settings are the defaults.
ParserPtr make_parser(zel::dom::XMLReadErrorHandler& handler) {
    ParserPtr parser(new TextCoalescingParser());
    parser->setValidationScheme(XercesDOMParser::Val_Never);
    parser->setDoNamespaces(false);
    parser->setDoSchema(false);
    parser->setValidationSchemaFullChecking(false);
    parser->setErrorHandler(&handler);
    return parser;
}

// The root stands for the document until the document element fills it; attributes and
// children already there are kept.
void prepare_root(XMLNode* root) {
    root->name[0] = '\0';
    root->type = XML_DOCUMENT_NODE;
    zel::tree::release_string(root->value);
    root->value = zel::tree::empty_string;
}

void convert_document(const xercesc::DOMDocument* document, XMLNode* root, int32_t* elementCount) {
    const xercesc::DOMElement* element = document->getDocumentElement();
    int32_t elements = zel::dom::count_elements(element);
    if (elements == 0) return;
    if (elementCount != nullptr) *elementCount = elements;
    int32_t nodes = zel::dom::convert_document_element(element, root);
    std::fprintf(stderr, "Total elements found = %d, Total Nodes found = %d \n", elements, nodes);
}

}  // namespace

extern "C" {

ZEL_XML_API ZEL_XML_RESULT XMLRead(const char* fileName, XMLNode* root, int32_t* elementCount) {
    if (fileName == nullptr || root == nullptr) return ZEL_XML_EXCEPTION;
    ZEL_XML_RESULT result = ZEL_XML_OK;
    zel::dom::XMLReadErrorHandler handler;
    try {
        ParserPtr parser = make_parser(handler);
        parser->resetDocumentPool();
        parser->parse(fileName);
        parser->flushText();
        prepare_root(root);
        if (const xercesc::DOMDocument* document = parser->getDocument())
            convert_document(document, root, elementCount);
    } catch (const xercesc::XMLException& exc) {
        zel::dom::print_xml_exception(fileName, exc);
        result = ZEL_XML_EXCEPTION;
    } catch (const xercesc::DOMException& exc) {
        std::fprintf(stderr, "\nDOM Error during parsing: %s DOMException code is:  %d\n", fileName,
                     static_cast<int>(exc.code));
        result = ZEL_XML_EXCEPTION;
    } catch (...) {
        zel::dom::print_unexpected(fileName);
        result = ZEL_XML_EXCEPTION;
    }
    if (handler.sawErrors()) {
        std::fputs("\nErrors occured, no output available\n", stderr);
        result = ZEL_XML_ERROR;
    }
    return result;
}

}  // extern "C"
