#include "io/source/source_scan.hpp"

#include "text/utf.hpp"
#include "tree/tree.hpp"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <string_view>

#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/TransService.hpp>
#include <xercesc/util/XMLString.hpp>

namespace zel::source {

namespace {

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool same_name(const char16_t* a, const char16_t* b) { return xercesc::XMLString::compareIStringASCII(a, b) == 0; }

// The document as UTF-8 in `source.text`, and the encoding it is written back in. False for
// encodings the scan does not read.
bool take_text(const ParsedDocument& parsed, SourceText& source) {
    const auto* bytes = static_cast<const unsigned char*>(parsed.bytes);
    std::size_t length = parsed.length;
    std::u16string encoding = parsed.reader_encoding;
    std::size_t skip = 0;
    if (length >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
        skip = 3;
    } else if (length >= 4 && bytes[0] == 0xFF && bytes[1] == 0xFE && bytes[2] == 0 && bytes[3] == 0) {
        skip = 4;
        encoding = u"UCS-4LE";
    } else if (length >= 4 && bytes[0] == 0 && bytes[1] == 0 && bytes[2] == 0xFE && bytes[3] == 0xFF) {
        skip = 4;
        encoding = u"UCS-4BE";
    } else if (length >= 4 && bytes[0] == '<' && bytes[1] == 0 && bytes[2] == 0 && bytes[3] == 0) {
        encoding = u"UCS-4LE";
    } else if (length >= 4 && bytes[0] == 0 && bytes[1] == 0 && bytes[2] == 0 && bytes[3] == '<') {
        encoding = u"UCS-4BE";
    } else if (length >= 2 && ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF))) {
        skip = 2;
        encoding = bytes[0] == 0xFF ? u"UTF-16LE" : u"UTF-16BE";
    } else if (length >= 4 && bytes[0] == '<' && bytes[1] == 0 && bytes[2] == '?' && bytes[3] == 0) {
        encoding = u"UTF-16LE";
    } else if (length >= 4 && bytes[0] == 0 && bytes[1] == '<' && bytes[2] == 0 && bytes[3] == '?') {
        encoding = u"UTF-16BE";
    } else if (length >= 1 && bytes[0] != '<' && !is_space(static_cast<char>(bytes[0]))) {
        return false;  // EBCDIC, or something else the scan does not read
    }
    if (encoding.empty()) encoding = u"UTF-8";
    source.byte_order_mark.assign(reinterpret_cast<const char*>(bytes), skip);
    text::Utf8Buffer name;
    source.encoding = name.convert(encoding.c_str());
    bytes += skip;
    length -= skip;
    if (same_name(encoding.c_str(), u"UTF-8") || same_name(encoding.c_str(), u"UTF8") ||
        same_name(encoding.c_str(), u"US-ASCII") || same_name(encoding.c_str(), u"ASCII")) {
        if (parsed.owned_bytes != nullptr) {  // no copy: the document is its own source
            source.text = std::move(*parsed.owned_bytes);
            source.text.erase(0, skip);
        } else {
            source.text.assign(reinterpret_cast<const char*>(bytes), length);
        }
        return true;
    }
    xercesc::XMLTransService::Codes code;
    std::unique_ptr<xercesc::XMLTranscoder> transcoder(
        xercesc::XMLPlatformUtils::fgTransService->makeNewTranscoderFor(encoding.c_str(), code, 16 * 1024));
    if (transcoder == nullptr) return false;
    std::vector<char16_t> units(16 * 1024);
    std::vector<unsigned char> sizes(units.size());
    std::vector<char> utf8(text::utf8_capacity_for(units.size()) + 4);
    std::size_t held = 0;  // a high surrogate waits for its partner in units[0]
    while (length > 0) {
        XMLSize_t eaten = 0;
        XMLSize_t made = transcoder->transcodeFrom(bytes, length, units.data() + held, units.size() - held, eaten,
                                                   sizes.data());
        if (eaten == 0 && made == 0) return false;
        bytes += eaten;
        length -= eaten;
        std::size_t total = held + made;
        held = total > 0 && units[total - 1] >= 0xD800 && units[total - 1] < 0xDC00 && length > 0 ? 1 : 0;
        std::size_t out = text::utf16_to_utf8(units.data(), total - held, utf8.data());
        source.text.append(utf8.data(), out);
        if (held != 0) units[0] = units[total - 1];
    }
    return true;
}

