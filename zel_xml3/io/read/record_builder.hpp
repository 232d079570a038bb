// XMLRead's records, built from the scanner's events as they come. The records are those the
// parser library's document reader would hold (with its default settings: entity references,
// comments and ignorable white space as nodes), seen through XMLRead's rules: elements in
// place, entity content in place of its reference, a text record per document text node, the
// attributes in the document reader's order. The document reader's node structure is followed
// exactly (which event opens a new text node, where an entity or element ends), so the element
// count and the node number come out as they would over that document.
#pragma once

#include "io/build/element_maker.hpp"
#include "io/build/text_run.hpp"
#include "io/parser/safety.hpp"
#include "text/utf.hpp"
#include "zel_xml3.h"

#include <cstddef>
#include <cstdint>
#include <vector>

#include <xercesc/framework/XMLDocumentHandler.hpp>

namespace zel::read {

class RecordBuilder : public xercesc::XMLDocumentHandler, public parser::DoctypeListener {
public:
    // Records are charged to `memory`; past it, its OutOfMemoryException ends the parse.
    explicit RecordBuilder(parser::MemoryBudget& memory)
        : memory_(memory), run_(memory), maker_(memory, build::LongNames::refused) {}
    ~RecordBuilder() override;
    RecordBuilder(const RecordBuilder&) = delete;
    RecordBuilder& operator=(const RecordBuilder&) = delete;

    enum class Outcome { no_document_element, complete, name_too_long };

    // After a parse that returned: fills the prepared `root` as the document element with what
    // was built (after what `root` already holds) and stores the element count. An element
    // name too long for a record stopped the building there; the records before it are kept
    // and the count still covers the whole document. Throws std::bad_alloc when out of memory.
    Outcome finish(XMLNode* root, int32_t* elementCount);

    int32_t elements() const { return elements_; }
    int32_t nodes() const { return nodes_; }

    void docCharacters(const XMLCh* chars, XMLSize_t length, bool cdataSection) override;
    void docComment(const XMLCh* comment) override;
    void docPI(const XMLCh* target, const XMLCh* data) override;
    void endDocument() override {}
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
    void XMLDecl(const XMLCh* version, const XMLCh*, const XMLCh*, const XMLCh*) override;
    void doctype(const XMLCh* name) override;

private:
    // One open node of the document reader's tree: the document, an element or an entity
    // reference. `record` receives its content (an entity's is its element's; the document's
    // is none); `counted` when its children count in the node number (no entity reference
    // above it).
    struct Frame {
        XMLNode* record;
        bool counted;
        bool element;
    };

    void open_element(const XMLCh* name, const xercesc::RefVectorOf<xercesc::XMLAttr>& attrs, XMLSize_t count);
    XMLNode* make_document_element(const char* name, std::size_t len);
    XMLNode* make_element(XMLNode* parent, const char* name, std::size_t len);
    void close_node();
    void count_child() { nodes_ += frames_.back().counted ? 1 : 0; }
    void add_text(const XMLCh* chars, XMLSize_t length, bool new_node);
    void close_run();

    parser::MemoryBudget& memory_;
    std::vector<Frame> frames_{Frame{nullptr, false, false}};
    XMLNode* document_element_ = nullptr;  // detached until finish()
    bool root_seen_ = false;
    bool within_element_ = false;  // from the first element start to the document element's end
    bool stopped_ = false;         // a name too long for a record: no more records
    bool last_is_text_ = false;    // the document reader's last node is a text node
    bool version_1_1_ = false;     // the declaration says version 1.1
    int32_t elements_ = 0;
    int32_t nodes_ = 0;

    // The run of character data since the last element boundary, for `run_record_`, a piece
    // per document text node, each charged as a record when it starts, waiting for the blank
    // rule: all dropped (and their charge given back) when the whole run is blank.
    XMLNode* run_record_ = nullptr;
    build::TextRun run_;
    build::ElementMaker maker_;
    text::Utf8Buffer name_;
};

}  // namespace zel::read
