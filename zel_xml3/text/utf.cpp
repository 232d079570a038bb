#include "text/utf.hpp"

#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace zel::text {

namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kMalformed = 0xFFFFFFFF;  // take_utf8's answer for a sequence that is not UTF-8

char* put_utf8(char32_t cp, char* out) {
    if (cp < 0x80) {
        *out++ = static_cast<char>(cp);
    } else if (cp < 0x800) {
        *out++ = static_cast<char>(0xC0 | (cp >> 6));
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (cp >> 12));
        *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | (cp >> 18));
        *out++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    }
    return out;
}

bool is_continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Decodes one UTF-8 sequence starting at in[pos]; advances `pos`. Overlong forms, surrogates,
// values past U+10FFFF and truncated sequences give kMalformed and consume one byte.
char32_t take_utf8(const unsigned char* in, std::size_t len, std::size_t& pos) {
    unsigned char lead = in[pos];
    std::size_t need;
    char32_t cp;
    char32_t min;
    if (lead < 0xC2 || lead > 0xF4) {
        ++pos;
        return kMalformed;
    } else if (lead < 0xE0) {
        need = 1, cp = lead & 0x1F, min = 0x80;
    } else if (lead < 0xF0) {
        need = 2, cp = lead & 0x0F, min = 0x800;
    } else {
        need = 3, cp = lead & 0x07, min = 0x10000;
    }
    if (len - pos <= need) {
        ++pos;
        return kMalformed;
    }
    for (std::size_t i = 1; i <= need; ++i) {
        if (!is_continuation(in[pos + i])) {
            ++pos;
            return kMalformed;
        }
        cp = (cp << 6) | (in[pos + i] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++pos;
        return kMalformed;
    }
    pos += need + 1;
    return cp;
}

// Copies the leading ASCII units, the bulk of most markup and text; stops at the first other
// unit. Returns the number copied. Long runs go 16 units at a time, then 8 and 4; the blocks
// may write up to 15 bytes past what is reported, for which the output has room (3 bytes per
// remaining unit). Names and short values are mostly under 16 units, so the smaller blocks
// and a short scalar tail keep the cost per call low.
std::size_t copy_ascii_prefix(const char16_t* in, std::size_t len, char* out) {
    std::size_t i = 0;
#ifdef __SSE2__
    const __m128i non_ascii = _mm_set1_epi16(static_cast<short>(0xFF80));
    const __m128i zero = _mm_setzero_si128();
    auto ascii_mask = [&](__m128i units) { return _mm_cmpeq_epi16(_mm_and_si128(units, non_ascii), zero); };
    for (; i + 16 <= len; i += 16) {
        __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i + 8));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(lo, hi));
        unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(ascii_mask(lo), ascii_mask(hi))));
        if (mask != 0xFFFF) return i + static_cast<std::size_t>(__builtin_ctz(~mask));
    }
    if (i + 8 <= len) {
        __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(units, units));
        unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(ascii_mask(units)));
        if (mask != 0xFFFF) return i + static_cast<std::size_t>(__builtin_ctz(~mask)) / 2;
        i += 8;
    }
    if (i + 4 <= len) {
        __m128i units = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + i));
        int packed = _mm_cvtsi128_si32(_mm_packus_epi16(units, units));
        std::memcpy(out + i, &packed, 4);
        unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(ascii_mask(units))) | 0xFF00u;
        if (mask != 0xFFFF) return i + static_cast<std::size_t>(__builtin_ctz(~mask)) / 2;
        i += 4;
    }
#endif
    for (; i < len && in[i] < 0x80; ++i) out[i] = static_cast<char>(in[i]);
    return i;
}

}  // namespace

std::size_t utf16_to_utf8(const char16_t* in, std::size_t len, char* out) {
    char* start = out;
    std::size_t i = 0;
    while (i < len) {
        if (in[i] < 0x80) {  // text outside ASCII goes on unit by unit without entering the blocks
            std::size_t run = copy_ascii_prefix(in + i, len - i, out);
            i += run;
            out += run;
            if (i == len) break;
        }
        char16_t unit = in[i];
        char32_t cp = unit;
        ++i;
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (i < len && in[i] >= 0xDC00 && in[i] <= 0xDFFF) {
                cp = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (in[i] - 0xDC00);
                ++i;
            } else {
                cp = kReplacement;
            }
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            cp = kReplacement;
        }
        out = put_utf8(cp, out);
    }
    *out = '\0';
    return static_cast<std::size_t>(out - start);
}

std::size_t utf8_to_utf16(const char* text, std::size_t len, char16_t* out, bool* malformed) {
    const auto* in = reinterpret_cast<const unsigned char*>(text);
    char16_t* start = out;
    std::size_t pos = 0;
    while (pos < len) {
        if (in[pos] < 0x80) {
            *out++ = in[pos++];
            continue;
        }
        char32_t cp = take_utf8(in, len, pos);
        if (cp == kMalformed) {
            cp = kReplacement;
            if (malformed != nullptr) *malformed = true;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            *out++ = static_cast<char16_t>(0xD800 + (cp >> 10));
            *out++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            *out++ = static_cast<char16_t>(cp);
        }
    }
    *out = 0;
    return static_cast<std::size_t>(out - start);
}

const char* Utf8Buffer::convert(const char16_t* text, std::size_t len) {
    std::size_t need = utf8_capacity_for(len);
    if (bytes_.size() < need) bytes_.resize(need);
    size_ = utf16_to_utf8(text, len, bytes_.data());
    return bytes_.data();
}

const char16_t* Utf16Buffer::convert(const char* text, std::size_t len) {
    std::size_t need = utf16_capacity_for(len);
    if (units_.size() < need) units_.resize(need);
    malformed_ = false;
    size_ = utf8_to_utf16(text, len, units_.data(), &malformed_);
    return units_.data();
}

const char16_t* Utf16Buffer::convert(const char* text) { return convert(text, text ? std::strlen(text) : 0); }

}  // namespace zel::text