// Reads a span of the text from its start, matching expected bytes in place.
class SpanReader {
public:
    SpanReader(const std::string& text, Span span) : at_(text.data() + span.begin), end_(text.data() + span.end) {}

    bool bytes(const char* expected, std::size_t len) {
        if (static_cast<std::size_t>(end_ - at_) < len || std::memcmp(at_, expected, len) != 0) return false;
        at_ += len;
        return true;
    }
    template <std::size_t kSize>
    bool literal(const char (&expected)[kSize]) {
        return bytes(expected, kSize - 1);
    }
    bool string(const char* expected) { return bytes(expected, std::strlen(expected)); }
    // `value` with each line feed written as the document's line end.
    bool lines(const char* value, bool crlf) {
        if (!crlf) return string(value);
        for (const char* line_feed; (line_feed = std::strchr(value, '\n')) != nullptr; value = line_feed + 1)
            if (!bytes(value, static_cast<std::size_t>(line_feed - value)) || !literal("\r\n")) return false;
        return string(value);
    }
    bool done() const { return at_ == end_; }

private:
    const char* at_;
    const char* end_;
};

// Whether a record's source is its default form, compared in place. Values are compared
// unescaped: a source that needed no escape is its default form exactly when it equals the
// value as the writer would put it, and one that held a reference differs from it.
class DefaultForm {
public:
    explicit DefaultForm(bool crlf) : crlf_(crlf) {}

    bool of(const RawRecord& entry, const std::string& text) const {
        const XMLNode* record = entry.record;
        SpanReader source(text, entry.open);
        switch (record->type) {
        case XML_TEXT_NODE:
            return std::strpbrk(record->value, "&<>\r") == nullptr && source.lines(record->value, crlf_) &&
                   source.done();
        case XML_COMMENT_NODE:
            return source.literal("<!--") && source.lines(record->value, crlf_) && source.literal("-->") &&
                   source.done();
        case XML_PROCESSING_INSTRUCTION_NODE:
            return source.literal("<?") && source.bytes(tree::whole_name(record), tree::whole_name_length(record)) &&
                   (record->value[0] == '\0' || source.literal(" ")) && source.lines(record->value, crlf_) &&
                   source.literal("?>") && source.done();
        case XML_CDATA_SECTION_NODE:
            return source.literal("<![CDATA[") && source.lines(record->value, crlf_) && source.literal("]]>") &&
                   source.done();
        default:
            return false;
        }
    }

    // The start tag alone: an element's default start tag ends in "/>" exactly when it
    // has no children.
    bool start_tag(const RawRecord& entry, const std::string& text) const {
        const XMLNode* record = entry.record;
        bool empty = record->children.count == 0;
        if (entry.empty_tag != empty) return false;  // <a></a> is not the default form
        SpanReader source(text, entry.open);
        if (!source.literal("<") || !source.bytes(tree::whole_name(record), tree::whole_name_length(record)))
            return false;
        for (int32_t i = 0; i < record->attributes.count; ++i) {
            const XMLAttr& attr = record->attributes.items[i];
            if (!source.literal(" ") || !source.string(attr.name) || !source.literal("=\"") ||
                !source.string(attr.value) || !source.literal("\"") || std::strpbrk(attr.value, "&<\"\t\n\r") != nullptr)
                return false;
        }
        return (empty ? source.literal("/>") : source.literal(">")) && source.done();
    }

