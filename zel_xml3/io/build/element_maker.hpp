// Makes an element record with its attributes in one allocation: the attributes are gathered
// as UTF-8 in one reusable buffer first, then the record, its attribute sequence and their
// strings are made together. Names of any length.
#pragma once

#include "io/parser/safety.hpp"
#include "tree/tree.hpp"
#include "zel_xml3.h"

#include <cstddef>
#include <cstdint>
#include <vector>

#include <xercesc/util/XercesDefs.hpp>

namespace zel::read {

class ElementMaker {
public:
    explicit ElementMaker(parser::MemoryBudget& memory) : memory_(memory) {}

    // Starts the next element: no attributes gathered.
    void clear() {
        attributes_.clear();
        used_ = 0;
    }
    // Gathers one attribute, charged to the budget.
    void add(const XMLCh* name, const XMLCh* value, int32_t type);
    // Appends the element named `name` (`len` bytes, any length) with the gathered attributes
    // to `parent` and returns it. Throws std::bad_alloc when out of memory (nothing appended).
    XMLNode* append_to(XMLNode* parent, const char* name, std::size_t len);

private:
    std::size_t gather(const XMLCh* text);

    parser::MemoryBudget& memory_;
    std::vector<tree::AttributeText> attributes_;
    std::vector<char> text_;  // grows to the largest element's; never shrinks
    std::size_t used_ = 0;
};

}  // namespace zel::read
