// XMLRead: the whole document is parsed first, then converted into the caller's root.
#include "zel_xml3.h"

#include "io/parser/messages.hpp"
#include "io/read/parser.hpp"
#include "io/read/errors.hpp"
#include "io/read/to_records.hpp"
#include "io/parser/input_file.hpp"
#include "io/parser/safety.hpp"
#include "text/utf.hpp"
#include "tree/tree.hpp"

#include <memory>

#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMException.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>

using xercesc::XercesDOMParser;
using zel::read::TextCoalescingParser;

namespace {

// Releases the parsed document before the parser itself goes. A parser that ran out of
// memory still thinks it is parsing and refuses the reset; its destructor frees the document.
struct ParserDeleter {
    void operator()(TextCoalescingParser* parser) const {
        try {
            parser->resetDocumentPool();
        } catch (...) {
            // Nothing to report: the parser is deleted either way.
        }
        delete parser;
    }
};
using ParserPtr = std::unique_ptr<TextCoalescingParser, ParserDeleter>;

// A non-validating parser with the readers' settings; other settings are the defaults.
ParserPtr make_parser(zel::read::XMLReadErrorHandler& handler, zel::parser::ParserSafety& safety) {
    ParserPtr parser(new TextCoalescingParser(safety.memory()));
    safety.configure(*parser, XercesDOMParser::Val_Never, handler);
    return parser;
}

// A name the parser would fetch over the network is parsed as an input that cannot be
// opened, so the read fails exactly as for a missing file.
void parse_local(XercesDOMParser& parser, const char* fileName) {
    if (!zel::parser::is_remote(fileName)) {
        parser.parse(fileName);
        return;
    }
    zel::text::Utf16Buffer name;
    zel::parser::RefusedSource source(name.convert(fileName));
    parser.parse(source);
}

void convert_document(const xercesc::DOMDocument* document, XMLNode* root, int32_t* elementCount,
                      zel::parser::MemoryBudget& memory) {
    const xercesc::DOMElement* element = document->getDocumentElement();
    int32_t elements = zel::read::count_elements(element);
    if (elements == 0) return;
    if (elementCount != nullptr) *elementCount = elements;
    int32_t nodes = zel::read::convert_document_element(element, root, memory);
    zel::parser::print_read_summary(elements, nodes);
}

}  // namespace

extern "C" {

ZEL_XML_API ZEL_XML_RESULT XMLRead(const char* fileName, XMLNode* root, int32_t* elementCount) {
    if (fileName == nullptr || root == nullptr) return ZEL_XML_EXCEPTION;
    ZEL_XML_RESULT result = ZEL_XML_OK;
    zel::read::XMLReadErrorHandler handler;
    try {
        // Outlives the parser: the parser and its document allocate from it.
        zel::parser::ParserSafety safety(zel::parser::probe_input_file(fileName).size);
        ParserPtr parser = make_parser(handler, safety);
        parser->resetDocumentPool();
        parse_local(*parser, fileName);
        parser->flushText();
        zel::tree::prepare_document_root(root);
        if (const xercesc::DOMDocument* document = parser->getDocument())
            convert_document(document, root, elementCount, *safety.records());
    } catch (const xercesc::XMLException& exc) {
        zel::parser::print_xml_exception(fileName, exc);
        result = ZEL_XML_EXCEPTION;
    } catch (const xercesc::DOMException& exc) {
        zel::parser::print_dom_exception(fileName, static_cast<int>(exc.code));
        result = ZEL_XML_EXCEPTION;
    } catch (...) {
        zel::parser::print_unexpected(fileName);
        result = ZEL_XML_EXCEPTION;
    }
    if (handler.sawErrors()) {
        zel::parser::print_read_errors_summary();
        result = ZEL_XML_ERROR;
    }
    return result;
}

}  // extern "C"