    bool end_tag(const RawRecord& entry, const std::string& text) const {
        SpanReader source(text, entry.close);
        return source.literal("</") &&
               source.bytes(tree::whole_name(entry.record), tree::whole_name_length(entry.record)) &&
               source.literal(">") && source.done();
    }

private:
    bool crlf_;
};

// Text as the parser reads it: the predefined entities and character references resolved,
// CR LF and lone CR made LF. Only for well-formed text.
std::string decode_text(const std::string& raw) {
    std::string out;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        char c = raw[i];
        if (c == '\r') {
            out += '\n';
            if (i + 1 < raw.size() && raw[i + 1] == '\n') ++i;
            continue;
        }
        if (c != '&') {
            out += c;
            continue;
        }
        std::size_t semicolon = raw.find(';', i);
        std::string name = raw.substr(i + 1, semicolon - i - 1);
        i = semicolon;
        static const char* const kPredefined[][2] = {{"lt", "<"}, {"gt", ">"}, {"amp", "&"}, {"apos", "'"}, {"quot", "\""}};
        bool known = false;
        for (const auto& entity : kPredefined)
            if (name == entity[0]) {
                out += entity[1];
                known = true;
            }
        if (known || name.size() < 2 || name[0] != '#') continue;
        char32_t code = static_cast<char32_t>(name[1] == 'x' ? std::stoul(name.substr(2), nullptr, 16)
                                                             : std::stoul(name.substr(1), nullptr, 10));
        char16_t units[2];
        std::size_t count = 1;
        if (code >= 0x10000) {
            units[0] = static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
            units[1] = static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
            count = 2;
        } else {
            units[0] = static_cast<char16_t>(code);
        }
        char bytes[8];
        out.append(bytes, text::utf16_to_utf8(units, count, bytes));
    }
    return out;
}

// Walks the text along the records, in document order. Every method returns false at the
// first disagreement.
class Scanner {
public:
    Scanner(const ParsedDocument& parsed, SourceText& source)
        : parsed_(parsed), source_(source), t_(source.text), form_(source.crlf) {}

    bool run();

private:
    template <std::size_t kSize>
    bool at(const char (&literal)[kSize]) const {
        return pos_ <= t_.size() && t_.size() - pos_ >= kSize - 1 && std::memcmp(t_.data() + pos_, literal, kSize - 1) == 0;
    }
    std::size_t find(const char* literal, std::size_t from) const { return t_.find(literal, from); }
    void skip_spaces() {
        while (pos_ < t_.size() && is_space(t_[pos_])) ++pos_;
    }
    static Span span(std::size_t begin, std::size_t end) {
        return Span{static_cast<std::uint32_t>(begin), static_cast<std::uint32_t>(end)};
    }
    bool name_here(const XMLNode* record) {
        std::size_t len = tree::whole_name_length(record);
        if (t_.compare(pos_, len, tree::whole_name(record), len) != 0) return false;
        pos_ += len;
        return true;
    }
    // From the opening at pos_ to just past `close`.
    template <std::size_t kOpen, std::size_t kClose>
    bool whole(const char (&open)[kOpen], const char (&close)[kClose], const XMLNode* record) {
        if (!at(open)) return false;
        std::size_t end = find(close, pos_ + kOpen - 1);
        if (end == std::string::npos) return false;
        keep(record, pos_, end + kClose - 1);
        pos_ = end + kClose - 1;
        return true;
    }
    static RawRecord entry(const XMLNode* record, std::size_t begin, std::size_t end) {
        return RawRecord{record, 0, span(begin, end), Span{}, 0, 0, 0, false, false};
    }
    // Keeps the source of `record` unless its default form is the same.
    void keep(const XMLNode* record, std::size_t begin, std::size_t end) {
        RawRecord raw = entry(record, begin, end);
        if (!form_.of(raw, t_)) source_.records.push_back(raw);
    }

