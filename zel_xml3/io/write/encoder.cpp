#include "io/write/encoder.hpp"

#include <xercesc/util/XMLString.hpp>

#include "io/write/scan.hpp"

#include <array>
#include <cstdint>
#include <cstring>

#include <xercesc/util/TranscodingException.hpp>
#include <xercesc/util/XML256TableTranscoder.hpp>
#include <xercesc/util/XML88591Transcoder.hpp>
#include <xercesc/util/XMLASCIITranscoder.hpp>
#include <xercesc/util/XMLUCS4Transcoder.hpp>
#include <xercesc/util/XMLUTF16Transcoder.hpp>
#include <xercesc/util/XMLUTF8Transcoder.hpp>

using xercesc::XMLFormatter;
using xercesc::XMLTranscoder;

namespace zel::write {

void BlockSink::append_in_parts(const char* bytes, std::size_t count) {
    while (count > 0) {
        if (used_ == kBlockBytes) flush_block();
        std::size_t part = count < kBlockBytes - used_ ? count : kBlockBytes - used_;
        std::memcpy(block_.data() + used_, bytes, part);
        used_ += part;
        bytes += part;
        count -= part;
    }
}

void BlockSink::flush_block() {
    if (used_ == 0) return;
    std::size_t count = used_;
    used_ = 0;  // a target that throws has still taken the block: it is not offered twice
    target_->writeChars(reinterpret_cast<const XMLByte*>(block_.data()), count, nullptr);
}

namespace {

// The escapes of the formatter: text escapes & < > CR, attribute values & < " TAB LF CR, with
// its entity names and its upper-case hexadecimal references.
const char* reference_for(unsigned char c) {
    switch (c) {
        case '&': return "&amp;";
        case '<': return "&lt;";
        case '>': return "&gt;";
        case '"': return "&quot;";
        case '\t': return "&#x9;";
        case '\n': return "&#xA;";
        default: return "&#xD;";
    }
}
constexpr char kTextEscapes[] = "&<>\r";
constexpr char kAttributeEscapes[] = "&<\"\t\n\r";

template <std::size_t kCount>
void escape_utf8(BlockSink& sink, const char* value, const char (&escapes)[kCount]) {
    const auto* at = reinterpret_cast<const unsigned char*>(value);
    const unsigned char* end = at + std::strlen(value);
    for (;;) {
        const unsigned char* hit = find_any(at, end, escapes);
        sink.append(reinterpret_cast<const char*>(at), static_cast<std::size_t>(hit - at));
        if (hit == end) return;
        const char* reference = reference_for(*hit);
        sink.append(reference, std::strlen(reference));
        at = hit + 1;
    }
}

// Which ASCII characters a kind of piece escapes.
struct AsciiEscapes {
    bool of[128];
};
template <std::size_t kCount>
constexpr AsciiEscapes make_escapes(const char (&members)[kCount]) {
    AsciiEscapes escapes{};
    for (std::size_t i = 0; i + 1 < kCount; ++i) escapes.of[static_cast<unsigned char>(members[i])] = true;
    return escapes;
}
constexpr AsciiEscapes kNoAsciiEscapes{};
constexpr AsciiEscapes kTextAscii = make_escapes(kTextEscapes);
constexpr AsciiEscapes kAttributeAscii = make_escapes(kAttributeEscapes);

// For the parser library's own stateless transcoders: each character's bytes do not depend on
// its neighbours, so the formatter's output can be made piece by piece. Escapes, references
// and markup come from a table of the encoding's bytes for each ASCII character; runs between
// them go to the transcoder in one call; a character the encoding cannot hold becomes a
// reference, a surrogate pair one reference for the pair, as the formatter writes them.
class TableEncoder final : public Encoder {
public:
    // `single_byte`: the transcoder writes every character it can hold as one byte.
    TableEncoder(std::unique_ptr<XMLFormatter> formatter, BlockSink& sink, bool single_byte)
        : formatter_(std::move(formatter)), coder_(*formatter_->getTranscoder()), sink_(sink),
          single_byte_(single_byte) {}

