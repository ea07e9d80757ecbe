#include "splitter/line_scan.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define QUENDA_LINE_SCAN_AVX2 1
#include <immintrin.h>
#endif

namespace quenda {

namespace {

size_t findByte(const char *data, size_t from, size_t to, char c)
{
    const void *hit = std::memchr(data + from, c, to - from);
    return hit ? static_cast<size_t>(static_cast<const char *>(hit) - data) : to;
}

#ifdef QUENDA_LINE_SCAN_AVX2
// The byte-by-byte rule for the few bytes after the last whole 64-byte group: position j is
// checked together with the byte before it, as the groups do.
LineScan scanTail(const char *data, size_t i, size_t to, qint64 pairs, qint64 maxPairs,
                  size_t minLf)
{
    for (size_t j = i; j < to; ++j) {
        const bool lf = data[j] == '\n';
        const bool crBefore = data[j - 1] == '\r';
        if (lf && crBefore) {
            if (pairs + 1 >= maxPairs || j >= minLf)
                return {LineScan::LineEnd, j, pairs};
            ++pairs;
        } else if (lf) {
            return {LineScan::LoneEnd, j, pairs};
        } else if (crBefore) {
            return {LineScan::LoneEnd, j - 1, pairs};
        }
    }
    if (data[to - 1] == '\r')
        return {LineScan::LoneEnd, to - 1, pairs};
    return {LineScan::End, to, pairs};
}
#endif

#ifdef QUENDA_LINE_SCAN_AVX2
uint64_t bits(int low, int high)
{
    return static_cast<uint64_t>(static_cast<uint32_t>(low)) |
           static_cast<uint64_t>(static_cast<uint32_t>(high)) << 32;
}
#endif

using ScanFunction = LineScan (*)(const char *, size_t, size_t, qint64, size_t);

ScanFunction chooseScan()
{
    return haveAvx2LineScan() ? scanLineEndsAvx2 : scanLineEndsPortable;
}

} // namespace

LineScan scanLineEndsPortable(const char *data, size_t from, size_t to, qint64 maxPairs,
                              size_t minLf)
{
    qint64 pairs = 0;
    // The next CR and the next LF, each searched again only once passed.
    size_t nextCr = findByte(data, from, to, '\r');
    size_t nextLf = findByte(data, from, to, '\n');
    for (;;) {
        const size_t end = std::min(nextCr, nextLf);
        if (end == to)
            return {LineScan::End, to, pairs};
        // An LF before any CR cannot close a pair: the walk never starts between CR and LF.
        if (end == nextLf || end + 1 == to || data[end + 1] != '\n')
            return {LineScan::LoneEnd, end, pairs};
        const size_t lf = end + 1;
        if (pairs + 1 >= maxPairs || lf >= minLf)
            return {LineScan::LineEnd, lf, pairs};
        ++pairs;
        nextCr = findByte(data, lf + 1, to, '\r');
        if (nextLf < lf + 1)
            nextLf = findByte(data, lf + 1, to, '\n');
    }
}

#ifdef QUENDA_LINE_SCAN_AVX2

bool haveAvx2LineScan()
{
    static const bool have = __builtin_cpu_supports("avx2");
    return have;
}

// 64 bytes at a time. In a text whose lines all end in CR LF, a byte is an LF exactly when the
// byte before it is a CR; a group where that holds throughout and no stop falls is passed with a
// count of its LFs. The first group where it fails, or where a stop may fall, is resolved from
// its bit masks.
__attribute__((target("avx2"))) LineScan scanLineEndsAvx2(const char *data, size_t from, size_t to,
                                                          qint64 maxPairs, size_t minLf)
{
    if (from >= to)
        return {LineScan::End, to, 0};
    if (data[from] == '\n')
        return {LineScan::LoneEnd, from, 0};
    const __m256i cr = _mm256_set1_epi8('\r');
    const __m256i lf = _mm256_set1_epi8('\n');
    const bool counting = maxPairs != kNoPairLimit;
    qint64 pairs = 0;
    // Position i is always checked together with data[i - 1], so the walk starts one byte in.
    size_t i = from + 1;
    // Long flawless stretches go 128 bytes a turn, the four vectors' flaws tested at once; the
    // group that may hold a stop is left to the loop below.
    while (to - i >= 128 && minLf >= i + 128) {
        const char *p = data + i;
        const __m256i lf0 = _mm256_cmpeq_epi8(_mm256_loadu_si256((const __m256i *)p), lf);
        const __m256i lf1 = _mm256_cmpeq_epi8(_mm256_loadu_si256((const __m256i *)(p + 32)), lf);
        const __m256i lf2 = _mm256_cmpeq_epi8(_mm256_loadu_si256((const __m256i *)(p + 64)), lf);
        const __m256i lf3 = _mm256_cmpeq_epi8(_mm256_loadu_si256((const __m256i *)(p + 96)), lf);
        const __m256i cr0 = _mm256_cmpeq_epi8(_mm256_loadu_si256((const __m256i *)(p - 1)), cr);
        const __m256i cr1 = _mm256_cmpeq_epi8(_mm256_loadu_si256((const __m256i *)(p + 31)), cr);
        const __m256i cr2 = _mm256_cmpeq_epi8(_mm256_loadu_si256((const __m256i *)(p + 63)), cr);
        const __m256i cr3 = _mm256_cmpeq_epi8(_mm256_loadu_si256((const __m256i *)(p + 95)), cr);
        const __m256i flaws = _mm256_or_si256(
            _mm256_or_si256(_mm256_xor_si256(lf0, cr0), _mm256_xor_si256(lf1, cr1)),
            _mm256_or_si256(_mm256_xor_si256(lf2, cr2), _mm256_xor_si256(lf3, cr3)));
        if (!_mm256_testz_si256(flaws, flaws))
            break;
        i += 128;
        if (!counting)
            continue;
        const qint64 count =
            std::popcount(bits(_mm256_movemask_epi8(lf0), _mm256_movemask_epi8(lf1))) +
            std::popcount(bits(_mm256_movemask_epi8(lf2), _mm256_movemask_epi8(lf3)));
        if (pairs + count >= maxPairs) {
            i -= 128;
            break;
        }
        pairs += count;
    }
    for (; to - i >= 64; i += 64) {
        const char *p = data + i;
        const __m256i lfLow = _mm256_cmpeq_epi8(_mm256_loadu_si256((const __m256i *)p), lf);
        const __m256i lfHigh = _mm256_cmpeq_epi8(_mm256_loadu_si256((const __m256i *)(p + 32)), lf);
        const __m256i crLow = _mm256_cmpeq_epi8(_mm256_loadu_si256((const __m256i *)(p - 1)), cr);
        const __m256i crHigh = _mm256_cmpeq_epi8(_mm256_loadu_si256((const __m256i *)(p + 31)), cr);
        const uint64_t lfs = bits(_mm256_movemask_epi8(lfLow), _mm256_movemask_epi8(lfHigh));
        // Bit k: an LF without a CR before it, or a CR before something else (at k - 1).
        const uint64_t flaws = bits(_mm256_movemask_epi8(_mm256_xor_si256(lfLow, crLow)),
                                    _mm256_movemask_epi8(_mm256_xor_si256(lfHigh, crHigh)));
        const qint64 count = std::popcount(lfs);
        if (flaws == 0 && pairs + count < maxPairs && minLf >= i + 64) {
            pairs += count;
            continue;
        }
        const unsigned firstFlaw = flaws ? static_cast<unsigned>(std::countr_zero(flaws)) : 64;
        const uint64_t pairLfs = firstFlaw == 64 ? lfs : lfs & ((uint64_t{1} << firstFlaw) - 1);
        const qint64 pairCount = std::popcount(pairLfs);
        size_t stop = kNoMinLf;
        if (pairs + pairCount >= maxPairs) {
            uint64_t rest = pairLfs;
            for (qint64 k = maxPairs - pairs; k > 1; --k)
                rest &= rest - 1;
            stop = i + static_cast<size_t>(std::countr_zero(rest));
        }
        if (minLf < i + 64) {
            const uint64_t late =
                minLf <= i ? pairLfs : pairLfs & ~((uint64_t{1} << (minLf - i)) - 1);
            if (late)
                stop = std::min(stop, i + static_cast<size_t>(std::countr_zero(late)));
        }
        if (stop != kNoMinLf) {
            const uint64_t before = pairLfs & ((uint64_t{1} << (stop - i)) - 1);
            return {LineScan::LineEnd, stop, pairs + std::popcount(before)};
        }
        if (firstFlaw < 64) {
            const size_t at = (lfs >> firstFlaw) & 1 ? i + firstFlaw : i + firstFlaw - 1;
            return {LineScan::LoneEnd, at, pairs + pairCount};
        }
        pairs += pairCount;
    }
    return scanTail(data, i, to, pairs, maxPairs, minLf);
}

#else

bool haveAvx2LineScan()
{
    return false;
}

LineScan scanLineEndsAvx2(const char *data, size_t from, size_t to, qint64 maxPairs, size_t minLf)
{
    return scanLineEndsPortable(data, from, to, maxPairs, minLf);
}

#endif

LineScan scanLineEnds(const char *data, size_t from, size_t to, qint64 maxPairs, size_t minLf)
{
    static const ScanFunction scan = chooseScan();
    return scan(data, from, to, maxPairs, minLf);
}

} // namespace quenda
