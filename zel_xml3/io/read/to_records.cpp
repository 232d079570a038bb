#include "io/read/to_records.hpp"

#include "io/walk.hpp"
#include "text/utf.hpp"
#include "tree/tree.hpp"

#include <new>
#include <vector>

#include <xercesc/dom/DOMAttr.hpp>
#include <xercesc/dom/DOMNamedNodeMap.hpp>

using xercesc::DOMNode;
using zel::io::first_element_from;

namespace zel::read {

namespace {

// The next DOM child to convert into `record`. Content reached through an entity reference
// is converted in place of the reference but not counted.
struct Frame {
    const DOMNode* next;
    XMLNode* record;
    bool counted;
};

class Converter {
public:
    explicit Converter(parser::MemoryBudget& memory) : memory_(memory) {}
    int32_t run(const xercesc::DOMElement* element, XMLNode* root);

private:
    void visit(const DOMNode* node, Frame frame);
    XMLNode* add_element(const DOMNode* node, XMLNode* parent);
    void add_text(const DOMNode* node, XMLNode* parent);
    void add_attributes(const DOMNode* node, XMLNode* record);
    void charge(std::size_t bytes) { memory_.charge(bytes); }

    parser::MemoryBudget& memory_;
    std::vector<Frame> stack_;
    text::Utf8Buffer name_;
    text::Utf8Buffer value_;
};

template <typename T>
T* checked(T* made) {
    if (made == nullptr) throw std::bad_alloc();
    return made;
}

int32_t Converter::run(const xercesc::DOMElement* element, XMLNode* root) {
    XMLCreateDocumentNode(name_.convert(element->getNodeName()), root);
    add_attributes(element, root);
    int32_t visited = 1;
    stack_.push_back(Frame{element->getFirstChild(), root, true});
    while (!stack_.empty()) {
        Frame& top = stack_.back();
        if (top.next == nullptr) {
            stack_.pop_back();
            continue;
        }
        const DOMNode* node = top.next;
        top.next = node->getNextSibling();
        if (top.counted) ++visited;
        visit(node, top);  // takes a copy: pushing may move the stack
    }
    return visited;
}

void Converter::visit(const DOMNode* node, Frame frame) {
    switch (node->getNodeType()) {
    case DOMNode::ELEMENT_NODE: {
        XMLNode* record = add_element(node, frame.record);
        stack_.push_back(Frame{node->getFirstChild(), record, frame.counted});
        break;
    }
    case DOMNode::TEXT_NODE:
    case DOMNode::CDATA_SECTION_NODE:
        add_text(node, frame.record);
        break;
    case DOMNode::ENTITY_REFERENCE_NODE:
        stack_.push_back(Frame{node->getFirstChild(), frame.record, false});
        break;
    default:  // comments, processing instructions: no record
        break;
    }
}

XMLNode* Converter::add_element(const DOMNode* node, XMLNode* parent) {
    charge(tree::record_cost(0));
    XMLNode* record = checked(XMLCreateElementNode(name_.convert(node->getNodeName()), parent));
    add_attributes(node, record);
    return record;
}

void Converter::add_text(const DOMNode* node, XMLNode* parent) {
    const char* text = value_.convert(node->getNodeValue());
    if (tree::is_blank(text, value_.size())) return;
    charge(tree::record_cost(value_.size()));
    checked(tree::create_text(parent, text, value_.size()));
}

// An attribute's value. The parser gives most attributes a single text child; reading it
// directly skips the costly cast that DOMAttr::getValue makes on every call.
const XMLCh* attribute_value(const xercesc::DOMAttr* attr) {
    const DOMNode* first = attr->getFirstChild();
    if (first != nullptr && first->getNextSibling() == nullptr && first->getNodeType() == DOMNode::TEXT_NODE)
        return first->getNodeValue();
    return attr->getValue();
}

void Converter::add_attributes(const DOMNode* node, XMLNode* record) {
    const xercesc::DOMNamedNodeMap* map = node->getAttributes();
    XMLSize_t count = map->getLength();
    for (XMLSize_t i = 0; i < count; ++i) {
        const auto* attr = static_cast<const xercesc::DOMAttr*>(map->item(i));
        const char* name = name_.convert(attr->getName());
        std::size_t name_len = name_.size();
        const char* value = value_.convert(attribute_value(attr));
        charge(tree::attribute_cost(name_len, value_.size()));
        checked(tree::append_attribute(record, name, name_len, value, value_.size(), XML_CDATA_SECTION_NODE));
    }
}

}  // namespace

int32_t count_elements(const xercesc::DOMElement* element) {
    if (element == nullptr) return 0;
    int32_t count = 0;
    const DOMNode* node = element;
    for (;;) {
        ++count;
        const DOMNode* next = first_element_from(node->getFirstChild());
        // No element child: the next element sibling of this node or of its nearest ancestor.
        while (next == nullptr && node != element) {
            next = first_element_from(node->getNextSibling());
            if (next == nullptr) node = node->getParentNode();
        }
        if (next == nullptr) return count;
        node = next;
    }
}

int32_t convert_document_element(const xercesc::DOMElement* element, XMLNode* root,
                                 parser::MemoryBudget& memory) {
    Converter converter(memory);
    return converter.run(element, root);
}

}  // namespace zel::read
