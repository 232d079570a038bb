#include "io/write/record_writer.hpp"

#include "io/write/tree_check.hpp"
#include "tree/tree.hpp"

#include <cstring>
#include <string_view>
#include <vector>

namespace zel::write {

namespace {

using source::RawRecord;

bool is_text(const XMLNode* record) {
    return record->type == XML_TEXT_NODE || (record->type == XML_ELEMENT_NODE && record->name[0] == '\0');
}

bool is_element(const XMLNode* record) { return record->type == XML_ELEMENT_NODE && record->name[0] != '\0'; }

bool is_blank_text(const XMLNode* record) {
    return is_text(record) && tree::is_blank(record->value, std::strlen(record->value));
}

const char* or_empty(const char* text) { return text != nullptr ? text : ""; }

// What a record is, for messages.
std::string describe(const XMLNode* record) {
    switch (record->type) {
    case XML_ELEMENT_NODE:
        return record->name[0] == '\0' ? "text" : std::string("element '") + tree::whole_name(record) + "'";
    case XML_TEXT_NODE:
        return "text";
    case XML_CDATA_SECTION_NODE:
        return "CDATA section";
    case XML_ENTITY_REFERENCE_NODE:
        return std::string("entity reference '") + tree::whole_name(record) + "'";
    case XML_PROCESSING_INSTRUCTION_NODE:
        return std::string("processing instruction '") + tree::whole_name(record) + "'";
    case XML_COMMENT_NODE:
        return "comment";
    case XML_DOCUMENT_TYPE_NODE:
        return "DOCTYPE";
    default:
        return "document record";
    }
}

// Element content that holds elements and nothing but blank text, comments and processing
// instructions around them: the indented layout may re-indent it.
bool element_only(const XMLNode* record) {
    bool any = false;
    for (int32_t i = 0; i < record->children.count; ++i) {
        const XMLNode* child = record->children.items[i];
        if (is_element(child)) {
            any = true;
        } else if (is_text(child) ? !is_blank_text(child)
                                  : child->type == XML_CDATA_SECTION_NODE || child->type == XML_ENTITY_REFERENCE_NODE) {
            return false;
        }
    }
    return any;
}

// UTF-8 and UTF-16 need no encoding in the declaration: a reader tells them by their first bytes.
bool self_detected(const std::string& encoding) {
    std::string upper;
    for (char c : encoding) upper += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    return upper == "UTF-8" || upper == "UTF8" || upper == "UTF-16" || upper == "UTF-16LE" || upper == "UTF-16BE";
}

bool written_type(int32_t type) {
    return type == XML_ELEMENT_NODE || type == XML_TEXT_NODE || type == XML_CDATA_SECTION_NODE ||
           type == XML_ENTITY_REFERENCE_NODE || type == XML_PROCESSING_INSTRUCTION_NODE ||
           type == XML_COMMENT_NODE || type == XML_DOCUMENT_TYPE_NODE || type == XML_DOCUMENT_NODE;
}

// `Out` is the encoder's type: Utf8Encoder, whose calls are inlined, or any Encoder.
template <typename Out>
class RecordWriter {
public:
    RecordWriter(const RecordLayout& layout, Out& out)
        : layout_(layout), out_(out), newline_(layout.crlf ? "\r\n" : "\n") {}

    void run(const XMLNode* root) {
        if (layout_.byte_order_mark) out_.byte_order_mark();
        if (root->type == XML_DOCUMENT_NODE) {
            declaration(root);
            children_of_document(root);
            return;
        }
        default_declaration();
        markup(newline_);
        element_tree(root, 0);
        markup(newline_);
    }

private:
    // One element whose end tag is still to come.
    struct Frame {
        const XMLNode* record;
        int32_t next;
        const RawRecord* raw;  // its source, when it still reads as it did
        std::uint32_t level;
        bool indents;  // its children go on lines of their own
    };

    void markup(std::string_view text) { out_.markup(text.data(), text.size()); }
    // Bytes of the source, or any UTF-8 the encoding must hold as it is.
    void verbatim(std::string_view text) { out_.element_name(text.data(), text.size()); }

    const RawRecord* raw_of(const XMLNode* record) const {
        if (layout_.source == nullptr) return nullptr;
        const RawRecord* raw = layout_.source->find(record);
        if (raw == nullptr) return nullptr;
        std::uint64_t now = record->type == XML_DOCUMENT_NODE ? source::declaration_fingerprint(record)
                                                              : source::record_fingerprint(record);
        return now == raw->fingerprint ? raw : nullptr;
    }
    std::string_view slice(source::Span span) const { return layout_.source->slice(span); }

