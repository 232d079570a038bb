#include "io/build/text_run.hpp"

namespace zel::build {

namespace {

bool is_low_surrogate(XMLCh unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// UTF-8 bytes of a lone surrogate (U+FFFD) or of a pair: beyond what the units' own share of
// utf8_capacity_for covers, a waiting surrogate needs at most this many.
constexpr std::size_t kWaitingUnitBytes = 3;

}  // namespace

// Makes room for `bytes` more after the run's end and returns that end.
char* TextRun::room_for(std::size_t bytes) {
    std::size_t end = size_ + bytes;
    if (bytes_.size() < end) bytes_.resize(end);
    if (lead_ == 0) room_ = bytes_.size();
    return bytes_.data() + size_;
}

// Growth, a waiting surrogate (first, paired with the first unit when that is its partner)
// and a high surrogate at the end, which waits in turn.
void TextRun::add_slowly(const XMLCh* chars, XMLSize_t length) {
    if (length == 0) return;
    char* at = room_for(text::utf8_capacity_for(length) + (lead_ != 0 ? kWaitingUnitBytes : 0));
    std::size_t added = 0;
    if (lead_ != 0) {
        const XMLCh pair[2] = {lead_, chars[0]};
        const std::size_t paired = is_low_surrogate(chars[0]) ? 1 : 0;
        added = text::utf16_to_utf8(pair, 1 + paired, at);
        chars += paired;
        length -= paired;
        drop_lead();
    }
    if (length > 0 && is_high_surrogate(chars[length - 1])) hold_lead(chars[--length]);
    added += text::utf16_to_utf8(chars, length, at + added);
    settle(added);
}

void TextRun::end_alone() {
    const XMLCh lone = lead_;
    drop_lead();
    settle(text::utf16_to_utf8(&lone, 1, room_for(text::utf8_capacity_for(1))));
}

void TextRun::start_piece() {
    end_piece();
    if (pieces_ == piece_starts_.size())
        piece_starts_.push_back(size_);
    else
        piece_starts_[pieces_] = size_;
    ++pieces_;
}

}  // namespace zel::build
