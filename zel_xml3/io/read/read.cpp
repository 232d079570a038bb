// XMLRead: the records are built while the parser reads; the root is filled once it is done.
#include "zel_xml3.h"

#include "io/parser/input_file.hpp"
#include "io/parser/lifecycle.hpp"
#include "io/parser/messages.hpp"
#include "io/parser/safety.hpp"
#include "io/read/record_builder.hpp"
#include "io/read/error_handler.hpp"
#include "tree/tree.hpp"

#include <xercesc/sax/HandlerBase.hpp>

using zel::read::RecordBuilder;

extern "C" {

ZEL_XML_API ZEL_XML_RESULT XMLRead(const char* fileName, XMLNode* root, int32_t* elementCount) {
    if (fileName == nullptr || root == nullptr) return ZEL_XML_EXCEPTION;
    if (!zel::parser::library_started()) {
        zel::parser::print_not_started(fileName);
        return ZEL_XML_EXCEPTION;
    }
    zel::read::XMLReadErrorHandler handler;
    return zel::read::run_read(fileName, handler, [&] {
        // The document reader's settings: no validation, and a DTD handler (which does
        // nothing) so that the scanner reads the DTD exactly as it does for a document parser.
        xercesc::HandlerBase dtd_events;
        zel::parser::ReadParser reader(zel::parser::probe_input_file(fileName).size);
        RecordBuilder builder(reader.records());
        reader.parse(xercesc::SAXParser::Val_Never, {handler, &builder, nullptr, &dtd_events, &builder},
                     zel::parser::DocumentInput::file(fileName));
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
