// How deep a tree the calling thread may write. The writer keeps an explicit stack and needs
// no call stack per level; the limit is the one the library has always applied (its writer
// once recursed per level), so the same trees are written and refused.
#pragma once

#include <cstddef>
#include <optional>

namespace zel::write {

// The limit: about 128 bytes of stack a level were measured for the recursive serialiser the
// reference writer in oracle/ still uses (it crashed at 65,469 levels on an 8 MB stack). A
// write reserves kStackBytesPerLevel a level, nearly twice that, plus kStackReserve for the
// frames that do not repeat, out of what is left of the calling thread's stack, and never
// goes past kMaxWriteDepth, which an 8 MB stack allows.
constexpr std::size_t kMaxWriteDepth = 32000;
constexpr std::size_t kStackBytesPerLevel = 240;
constexpr std::size_t kStackReserve = 128 * 1024;

// Bytes of the calling thread's stack below the caller's frame; nothing when the thread's
// stack cannot be found.
std::optional<std::size_t> stack_bytes_left();

// Deepest element nesting, the document element being level 1, that a write on the calling
// thread accepts: min(kMaxWriteDepth, (stack left - kStackReserve) / kStackBytesPerLevel),
// or kMaxWriteDepth when the stack cannot be found.
std::size_t max_write_depth();

}  // namespace zel::write