    bool element_content();
    bool construct(XMLNode* record, const XMLNode* next_sibling);
    bool start_tag(XMLNode* record);
    bool end_tag();
    bool text(XMLNode* record, const XMLNode* next_sibling);
    bool split_at_skipped_references(XMLNode* record, std::size_t begin, std::size_t end);
    bool between_top_level(const XMLNode* before);
    bool doctype(const XMLNode* before);
    void insert_top_level(XMLNode* record, const XMLNode* before);
    bool declaration();

    // An element whose end tag is to come, and the index of its next child to scan.
    struct Open {
        RawRecord raw;
        int32_t next;
    };

    const ParsedDocument& parsed_;
    SourceText& source_;
    const std::string& t_;
    std::size_t pos_ = 0;
    DefaultForm form_;
    std::vector<Open> open_;
};

// The document record's entry is always kept: an empty span says it had no declaration.
bool Scanner::declaration() {
    std::size_t end = 0;
    if (at("<?xml") && pos_ + 5 < t_.size() && is_space(t_[pos_ + 5])) {
        // Past the pseudo-attributes, whose quoted values may hold "?>".
        for (end = pos_ + 5; end < t_.size() && t_.compare(end, 2, "?>") != 0; ++end)
            if (t_[end] == '"' || t_[end] == '\'') {
                end = t_.find(t_[end], end + 1);
                if (end == std::string::npos) return false;
            }
        if (end >= t_.size()) return false;
        end += 2;
    }
    source_.records.push_back(entry(parsed_.document, 0, end));
    pos_ = end;
    return true;
}

bool Scanner::run() {
    if (!declaration()) return false;
    XMLNode* document = parsed_.document;
    for (int32_t i = parsed_.first_child; i < document->children.count; ++i) {
        XMLNode* child = document->children.items[i];
        int32_t before = document->children.count;
        if (!between_top_level(child)) return false;
        i += document->children.count - before;  // what it put before the child
        if (!construct(child, nullptr)) return false;
        if (!element_content()) return false;
    }
    return between_top_level(nullptr) && pos_ == t_.size();
}

// The content of the element construct() opened, if it did, to its end tag. Never recurses:
// open_ holds the elements whose end tag is to come.
bool Scanner::element_content() {
    while (!open_.empty()) {
        std::size_t top = open_.size() - 1;
        const XMLNode* element = open_[top].raw.record;
        int32_t next = open_[top].next;
        int32_t count = element->children.count;
        if (next == count) {
            if (!end_tag()) return false;
            continue;
        }
        XMLNode* child = element->children.items[next];
        if (!construct(child, next + 1 < count ? element->children.items[next + 1] : nullptr)) return false;
        open_[top].next = next + 1 + (element->children.count - count);  // a text split into pieces
    }
    return true;
}

// The construct `record` was made from; an element's start tag only.
bool Scanner::construct(XMLNode* record, const XMLNode* next_sibling) {
    switch (record->type) {
    case XML_ELEMENT_NODE:
        return start_tag(record);
    case XML_TEXT_NODE:
        return text(record, next_sibling);
    case XML_CDATA_SECTION_NODE:
        return whole("<![CDATA[", "]]>", record);
    case XML_COMMENT_NODE:
        return whole("<!--", "-->", record);
    case XML_PROCESSING_INSTRUCTION_NODE:
        return whole("<?", "?>", record);
    case XML_ENTITY_REFERENCE_NODE:  // always in its default form; its expansion is not in the text
        if (!at("&")) return false;
        ++pos_;
        if (!name_here(record) || !at(";")) return false;
        ++pos_;
        return true;
    default:
        return false;
    }
}

