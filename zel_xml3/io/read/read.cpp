// XMLRead: the records are built while the parser reads; the root is filled once it is done.
#include "zel_xml3.h"

#include "io/parser/input_file.hpp"
#include "io/parser/lifecycle.hpp"
#include "io/parser/messages.hpp"
#include "io/parser/safety.hpp"
#include "io/read/record_builder.hpp"
#include "io/read/error_handler.hpp"
#include "text/utf.hpp"
#include "tree/tree.hpp"

#include <xercesc/parsers/SAXParser.hpp>
#include <xercesc/sax/HandlerBase.hpp>

using xercesc::SAXParser;
using zel::read::RecordBuilder;

namespace {

// Parses into `builder` with the document reader's settings: no validation, the library's
// safety settings, the reader's error handler, and a DTD handler (which does nothing) so that
// the scanner reads the DTD exactly as it does for a document parser.
void parse(const char* fileName, zel::parser::ParserSafety& safety, RecordBuilder& builder,
           zel::read::XMLReadErrorHandler& handler) {
    xercesc::HandlerBase dtd_events;
    SAXParser parser(nullptr, safety.memory());
    safety.configure(parser, SAXParser::Val_Never, handler);
    parser.setDTDHandler(&dtd_events);
    parser.installAdvDocHandler(&builder);
    zel::parser::parse_local_file(parser, fileName);
}

}  // namespace

extern "C" {

ZEL_XML_API ZEL_XML_RESULT XMLRead(const char* fileName, XMLNode* root, int32_t* elementCount) {
    if (fileName == nullptr || root == nullptr) return ZEL_XML_EXCEPTION;
    if (!zel::parser::library_started()) {
        zel::parser::print_not_started(fileName);
        return ZEL_XML_EXCEPTION;
    }
    zel::read::XMLReadErrorHandler handler;
    return zel::read::run_read(fileName, handler, [&] {
        // Outlives the parser, which allocates from it.
        zel::parser::ParserSafety safety(zel::parser::probe_input_file(fileName).size);
        RecordBuilder builder(*safety.records());
        parse(fileName, safety, builder, handler);
        zel::tree::prepare_document_root(root);
        switch (builder.finish(root, elementCount)) {
        case RecordBuilder::Outcome::complete:
            zel::parser::print_read_summary(builder.elements(), builder.nodes());
            break;
        case RecordBuilder::Outcome::name_too_long:
            zel::parser::print_unexpected(fileName);
            return ZEL_XML_EXCEPTION;
        case RecordBuilder::Outcome::no_document_element:
            break;
        }
        return ZEL_XML_OK;
    });
}

}  // extern "C"
