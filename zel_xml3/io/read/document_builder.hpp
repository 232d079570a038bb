// The records of a document read whole (ZEL_XML_KEEP_ALL), built from the scanner's events:
// the declaration, comments, processing instructions, every piece of text, CDATA sections
// and entity references, elements with only the attributes written in the document, in
// document order, which the source scan then walks to find each record's source text.
#pragma once

#include "io/build/element_maker.hpp"
#include "io/build/text_run.hpp"
#include "io/parser/safety.hpp"
#include "sax/callback_reporter.hpp"
#include "text/utf.hpp"
#include "zel_xml3.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <xercesc/framework/XMLDocumentHandler.hpp>

namespace zel::read {

class DocumentBuilder : public xercesc::XMLDocumentHandler {
public:
    // `document` (prepared as a document record) receives everything; records are charged to
    // `memory`, whose exception ends the parse.
    DocumentBuilder(XMLNode* document, parser::MemoryBudget& memory, sax::ProgressReporter& progress)
        : memory_(memory), progress_(progress), frames_{document}, run_(memory),
          elements_(memory, build::LongNames::kept) {}

    // The encoding the parser read the document in, from its declaration; empty without one.
    const std::u16string& declared_reader_encoding() const { return reader_encoding_; }
    int32_t records() const { return records_; }
    // Ends the text run the parse stopped in (a fatal error), so the tree holds it.
    void close_run() { end_run(); }

    void docCharacters(const XMLCh* chars, XMLSize_t length, bool cdataSection) override;
    void docComment(const XMLCh* comment) override;
    void docPI(const XMLCh* target, const XMLCh* data) override;
    void endDocument() override {
        end_run();
        progress_.document_end(records_);
    }
    void endElement(const xercesc::XMLElementDecl& decl, unsigned int uriId, bool isRoot,
                    const XMLCh* prefixName) override;
    void endEntityReference(const xercesc::XMLEntityDecl& entDecl) override;
    void ignorableWhitespace(const XMLCh* chars, XMLSize_t length, bool cdataSection) override;
    void resetDocument() override {}
    void startDocument() override {}
    void startElement(const xercesc::XMLElementDecl& decl, unsigned int uriId, const XMLCh* prefixName,
                      const xercesc::RefVectorOf<xercesc::XMLAttr>& attrList, XMLSize_t attrCount, bool isEmpty,
                      bool isRoot) override;
    void startEntityReference(const xercesc::XMLEntityDecl& entDecl) override;
    void XMLDecl(const XMLCh* version, const XMLCh* encoding, const XMLCh* standalone,
                 const XMLCh* readerEncoding) override;

private:
    XMLNode* add(int32_t type, const XMLCh* name, const char* value, std::size_t value_len);
    void end_run();
    void declaration_attribute(const char* name, const XMLCh* value);

    parser::MemoryBudget& memory_;
    sax::ProgressReporter& progress_;
    std::vector<XMLNode*> frames_;  // the document record, then open elements and entity references
    std::u16string reader_encoding_;
    build::TextRun run_;  // character data since the last other event
    int32_t records_ = 0;
    build::ElementMaker elements_;
    text::Utf8Buffer name_;
    text::Utf8Buffer value_;
};

}  // namespace zel::read
