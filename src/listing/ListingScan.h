#pragma once

// Byte scanning for the listing parsers, which see millions of lines: with SSE2 (every
// x86-64) sixteen bytes are tested at once; elsewhere a plain loop does the same.
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace listing_detail {

inline bool IsLineEndByte(char c) {
    return c == '\n' || c == '\r' || c == '\0';
}

// First CR, LF or NUL in [p, end), or end. Sets highBytes when a byte from 0x80 up may be
// before it (the block holding the line end may count bytes after it too).
inline const char* FindLineEnd(const char* p, const char* end, bool& highBytes) {
#if defined(__SSE2__)
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i zero = _mm_setzero_si128();
    __m128i high = zero;
    while (end - p >= 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        high = _mm_or_si128(high, block);
        const __m128i hit =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(block, lf), _mm_cmpeq_epi8(block, cr)),
                         _mm_cmpeq_epi8(block, zero));
        const unsigned mask = unsigned(_mm_movemask_epi8(hit));
        if (mask != 0) {
            highBytes = highBytes || _mm_movemask_epi8(high) != 0;
            return p + __builtin_ctz(mask);
        }
        p += 16;
    }
    highBytes = highBytes || _mm_movemask_epi8(high) != 0;
#endif
    while (p < end && !IsLineEndByte(*p)) {
        highBytes = highBytes || static_cast<unsigned char>(*p) >= 0x80;
        ++p;
    }
    return p;
}

// Bit i set when p[i] is a blank, for the n <= 16 bytes at p.
inline unsigned BlankMask16(const char* p, int n) {
#if defined(__SSE2__)
    if (n == 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        return unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(block, _mm_set1_epi8(' '))));
    }
#endif
    unsigned mask = 0;
    for (int i = 0; i < n; ++i)
        mask |= unsigned(p[i] == ' ') << i;
    return mask;
}

} // namespace listing_detail
