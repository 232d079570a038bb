// Turning the pieces of a document (markup, names, text, attribute values, all UTF-8) into
// bytes of the output encoding, escaped as the parser library's formatter escapes them, and
// gathering those bytes into large blocks for the output target.
#pragma once

#include "text/utf.hpp"

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <xercesc/framework/MemoryManager.hpp>
#include <xercesc/framework/XMLFormatter.hpp>

namespace zel::write {

// Thrown when an element name holds a character the output encoding cannot hold; carries the
// transcoder's message.
struct NameNotRepresentable {
    std::string message;
};

// Collects output in blocks of kBlockBytes and hands each full block to the attached target,
// so the target sees a few large writes rather than one per piece. Also a format target
// itself, for the parser library's formatter.
class BlockSink : public xercesc::XMLFormatTarget {
public:
    static constexpr std::size_t kBlockBytes = 64 * 1024;

    BlockSink() : block_(kBlockBytes) {}
    // Where full blocks go; attached before the first byte is written.
    void attach(xercesc::XMLFormatTarget& target) { target_ = &target; }

    // Room for `count` more bytes (at most kBlockBytes) at the returned position; commit()
    // then says how many were used.
    char* room(std::size_t count) {
        if (count > kBlockBytes - used_) flush_block();
        return block_.data() + used_;
    }
    void commit(std::size_t count) { used_ += count; }

    void append(const char* bytes, std::size_t count) {
        if (count <= kBlockBytes - used_) {
            std::memcpy(block_.data() + used_, bytes, count);
            used_ += count;
        } else {
            append_in_parts(bytes, count);
        }
    }

    // Hands what is gathered to the target. Throws what the target throws.
    void flush_block();

    void writeChars(const XMLByte* bytes, XMLSize_t count, xercesc::XMLFormatter*) override {
        append(reinterpret_cast<const char*>(bytes), count);
    }

private:
    void append_in_parts(const char* bytes, std::size_t count);

    xercesc::XMLFormatTarget* target_ = nullptr;
    std::vector<char> block_;
    std::size_t used_ = 0;
};

// Writes document pieces in one output encoding. Markup is ASCII and never escaped; names are
// not escaped; text escapes & < > and CR; attribute values escape & < " and TAB, LF, CR. A
// character the encoding cannot hold becomes a character reference, except in an element
// name, where it throws NameNotRepresentable. Every piece is UTF-8 known to be well formed.
class Encoder {
public:
    virtual ~Encoder() = default;
    virtual void markup(const char* ascii, std::size_t len) = 0;
    virtual void element_name(const char* name, std::size_t len) = 0;
    virtual void attribute_name(const char* name) = 0;
    virtual void text(const char* value) = 0;
    virtual void attribute_value(const char* value) = 0;
    // The byte-order mark, U+FEFF in the encoding.
    virtual void byte_order_mark() = 0;

    void markup(const char* ascii) { markup(ascii, std::char_traits<char>::length(ascii)); }
};

// UTF-8 out: the records' bytes go out as they stand between the references. Final and
// inline, so a writer that knows it has this encoder pays no call per piece.
class Utf8Encoder final : public Encoder {
public:
    explicit Utf8Encoder(BlockSink& sink) : sink_(sink) {}

    using Encoder::markup;

    void markup(const char* ascii, std::size_t len) override { sink_.append(ascii, len); }
    void element_name(const char* name, std::size_t len) override { sink_.append(name, len); }
    void attribute_name(const char* name) override { sink_.append(name, std::strlen(name)); }
    void text(const char* value) override;
    void attribute_value(const char* value) override;
    void byte_order_mark() override { sink_.append("\xEF\xBB\xBF", 3); }

private:
    BlockSink& sink_;
};

// The encoder for `encoding` (null: UTF-8) writing into `sink`: a Utf8Encoder for the parser
// library's UTF-8 transcoder; else one that escapes as the formatter does and hands the runs
// between references to the parser library's transcoder (for its own stateless transcoders:
// the single-byte ones, UTF-16 and UCS-4), or that goes through the formatter itself (for the
// encodings of the platform's conversion library, whose converters may keep state between
// calls). Throws TranscodingException for an encoding the parser library does not know.
// `memory` must outlive the encoder.
// True for the encoding names that leave the byte order open (UTF-16, UCS-2, ISO-10646-UCS-2,
// UTF-32, UCS-4, ISO-10646-UCS-4, any letter case): output in them starts with a mark, in the
// machine's byte order as the transcoder writes it. Every other name (UTF-8, UTF-16LE,
// UTF-16BE, ...) and null get none.
bool takes_byte_order_mark(const char16_t* encoding);

std::unique_ptr<Encoder> make_encoder(const char16_t* encoding, BlockSink& sink, xercesc::MemoryManager* memory);

}  // namespace zel::write
