#include "io/write/document_writer.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace zel::write {

namespace {

bool text_like(const XMLNode* record) {
    return record->type == XML_TEXT_NODE || (record->type == XML_ELEMENT_NODE && record->name[0] == '\0');
}

// Records of other types are left out, with everything below them.
bool written(const XMLNode* record) { return record->type == XML_TEXT_NODE || record->type == XML_ELEMENT_NODE; }

bool has_written_children(const XMLNode* record) {
    for (int32_t i = 0; i < record->children.count; ++i)
        if (written(record->children.items[i])) return true;
    return false;
}

// Holds written children, and every one of them is a named element.
bool element_only(const XMLNode* record) {
    bool any = false;
    for (int32_t i = 0; i < record->children.count; ++i) {
        const XMLNode* child = record->children.items[i];
        if (text_like(child)) return false;
        any = any || child->type == XML_ELEMENT_NODE;
    }
    return any;
}

const char* or_empty(const char* text) { return text != nullptr ? text : ""; }

// Compares two UTF-8 names in the order of their UTF-16 units, as the parser library's DOM
// orders attributes. UTF-8 bytes follow code points, which differ from UTF-16 units only
// where U+E000..U+FFFF (lead bytes EE, EF) meets a character outside the BMP (lead bytes F0
// and up, written as surrogates, which come first).
int compare_names(const char* a, const char* b) {
    std::size_t i = 0;
    while (a[i] != '\0' && a[i] == b[i]) ++i;
    auto x = static_cast<unsigned char>(a[i]);
    auto y = static_cast<unsigned char>(b[i]);
    if (x == y) return 0;
    bool x_high = x == 0xEE || x == 0xEF, y_high = y == 0xEE || y == 0xEF;
    if ((x_high && y >= 0xF0) || (y_high && x >= 0xF0)) return x >= 0xF0 ? -1 : 1;
    return x < y ? -1 : 1;
}

// `Out` is the encoder's type: Utf8Encoder, whose calls are inlined, or any Encoder.
template <typename Out>
class Writer {
public:
    Writer(Out& out, const TreeCheck& check) : out_(out), pretty_(!check.mixed), careful_(check.forbidden_characters) {}

    void run(const XMLNode* root, bool marked, const char* encoding_name) {
        if (marked) out_.byte_order_mark();
        out_.markup("<?xml version=\"1.0\" encoding=\"");
        out_.attribute_name(encoding_name);
        out_.markup("\" standalone=\"no\" ?>");
        if (!pretty_) out_.markup("\n", 1);
        start_element(root, 0, true);
        while (!stack_.empty()) {
            Frame& frame = stack_.back();
            if (frame.next == frame.record->children.count) {
                end_element(frame);
                stack_.pop_back();
                continue;
            }
            const XMLNode* child = frame.record->children.items[frame.next++];
            if (!written(child)) continue;
            if (frame.indents) line_break(frame.level + 1);
            if (text_like(child))
                text(or_empty(child->value));
            else
                start_element(child, frame.level + 1, frame.indents);  // `frame` may move
        }
        out_.markup("\n", 1);
    }

private:
    // An element whose end tag is still to come.
    struct Frame {
        const XMLNode* record;
        int32_t next;
        std::uint32_t level;
        std::uint64_t line;  // pretty print: the line its start tag began on
        bool indents;        // mixed layout: a line break and indentation before each child
    };

    void start_element(const XMLNode* record, std::uint32_t level, bool laid_out) {
        if (pretty_) {
            if (!line_feed_in_text_) new_line();
            line_feed_in_text_ = false;
            indent(level);
        }
        std::uint64_t line = line_;
        out_.markup("<", 1);
        out_.element_name(record->name, strnlen(record->name, sizeof record->name));
        attributes(record);
        if (!has_written_children(record)) {
            out_.markup("/>", 2);
            return;
        }
        out_.markup(">", 1);
        bool indents = !pretty_ && laid_out && element_only(record);
        stack_.push_back(Frame{record, 0, level, line, indents});
    }