// `<name`, then each attribute with the white space before it, then what closes the tag.
bool Scanner::start_tag(XMLNode* record) {
    std::size_t begin = pos_;
    if (!at("<")) return false;
    ++pos_;
    if (!name_here(record)) return false;
    std::size_t name_end = pos_;
    std::size_t first = source_.attributes.size();
    for (;;) {
        std::size_t piece = pos_;
        skip_spaces();
        if (pos_ < t_.size() && (t_[pos_] == '>' || t_[pos_] == '/')) {
            pos_ = piece;
            break;
        }
        std::size_t equals = t_.find('=', pos_);
        if (equals == std::string::npos) return false;
        pos_ = equals + 1;
        skip_spaces();
        if (pos_ >= t_.size() || (t_[pos_] != '"' && t_[pos_] != '\'')) return false;
        std::size_t close = t_.find(t_[pos_], pos_ + 1);
        if (close == std::string::npos) return false;
        pos_ = close + 1;
        source_.attributes.push_back(RawAttribute{span(piece, pos_), 0});
    }
    std::size_t count = source_.attributes.size() - first;
    if (count != static_cast<std::size_t>(record->attributes.count)) return false;
    skip_spaces();
    const bool empty = at("/>");
    if (empty ? record->children.count != 0 : !at(">")) return false;
    pos_ += empty ? 2 : 1;
    RawRecord raw = entry(record, begin, pos_);
    raw.name_end = static_cast<std::uint32_t>(name_end);
    raw.first_attribute = static_cast<std::uint32_t>(first);
    raw.attribute_count = static_cast<std::uint32_t>(count);
    raw.empty_tag = empty;
    if (form_.start_tag(raw, t_)) {  // the attributes' sources are not needed
        source_.attributes.resize(first);
        raw.attribute_count = 0;
        raw.start_default = true;
    } else {
        for (std::size_t k = 0; k < count; ++k)
            source_.attributes[first + k].fingerprint = attribute_fingerprint(record->attributes.items[k]);
    }
    if (!empty)
        open_.push_back(Open{raw, 0});
    else if (!raw.start_default)
        source_.records.push_back(raw);
    return true;
}

// An element whose tags are both in their default form keeps no source.
bool Scanner::end_tag() {
    if (open_.empty() || !at("</")) return false;
    std::size_t end = t_.find('>', pos_);
    if (end == std::string::npos) return false;
    RawRecord raw = open_.back().raw;
    open_.pop_back();
    raw.close = span(pos_, end + 1);
    if (!raw.start_default || !form_.end_tag(raw, t_)) source_.records.push_back(raw);
    pos_ = end + 1;
    return true;
}

// Up to the next markup, or to the reference of the entity the next sibling is.
bool Scanner::text(XMLNode* record, const XMLNode* next_sibling) {
    std::size_t end = t_.find('<', pos_);
    if (end == std::string::npos) end = t_.size();
    if (next_sibling != nullptr && next_sibling->type == XML_ENTITY_REFERENCE_NODE) {
        std::string reference = std::string("&") + tree::whole_name(next_sibling) + ";";
        end = std::min(end, t_.find(reference, pos_));
    }
    if (end == pos_ || end == std::string::npos) return false;
    if (!split_at_skipped_references(record, pos_, end)) keep(record, pos_, end);
    pos_ = end;
    return true;
}