    void declaration(const XMLNode* document) {
        const RawRecord* raw = raw_of(document);
        if (raw != nullptr) {
            if (raw->open.size() == 0) return;
            verbatim(slice(raw->open));
        } else if (document->attributes.count > 0) {
            // Written anew, the declaration names the output encoding: after the version when
            // it named none and the encoding is not one a reader detects by itself.
            bool named = false;
            for (int32_t i = 0; i < document->attributes.count; ++i)
                named = named || std::strcmp(or_empty(document->attributes.items[i].name), "encoding") == 0;
            bool add = !named && layout_.source == nullptr && !self_detected(layout_.encoding);
            markup("<?xml");
            for (int32_t i = 0; i < document->attributes.count; ++i) {
                const XMLAttr& attr = document->attributes.items[i];
                bool encoding = std::strcmp(or_empty(attr.name), "encoding") == 0;
                attribute(attr.name, encoding && layout_.source == nullptr ? layout_.encoding.c_str() : attr.value);
                if (add && (i == 0 || std::strcmp(or_empty(attr.name), "version") == 0)) {
                    attribute("encoding", layout_.encoding.c_str());
                    add = false;
                }
            }
            markup("?>");
        } else if (!self_detected(layout_.encoding)) {
            default_declaration();  // a reader needs the encoding named
        } else {
            return;  // the document had none
        }
        if (layout_.indent) markup(newline_);
    }

    void default_declaration() {
        markup("<?xml version=\"1.0\" encoding=\"");
        out_.attribute_name(layout_.encoding.c_str());
        markup("\"?>");
    }

    void children_of_document(const XMLNode* document) {
        bool element_seen = false;
        for (int32_t i = 0; i < document->children.count; ++i) {
            const XMLNode* child = document->children.items[i];
            if (layout_.indent && is_blank_text(child)) continue;
            if (child->type == XML_DOCUMENT_NODE) throw WriteRefused{"a document record below the root"};
            if ((is_text(child) && !is_blank_text(child)) || child->type == XML_CDATA_SECTION_NODE ||
                child->type == XML_ENTITY_REFERENCE_NODE)
                throw WriteRefused{describe(child) + " outside the document element"};
            if (is_element(child)) {
                if (element_seen) throw WriteRefused{"a second document element, " + describe(child)};
                element_seen = true;
                element_tree(child, 0);
            } else if (child->type == XML_DOCUMENT_TYPE_NODE) {
                doctype(child);
            } else {
                leaf(child);
            }
            if (layout_.indent) markup(newline_);
        }
    }

    // The element and everything below it. Never recurses.
    void element_tree(const XMLNode* root, std::uint32_t level) {
        start_tag(root, level, true);
        while (!stack_.empty()) {
            Frame& frame = stack_.back();
            if (frame.next == frame.record->children.count) {
                end_tag(frame);
                stack_.pop_back();
                continue;
            }
            const XMLNode* child = frame.record->children.items[frame.next++];
            if (!written_type(child->type)) continue;
            if (frame.indents) {
                if (is_blank_text(child)) continue;
                line(frame.level + 1);
            }
            if (is_element(child))
                start_tag(child, frame.level + 1, frame.indents);  // `frame` may move
            else if (child->type == XML_DOCUMENT_TYPE_NODE)
                throw WriteRefused{"a DOCTYPE inside an element"};
            else if (child->type == XML_DOCUMENT_NODE)
                throw WriteRefused{"a document record below the root"};
            else
                leaf(child);
        }
    }

    void line(std::uint32_t level) {
        markup(newline_);
        for (std::uint32_t i = 0; i < level; ++i) markup("  ");
    }

    bool has_written_children(const XMLNode* record) const {
        for (int32_t i = 0; i < record->children.count; ++i)
            if (written_type(record->children.items[i]->type)) return true;
        return false;
    }

    void start_tag(const XMLNode* record, std::uint32_t level, bool laid_out) {
        const char* name = tree::whole_name(record);
        std::size_t name_len = tree::whole_name_length(record);
        if (!is_xml_name(name, name_len, scratch_)) throw WriteRefused{describe(record) + ": not an XML name"};
        const RawRecord* raw = raw_of(record);
        const bool raw_start = raw != nullptr && !raw->start_default;
        const bool children = has_written_children(record);
        try {
            if (raw_start)
                verbatim(slice({raw->open.begin, raw->name_end}));
            else {
                markup("<");
                verbatim(std::string_view(name, name_len));
            }
            attributes(record, raw_start ? raw : nullptr);
            if (raw_start && (!raw->empty_tag || !children))
                verbatim(slice({tail_begin(*raw), raw->open.end}));
            else
                markup(children ? ">" : "/>");
        } catch (const NameNotRepresentable& refused) {
            throw WriteRefused{describe(record) + ": " + refused.message};
        }
        // <a></a> as it was read keeps its end tag; any other element without children is done.
        if (!children && !(raw_start && !raw->empty_tag)) return;
        bool indents = layout_.indent && laid_out && element_only(record);
        stack_.push_back(Frame{record, 0, raw, level, indents});
    }

