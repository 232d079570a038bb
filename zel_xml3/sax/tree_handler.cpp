// Turns the SAX parser's events into element and text records under the caller's root.
#include "sax/tree_handler.hpp"

#include "io/parser/messages.hpp"
#include "sax/diagnostic.hpp"
#include "tree/tree.hpp"

#include <cstring>
#include <limits>
#include <new>
#include <string>

#include <xercesc/sax/AttributeList.hpp>
#include <xercesc/sax/SAXParseException.hpp>

namespace zel::sax {

namespace {

constexpr int32_t kWarning = 6;
constexpr int32_t kError = 5;
constexpr int32_t kFatalError = 7;

// The parser's 64-bit positions, narrowed for the callback without wrapping.
int32_t narrow_position(XMLFileLoc position) {
    constexpr auto kMax = static_cast<XMLFileLoc>(std::numeric_limits<int32_t>::max());
    return static_cast<int32_t>(position > kMax ? kMax : position);
}

XMLNode* last_child(const XMLNode* node) {
    return node->children.count > 0 ? node->children.items[node->children.count - 1] : nullptr;
}

}  // namespace

void SAXTreeHandler::take_callbacks(const XMLParseCallbacks& callbacks, std::uint64_t input_size) {
    filter_mode_ = callbacks.filterMode;
    if (filter_mode_ == 1) {
        // The caller's buffer need not be terminated: take at most 31 bytes.
        std::size_t len = 0;
        while (len < sizeof filter_name_ - 1 && callbacks.filterName[len] != '\0') ++len;
        std::memcpy(filter_name_, callbacks.filterName, len);
        filter_name_[len] = '\0';
    }
    progress_callback_ = callbacks.progressCallback;
    error_callback_ = callbacks.errorCallback;
    user_data_ = callbacks.userData;
    progress_total_ = input_size;
}

void SAXTreeHandler::startElement(const XMLCh* name, xercesc::AttributeList& attributes) {
    const char* utf8 = name_utf8_.convert(name);
    std::size_t length = name_utf8_.size();
    if (maker_.refuses(length)) report_name_too_long(utf8, length);
    XMLNode* element = open_element(utf8, length, attributes);
    if (element == nullptr) return;
    ++node_count_;
    progress_estimate_ += length + 5;
    current_ = element;
}

// The first element fills the root in place (its own attributes stay first); later ones are
// appended to the open element. A name the maker refuses throws ZEL_XML_RESULT 4 out of the
// record functions. When the budget refuses an attribute, the element stands in the tree
// with the attributes before it.
XMLNode* SAXTreeHandler::open_element(const char* name, std::size_t length, xercesc::AttributeList& attributes) {
    charge(tree::record_cost(0));
    if (!at_first_element_ && current_ == nullptr) return nullptr;  // nothing to hang an element on any more
    if (!at_first_element_) prune_before_structure();
    if (maker_.refuses(length)) tree::throw_name_too_long();
    maker_.gather(attributes);
    if (!at_first_element_) return maker_.append_to(current_, name, length);
    at_first_element_ = false;
    return maker_.fill(XMLCreateDocumentNode("", root_), name, length);
}

void SAXTreeHandler::characters(const XMLCh* chars, XMLSize_t length) {
    progress_estimate_ += length;
    if (current_ == nullptr) return;
    if (!text_run_open_) start_text_run();
    run_.add(chars, length);
}

// A run continues the element's last text record when there is one (text the root already
// held); otherwise it will be a record of its own, counted now.
void SAXTreeHandler::start_text_run() {
    text_run_open_ = true;
    run_.clear();
    XMLNode* last = last_child(current_);
    run_target_ = last != nullptr && last->type == XML_TEXT_NODE ? last : nullptr;
    if (run_target_ == nullptr) {
        ++node_count_;
        charge(tree::record_cost(0));
    }
}

// Puts the run into the tree. With `drop_blank` (before a child element and at an element's
// end) a record that holds only white space is taken out again, or never made.
void SAXTreeHandler::close_text_run(bool drop_blank) {
    text_run_open_ = false;
    run_.end_piece();
    if (run_target_ != nullptr) {
        std::size_t old_length = std::strlen(run_target_->value);
        if (!tree::append_string(&run_target_->value, old_length, run_.text(), run_.size())) throw std::bad_alloc();
        if (drop_blank && tree::is_blank(run_target_->value, old_length + run_.size())) tree::drop_last_child(current_);
        run_target_ = nullptr;
        return;
    }
    if (drop_blank && run_.blank()) return;
    if (tree::create_text(current_, run_.text(), run_.size()) == nullptr) throw std::bad_alloc();
}

// Blank text is dropped once it is known to stand between elements: before a child element
// and at the element's end. Text with any other character stays whole.
void SAXTreeHandler::prune_before_structure() {
    if (text_run_open_)
        close_text_run(true);
    else
        remove_trailing_blank_text(current_);
}

void SAXTreeHandler::ignorableWhitespace(const XMLCh*, XMLSize_t length) { progress_estimate_ += length; }

void SAXTreeHandler::endElement(const XMLCh* name) {
    if (current_ != nullptr) prune_before_structure();
    // The document element climbs to "no element" rather than to whatever the root hangs under.
    if (current_ != nullptr) current_ = current_ == root_ ? nullptr : current_->parent;
    if (!element_end_is_reported(name)) return;
    double percent = static_cast<double>(progress_estimate_) / static_cast<double>(progress_total_) * 100.0;
    progress_callback_(percent, node_count_, user_data_);
}

bool SAXTreeHandler::element_end_is_reported(const XMLCh* name) {
    if (progress_callback_ == nullptr || progress_total_ == 0) return false;
    return filter_mode_ != 1 || std::strcmp(name_utf8_.convert(name), filter_name_) == 0;
}

// Drops the last child of `node` when it is blank text that was in the tree before the
// current run: the root's own, or text put in early because a diagnostic came.
void SAXTreeHandler::remove_trailing_blank_text(XMLNode* node) {
    XMLNode* last = last_child(node);
    if (last == nullptr || last->type != XML_TEXT_NODE) return;
    if (tree::is_blank(last->value, std::strlen(last->value))) tree::drop_last_child(node);
}

void SAXTreeHandler::resetDocument() { progress_estimate_ = 0; }

void SAXTreeHandler::endDocument() {
    if (progress_callback_ != nullptr) progress_callback_(100.0, node_count_, user_data_);
}

void SAXTreeHandler::warning(const xercesc::SAXParseException& exc) { report(exc, kWarning); }

void SAXTreeHandler::error(const xercesc::SAXParseException& exc) { report(exc, kError); }

// The parse ends here: the text gathered so far stays in the tree, blank or not.
void SAXTreeHandler::fatalError(const xercesc::SAXParseException& exc) {
    fatal_error_seen_ = true;
    if (text_run_open_) close_text_run(false);
    report(exc, kFatalError);
}

// Tells the caller where and why the read is about to end: the record functions refuse the
// name next, which ends the read with 10.
void SAXTreeHandler::report_name_too_long(const char* name, std::size_t length) {
    if (error_callback_ == nullptr) return;
    std::string message = parser::name_too_long_message(name, length);
    int32_t line = locator_ != nullptr ? narrow_position(locator_->getLineNumber()) : 0;
    int32_t column = locator_ != nullptr ? narrow_position(locator_->getColumnNumber()) : 0;
    if (text_run_open_) close_text_run(false);
    CurrentDiagnostic current(message.c_str());
    error_callback_(line, column, nullptr, kFatalError, user_data_);
}

void SAXTreeHandler::report(const xercesc::SAXParseException& exc, int32_t severity) {
    int32_t line = narrow_position(exc.getLineNumber());
    int32_t column = narrow_position(exc.getColumnNumber());
    if (error_callback_ == nullptr) return;
    // The caller may look at the tree from the callback: show it the text read so far.
    if (text_run_open_) close_text_run(false);
    const XMLCh* public_id = exc.getPublicId();
    const char* converted = public_id != nullptr ? text_utf8_.convert(public_id) : nullptr;
    CurrentDiagnostic message(message_utf8_.convert(exc.getMessage()));
    error_callback_(line, column, converted, severity, user_data_);
}

}  // namespace zel::sax