    using Encoder::markup;

    // False when some ASCII character cannot be written in the encoding: then only the
    // formatter itself knows what to do.
    bool learn_ascii() {
        identity_ = true;
        for (char16_t c = 0; c < 128; ++c) {
            if (!coder_.canTranscodeTo(c)) return false;
            XMLByte bytes[8];
            XMLSize_t eaten = 0;
            XMLSize_t len = coder_.transcodeTo(&c, 1, bytes, sizeof bytes, eaten, XMLTranscoder::UnRep_Throw);
            if (eaten != 1 || len == 0 || len > 4) return false;
            ascii_[c].len = static_cast<std::uint8_t>(len);
            std::memcpy(ascii_[c].bytes, bytes, len);
            identity_ = identity_ && len == 1 && bytes[0] == c;
        }
        return true;
    }

    void markup(const char* ascii, std::size_t len) override {
        if (identity_) {
            sink_.append(ascii, len);
            return;
        }
        for (std::size_t i = 0; i < len; ++i) {
            const AsciiBytes& out = ascii_[static_cast<unsigned char>(ascii[i])];
            sink_.append(reinterpret_cast<const char*>(out.bytes), out.len);
        }
    }
    void element_name(const char* name, std::size_t len) override {
        const char16_t* units = utf16_.convert(name, len);
        try {
            transcode(units, utf16_.size());
        } catch (const xercesc::TranscodingException& exc) {
            throw NameNotRepresentable{message_.convert(exc.getMessage())};
        }
    }
    void attribute_name(const char* name) override {
        if (single_byte_)
            single_byte_piece(name, "");
        else
            piece(name, kNoAsciiEscapes);
    }
    void text(const char* value) override {
        if (single_byte_)
            single_byte_piece(value, kTextEscapes);
        else
            piece(value, kTextAscii);
    }
    void attribute_value(const char* value) override {
        if (single_byte_)
            single_byte_piece(value, kAttributeEscapes);
        else
            piece(value, kAttributeAscii);
    }
    void byte_order_mark() override {
        static const char16_t kMark[] = u"\uFEFF";
        transcode(kMark, 1);
    }

private:
    struct AsciiBytes {
        std::uint8_t len;
        XMLByte bytes[4];
    };

    void piece(const char* utf8, const AsciiEscapes& escapes) {
        const char16_t* units = utf16_.convert(utf8);
        const std::size_t count = utf16_.size();
        std::size_t run = 0;
        for (std::size_t i = 0; i < count;) {
            char16_t c = units[i];
            if (c < 0x80 ? !escapes.of[c] : can_write(c)) {
                ++i;
                continue;
            }
            transcode(units + run, i - run);
            if (c < 0x80) {
                markup(reference_for(static_cast<unsigned char>(c)));
                ++i;
            } else if ((c & 0xFC00) == 0xD800 && i + 1 < count) {
                character_reference(0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (units[i + 1] - 0xDC00));
                i += 2;
            } else {
                character_reference(c);
                ++i;
            }
            run = i;
        }
        transcode(units + run, count - run);
    }

    // A single-byte encoding is written straight from the UTF-8: ASCII runs through the ASCII
    // table, every other character through its byte, learnt from the transcoder once.
    template <std::size_t kCount>
    void single_byte_piece(const char* utf8, const char (&escapes)[kCount]) {
        const auto* at = reinterpret_cast<const unsigned char*>(utf8);
        const unsigned char* end = at + std::strlen(utf8);
        for (;;) {
            const unsigned char* hit = find_any_or_non_ascii(at, end, escapes);
            markup(reinterpret_cast<const char*>(at), static_cast<std::size_t>(hit - at));
            if (hit == end) return;
            if (*hit < 0x80) {
                markup(reference_for(*hit));
                at = hit + 1;
                continue;
            }
            char32_t cp = 0;
            at = hit + text::decode_utf8(hit, &cp);
            int byte = cp < 0x10000 ? byte_for(static_cast<char16_t>(cp)) : -1;
            if (byte >= 0) {
                char out = static_cast<char>(byte);
                sink_.append(&out, 1);
            } else {
                character_reference(cp);
            }
        }
    }