    void end_element(const Frame& frame) {
        if (pretty_ && frame.line != line_) {
            if (!line_feed_in_text_) new_line();
            line_feed_in_text_ = false;
            indent(frame.level);
        }
        if (frame.indents) line_break(frame.level);
        out_.markup("</", 2);
        out_.element_name(frame.record->name, strnlen(frame.record->name, sizeof frame.record->name));
        out_.markup(">", 1);
    }

    // In name order, one for each name: a later attribute of the same name replaces an earlier.
    void attributes(const XMLNode* record) {
        const int32_t count = record->attributes.count;
        const XMLAttr* attrs = record->attributes.items;
        order_.clear();
        for (int32_t i = 0; i < count; ++i) order_.push_back(i);
        if (count > 1)
            std::sort(order_.begin(), order_.end(), [attrs](int32_t a, int32_t b) {
                int by_name = compare_names(attrs[a].name, attrs[b].name);
                return by_name != 0 ? by_name < 0 : a < b;
            });
        for (std::size_t k = 0; k < order_.size(); ++k) {
            const XMLAttr& attr = attrs[order_[k]];
            if (k + 1 < order_.size() && std::strcmp(attrs[order_[k + 1]].name, attr.name) == 0) continue;
            out_.markup(" ", 1);
            out_.attribute_name(attr.name);
            out_.markup("=\"", 2);
            check(or_empty(attr.value));
            out_.attribute_value(or_empty(attr.value));
            out_.markup("\"", 1);
        }
    }

    void text(const char* value) {
        check(value);
        if (pretty_) note_blank(value);
        out_.text(value);
    }

    // Pretty print: a blank text that holds a line break stands for the line break before
    // the next tag, and the spaces after its last line break count against that tag's
    // indentation.
    void note_blank(const char* value) {
        line_feed_in_text_ = false;
        trailing_blank_ = 0;
        std::size_t len = std::strspn(value, " \t\r\n");
        if (value[len] != '\0') return;
        const char* last = std::strrchr(value, '\n');
        if (last == nullptr) last = std::strrchr(value, '\r');
        if (last == nullptr) return;
        line_feed_in_text_ = true;
        trailing_blank_ = static_cast<std::size_t>(value + len - last);
    }

    void check(const char* value) {
        if (careful_ && has_forbidden_character(value)) throw CharacterNotAllowed{};
    }

    void new_line() {
        ++line_;
        out_.markup("\n", 1);
    }

    void indent(std::uint32_t level) {
        if (trailing_blank_ != 0) {
            std::size_t shift = trailing_blank_ / 2;
            trailing_blank_ = 0;
            level = shift < level ? level - static_cast<std::uint32_t>(shift) : 0;
        }
        spaces(level);
    }

    void line_break(std::uint32_t level) {
        out_.markup("\n", 1);
        spaces(level);
    }

    void spaces(std::uint32_t level) {
        std::size_t count = 2 * static_cast<std::size_t>(level);
        if (spaces_.size() < count) spaces_.resize(count, ' ');
        if (count > 0) out_.markup(spaces_.data(), count);
    }

    Out& out_;
    const bool pretty_;
    const bool careful_;
    std::vector<Frame> stack_;
    std::vector<int32_t> order_;
    std::string spaces_;
    std::uint64_t line_ = 0;
    bool line_feed_in_text_ = false;
    std::size_t trailing_blank_ = 0;
};

}  // namespace

void write_document(const XMLNode* root, const TreeCheck& check, bool marked, const char* encoding_name,
                    Encoder& encoder) {
    if (auto* utf8 = dynamic_cast<Utf8Encoder*>(&encoder)) {
        Writer<Utf8Encoder> writer(*utf8, check);
        writer.run(root, marked, encoding_name);
    } else {
        Writer<Encoder> writer(encoder, check);
        writer.run(root, marked, encoding_name);
    }
}

}  // namespace zel::write
