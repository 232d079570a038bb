#include "io/build/element_maker.hpp"

#include "text/utf.hpp"

#include <new>

namespace zel::read {

// Converts `text` to the end of the buffer; returns its length in bytes.
std::size_t ElementMaker::gather(const XMLCh* text) {
    std::size_t units = text::utf16_length(text);
    std::size_t room = used_ + text::utf8_capacity_for(units);
    if (text_.size() < room) text_.resize(room);
    std::size_t len = text::utf16_to_utf8(text, units, text_.data() + used_);
    used_ += len;
    return len;
}

void ElementMaker::add(const XMLCh* name, const XMLCh* value, int32_t type) {
    tree::AttributeText attribute{};
    attribute.name_at = used_;
    attribute.name_len = gather(name);
    attribute.value_at = used_;
    attribute.value_len = gather(value);
    attribute.type = type;
    memory_.charge(tree::attribute_cost(attribute.name_len, attribute.value_len));
    attributes_.push_back(attribute);
}

XMLNode* ElementMaker::append_to(XMLNode* parent, const char* name, std::size_t len) {
    const bool long_name = len > tree::kMaxNameLength;
    memory_.charge(tree::record_cost(0) + (long_name ? len : 0));
    XMLNode* element = tree::new_element(long_name ? "" : name, long_name ? 0 : len, text_.data(),
                                         attributes_.data(), static_cast<int32_t>(attributes_.size()));
    if (element == nullptr) throw std::bad_alloc();
    if ((long_name && !tree::set_long_name(element, name, len)) || !tree::append_child(parent, element)) {
        tree::free_node(element);
        throw std::bad_alloc();
    }
    element->parent = parent;
    return element;
}

}  // namespace zel::read
