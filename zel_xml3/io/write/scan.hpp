// Finding the bytes a writer must look at in a run of UTF-8, sixteen at a time where the
// machine allows, so that everything between them is passed over or copied in bulk.
#pragma once

#include <cstddef>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace zel::write {

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
#endif
    for (; at < end; ++at)
        for (std::size_t i = 0; i + 1 < kCount; ++i)
            if (*at == static_cast<unsigned char>(members[i])) return at;
    return end;
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
#endif
    for (; at < end; ++at) {
        if (*at >= 0x80) return at;
        for (std::size_t i = 0; i + 1 < kCount; ++i)
            if (*at == static_cast<unsigned char>(members[i])) return at;
    }
    return end;
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
#endif
    while (at < end && *at >= 0x20 && *at < 0x80) ++at;
    return at;
}

}  // namespace zel::write