    std::uint32_t tail_begin(const RawRecord& raw) const {
        if (raw.attribute_count == 0) return raw.name_end;
        return layout_.source->attributes[raw.first_attribute + raw.attribute_count - 1].span.end;
    }

    // Each attribute as it was written while its name and value are unchanged, else in the
    // default form.
    void attributes(const XMLNode* record, const RawRecord* raw) {
        used_.assign(raw != nullptr ? raw->attribute_count : 0, false);
        for (int32_t i = 0; i < record->attributes.count; ++i) {
            const XMLAttr& attr = record->attributes.items[i];
            const char* name = or_empty(attr.name);
            if (!is_xml_name(name, std::strlen(name), scratch_))
                throw WriteRefused{describe(record) + ": attribute name '" + name + "' is not an XML name"};
            if (raw != nullptr) {
                std::uint64_t print = source::attribute_fingerprint(attr);
                std::size_t found = find_attribute(*raw, static_cast<std::size_t>(i), print);
                if (found != used_.size()) {
                    used_[found] = true;
                    verbatim(slice(layout_.source->attributes[raw->first_attribute + found].span));
                    continue;
                }
            }
            check_value(attr.value, record);
            if (raw != nullptr && new_value_in_place(*raw, name, attr.value)) continue;
            attribute(name, attr.value);
        }
    }

    std::size_t find_attribute(const RawRecord& raw, std::size_t index, std::uint64_t print) const {
        const auto& all = layout_.source->attributes;
        if (index < used_.size() && !used_[index] && all[raw.first_attribute + index].fingerprint == print) return index;
        for (std::size_t k = 0; k < used_.size(); ++k)
            if (!used_[k] && all[raw.first_attribute + k].fingerprint == print) return k;
        return used_.size();
    }

    // An attribute whose value changed keeps its place in the layout: the white space before
    // it, its name, the spacing around `=` and its quote, as written; only the value is new.
    bool new_value_in_place(const RawRecord& raw, const char* name, const char* value) {
        const auto& all = layout_.source->attributes;
        std::size_t name_len = std::strlen(name);
        for (std::size_t k = 0; k < used_.size(); ++k) {
            if (used_[k]) continue;
            std::string_view piece = slice(all[raw.first_attribute + k].span);
            std::size_t at = piece.find_first_not_of(" \t\r\n");
            if (piece.compare(at, name_len, name) != 0) continue;
            std::size_t after = at + name_len;
            if (after < piece.size() && piece[after] != '=' && piece[after] != ' ' && piece[after] != '\t' &&
                piece[after] != '\r' && piece[after] != '\n')
                continue;  // a longer name that starts with this one
            std::size_t quote = piece.find_first_of("\"'", after);
            bool single = piece[quote] == '\'';
            if (single && std::strchr(value, '\'') != nullptr) return false;  // the value needs "..."
            used_[k] = true;
            verbatim(piece.substr(0, quote + 1));
            out_.attribute_value(value);
            markup(single ? "'" : "\"");
            return true;
        }
        return false;
    }

    void attribute(const char* name, const char* value) {
        markup(" ");
        out_.attribute_name(or_empty(name));
        markup("=\"");
        out_.attribute_value(or_empty(value));
        markup("\"");
    }

    void end_tag(const Frame& frame) {
        if (frame.indents) line(frame.level);
        if (frame.raw != nullptr && !frame.raw->empty_tag) {
            verbatim(slice(frame.raw->close));
            return;
        }
        markup("</");
        verbatim(std::string_view(tree::whole_name(frame.record), tree::whole_name_length(frame.record)));
        markup(">");
    }

    void check_value(const char* value, const XMLNode* record) {
        ValueScan scan = scan_value(value);
        if (!scan.utf8) throw WriteRefused{describe(record) + ": a value that is not UTF-8"};
        if (scan.forbidden) throw WriteRefused{describe(record) + ": a character XML does not allow"};
    }

