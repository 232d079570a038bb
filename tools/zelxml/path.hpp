// Paths into a document: a subset of XPath 1.0's abbreviated syntax.
//   /config/server[2]/port        absolute, 1-based positions among same-name siblings
//   config/server[@name='backup'] relative paths start at the document too
//   //user[@role]/@role           // reaches descendants; a final @attr or text()
//   config/*[host='example.org']  * is any element; [child='v'] tests a child's text
#pragma once

#include "walk.hpp"

#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace zelxml {

struct Predicate {
    enum Kind { kPosition, kHasAttribute, kAttributeIs, kChildIs } kind = kPosition;
    int32_t position = 0;  // kPosition: from 1
    std::string name;      // the attribute or child element
    std::string value;     // kAttributeIs, kChildIs
};

struct Step {
    bool descendants = false;  // reached through '//'
    std::string name;          // "*": any element
    std::vector<Predicate> predicates;
};

struct Path {
    enum Target { kElements, kAttribute, kText };
    std::vector<Step> steps;
    Target target = kElements;
    std::string attribute;  // kAttribute
    // No '//', '*' or predicate: the only kind of path whose missing steps set may create.
    bool simple() const;
};

// Parses `text`; false, with `problem`, on a syntax error.
bool parse_path(const std::string& text, Path& path, std::string& problem);

// The string values of the elements of one tree read whole. An element's string value, all
// text below it in document order (CDATA and entity text included), is a contiguous range of the whole tree's text, so one pre-order
// walk, on first use, gives the text and every element's range; each value is then a view.
// Valid while the tree is not changed.
class StringValues {
public:
    explicit StringValues(const XMLNode* root) : root_(root) {}
    std::string_view of(const XMLNode* element);

private:
    void build();
    const XMLNode* root_;
    bool built_ = false;
    std::string text_;
    std::unordered_map<const XMLNode*, std::pair<std::size_t, std::size_t>> ranges_;  // [start, end)
};

// The elements the steps select from the document record `root`, in document order, each
// once. `steps` may be cut short
// (the first `count` steps) to find where a simple path stops matching. `values` serves
// [child='v'] tests; without it the call makes its own when a test needs one.
std::vector<XMLNode*> select_elements(XMLNode* root, const Path& path, std::size_t count,
                                      StringValues* values = nullptr);

}  // namespace zelxml
