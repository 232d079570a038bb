#include "io/read/document_builder.hpp"

#include "tree/tree.hpp"

#include <cstring>
#include <new>

#include <xercesc/framework/XMLElementDecl.hpp>
#include <xercesc/framework/XMLEntityDecl.hpp>

namespace zel::read {

namespace {

void append_or_throw(XMLNode* parent, XMLNode* child) {
    if (child == nullptr) throw std::bad_alloc();
    if (!tree::append_child(parent, child)) {
        tree::free_node(child);
        throw std::bad_alloc();
    }
    child->parent = parent;
}

// Gives `record` its name, of any length.
void name_record(XMLNode* record, const char* name, std::size_t len) {
    if (!tree::set_long_name(record, name, len)) {
        tree::free_node(record);
        throw std::bad_alloc();
    }
}

}  // namespace

// A record of `type` named `name` (null: unnamed) holding `value`, appended to the innermost
// open node.
XMLNode* DocumentBuilder::add(int32_t type, const XMLCh* name, const char* value, std::size_t value_len) {
    const char* utf8 = name != nullptr ? name_.convert(name) : "";
    std::size_t name_len = name != nullptr ? name_.size() : 0;
    memory_.charge(tree::record_cost(value_len) + name_len);
    XMLNode* record = tree::new_node_with_value(type, value, value_len);
    if (record == nullptr) throw std::bad_alloc();
    if (name_len > 0) name_record(record, utf8, name_len);
    append_or_throw(frames_.back(), record);
    ++records_;
    return record;
}

void DocumentBuilder::end_run() {
    if (run_.empty()) return;
    run_.end_piece();
    add(XML_TEXT_NODE, nullptr, run_.text(), run_.size());
    run_.clear();
}

void DocumentBuilder::docCharacters(const XMLCh* chars, XMLSize_t length, bool cdataSection) {
    progress_.advance(length);
    if (!cdataSection) {
        run_.add(chars, length);
        return;
    }
    end_run();
    const char* text = value_.convert(chars, length);
    add(XML_CDATA_SECTION_NODE, nullptr, text, value_.size());
}

// Only inside the document element: the parser does not pass on white space outside it,
// which the source scan then finds.
void DocumentBuilder::ignorableWhitespace(const XMLCh* chars, XMLSize_t length, bool cdataSection) {
    docCharacters(chars, length, cdataSection);
}

void DocumentBuilder::docComment(const XMLCh* comment) {
    end_run();
    const char* text = value_.convert(comment);
    add(XML_COMMENT_NODE, nullptr, text, value_.size());
}

void DocumentBuilder::docPI(const XMLCh* target, const XMLCh* data) {
    end_run();
    const char* text = value_.convert(data);
    add(XML_PROCESSING_INSTRUCTION_NODE, target, text, value_.size());
}

void DocumentBuilder::startElement(const xercesc::XMLElementDecl& decl, unsigned int, const XMLCh*,
                                   const xercesc::RefVectorOf<xercesc::XMLAttr>& attrList, XMLSize_t attrCount,
                                   bool isEmpty, bool) {
    end_run();
    elements_.gather(attrList, attrCount, build::AttributeChoice::as_written);
    const char* name = name_.convert(decl.getFullName());
    progress_.advance(name_.size() + 5);
    memory_.charge(tree::record_cost(0));
    XMLNode* element = elements_.append_to(frames_.back(), name, name_.size());
    ++records_;
    if (!isEmpty)
        frames_.push_back(element);
    else if (progress_.wanted())
        progress_.element_end(tree::whole_name(element), records_);
}

void DocumentBuilder::endElement(const xercesc::XMLElementDecl&, unsigned int, bool, const XMLCh*) {
    end_run();
    XMLNode* element = frames_.back();
    frames_.pop_back();
    if (progress_.wanted()) progress_.element_end(tree::whole_name(element), records_);
}

void DocumentBuilder::startEntityReference(const xercesc::XMLEntityDecl& entDecl) {
    end_run();
    XMLNode* reference = add(XML_ENTITY_REFERENCE_NODE, entDecl.getName(), nullptr, 0);
    frames_.push_back(reference);
}

void DocumentBuilder::endEntityReference(const xercesc::XMLEntityDecl&) {
    end_run();
    frames_.pop_back();
}

void DocumentBuilder::declaration_attribute(const char* name, const XMLCh* value) {
    if (value == nullptr || value[0] == 0) return;
    const char* text = value_.convert(value);
    memory_.charge(tree::attribute_cost(std::strlen(name), value_.size()));
    if (tree::append_attribute(frames_.front(), name, std::strlen(name), text, value_.size(),
                               XML_CDATA_SECTION_NODE) == nullptr)
        throw std::bad_alloc();
}

void DocumentBuilder::XMLDecl(const XMLCh* version, const XMLCh* encoding, const XMLCh* standalone,
                              const XMLCh* readerEncoding) {
    // Only the document's own declaration: an external entity's text declaration comes here too.
    if (frames_.size() > 1 || records_ > 0) return;
    declaration_attribute("version", version);
    declaration_attribute("encoding", encoding);
    declaration_attribute("standalone", standalone);
    if (readerEncoding != nullptr) reader_encoding_ = readerEncoding;
}

}  // namespace zel::read