// Text that holds references to entities the parser did not expand (declared only in a DTD
// it did not read) is split around them: each becomes an entity reference record without
// children, so the reference stays in the tree and is written back. False, with the record
// left as it is, when there is none or the pieces do not read as the record's text.
bool Scanner::split_at_skipped_references(XMLNode* record, std::size_t begin, std::size_t end) {
    struct Piece {
        std::size_t begin, end;
        bool reference;
    };
    std::vector<Piece> pieces;
    std::size_t from = begin;
    auto next_ampersand = [&](std::size_t from) {
        const void* found = std::memchr(t_.data() + from, '&', end - from);
        return found != nullptr ? static_cast<std::size_t>(static_cast<const char*>(found) - t_.data()) : end;
    };
    for (std::size_t at = next_ampersand(begin); at < end; at = next_ampersand(at + 1)) {
        std::size_t semicolon = t_.find(';', at);
        if (semicolon >= end) return false;
        std::string_view name(t_.data() + at + 1, semicolon - at - 1);
        if (name.empty() || name[0] == '#' || name == "lt" || name == "gt" || name == "amp" || name == "apos" ||
            name == "quot")
            continue;
        if (at > from) pieces.push_back(Piece{from, at, false});
        pieces.push_back(Piece{at, semicolon + 1, true});
        from = semicolon + 1;
    }
    if (pieces.empty()) return false;
    if (from < end) pieces.push_back(Piece{from, end, false});
    std::vector<std::string> values;
    std::string joined;
    for (const Piece& piece : pieces) {
        values.push_back(piece.reference ? std::string() : decode_text(t_.substr(piece.begin, piece.end - piece.begin)));
        joined += values.back();
    }
    if (joined != record->value) return false;
    XMLNode* parent = record->parent;
    XMLNode** items = parent->children.items;
    auto index = static_cast<int32_t>(std::find(items, items + parent->children.count, record) - items);
    for (std::size_t k = 0; k < pieces.size(); ++k) {
        const Piece& piece = pieces[k];
        XMLNode* made = piece.reference ? tree::new_node(XML_ENTITY_REFERENCE_NODE)
                                        : tree::new_node_with_value(XML_TEXT_NODE, values[k].data(), values[k].size());
        if (made == nullptr || (piece.reference && !tree::set_long_name(made, t_.data() + piece.begin + 1,
                                                                          piece.end - piece.begin - 2))) {
            tree::free_node(made);
            throw std::bad_alloc();
        }
        made->parent = parent;
        if (k == 0) {
            parent->children.items[index] = made;
        } else {
            if (!tree::append_child(parent, made)) {
                tree::free_node(made);
                throw std::bad_alloc();
            }
            XMLNode** now = parent->children.items;
            std::rotate(now + index + k, now + parent->children.count - 1, now + parent->children.count);
        }
        if (!piece.reference) keep(made, piece.begin, piece.end);
    }
    tree::free_node(record);
    return true;
}

// White space and the DOCTYPE between the document's children, which the parse does not
// report: each a record of its own, put before the document's child `before` (null: last).
bool Scanner::between_top_level(const XMLNode* before) {
    for (;;) {
        std::size_t begin = pos_;
        skip_spaces();
        if (pos_ > begin) {
            std::string value = decode_text(t_.substr(begin, pos_ - begin));  // line ends as the parser reads them
            XMLNode* space = tree::new_node_with_value(XML_TEXT_NODE, value.data(), value.size());
            if (space == nullptr) throw std::bad_alloc();
            insert_top_level(space, before);
            keep(space, begin, pos_);
        }
        if (!at("<!DOCTYPE")) return true;
        if (!doctype(before)) return false;
    }
}

void Scanner::insert_top_level(XMLNode* record, const XMLNode* before) {
    XMLNode* document = parsed_.document;
    if (!tree::append_child(document, record)) {
        tree::free_node(record);
        throw std::bad_alloc();
    }
    record->parent = document;
    XMLNode** items = document->children.items;
    int32_t count = document->children.count;
    if (before != nullptr) {
        XMLNode** at_child = std::find(items + parsed_.first_child, items + count - 1, before);
        std::rotate(at_child, items + count - 1, items + count);
    }
}

