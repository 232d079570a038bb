#include "io/build/text_run.hpp"

#include "text/utf.hpp"
#include "tree/tree.hpp"

namespace zel::build {

namespace {

bool is_high_surrogate(XMLCh unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool is_low_surrogate(XMLCh unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// UTF-8 bytes of a lone surrogate (U+FFFD) or of a pair: beyond what the units' own share of
// utf8_capacity_for covers, a waiting surrogate needs at most this many.
constexpr std::size_t kWaitingUnitBytes = 3;

}  // namespace

// Makes room for `bytes` more after the run's end and returns that end.
char* TextRun::room_for(std::size_t bytes) {
    std::size_t room = size_ + bytes;
    if (bytes_.size() < room) bytes_.resize(room);
    return bytes_.data() + size_;
}

void TextRun::settle(std::size_t added) {
    memory_.charge(added);
    charged_ += added;
    if (blank_ && !tree::is_blank(bytes_.data() + size_, added)) blank_ = false;
    size_ += added;
}

void TextRun::add(const XMLCh* chars, XMLSize_t length) {
    if (length == 0) return;
    char* at = room_for(text::utf8_capacity_for(length) + (lead_ != 0 ? kWaitingUnitBytes : 0));
    std::size_t added = 0;
    if (lead_ != 0) {
        const XMLCh pair[2] = {lead_, chars[0]};
        const std::size_t paired = is_low_surrogate(chars[0]) ? 1 : 0;
        added = text::utf16_to_utf8(pair, 1 + paired, at);
        chars += paired;
        length -= paired;
        lead_ = 0;
    }
    if (length > 0 && is_high_surrogate(chars[length - 1])) lead_ = chars[--length];
    added += text::utf16_to_utf8(chars, length, at + added);
    settle(added);
}

void TextRun::end_piece() {
    if (lead_ == 0) return;
    const XMLCh lone = lead_;
    lead_ = 0;
    settle(text::utf16_to_utf8(&lone, 1, room_for(text::utf8_capacity_for(1))));
}

void TextRun::start_piece() {
    end_piece();
    piece_starts_.push_back(size_);
}

void TextRun::clear(bool give_back) {
    if (give_back) memory_.release(charged_);
    size_ = 0;
    charged_ = 0;
    piece_starts_.clear();
    lead_ = 0;
    blank_ = true;
}

}  // namespace zel::build