    // Text, CDATA, entity references, comments and processing instructions.
    void leaf(const XMLNode* record) {
        const char* value = or_empty(record->value);
        const RawRecord* raw = raw_of(record);
        try {
            if (raw != nullptr) {  // as the parser accepted it (an XML 1.1 document's characters too)
                verbatim(slice(raw->open));
                return;
            }
            if (record->type != XML_ENTITY_REFERENCE_NODE) check_value(value, record);
            switch (record->type) {
            case XML_CDATA_SECTION_NODE:
                cdata(value);
                break;
            case XML_ENTITY_REFERENCE_NODE:
                markup("&");
                checked_name(record);
                markup(";");
                break;
            case XML_PROCESSING_INSTRUCTION_NODE:
                if (std::strstr(value, "?>") != nullptr) throw WriteRefused{describe(record) + ": data holds \"?>\""};
                markup("<?");
                checked_name(record);
                if (value[0] != '\0') {
                    markup(" ");
                    with_line_ends(value);
                }
                markup("?>");
                break;
            case XML_COMMENT_NODE: {
                std::size_t len = std::strlen(value);
                if (std::strstr(value, "--") != nullptr || (len > 0 && value[len - 1] == '-'))
                    throw WriteRefused{"comment: holds \"--\" or ends with \"-\""};
                markup("<!--");
                with_line_ends(value);
                markup("-->");
                break;
            }
            default:
                text(value);
            }
        } catch (const NameNotRepresentable& refused) {
            throw WriteRefused{describe(record) + ": " + refused.message};
        }
    }

    void checked_name(const XMLNode* record) {
        const char* name = tree::whole_name(record);
        std::size_t len = tree::whole_name_length(record);
        if (!is_xml_name(name, len, scratch_)) throw WriteRefused{describe(record) + ": not an XML name"};
        verbatim(std::string_view(name, len));
    }

    // Text with the document's line ends.
    void text(const char* value) {
        if (!layout_.crlf) {
            out_.text(value);
            return;
        }
        for (const char* at = value;;) {
            const char* line_end = std::strchr(at, '\n');
            if (line_end == nullptr) {
                out_.text(at);
                return;
            }
            piece_.assign(at, line_end);
            out_.text(piece_.c_str());
            markup(newline_);
            at = line_end + 1;
        }
    }

    // Content written as it is (comments, processing instructions, CDATA), with the
    // document's line ends.
    void with_line_ends(std::string_view value) {
        for (std::size_t at = 0;;) {
            std::size_t line_end = layout_.crlf ? value.find('\n', at) : std::string_view::npos;
            verbatim(value.substr(at, line_end - at));
            if (line_end == std::string_view::npos) return;
            markup(newline_);
            at = line_end + 1;
        }
    }

    // A CDATA section, split where the content holds "]]>".
    void cdata(std::string_view value) {
        markup("<![CDATA[");
        for (std::size_t at = 0;;) {
            std::size_t split = value.find("]]>", at);
            if (split == std::string_view::npos) {
                with_line_ends(value.substr(at));
                break;
            }
            with_line_ends(value.substr(at, split + 2 - at));
            markup("]]><![CDATA[");
            at = split + 2;
        }
        markup("]]>");
    }

    void doctype(const XMLNode* record) {
        const RawRecord* raw = raw_of(record);
        if (raw != nullptr) {
            verbatim(slice(raw->open));
            return;
        }
        const char* public_id = nullptr;
        const char* system_id = nullptr;
        for (int32_t i = 0; i < record->attributes.count; ++i) {
            const XMLAttr& attr = record->attributes.items[i];
            if (std::strcmp(or_empty(attr.name), "publicId") == 0) public_id = attr.value;
            if (std::strcmp(or_empty(attr.name), "systemId") == 0) system_id = attr.value;
        }
        try {
            markup("<!DOCTYPE ");
            checked_name(record);
            if (public_id != nullptr) {
                markup(" PUBLIC \"");
                verbatim(public_id);
                markup("\"");
            } else if (system_id != nullptr) {
                markup(" SYSTEM");
            }
            if (system_id != nullptr) {
                markup(std::strchr(system_id, '"') != nullptr ? " '" : " \"");
                verbatim(system_id);
                markup(std::strchr(system_id, '"') != nullptr ? "'" : "\"");
            }
            if (or_empty(record->value)[0] != '\0') {
                markup(" [");
                with_line_ends(record->value);
                markup("]");
            }
            markup(">");
        } catch (const NameNotRepresentable& refused) {
            throw WriteRefused{describe(record) + ": " + refused.message};
        }
    }

    const RecordLayout& layout_;
    Out& out_;
    const std::string_view newline_;
    std::vector<Frame> stack_;
    std::vector<bool> used_;
    std::string piece_;
    text::Utf16Buffer scratch_;
};

}  // namespace

void write_records(const XMLNode* root, const RecordLayout& layout, Encoder& out) {
    if (auto* utf8 = dynamic_cast<Utf8Encoder*>(&out)) {
        RecordWriter<Utf8Encoder>(layout, *utf8).run(root);
        return;
    }
    RecordWriter<Encoder>(layout, out).run(root);
}

}  // namespace zel::write
