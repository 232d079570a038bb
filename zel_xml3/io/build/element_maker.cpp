#include "io/build/element_maker.hpp"

#include <algorithm>
#include <new>

#include <xercesc/framework/XMLAttDef.hpp>
#include <xercesc/util/XMLString.hpp>

namespace zel::build {

namespace {

int32_t type_code(bool notation) { return notation ? XML_NOTATION_NODE : XML_CDATA_SECTION_NODE; }

std::size_t attribute_cost(const tree::AttributeText& a) { return tree::attribute_cost(a.name_len, a.value_len); }

}  // namespace

void ElementMaker::gather(const xercesc::RefVectorOf<xercesc::XMLAttr>& attrs, XMLSize_t count,
                          AttributeChoice choice) {
    start(count);
    if (choice == AttributeChoice::document_reader) {
        gather_sorted(attrs, count);
        return;
    }
    for (XMLSize_t i = 0; i < count; ++i) {
        const xercesc::XMLAttr* attr = attrs.elementAt(i);
        if (attr->getSpecified())
            add(attr->getQName(), attr->getValue(), type_code(attr->getType() == xercesc::XMLAttDef::Notation));
    }
}

void ElementMaker::gather_sorted(const xercesc::RefVectorOf<xercesc::XMLAttr>& attrs, XMLSize_t count) {
    order_.resize(count);
    for (XMLSize_t i = 0; i < count; ++i) order_[i] = i;
    if (count > 1) {  // equal names keep their order
        std::sort(order_.begin(), order_.end(), [&attrs](XMLSize_t a, XMLSize_t b) {
            int order = xercesc::XMLString::compareString(attrs.elementAt(a)->getName(), attrs.elementAt(b)->getName());
            return order < 0 || (order == 0 && a < b);
        });
    }
    for (XMLSize_t i = 0; i < count; ++i) {
        const xercesc::XMLAttr* attr = attrs.elementAt(order_[i]);
        if (i + 1 < count && xercesc::XMLString::equals(attr->getName(), attrs.elementAt(order_[i + 1])->getName()))
            continue;  // the later one of the same name stays
        add(attr->getName(), attr->getValue(), XML_CDATA_SECTION_NODE);
    }
}

void ElementMaker::gather(const xercesc::AttributeList& attrs) {
    static constexpr XMLCh kNotation[] = u"NOTATION";
    XMLSize_t count = attrs.getLength();
    start(count);
    for (XMLSize_t i = 0; i < count; ++i)
        add(attrs.getName(i), attrs.getValue(i), type_code(xercesc::XMLString::equals(attrs.getType(i), kNotation)));
}

template <typename Make>
XMLNode* ElementMaker::charged(Make make) {
    std::size_t paid = 0;
    try {
        for (; paid < count_; ++paid) memory_.charge(attribute_cost(attributes_[paid]));
    } catch (...) {
        count_ = paid;
        make();
        throw;
    }
    return make();
}

XMLNode* ElementMaker::append_to(XMLNode* parent, const char* name, std::size_t len) {
    const bool long_name = len > tree::kMaxNameLength;
    if (long_name) memory_.charge(len);
    return charged([&] {
        XMLNode* element = tree::new_element(long_name ? "" : name, long_name ? 0 : len, text_.data(),
                                             attributes_.data(), static_cast<int32_t>(count_));
        if (element == nullptr) throw std::bad_alloc();
        if ((long_name && !tree::set_long_name(element, name, len)) || !tree::append_child(parent, element)) {
            tree::free_node(element);
            throw std::bad_alloc();
        }
        element->parent = parent;
        return element;
    });
}

XMLNode* ElementMaker::fill(XMLNode* element, const char* name, std::size_t len) {
    if (len > tree::kMaxNameLength) memory_.charge(len);
    if (!tree::set_long_name(element, name, len)) throw std::bad_alloc();
    return charged([&] {
        const char* text = text_.data();
        for (std::size_t i = 0; i < count_; ++i) {
            const tree::AttributeText& a = attributes_[i];
            if (!tree::append_attribute(element, text + a.name_at, a.name_len, text + a.value_at, a.value_len, a.type))
                throw std::bad_alloc();
        }
        return element;
    });
}

}  // namespace zel::build
