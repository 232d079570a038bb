// The character data between two other events (a run), gathered as UTF-8 in one reusable
// buffer however many events the parser splits it into. Every reader keeps its text in one.
#pragma once

#include "io/parser/safety.hpp"

#include <cstddef>
#include <vector>

#include <xercesc/util/XercesDefs.hpp>

namespace zel::build {

class TextRun {
public:
    // Every byte the run gathers is charged to `memory` as it comes.
    explicit TextRun(parser::MemoryBudget& memory) : memory_(memory) {}

    // Converts `length` units onto the end of the run. A high surrogate that ends them waits
    // for the next call: the parser flushes a full character buffer wherever it stands, which
    // can be between the two halves of a pair.
    void add(const XMLCh* chars, XMLSize_t length);

    // Ends the current piece: a high surrogate still waiting has no partner and stands alone
    // (U+FFFD), as it would in the piece's own text.
    void end_piece();
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
    // Every byte so far is white space (see tree::is_blank); an empty run is blank.
    bool blank() const { return blank_; }
    // The run's bytes (not terminated); call end_piece() first so that none is waiting.
    const char* text() const { return size_ > 0 ? bytes_.data() : ""; }
    std::size_t size() const { return size_; }

    // The pieces since start_piece() was first called: piece `i` of piece_count().
    std::size_t piece_count() const { return piece_starts_.size(); }
    std::size_t piece_start(std::size_t i) const { return piece_starts_[i]; }
    std::size_t piece_end(std::size_t i) const {
        return i + 1 < piece_starts_.size() ? piece_starts_[i + 1] : size_;
    }

    // Empties the run for the next one; the buffer keeps its storage. What was charged stays
    // charged (the records made from the run hold it) unless `give_back`.
    void clear(bool give_back = false);

private:
    char* room_for(std::size_t bytes);
    void settle(std::size_t added);

    parser::MemoryBudget& memory_;
    std::vector<char> bytes_;  // grows to the longest run; never shrinks
    std::size_t size_ = 0;
    std::size_t charged_ = 0;
    std::vector<std::size_t> piece_starts_;
    XMLCh lead_ = 0;  // a high surrogate waiting for its partner
    bool blank_ = true;
};

}  // namespace zel::build
