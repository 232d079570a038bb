#include "io/write/tree_check.hpp"

#include "io/write/scan.hpp"
#include "text/utf.hpp"

#include <cstdint>
#include <cstring>
#include <vector>

namespace zel::write {

namespace {

bool continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Length of the well-formed UTF-8 sequence at `at` (shortest form, no surrogates, at most
// U+10FFFF), or 0; `*code_point` gets its value.
std::size_t sequence_length(const unsigned char* at, char32_t* code_point) {
    unsigned char lead = at[0];
    if (lead < 0xC2 || lead > 0xF4) return 0;
    std::size_t need = lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
    char32_t cp = lead & (lead < 0xE0 ? 0x1F : lead < 0xF0 ? 0x0F : 0x07);
    for (std::size_t i = 1; i <= need; ++i) {
        if (!continuation(at[i])) return 0;
        cp = (cp << 6) | (at[i] & 0x3F);
    }
    static const char32_t kShortest[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kShortest[need] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    *code_point = cp;
    return need + 1;
}

}  // namespace

ValueScan scan_value(const char* value) {
    ValueScan scan;
    if (value == nullptr) return scan;
    const auto* at = reinterpret_cast<const unsigned char*>(value);
    const unsigned char* end = at + std::strlen(value);
    for (;;) {
        at = find_not_printable_ascii(at, end);
        if (at == end) return scan;
        if (*at < 0x20) {
            scan.forbidden = scan.forbidden || (*at != '\t' && *at != '\n' && *at != '\r');
            ++at;
            continue;
        }
        char32_t cp = 0;
        std::size_t len = sequence_length(at, &cp);
        if (len == 0) {
            scan.utf8 = false;
            return scan;
        }
        scan.forbidden = scan.forbidden || cp == 0xFFFE || cp == 0xFFFF;
        at += len;
    }
}

namespace {

class Checker {
public:
    explicit Checker(std::size_t max_depth) : max_depth_(max_depth) {}

    TreeCheck run(const XMLNode* root) {
        if (!element_ok(root) || !push(root)) return {};
        while (!stack_.empty()) {
            Frame& frame = stack_.back();
            if (frame.next < frame.record->children.count) {
                if (!child_ok(frame.record->children.items[frame.next++], frame)) return {};
                continue;
            }
            result_.mixed = result_.mixed || (frame.has_text && frame.has_element);
            stack_.pop_back();
        }
        result_.writable = true;
        return result_;
    }

private:
    struct Frame {
        const XMLNode* record;
        int32_t next;
        bool has_text;
        bool has_element;
    };

    // `frame` is not used after a push, which may move the stack.
    bool child_ok(const XMLNode* child, Frame& frame) {
        if (child->type == XML_TEXT_NODE || (child->type == XML_ELEMENT_NODE && child->name[0] == '\0')) {
            frame.has_text = true;
            return value_ok(child->value);
        }
        if (child->type == XML_ELEMENT_NODE) {
            frame.has_element = true;
            return element_ok(child) && push(child);
        }
        return child->type != XML_DOCUMENT_NODE;  // a second document element is refused
    }

    bool push(const XMLNode* record) {
        if (stack_.size() >= max_depth_) return false;
        stack_.push_back(Frame{record, 0, false, false});
        return true;
    }

    bool element_ok(const XMLNode* record) {
        if (!name_ok(record->name, strnlen(record->name, sizeof record->name))) return false;
        for (int32_t i = 0; i < record->attributes.count; ++i) {
            const XMLAttr& attr = record->attributes.items[i];
            const char* name = attr.name != nullptr ? attr.name : "";
            if (!name_ok(name, std::strlen(name)) || !value_ok(attr.value)) return false;
        }
        return true;
    }

    bool value_ok(const char* value) {
        ValueScan scan = scan_value(value);
        result_.forbidden_characters = result_.forbidden_characters || scan.forbidden;
        return scan.utf8;
    }

    bool name_ok(const char* name, std::size_t len) { return is_xml_name(name, len, utf16_); }

    std::size_t max_depth_;
    std::vector<Frame> stack_;
    text::Utf16Buffer utf16_;
    TreeCheck result_;
};

}  // namespace

TreeCheck check_tree(const XMLNode* root, std::size_t max_depth) {
    Checker checker(max_depth);
    return checker.run(root);
}

bool has_forbidden_character(const char* value) { return scan_value(value).forbidden; }

}  // namespace zel::write