    // The byte the transcoder writes for `unit`, or -1 when it cannot hold it; asked once.
    int byte_for(char16_t unit) {
        if (bytes_.empty()) bytes_.resize(0x10000, kNotAsked);
        std::int16_t& byte = bytes_[unit];
        if (byte == kNotAsked) {
            byte = -1;
            XMLByte out[8];
            XMLSize_t eaten = 0;
            if (coder_.canTranscodeTo(unit) &&
                coder_.transcodeTo(&unit, 1, out, sizeof out, eaten, XMLTranscoder::UnRep_Throw) == 1)
                byte = out[0];
        }
        return byte;
    }

    // The transcoder's answer for each BMP unit, asked once: 0 not yet asked, 1 yes, 2 no.
    bool can_write(char16_t unit) {
        if (known_.empty()) known_.resize(0x10000);
        std::uint8_t& answer = known_[unit];
        if (answer == 0) answer = coder_.canTranscodeTo(unit) ? 1 : 2;
        return answer == 1;
    }

    void character_reference(char32_t code_point) {
        static const char kDigits[] = "0123456789ABCDEF";
        char text[16] = "&#x";
        std::size_t len = 3;
        int shift = 20;
        while (shift > 0 && (code_point >> shift) == 0) shift -= 4;
        for (; shift >= 0; shift -= 4) text[len++] = kDigits[(code_point >> shift) & 0xF];
        text[len++] = ';';
        markup(text, len);
    }

    // Straight into the sink, at most kChunk units a call; a pair is never cut in two.
    void transcode(const char16_t* units, std::size_t count) {
        constexpr std::size_t kChunk = 4096;
        constexpr std::size_t kMostBytesPerUnit = 4;
        while (count > 0) {
            std::size_t chunk = count < kChunk ? count : kChunk;
            if (chunk < count && (units[chunk - 1] & 0xFC00) == 0xD800) --chunk;
            const std::size_t room = chunk * kMostBytesPerUnit;
            auto* out = reinterpret_cast<XMLByte*>(sink_.room(room));
            XMLSize_t eaten = 0;
            XMLSize_t bytes = coder_.transcodeTo(units, chunk, out, room, eaten, XMLTranscoder::UnRep_Throw);
            sink_.commit(bytes);
            if (eaten == 0) return;  // a lone surrogate the transcoder leaves: the formatter drops it too
            units += eaten;
            count -= eaten;
        }
    }

    std::unique_ptr<XMLFormatter> formatter_;  // owns the transcoder
    XMLTranscoder& coder_;
    BlockSink& sink_;
    std::array<AsciiBytes, 128> ascii_{};
    bool identity_ = false;
    const bool single_byte_;
    static constexpr std::int16_t kNotAsked = -2;
    std::vector<std::int16_t> bytes_;
    std::vector<std::uint8_t> known_;
    text::Utf16Buffer utf16_;
    text::Utf8Buffer message_;
};

// Every other encoding: the formatter the serialiser used, with the same escape and
// unrepresentable-character rules for each kind of piece.
class FormatterEncoder final : public Encoder {
public:
    explicit FormatterEncoder(std::unique_ptr<XMLFormatter> formatter) : formatter_(std::move(formatter)) {}

    using Encoder::markup;

