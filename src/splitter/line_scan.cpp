#include "splitter/line_scan.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define QUENDA_LINE_SCAN_X86 1
#include <immintrin.h>
#endif

namespace quenda {

namespace {

size_t findByte(const char *data, size_t from, size_t to, char c)
{
    const void *hit = std::memchr(data + from, c, to - from);
    return hit ? static_cast<size_t>(static_cast<const char *>(hit) - data) : to;
}

#ifdef QUENDA_LINE_SCAN_X86

// The vector walk looks at 64 bytes from i at a time, each position together with the byte
// before it. In a text whose lines all end in CR LF, a byte is an LF exactly when the byte before
// it is a CR; `flaws` marks where that fails: bit k is an LF without a CR before it (at i + k) or
// a CR followed by something else (at i + k - 1). Given a group where a stop may fall, this
// finds it, or counts the group's pairs and lets the walk go on.
std::optional<LineScan> stopInGroup(size_t i, uint64_t lfs, uint64_t flaws, qint64 &pairs,
                                    qint64 maxPairs, size_t minLf)
{
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
        const uint64_t late = minLf <= i ? pairLfs : pairLfs & ~((uint64_t{1} << (minLf - i)) - 1);
        if (late)
            stop = std::min(stop, i + static_cast<size_t>(std::countr_zero(late)));
    }
    if (stop != kNoMinLf) {
        const uint64_t before = pairLfs & ((uint64_t{1} << (stop - i)) - 1);
        return LineScan{LineScan::LineEnd, stop, pairs + std::popcount(before)};
    }
    if (firstFlaw < 64) {
        const size_t at = (lfs >> firstFlaw) & 1 ? i + firstFlaw : i + firstFlaw - 1;
        return LineScan{LineScan::LoneEnd, at, pairs + pairCount};
    }
    pairs += pairCount;
    return std::nullopt;
}

// The same rule byte by byte, for the bytes after the last whole group.
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

uint64_t bits(int low, int high)
{
    return static_cast<uint64_t>(static_cast<uint32_t>(low)) |
           static_cast<uint64_t>(static_cast<uint32_t>(high)) << 32;
}

#define QUENDA_AVX2 __attribute__((target("avx2,popcnt")))

// The LFs of the 32 bytes at p, and the CRs of the 32 bytes before each of them, as 0xff bytes.
[[gnu::always_inline]] QUENDA_AVX2 inline __m256i lfs32(const char *p)
{
    return _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i *>(p)),
                             _mm256_set1_epi8('\n'));
}

[[gnu::always_inline]] QUENDA_AVX2 inline __m256i crsBefore32(const char *p)
{
    return _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i *>(p - 1)),
                             _mm256_set1_epi8('\r'));
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

#ifdef QUENDA_LINE_SCAN_X86

bool haveAvx2LineScan()
{
    static const bool have = __builtin_cpu_supports("avx2");
    return have;
}

QUENDA_AVX2 LineScan scanLineEndsAvx2(const char *data, size_t from, size_t to, qint64 maxPairs,
                                      size_t minLf)
{
    if (from >= to)
        return {LineScan::End, to, 0};
    if (data[from] == '\n')
        return {LineScan::LoneEnd, from, 0};
    const bool counting = maxPairs != kNoPairLimit;
    qint64 pairs = 0;
    size_t i = from + 1;
    // Long flawless stretches go 128 bytes a turn, the four vectors' flaws tested at once; the
    // group that may hold a stop is left to the loop below.
    while (to - i >= 128 && minLf >= i + 128) {
        const char *p = data + i;
        const __m256i lfs0 = lfs32(p), lfs1 = lfs32(p + 32);
        const __m256i lfs2 = lfs32(p + 64), lfs3 = lfs32(p + 96);
        const __m256i flaws =
            _mm256_or_si256(_mm256_or_si256(_mm256_xor_si256(lfs0, crsBefore32(p)),
                                            _mm256_xor_si256(lfs1, crsBefore32(p + 32))),
                            _mm256_or_si256(_mm256_xor_si256(lfs2, crsBefore32(p + 64)),
                                            _mm256_xor_si256(lfs3, crsBefore32(p + 96))));
        if (!_mm256_testz_si256(flaws, flaws))
            break;
        if (counting) {
            const qint64 count =
                std::popcount(bits(_mm256_movemask_epi8(lfs0), _mm256_movemask_epi8(lfs1))) +
                std::popcount(bits(_mm256_movemask_epi8(lfs2), _mm256_movemask_epi8(lfs3)));
            if (pairs + count >= maxPairs)
                break;
            pairs += count;
        }
        i += 128;
    }
    for (; to - i >= 64; i += 64) {
        const char *p = data + i;
        const __m256i lfsLow = lfs32(p), lfsHigh = lfs32(p + 32);
        const uint64_t lfs = bits(_mm256_movemask_epi8(lfsLow), _mm256_movemask_epi8(lfsHigh));
        const uint64_t flaws =
            bits(_mm256_movemask_epi8(_mm256_xor_si256(lfsLow, crsBefore32(p))),
                 _mm256_movemask_epi8(_mm256_xor_si256(lfsHigh, crsBefore32(p + 32))));
        const qint64 count = std::popcount(lfs);
        if (flaws == 0 && pairs + count < maxPairs && minLf >= i + 64) {
            pairs += count;
            continue;
        }
        if (const std::optional<LineScan> stop = stopInGroup(i, lfs, flaws, pairs, maxPairs, minLf))
            return *stop;
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
