// The character data between two other events (a run), gathered as UTF-8 in one reusable
// buffer however many events the parser splits it into. Every reader keeps its text in one.
#pragma once

#include "io/parser/safety.hpp"
#include "text/utf.hpp"
#include "tree/tree.hpp"

#include <cstddef>
#include <cstdint>
#include <vector>

#include <xercesc/util/XercesDefs.hpp>

namespace zel::build {

class TextRun {
public:
    // Every byte the run gathers is charged to `memory` as it comes.
    explicit TextRun(parser::MemoryBudget& memory) : memory_(memory) {}

    // Converts `length` units onto the end of the run. A high surrogate that ends them waits
    // for the next call: the parser flushes a full character buffer wherever it stands, which
    // can be between the two halves of a pair. Called for every character event, so the
    // common case is kept to the one test of room (which fails while a surrogate waits) and
    // a look at the last unit.
    void add(const XMLCh* chars, XMLSize_t length) {
        std::size_t end = size_ + text::utf8_capacity_for(length);
        if (end > room_ || length == 0 || is_high_surrogate(chars[length - 1])) {
            add_slowly(chars, length);
            return;
        }
        settle(text::utf16_to_utf8(chars, length, bytes_.data() + size_));
    }

    // Ends the current piece: a high surrogate still waiting has no partner and stands alone
    // (U+FFFD), as it would in the piece's own text.
    void end_piece() {
        if (lead_ != 0) end_alone();
    }
    // Ends the current piece and starts another at the end of the run. Readers that make a
    // record per piece use this; the others keep the whole run as one piece.
    void start_piece();

    // Charges `bytes` more (a record the run will become), given back with the run's own.
    void charge(std::size_t bytes) {
        memory_.charge(bytes);
        charged_ += bytes;
    }

    // No units were added since the run was cleared.
    bool empty() const { return size_ == 0 && lead_ == 0; }
    // Every byte so far is white space (see tree::is_blank); an empty run is blank. Looks at
    // each byte once, however often it is asked, and not at all until then.
    bool blank() {
        if (blank_upto_ < size_)
            blank_upto_ = tree::is_blank(bytes_.data() + blank_upto_, size_ - blank_upto_) ? size_ : kNotBlank;
        return blank_upto_ != kNotBlank;
    }
    // The run's bytes (not terminated); call end_piece() first so that none is waiting.
    const char* text() const { return size_ > 0 ? bytes_.data() : ""; }
    std::size_t size() const { return size_; }

    // The pieces since start_piece() was first called: piece `i` of piece_count().
    std::size_t piece_count() const { return pieces_; }
    std::size_t piece_start(std::size_t i) const { return piece_starts_[i]; }
    std::size_t piece_end(std::size_t i) const { return i + 1 < pieces_ ? piece_starts_[i + 1] : size_; }

    // Empties the run for the next one; the buffer keeps its storage. What was charged stays
    // charged (the records made from the run hold it) unless `give_back`.
    void clear(bool give_back = false) {
        if (give_back) memory_.release(size_ + charged_);
        size_ = 0;
        charged_ = 0;
        pieces_ = 0;
        blank_upto_ = 0;
        if (lead_ != 0) drop_lead();
    }

private:
    static constexpr std::size_t kNotBlank = SIZE_MAX;

    static bool is_high_surrogate(XMLCh unit) { return unit >= 0xD800 && unit <= 0xDBFF; }

    void settle(std::size_t added) {
        memory_.charge(added);
        size_ += added;
    }
    char* room_for(std::size_t bytes);
    void add_slowly(const XMLCh* chars, XMLSize_t length);
    void end_alone();
    void hold_lead(XMLCh lead) {
        lead_ = lead;
        room_ = 0;
    }
    void drop_lead() {
        lead_ = 0;
        room_ = bytes_.size();
    }

    parser::MemoryBudget& memory_;
    std::vector<char> bytes_;  // grows to the longest run; never shrinks
    std::size_t room_ = 0;     // bytes_.size(), or 0 while a surrogate waits
    std::size_t size_ = 0;     // every byte is charged as it comes
    std::size_t charged_ = 0;  // besides the bytes
    std::size_t pieces_ = 0;   // the first of piece_starts_ in use
    std::size_t blank_upto_ = 0;  // bytes known to be blank; kNotBlank once one is not
    std::vector<std::size_t> piece_starts_;  // never shrinks
    XMLCh lead_ = 0;  // a high surrogate waiting for its partner
};

}  // namespace zel::build
