// The source text a tree was read from, kept so that a write gives back every part the host
// did not change exactly as it was read. A tree's document record owns one SourceText,
// found through a process-wide registry (records have no field for it). Each record read
// from the document proper has a span of the source and a fingerprint of what it held when
// it was read; a write uses the span only while the record still has that fingerprint, so
// any edit, through the functions or to the fields, falls back to the default form for that
// record alone. Stale entries are harmless for the same reason: a span is only ever used for
// a record whose content still reads exactly as its source.
#pragma once

#include "zel_xml3.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zel::source {

// A 64-bit fingerprint of record content. The span of a record is reused only when the
// fingerprint of its content now equals the one taken when it was read.
class Fingerprint {
public:
    Fingerprint& add(const char* bytes, std::size_t len);
    Fingerprint& add(const char* text);  // a terminated string, terminator included
    Fingerprint& add(std::uint64_t number);
    std::uint64_t value() const { return state_; }

private:
    std::uint64_t state_ = 0x9E3779B97F4A7C15u;
};

// The fingerprints the writer compares: a record's own content (type, whole name, value;
// for an element only type and name, its attributes having their own) and one attribute's.
std::uint64_t record_fingerprint(const XMLNode* record);
std::uint64_t attribute_fingerprint(const XMLAttr& attr);
// A document record's declaration: its attributes in order.
std::uint64_t declaration_fingerprint(const XMLNode* document);

// Byte range of SourceText::text.
struct Span {
    std::uint32_t begin = 0;
    std::uint32_t end = 0;
    std::uint32_t size() const { return end - begin; }
};

// One attribute as written: from the white space before its name to its closing quote.
struct RawAttribute {
    Span span;
    std::uint64_t fingerprint;
};

// One record as written, kept only where its default form differs. For an element, `open` is its start tag, `close` its end tag
// (empty when it was written as an empty-element tag), `name_end` where the name ends in the
// start tag and `attributes` indexes SourceText::attributes; for a document record, `open`
// is its declaration (empty without one); for every other record `open` is all of it.
struct RawRecord {
    const XMLNode* record;
    std::uint64_t fingerprint;
    Span open;
    Span close;
    std::uint32_t name_end = 0;
    std::uint32_t first_attribute = 0;
    std::uint32_t attribute_count = 0;
    bool empty_tag = false;
    bool start_default = false;  // the start tag is in its default form: only the end tag is kept
};

struct SourceText {
    std::string text;               // the document, as UTF-8, byte-order mark left out
    std::string encoding;           // the encoding it was read in, as the parser named it
    std::string byte_order_mark;    // the bytes of the one it started with, if any
    bool crlf = false;              // its first line end is CR LF: default forms use the same
    std::vector<RawRecord> records; // sorted by record address once complete
    std::vector<RawAttribute> attributes;

    // Sorts `records` for find(); call once when they are all in.
    void complete();
    // The entry of `record`, or null.
    const RawRecord* find(const XMLNode* record) const;
    std::string_view slice(Span span) const { return std::string_view(text).substr(span.begin, span.size()); }
};

// Hands `source` to the document record `document`, replacing what it had. Thread-safe.
void attach(const XMLNode* document, std::unique_ptr<SourceText> source);
// The source of the document record `document`, or null (for any other record too: parent
// links are not followed, since a record taken out of its parent keeps a link that may no
// longer be valid). The pointer stays valid until that record is freed or read into again;
// trees are kept to one thread at a time, so no one frees it during a write.
const SourceText* source_of(const XMLNode* document);
// Drops the source of `document` when it has one (its record is being freed).
void forget(const XMLNode* document);

}  // namespace zel::source
