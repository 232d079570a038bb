// What a tree must be before any of it is written, checked in one walk over the records that
// a write would write.
#pragma once

#include "text/utf.hpp"
#include "text/xml_name.hpp"
#include "zel_xml3.h"

#include <cstddef>

namespace zel::write {

struct TreeCheck {
    // False when the tree cannot be written at all: an element or attribute name that is not
    // an XML 1.0 name, bytes that are not UTF-8 in a name or value, a type-11 record below the
    // root, or more element levels than the depth limit.
    bool writable = false;
    // Some element holds both text and elements: the document gets the mixed-content layout.
    bool mixed = false;
    // Some value written holds a character XML does not allow (a control character other
    // than TAB, LF and CR, U+FFFE or U+FFFF): values are then tested one by one as they are
    // written.
    bool forbidden_characters = false;
};

// Walks the records a write writes: named type-0 records with their attributes, text records
// and unnamed elements (as text, their own children and attributes never looked at), type-11
// records (refused); every other type is passed over with everything below it. At most
// `max_depth` element levels, the root being level 1. Never recurses.
TreeCheck check_tree(const XMLNode* root, std::size_t max_depth);

// What a value holds: bytes that are not UTF-8, a character XML does not allow. Null is "".
struct ValueScan {
    bool utf8 = true;
    bool forbidden = false;
};
ValueScan scan_value(const char* value);

// The XML name test the checks and the writer use (text/xml_name.hpp).
using text::is_xml_name;

// True when `value` (well-formed UTF-8) holds a character XML does not allow.
bool has_forbidden_character(const char* value);

}  // namespace zel::write
