#include "io/write/encoder.hpp"

#include <cstdint>
#include <cstring>

#include <xercesc/util/TranscodingException.hpp>
#include <xercesc/util/XMLUTF8Transcoder.hpp>

using xercesc::XMLFormatter;

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

// For each byte: 0 when it is copied as it stands, kEnd for the terminator, else the number
// of its character reference in kReferences.
struct EscapeTable {
    std::uint8_t of[256];
};
constexpr std::uint8_t kEnd = 0xFF;

struct Reference {
    const char* text;
    std::size_t len;
};
// The references the formatter writes: its entity names, and hexadecimal in upper case.
constexpr Reference kReferences[] = {{"", 0},      {"&amp;", 5},  {"&lt;", 4},   {"&gt;", 4},
                                     {"&quot;", 6}, {"&#x9;", 5},  {"&#xA;", 5},  {"&#xD;", 5}};

constexpr EscapeTable make_table(bool attribute) {
    EscapeTable table{};
    table.of[0] = kEnd;
    table.of[static_cast<unsigned char>('&')] = 1;
    table.of[static_cast<unsigned char>('<')] = 2;
    table.of[static_cast<unsigned char>('\r')] = 7;
    if (attribute) {
        table.of[static_cast<unsigned char>('"')] = 4;
        table.of[static_cast<unsigned char>('\t')] = 5;
        table.of[static_cast<unsigned char>('\n')] = 6;
    } else {
        table.of[static_cast<unsigned char>('>')] = 3;
    }
    return table;
}
constexpr EscapeTable kTextEscapes = make_table(false);
constexpr EscapeTable kAttributeEscapes = make_table(true);

// UTF-8 out: the records' bytes go out as they stand between the references.
class Utf8Encoder final : public Encoder {
public:
    explicit Utf8Encoder(BlockSink& sink) : sink_(sink) {}

    void markup(const char* ascii, std::size_t len) override { sink_.append(ascii, len); }
    void element_name(const char* name, std::size_t len) override { sink_.append(name, len); }
    void attribute_name(const char* name) override { sink_.append(name, std::strlen(name)); }
    void text(const char* value) override { escape(value, kTextEscapes); }
    void attribute_value(const char* value) override { escape(value, kAttributeEscapes); }
    void byte_order_mark() override { sink_.append("\xEF\xBB\xBF", 3); }

private:
    void escape(const char* value, const EscapeTable& table) {
        const auto* at = reinterpret_cast<const unsigned char*>(value);
        for (;;) {
            const unsigned char* run = at;
            while (table.of[*at] == 0) ++at;
            if (at != run) sink_.append(reinterpret_cast<const char*>(run), static_cast<std::size_t>(at - run));
            std::uint8_t kind = table.of[*at];
            if (kind == kEnd) return;
            sink_.append(kReferences[kind].text, kReferences[kind].len);
            ++at;
        }
    }

    BlockSink& sink_;
};

// Every other encoding: the formatter the serialiser used, with the same escape and
// unrepresentable-character rules for each kind of piece.
class TranscodingEncoder final : public Encoder {
public:
    explicit TranscodingEncoder(std::unique_ptr<XMLFormatter> formatter) : formatter_(std::move(formatter)) {}

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

}  // namespace

std::unique_ptr<Encoder> make_encoder(const char16_t* encoding, BlockSink& sink, xercesc::MemoryManager* memory) {
    // Made first in every case: it is what tells an unknown encoding.
    auto formatter = std::make_unique<XMLFormatter>(encoding != nullptr ? encoding : u"UTF-8", &sink,
                                                    XMLFormatter::NoEscapes, XMLFormatter::UnRep_CharRef, memory);
    if (dynamic_cast<xercesc::XMLUTF8Transcoder*>(formatter->getTranscoder()) != nullptr)
        return std::make_unique<Utf8Encoder>(sink);
    return std::make_unique<TranscodingEncoder>(std::move(formatter));
}

}  // namespace zel::write
