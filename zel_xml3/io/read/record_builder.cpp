#include "io/read/record_builder.hpp"

#include "tree/tree.hpp"

#include <new>
#include <string>

#include <xercesc/dom/DOMException.hpp>
#include <xercesc/framework/XMLElementDecl.hpp>
#include <xercesc/util/XMLChar.hpp>
#include <xercesc/util/XMLString.hpp>
#include <xercesc/util/XMLUni.hpp>

namespace zel::read {

RecordBuilder::~RecordBuilder() { tree::free_node(document_element_); }

// The document reader knows versions 1.0 and 1.1 only and ends the read with a DOM
// exception for any other version the scanner lets through (1.7, say).
void RecordBuilder::XMLDecl(const XMLCh* version, const XMLCh*, const XMLCh*, const XMLCh*) {
    using xercesc::XMLString;
    using xercesc::XMLUni;
    version_1_1_ = version != nullptr && XMLString::equals(version, XMLUni::fgVersion1_1);
    if (version == nullptr || *version == 0 || XMLString::equals(version, XMLUni::fgVersion1_0) || version_1_1_)
        return;
    throw xercesc::DOMException(xercesc::DOMException::NOT_SUPPORTED_ERR);
}

// The document reader made a document type node of the declaration's name, which ends the
// read with a DOM exception unless the name is a qualified name: no colon first, last or
// twice, and a prefix and local part that are names of the document's version.
void RecordBuilder::doctype(const XMLCh* name) {
    const XMLSize_t length = xercesc::XMLString::stringLen(name);
    int colon = xercesc::XMLString::indexOf(name, xercesc::chColon);
    bool qualified = length > 0 && colon != 0 && colon != static_cast<int>(length) - 1 &&
                     xercesc::XMLString::lastIndexOf(name, xercesc::chColon) == colon;
    if (qualified && colon > 0) {
        std::u16string prefix(name, static_cast<std::size_t>(colon));
        const XMLCh* local = name + colon + 1;
        qualified = version_1_1_ ? xercesc::XMLChar1_1::isValidName(prefix.c_str()) &&
                                       xercesc::XMLChar1_1::isValidName(local)
                                 : xercesc::XMLChar1_0::isValidName(prefix.c_str()) &&
                                       xercesc::XMLChar1_0::isValidName(local);
    }
    if (!qualified) throw xercesc::DOMException(xercesc::DOMException::NAMESPACE_ERR);
}

// ---- Elements and attributes ------------------------------------------------------------

void RecordBuilder::startElement(const xercesc::XMLElementDecl& decl, unsigned int, const XMLCh*,
                                 const xercesc::RefVectorOf<xercesc::XMLAttr>& attrList, XMLSize_t attrCount,
                                 bool isEmpty, bool) {
    close_run();
    open_element(decl.getFullName(), attrList, attrCount);
    within_element_ = true;
    last_is_text_ = false;
    if (isEmpty) endElement(decl, 0, false, nullptr);
}

// The first element under the document is the document element, built detached; later
// ones go under the open node's record, counted where their parent is. The attributes come
// in the document reader's attribute-map order.
void RecordBuilder::open_element(const XMLCh* name, const xercesc::RefVectorOf<xercesc::XMLAttr>& attrs,
                                 XMLSize_t count) {
    const Frame parent = frames_.back();
    const bool is_document_element = frames_.size() == 1 && !root_seen_;
    const bool counted = is_document_element || parent.counted;
    if (counted) {
        ++elements_;
        ++nodes_;
    }
    XMLNode* record = nullptr;
    if (is_document_element) root_seen_ = true;
    if (!stopped_ && (is_document_element || parent.record != nullptr)) {
        const char* utf8 = name_.convert(name);
        if (maker_.refuses(name_.size())) {
            stopped_ = true;
        } else {
            maker_.gather(attrs, count, build::AttributeChoice::document_reader);
            record = is_document_element ? make_document_element(utf8, name_.size())
                                         : make_element(parent.record, utf8, name_.size());
        }
    }
    frames_.push_back(Frame{record, counted, true});
}

// Moved into the caller's root at the end: its attributes keep strings of their own.
XMLNode* RecordBuilder::make_document_element(const char* name, std::size_t len) {
    document_element_ = tree::new_node(XML_ELEMENT_NODE);
    if (document_element_ == nullptr) throw std::bad_alloc();
    return maker_.fill(document_element_, name, len);
}

XMLNode* RecordBuilder::make_element(XMLNode* parent, const char* name, std::size_t len) {
    memory_.charge(tree::record_cost(0));
    return maker_.append_to(parent, name, len);
}

void RecordBuilder::endElement(const xercesc::XMLElementDecl&, unsigned int, bool, const XMLCh*) {
    close_node();
    if (frames_.size() == 1) within_element_ = false;
}

// The end of an element or of an entity reference leaves whatever node is open, as the
// document reader does; an end with only the document open goes back to the document
// element.
void RecordBuilder::close_node() {
    if (frames_.back().element) close_run();
    if (frames_.size() > 1)
        frames_.pop_back();
    else if (root_seen_)
        frames_.push_back(Frame{stopped_ ? nullptr : document_element_, true, true});
    last_is_text_ = false;
}

// ---- Entity references, comments, processing instructions --------------------------------

void RecordBuilder::startEntityReference(const xercesc::XMLEntityDecl&) {
    count_child();
    frames_.push_back(Frame{frames_.back().record, false, false});
    last_is_text_ = false;
}

void RecordBuilder::endEntityReference(const xercesc::XMLEntityDecl&) { close_node(); }

void RecordBuilder::docComment(const XMLCh*) {
    count_child();
    last_is_text_ = false;
}

void RecordBuilder::docPI(const XMLCh*, const XMLCh*) {
    count_child();
    last_is_text_ = false;
}

// ---- Character data -----------------------------------------------------------------------

// Each CDATA section is a node of its own; other text continues the text node before it.
// Empty text makes no node (the document reader never got it).
void RecordBuilder::docCharacters(const XMLCh* chars, XMLSize_t length, bool cdataSection) {
    if (!within_element_) return;
    if (cdataSection) {
        count_child();
        add_text(chars, length, true);
        last_is_text_ = false;
        return;
    }
    if (length == 0) return;
    ignorableWhitespace(chars, length, false);
}

// The document reader keeps ignorable white space as text.
void RecordBuilder::ignorableWhitespace(const XMLCh* chars, XMLSize_t length, bool) {
    if (!within_element_) return;
    const bool new_node = !last_is_text_;
    if (new_node) count_child();
    add_text(chars, length, new_node);
    last_is_text_ = true;
}

void RecordBuilder::add_text(const XMLCh* chars, XMLSize_t length, bool new_node) {
    XMLNode* record = frames_.back().record;
    if (stopped_ || record == nullptr) return;
    if (run_record_ != nullptr && record != run_record_) close_run();
    if (new_node || run_record_ == nullptr) {
        run_record_ = record;
        run_.start_piece();
        run_.charge(tree::record_cost(0));
    }
    run_.add(chars, length);
}

// At an element boundary: a blank run leaves no record, any other gives one per piece.
void RecordBuilder::close_run() {
    if (run_record_ == nullptr) return;
    run_.end_piece();
    const bool blank = run_.blank();
    for (std::size_t i = 0; !blank && i < run_.piece_count(); ++i) {
        std::size_t start = run_.piece_start(i);
        if (tree::create_text(run_record_, run_.text() + start, run_.piece_end(i) - start) == nullptr)
            throw std::bad_alloc();
    }
    run_.clear(blank);
    run_record_ = nullptr;
}

// ---- The end ------------------------------------------------------------------------------

RecordBuilder::Outcome RecordBuilder::finish(XMLNode* root, int32_t* elementCount) {
    close_run();
    if (!root_seen_) return Outcome::no_document_element;
    if (elementCount != nullptr) *elementCount = elements_;
    if (document_element_ == nullptr) {
        root->docRef = nullptr;  // what filling it in place does before it refuses the name
        return Outcome::name_too_long;
    }
    XMLCreateDocumentNode(document_element_->name, root);
    if (!tree::adopt_content(root, document_element_)) throw std::bad_alloc();
    return stopped_ ? Outcome::name_too_long : Outcome::complete;
}

}  // namespace zel::read
