#include "io/write/build.hpp"

#include "io/write/depth.hpp"
#include "text/utf.hpp"

#include <cstdint>
#include <cstring>
#include <vector>

#include <xercesc/dom/DOMAttr.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMImplementation.hpp>
#include <xercesc/dom/DOMImplementationRegistry.hpp>
#include <xercesc/dom/DOMText.hpp>

using xercesc::DOMElement;

namespace zel::write {

namespace {

// The next child of `record` to convert under `element`, and what kinds it has held so far.
struct Frame {
    const XMLNode* record;
    int32_t next;
    DOMElement* element;
    bool has_text;
    bool has_element;
};

class Builder {
public:
    BuiltDocument run(const XMLNode* root, xercesc::MemoryManager* memory);

private:
    void add(const XMLNode* child, Frame& frame);
    DOMElement* new_element(const XMLNode* record);
    void push(const XMLNode* record, DOMElement* element);
    void copy_attributes(const XMLNode* record, DOMElement* element);
    const XMLCh* name_of(const XMLNode* record);
    const XMLCh* utf16(const char* text) { return checked(text_.convert(text != nullptr ? text : "")); }
    const XMLCh* checked(const XMLCh* converted) const {
        if (text_.malformed()) throw TextNotUtf8();
        return converted;
    }

    xercesc::DOMDocument* document_ = nullptr;
    std::vector<Frame> stack_;
    text::Utf16Buffer text_;
    std::size_t depth_limit_ = 0;
    bool mixed_ = false;
};

BuiltDocument Builder::run(const XMLNode* root, xercesc::MemoryManager* memory) {
    depth_limit_ = max_write_depth();
    xercesc::DOMImplementation* core = xercesc::DOMImplementationRegistry::getDOMImplementation(u"Core");
    if (core == nullptr) throw std::bad_alloc();
    // The document element is made like every other element, without namespace processing,
    // so a prefixed name such as xs:schema is written as it stands.
    DocumentPtr document(core->createDocument(memory));
    document_ = document.get();
    DOMElement* top = new_element(root);
    document_->appendChild(top);
    copy_attributes(root, top);
    push(root, top);
    while (!stack_.empty()) {
        Frame& frame = stack_.back();
        if (frame.next < frame.record->children.count) {
            add(frame.record->children.items[frame.next++], frame);
            continue;
        }
        mixed_ = mixed_ || (frame.has_text && frame.has_element);
        stack_.pop_back();
    }
    return BuiltDocument{std::move(document), mixed_, memory};
}

// `frame` is not used after a push, which may move the stack.
void Builder::add(const XMLNode* child, Frame& frame) {
    bool text_like = child->type == XML_TEXT_NODE || (child->type == XML_ELEMENT_NODE && child->name[0] == '\0');
    if (text_like) {
        frame.has_text = true;
        frame.element->appendChild(document_->createTextNode(utf16(child->value)));
    } else if (child->type == XML_ELEMENT_NODE) {
        frame.has_element = true;
        DOMElement* element = new_element(child);
        frame.element->appendChild(element);
        copy_attributes(child, element);
        push(child, element);
    } else if (child->type == XML_DOCUMENT_NODE) {
        // A second document element: the DOM refuses it, which ends the write.
        DOMElement* element = new_element(child);
        document_->appendChild(element);
        push(child, element);
    }
}

DOMElement* Builder::new_element(const XMLNode* record) { return document_->createElement(name_of(record)); }

void Builder::push(const XMLNode* record, DOMElement* element) {
    if (stack_.size() >= depth_limit_) throw TreeTooDeep();
    stack_.push_back(Frame{record, 0, element, false, false});
}

void Builder::copy_attributes(const XMLNode* record, DOMElement* element) {
    for (int32_t i = 0; i < record->attributes.count; ++i) {
        const XMLAttr& attr = record->attributes.items[i];
        xercesc::DOMAttr* node = document_->createAttribute(utf16(attr.name));
        node->setValue(utf16(attr.value));
        element->setAttributeNode(node);
    }
}

// A name fills at most the record's buffer, terminator or not.
const XMLCh* Builder::name_of(const XMLNode* record) {
    return checked(text_.convert(record->name, strnlen(record->name, sizeof record->name)));
}

}  // namespace

BuiltDocument build_document(const XMLNode* root, xercesc::MemoryManager* memory) {
    Builder builder;
    return builder.run(root, memory);
}

}  // namespace zel::write
