// Makes element records from the parser's element starts, the same way for every reader: the
// attributes are gathered as UTF-8 in one reusable buffer first, then the record, its
// attribute sequence and their strings are made together in one allocation. What differs
// between readers is a choice passed in: which attributes, named and ordered how, and what
// a name too long for a record's `name` does.
#pragma once

#include "io/parser/safety.hpp"
#include "text/utf.hpp"
#include "tree/tree.hpp"
#include "zel_xml3.h"

#include <cstddef>
#include <cstdint>
#include <vector>

#include <xercesc/framework/XMLAttr.hpp>
#include <xercesc/sax/AttributeList.hpp>
#include <xercesc/util/RefVectorOf.hpp>

namespace zel::build {

// What an element name longer than tree::kMaxNameLength bytes does to a read.
enum class LongNames {
    refused,  // the read ends there
    kept,     // the record keeps the whole name (tree::set_long_name)
};

// Which of the attributes the scanner reports a reader keeps, named and ordered how.
enum class AttributeChoice {
    // As a document reader's attribute map holds them: every attribute, defaults from the DTD
    // included, named by what follows the first colon (namespaces are off), sorted by name in
    // UTF-16 units; of a name given twice the later value stays. All typed 3.
    document_reader,
    // As the document writes them: the attributes it specifies, by their whole names, in
    // document order. A declared NOTATION attribute is typed 10, any other 3.
    as_written,
};

class ElementMaker {
public:
    // Attributes and long names are charged to `memory`; the element record itself is the
    // reader's to charge.
    ElementMaker(parser::MemoryBudget& memory, LongNames long_names) : memory_(memory), long_names_(long_names) {}

    void keep_long_names() { long_names_ = LongNames::kept; }
    // The name rule: true when an element name of `len` bytes ends the read.
    bool refuses(std::size_t len) const { return long_names_ == LongNames::refused && len > tree::kMaxNameLength; }

    // Gathers the attributes of the next element, in place of those gathered before: from the
    // scanner's list as `choice` says, or from a SAX attribute list (every attribute, whole
    // names, its order; NOTATION typed 10, any other 3).
    void gather(const xercesc::RefVectorOf<xercesc::XMLAttr>& attrs, XMLSize_t count, AttributeChoice choice);
    void gather(const xercesc::AttributeList& attrs);

    // Appends the element named `name` (`len` bytes; a long one only when kept) with the
    // gathered attributes to `parent`, in one allocation, and returns it.
    XMLNode* append_to(XMLNode* parent, const char* name, std::size_t len);
    // Names `element` and appends the gathered attributes to it, each with strings of its own
    // block: for a document element filled in place, or moved into the caller's root at the
    // end (tree::adopt_content moves only such attributes). Returns `element`.
    XMLNode* fill(XMLNode* element, const char* name, std::size_t len);
    // Both charge the attributes in order first. When the budget refuses one, the element is
    // still made with the attributes before it, and the refusal goes on. Both throw
    // std::bad_alloc when out of memory (append_to then appends nothing).

private:
    // Starts gathering at most `count` attributes.
    void start(XMLSize_t count) {
        if (attributes_.size() < count) attributes_.resize(count);
        count_ = 0;
        used_ = 0;
    }
    void add(const XMLCh* name, const XMLCh* value, int32_t type) {
        tree::AttributeText& attribute = attributes_[count_++];
        attribute.name_at = used_;
        attribute.name_len = gather_utf8(name);
        attribute.value_at = used_;
        attribute.value_len = gather_utf8(value);
        attribute.type = type;
    }
    // Converts `text` to the end of the buffer; returns its length in bytes.
    std::size_t gather_utf8(const XMLCh* text) {
        std::size_t units = text::utf16_length(text);
        std::size_t room = used_ + text::utf8_capacity_for(units);
        if (text_.size() < room) text_.resize(room);
        std::size_t len = text::utf16_to_utf8(text, units, text_.data() + used_);
        used_ += len;
        return len;
    }
    void gather_sorted(const xercesc::RefVectorOf<xercesc::XMLAttr>& attrs, XMLSize_t count);
    template <typename Make>
    XMLNode* charged(Make make);

    parser::MemoryBudget& memory_;
    LongNames long_names_;
    std::vector<tree::AttributeText> attributes_;  // the first count_ are gathered; never shrinks
    std::size_t count_ = 0;
    std::vector<char> text_;  // grows to the largest element's; never shrinks
    std::size_t used_ = 0;
    std::vector<XMLSize_t> order_;  // sorting scratch
};

}  // namespace zel::build
