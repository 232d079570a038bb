#include "io/write/depth.hpp"

#include <algorithm>
#include <cstdint>
#include <pthread.h>

namespace zel::write {

std::optional<std::size_t> stack_bytes_left() {
    pthread_attr_t attributes;
    if (pthread_getattr_np(pthread_self(), &attributes) != 0) return std::nullopt;
    void* lowest = nullptr;
    std::size_t size = 0;
    int got = pthread_attr_getstack(&attributes, &lowest, &size);
    pthread_attr_destroy(&attributes);
    if (got != 0) return std::nullopt;
    // The stack grows down: what is left lies between its lowest address and this frame.
    char here = 0;
    auto position = reinterpret_cast<std::uintptr_t>(&here);
    auto bottom = reinterpret_cast<std::uintptr_t>(lowest);
    return position > bottom ? position - bottom : 0;
}

std::size_t max_write_depth() {
    std::optional<std::size_t> left = stack_bytes_left();
    if (!left) return kMaxWriteDepth;
    if (*left <= kStackReserve) return 0;
    return std::min(kMaxWriteDepth, (*left - kStackReserve) / kStackBytesPerLevel);
}

}  // namespace zel::write
