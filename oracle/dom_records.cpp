#include "dom_records.hpp"

#include "dom_walk.hpp"
#include "text/utf.hpp"
#include "tree/tree.hpp"

#include <new>
#include <vector>

#include <xercesc/dom/DOMAttr.hpp>
#include <xercesc/dom/DOMNamedNodeMap.hpp>

using xercesc::DOMNode;

namespace oracle {

namespace {

// The next DOM child to convert into `record`. Content reached through an entity reference
// is converted in place of the reference but not counted.
struct Frame {
    const DOMNode* next;
    XMLNode* record;
    bool counted;
    bool element;  // its end is an element boundary
};

class Converter {
public:
    explicit Converter(zel::parser::MemoryBudget& memory) : memory_(memory) {}
    int32_t run(const xercesc::DOMElement* element, XMLNode* root);

private:
    void visit(const DOMNode* node, Frame frame);
    XMLNode* add_element(const DOMNode* node, XMLNode* parent);
    void add_text(const DOMNode* node, XMLNode* parent);
    void close_run();
    void add_attributes(const DOMNode* node, XMLNode* record);
    void charge(std::size_t bytes) { memory_.charge(bytes); }

    zel::parser::MemoryBudget& memory_;
    std::vector<Frame> stack_;
    std::vector<const DOMNode*> run_;  // text nodes since the last element boundary
    XMLNode* run_record_ = nullptr;
    bool run_blank_ = true;
    zel::text::Utf8Buffer name_;
    zel::text::Utf8Buffer value_;
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
    stack_.push_back(Frame{element->getFirstChild(), root, true, true});
    while (!stack_.empty()) {
        Frame& top = stack_.back();
        if (top.next == nullptr) {
            if (top.element) close_run();
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
        close_run();
        XMLNode* record = add_element(node, frame.record);
        stack_.push_back(Frame{node->getFirstChild(), record, frame.counted, true});
        break;
    }
    case DOMNode::TEXT_NODE:
    case DOMNode::CDATA_SECTION_NODE:
        add_text(node, frame.record);
        break;
    case DOMNode::ENTITY_REFERENCE_NODE:
        stack_.push_back(Frame{node->getFirstChild(), frame.record, false, false});
        break;
    default:  // comments, processing instructions: no record
        break;
    }
}

XMLNode* Converter::add_element(const DOMNode* node, XMLNode* parent) {
    charge(zel::tree::record_cost(0));
    XMLNode* record = checked(XMLCreateElementNode(name_.convert(node->getNodeName()), parent));
    add_attributes(node, record);
    return record;
}

// Text waits for the end of its run.
void Converter::add_text(const DOMNode* node, XMLNode* parent) {
    const char* text = value_.convert(node->getNodeValue());
    if (run_.empty()) run_record_ = parent;
    run_blank_ = run_blank_ && zel::tree::is_blank(text, value_.size());
    run_.push_back(node);
}

void Converter::close_run() {
    if (!run_blank_) {
        for (const DOMNode* node : run_) {
            const char* text = value_.convert(node->getNodeValue());
            charge(zel::tree::record_cost(value_.size()));
            checked(zel::tree::create_text(run_record_, text, value_.size()));
        }
    }
    run_.clear();
    run_blank_ = true;
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
        charge(zel::tree::attribute_cost(name_len, value_.size()));
        checked(zel::tree::append_attribute(record, name, name_len, value, value_.size(), XML_CDATA_SECTION_NODE));
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
                                 zel::parser::MemoryBudget& memory) {
    Converter converter(memory);
    return converter.run(element, root);
}

}  // namespace oracle