bool Scanner::doctype(const XMLNode* before) {
    std::size_t begin = pos_;
    pos_ += 9;
    skip_spaces();
    std::size_t name_begin = pos_;
    while (pos_ < t_.size() && !is_space(t_[pos_]) && t_[pos_] != '[' && t_[pos_] != '>') ++pos_;
    std::string name = t_.substr(name_begin, pos_ - name_begin);
    std::string ids[2];  // public, system
    bool has[2] = {false, false};
    skip_spaces();
    auto quoted = [&](int which) {
        skip_spaces();
        if (pos_ >= t_.size() || (t_[pos_] != '"' && t_[pos_] != '\'')) return false;
        std::size_t close = t_.find(t_[pos_], pos_ + 1);
        if (close == std::string::npos) return false;
        ids[which] = t_.substr(pos_ + 1, close - pos_ - 1);
        has[which] = true;
        pos_ = close + 1;
        return true;
    };
    if (at("SYSTEM")) {
        pos_ += 6;
        if (!quoted(1)) return false;
    } else if (at("PUBLIC")) {
        pos_ += 6;
        if (!quoted(0) || !quoted(1)) return false;
    }
    skip_spaces();
    std::string subset;
    if (at("[")) {
        std::size_t from = ++pos_;
        while (pos_ < t_.size() && t_[pos_] != ']') {
            if (at("<!--")) {
                pos_ = find("-->", pos_ + 4);
                if (pos_ == std::string::npos) return false;
                pos_ += 3;
            } else if (at("<?")) {
                pos_ = find("?>", pos_ + 2);
                if (pos_ == std::string::npos) return false;
                pos_ += 2;
            } else if (at("<!")) {
                while (pos_ < t_.size() && t_[pos_] != '>') {
                    if (t_[pos_] == '"' || t_[pos_] == '\'') pos_ = t_.find(t_[pos_], pos_ + 1);
                    if (pos_ == std::string::npos) return false;
                    ++pos_;
                }
            } else {
                ++pos_;
            }
        }
        if (pos_ >= t_.size()) return false;
        subset = t_.substr(from, pos_ - from);
        ++pos_;
        skip_spaces();
    }
    if (!at(">")) return false;
    ++pos_;
    // The value reads as the parser reads line ends: CR LF and lone CR become LF.
    std::string value;
    for (std::size_t i = 0; i < subset.size(); ++i) {
        if (subset[i] != '\r') {
            value += subset[i];
        } else {
            value += '\n';
            if (i + 1 < subset.size() && subset[i + 1] == '\n') ++i;
        }
    }
    XMLNode* doctype = tree::new_node_with_value(XML_DOCUMENT_TYPE_NODE, value.data(), value.size());
    if (doctype == nullptr || !tree::set_long_name(doctype, name.data(), name.size())) {
        tree::free_node(doctype);
        throw std::bad_alloc();
    }
    static const char* const kIdNames[2] = {"publicId", "systemId"};
    for (int k = 0; k < 2; ++k)
        if (has[k] && tree::append_attribute(doctype, kIdNames[k], std::strlen(kIdNames[k]), ids[k].data(),
                                             ids[k].size(), XML_CDATA_SECTION_NODE) == nullptr) {
            tree::free_node(doctype);
            throw std::bad_alloc();
        }
    insert_top_level(doctype, before);
    source_.records.push_back(entry(doctype, begin, pos_));
    return true;
}

}  // namespace

std::unique_ptr<SourceText> scan_source(const ParsedDocument& parsed) {
    if (parsed.length >= std::numeric_limits<std::uint32_t>::max()) return nullptr;
    auto source = std::make_unique<SourceText>();
    if (!take_text(parsed, *source)) return nullptr;
    if (source->text.size() >= std::numeric_limits<std::uint32_t>::max()) return nullptr;
    std::size_t line_end = source->text.find('\n');
    source->crlf = line_end != std::string::npos && line_end > 0 && source->text[line_end - 1] == '\r';
    Scanner scanner(parsed, *source);
    if (!scanner.run()) return nullptr;
    for (RawRecord& entry : source->records)
        entry.fingerprint = entry.record == parsed.document ? declaration_fingerprint(entry.record)
                                                            : record_fingerprint(entry.record);
    source->complete();
    return source;
}

}  // namespace zel::source
