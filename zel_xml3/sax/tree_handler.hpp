// The SAX event handler that builds node records while the parser runs. One handler serves
// exactly one parse; it owns no records, only its reusable conversion buffers.
#pragma once

#include "io/build/element_maker.hpp"
#include "io/build/text_run.hpp"
#include "io/parser/safety.hpp"
#include "text/utf.hpp"
#include "zel_xml3.h"

#include <cstddef>
#include <cstdint>

#include <xercesc/sax/HandlerBase.hpp>
#include <xercesc/sax/Locator.hpp>

namespace zel::sax {

class SAXTreeHandler : public xercesc::HandlerBase {
public:
    // `root` receives the document element in place; its earlier attributes and children stay.
    // Every record, attribute and piece of text the handler adds is charged to `memory`,
    // whose OutOfMemoryException then ends the read.
    SAXTreeHandler(XMLNode* root, parser::MemoryBudget& memory)
        : root_(root), memory_(memory), run_(memory), maker_(memory, build::LongNames::refused) {}

    // Copies what the caller asked for, once, before the parse; `input_size` is the size the
    // progress estimate is measured against (0: only the final report comes).
    void take_callbacks(const XMLParseCallbacks& callbacks, std::uint64_t input_size);

    // Element names of any length are read (the record keeps the whole name); without this a
    // name of 32 bytes or more ends the read.
    void take_long_names() { maker_.keep_long_names(); }

    int32_t node_count() const { return node_count_; }
    bool saw_fatal_error() const { return fatal_error_seen_; }

    // DocumentHandler
    void characters(const XMLCh* chars, XMLSize_t length) override;
    void endDocument() override;
    void endElement(const XMLCh* name) override;
    void ignorableWhitespace(const XMLCh* chars, XMLSize_t length) override;
    void processingInstruction(const XMLCh*, const XMLCh*) override {}
    void resetDocument() override;
    void setDocumentLocator(const xercesc::Locator* locator) override { locator_ = locator; }
    void startDocument() override {}
    void startElement(const XMLCh* name, xercesc::AttributeList& attributes) override;

    // ErrorHandler: report to the caller and return; a parse error never becomes an exception.
    void warning(const xercesc::SAXParseException& exc) override;
    void error(const xercesc::SAXParseException& exc) override;
    void fatalError(const xercesc::SAXParseException& exc) override;
    void resetErrors() override {}

private:
    XMLNode* open_element(const char* name, std::size_t length, xercesc::AttributeList& attributes);
    void start_text_run();
    void close_text_run(bool drop_blank);
    void prune_before_structure();
    void remove_trailing_blank_text(XMLNode* node);
    bool element_end_is_reported(const XMLCh* name);
    void report(const xercesc::SAXParseException& exc, int32_t severity);
    void report_name_too_long(const char* name, std::size_t length);
    void charge(std::size_t bytes) { memory_.charge(bytes); }

    // 64-bit so that inputs over 4 GiB neither wrap the estimate nor the total.
    std::uint64_t progress_estimate_ = 0;
    XMLNode* root_;
    XMLNode* current_ = nullptr;  // the element being filled; null before and after the document element
    bool at_first_element_ = true;
    int32_t node_count_ = 0;  // elements plus text records made, blank ones removed later included
    std::uint64_t progress_total_ = 0;
    int32_t filter_mode_ = 0;
    char filter_name_[32] = {};
    XMLProgressCallback progress_callback_ = nullptr;
    XMLErrorCallback error_callback_ = nullptr;
    void* user_data_ = nullptr;
    parser::MemoryBudget& memory_;
    const xercesc::Locator* locator_ = nullptr;  // the parser's position, set before the parse

    bool fatal_error_seen_ = false;
    // Character data since the last element start or end (a "run") is gathered in run_ and
    // becomes a record only when the run closes: blank runs between elements then cost no
    // record at all, and a run split into many events is copied once. The run is counted in
    // node_count_ when it opens, as if its record had been made then.
    bool text_run_open_ = false;
    XMLNode* run_target_ = nullptr;  // an existing last text record the run continues, if any
    build::TextRun run_;
    // Elements are made with their attributes in one allocation, the document element filled
    // in place.
    build::ElementMaker maker_;
    zel::text::Utf8Buffer name_utf8_;  // element names
    zel::text::Utf8Buffer text_utf8_;  // public identifiers
    zel::text::Utf8Buffer message_utf8_;  // the diagnostic being reported
};

}  // namespace zel::sax