    void markup(const char* ascii, std::size_t len) override {
        wide_.clear();
        for (std::size_t i = 0; i < len; ++i) wide_.push_back(static_cast<unsigned char>(ascii[i]));
        format(wide_.data(), wide_.size(), XMLFormatter::NoEscapes, XMLFormatter::UnRep_CharRef);
    }
    void element_name(const char* name, std::size_t len) override {
        const char16_t* units = utf16_.convert(name, len);
        try {
            format(units, utf16_.size(), XMLFormatter::NoEscapes, XMLFormatter::UnRep_Fail);
        } catch (const xercesc::TranscodingException& exc) {
            throw NameNotRepresentable{message_.convert(exc.getMessage())};
        }
    }
    void attribute_name(const char* name) override { piece(name, XMLFormatter::NoEscapes); }
    void text(const char* value) override { piece(value, XMLFormatter::CharEscapes); }
    void attribute_value(const char* value) override { piece(value, XMLFormatter::AttrEscapes); }
    void byte_order_mark() override {
        static const char16_t kMark[] = u"\uFEFF";
        format(kMark, 1, XMLFormatter::NoEscapes, XMLFormatter::UnRep_Fail);
    }

private:
    void piece(const char* utf8, XMLFormatter::EscapeFlags escapes) {
        const char16_t* units = utf16_.convert(utf8);
        format(units, utf16_.size(), escapes, XMLFormatter::UnRep_CharRef);
    }
    void format(const char16_t* units, std::size_t len, XMLFormatter::EscapeFlags escapes,
                XMLFormatter::UnRepFlags unrepresentable) {
        if (len > 0) formatter_->formatBuf(units, len, escapes, unrepresentable);
    }

    std::unique_ptr<XMLFormatter> formatter_;
    text::Utf16Buffer utf16_;
    text::Utf8Buffer message_;
    std::vector<char16_t> wide_;
};

bool single_byte(XMLTranscoder* coder) {
    return dynamic_cast<xercesc::XML256TableTranscoder*>(coder) != nullptr ||
           dynamic_cast<xercesc::XML88591Transcoder*>(coder) != nullptr ||
           dynamic_cast<xercesc::XMLASCIITranscoder*>(coder) != nullptr;
}

bool stateless(XMLTranscoder* coder) {
    return single_byte(coder) || dynamic_cast<xercesc::XMLUTF16Transcoder*>(coder) != nullptr ||
           dynamic_cast<xercesc::XMLUCS4Transcoder*>(coder) != nullptr;
}

}  // namespace

void Utf8Encoder::text(const char* value) { escape_utf8(sink_, value, kTextEscapes); }
void Utf8Encoder::attribute_value(const char* value) { escape_utf8(sink_, value, kAttributeEscapes); }

std::unique_ptr<Encoder> make_encoder(const char16_t* encoding, BlockSink& sink, xercesc::MemoryManager* memory) {
    // Made first in every case: it is what tells an unknown encoding.
    auto formatter = std::make_unique<XMLFormatter>(encoding != nullptr ? encoding : u"UTF-8", &sink,
                                                    XMLFormatter::NoEscapes, XMLFormatter::UnRep_CharRef, memory);
    XMLTranscoder* coder = formatter->getTranscoder();
    if (dynamic_cast<xercesc::XMLUTF8Transcoder*>(coder) != nullptr) return std::make_unique<Utf8Encoder>(sink);
    if (stateless(coder)) {
        auto table = std::make_unique<TableEncoder>(std::move(formatter), sink, single_byte(coder));
        if (table->learn_ascii()) return table;
        formatter = std::make_unique<XMLFormatter>(encoding, &sink, XMLFormatter::NoEscapes,
                                                   XMLFormatter::UnRep_CharRef, memory);
    }
    return std::make_unique<FormatterEncoder>(std::move(formatter));
}

bool takes_byte_order_mark(const char16_t* encoding) {
    static const char16_t* const kMarked[] = {u"UTF-16", u"UCS-2", u"ISO-10646-UCS-2",
                                              u"UTF-32", u"UCS-4", u"ISO-10646-UCS-4"};
    if (encoding == nullptr) return false;
    for (const char16_t* name : kMarked)
        if (xercesc::XMLString::compareIStringASCII(encoding, name) == 0) return true;
    return false;
}


}  // namespace zel::write
