// Finding the bytes a writer must look at in a run of UTF-8, sixteen at a time where the
// machine allows, so that everything between them is passed over or copied in bulk.
#pragma once

#include <cstddef>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace zel::write {

#ifdef __SSE2__
// The last bytes of a piece, fewer than sixteen, in a zeroed block that may be read whole:
// short pieces (most names and values) then take one compare, not a loop per byte.
struct Tail {
    explicit Tail(const unsigned char* at, const unsigned char* end) : count(static_cast<std::size_t>(end - at)) {
        std::memcpy(bytes, at, count);
        block = _mm_load_si128(reinterpret_cast<const __m128i*>(bytes));
    }
    // The first hit of `hits` among the copied bytes, as a position from `at`, or count.
    std::size_t first(__m128i hits) const {
        unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hits)) & ((1u << count) - 1);
        return mask != 0 ? static_cast<std::size_t>(__builtin_ctz(mask)) : count;
    }
    alignas(16) unsigned char bytes[16] = {};
    std::size_t count;
    __m128i block;
};
#endif

// The first byte of [at, end) equal to one of `members` (a string literal of ASCII bytes), or
// end.
template <std::size_t kCount>
inline const unsigned char* find_any(const unsigned char* at, const unsigned char* end, const char (&members)[kCount]) {
#ifdef __SSE2__
    while (end - at >= 16) {
        __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        __m128i hits = _mm_cmpeq_epi8(block, _mm_set1_epi8(members[0]));
        for (std::size_t i = 1; i + 1 < kCount; ++i)
            hits = _mm_or_si128(hits, _mm_cmpeq_epi8(block, _mm_set1_epi8(members[i])));
        if (int mask = _mm_movemask_epi8(hits); mask != 0) return at + __builtin_ctz(static_cast<unsigned>(mask));
        at += 16;
    }
    if (at == end) return end;
    const Tail tail(at, end);
    __m128i hits = _mm_cmpeq_epi8(tail.block, _mm_set1_epi8(members[0]));
    for (std::size_t i = 1; i + 1 < kCount; ++i)
        hits = _mm_or_si128(hits, _mm_cmpeq_epi8(tail.block, _mm_set1_epi8(members[i])));
    return at + tail.first(hits);
#else
    for (; at < end; ++at)
        for (std::size_t i = 0; i + 1 < kCount; ++i)
            if (*at == static_cast<unsigned char>(members[i])) return at;
    return end;
#endif
}

// The first byte of [at, end) equal to one of `members` or from 0x80 up, or end.
template <std::size_t kCount>
inline const unsigned char* find_any_or_non_ascii(const unsigned char* at, const unsigned char* end,
                                                  const char (&members)[kCount]) {
#ifdef __SSE2__
    while (end - at >= 16) {
        __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        __m128i hits = block;  // the top bit of each byte from 0x80 up
        for (std::size_t i = 0; i + 1 < kCount; ++i)
            hits = _mm_or_si128(hits, _mm_cmpeq_epi8(block, _mm_set1_epi8(members[i])));
        if (int mask = _mm_movemask_epi8(hits); mask != 0) return at + __builtin_ctz(static_cast<unsigned>(mask));
        at += 16;
    }
    if (at == end) return end;
    const Tail tail(at, end);
    __m128i hits = tail.block;
    for (std::size_t i = 0; i + 1 < kCount; ++i)
        hits = _mm_or_si128(hits, _mm_cmpeq_epi8(tail.block, _mm_set1_epi8(members[i])));
    return at + tail.first(hits);
#else
    for (; at < end; ++at) {
        if (*at >= 0x80) return at;
        for (std::size_t i = 0; i + 1 < kCount; ++i)
            if (*at == static_cast<unsigned char>(members[i])) return at;
    }
    return end;
#endif
}

// The first byte of [at, end) that is not printable ASCII (below 0x20, or from 0x80 up), or
// end.
inline const unsigned char* find_not_printable_ascii(const unsigned char* at, const unsigned char* end) {
#ifdef __SSE2__
    while (end - at >= 16) {
        __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        // A signed compare: bytes from 0x80 are negative, so below 0x20 as well.
        int mask = _mm_movemask_epi8(_mm_cmplt_epi8(block, _mm_set1_epi8(0x20)));
        if (mask != 0) return at + __builtin_ctz(static_cast<unsigned>(mask));
        at += 16;
    }
    if (at == end) return end;
    const Tail tail(at, end);
    return at + tail.first(_mm_cmplt_epi8(tail.block, _mm_set1_epi8(0x20)));
#else
    while (at < end && *at >= 0x20 && *at < 0x80) ++at;
    return at;
#endif
}

}  // namespace zel::write
