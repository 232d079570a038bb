#include "io/write/layout.hpp"

#include "io/write/walk.hpp"

#include <string>

#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMText.hpp>

using xercesc::DOMNode;

namespace zel::write {

namespace {

// True when `node` has children and every one of them is an element.
bool is_element_only(const DOMNode* node) {
    const DOMNode* child = node->getFirstChild();
    if (child == nullptr) return false;
    for (; child != nullptr; child = child->getNextSibling())
        if (child->getNodeType() != DOMNode::ELEMENT_NODE) return false;
    return true;
}

class Indenter {
public:
    explicit Indenter(xercesc::DOMDocument* document) : document_(document) {}

    // A line break and two spaces per level before each child of `element`, which sits at
    // `level`, and before its end tag.
    void indent_children(DOMNode* element, std::size_t level) {
        for (DOMNode* child = element->getFirstChild(); child != nullptr; child = child->getNextSibling())
            element->insertBefore(make(level + 1), child);
        element->appendChild(make(level));
    }

private:
    DOMNode* make(std::size_t level) {
        indent_.assign(1, u'\n');
        indent_.append(2 * level, u' ');
        return document_->createTextNode(indent_.c_str());
    }

    xercesc::DOMDocument* document_;
    std::u16string indent_;
};

}  // namespace

void lay_out_element_only_parts(xercesc::DOMElement* documentElement) {
    Indenter indenter(documentElement->getOwnerDocument());
    DOMNode* node = documentElement;
    std::size_t level = 0;
    for (;;) {
        DOMNode* next = nullptr;
        if (is_element_only(node)) {
            indenter.indent_children(node, level);
            next = first_element_from(node->getFirstChild());
        }
        if (next != nullptr) {
            ++level;
        } else {
            // Climb until a later element sibling turns up.
            while (node != documentElement && (next = first_element_from(node->getNextSibling())) == nullptr) {
                node = node->getParentNode();
                --level;
            }
            if (next == nullptr) return;
        }
        node = next;
    }
}

}  // namespace zel::write
