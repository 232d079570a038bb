#include "dom_read.hpp"

#include "coalescing_parser.hpp"
#include "dom_records.hpp"
#include "io/parser/input_file.hpp"
#include "io/parser/messages.hpp"
#include "io/parser/safety.hpp"
#include "io/read/error_handler.hpp"
#include "text/utf.hpp"
#include "tree/tree.hpp"

#include <memory>

#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMException.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>

using xercesc::XercesDOMParser;
using oracle::TextCoalescingParser;

namespace {

// Releases the parsed document before the parser itself goes. A parser that ran out of
// memory still thinks it is parsing and refuses the reset; its destructor frees the document.
struct ParserDeleter {
    void operator()(TextCoalescingParser* parser) const {
        try {
            parser->resetDocumentPool();
        } catch (...) {
        }
        delete parser;
    }
};
using ParserPtr = std::unique_ptr<TextCoalescingParser, ParserDeleter>;

ParserPtr make_parser(zel::read::XMLReadErrorHandler& handler, zel::parser::ParserSafety& safety) {
    ParserPtr parser(new TextCoalescingParser(safety.memory()));
    safety.configure(*parser, XercesDOMParser::Val_Never, handler);
    return parser;
}

void convert_document(const xercesc::DOMDocument* document, XMLNode* root, int32_t* elementCount,
                      zel::parser::MemoryBudget& memory, bool* ran_out) {
    const xercesc::DOMElement* element = document->getDocumentElement();
    int32_t elements = oracle::count_elements(element);
    if (elements == 0) return;
    if (elementCount != nullptr) *elementCount = elements;
    try {
        int32_t nodes = oracle::convert_document_element(element, root, memory);
        zel::parser::print_read_summary(elements, nodes);
    } catch (const xercesc::OutOfMemoryException&) {
        *ran_out = true;
        throw;
    }
}

}  // namespace

namespace oracle {

ZEL_XML_RESULT dom_read(const char* fileName, XMLNode* root, int32_t* elementCount, bool* records_budget_ran_out) {
    *records_budget_ran_out = false;
    if (fileName == nullptr || root == nullptr) return ZEL_XML_EXCEPTION;
    zel::read::XMLReadErrorHandler handler;
    return zel::read::run_read(fileName, handler, [&] {
        zel::parser::ParserSafety safety(zel::parser::probe_input_file(fileName).size);
        ParserPtr parser = make_parser(handler, safety);
        parser->resetDocumentPool();
        zel::parser::parse_local_file(*parser, fileName);
        parser->flushText();
        zel::tree::prepare_document_root(root);
        if (const xercesc::DOMDocument* document = parser->getDocument())
            convert_document(document, root, elementCount, *safety.records(), records_budget_ran_out);
        return static_cast<ZEL_XML_RESULT>(ZEL_XML_OK);
    });
}

}  // namespace oracle
