#pragma once
// The splitter's walk over a block of text: it passes CR LF line ends in bulk and stops where a
// piece may end or where a line end needs rewriting (a CR or LF on its own). Text between two
// stops is copied to the piece as it stands.

#include <QtGlobal>

#include <cstddef>
#include <limits>

namespace quenda {

struct LineScan {
    enum Stop {
        End,     // reached `to`
        LineEnd, // the LF of a CR LF pair at which the caller asked to stop
        LoneEnd, // a CR or an LF that is not part of a CR LF pair
    };
    Stop stop = End;
    size_t at = 0; // the stopping byte; `to` for End
    // CR LF pairs passed before the stop (a LineEnd's own pair not included); counted in full
    // only when the walk was given a maxPairs.
    qint64 pairs = 0;
    bool operator==(const LineScan &) const = default;
};

constexpr qint64 kNoPairLimit = std::numeric_limits<qint64>::max();
constexpr size_t kNoMinLf = std::numeric_limits<size_t>::max();

// Walks data[from, to) and stops at the first of: the LF of the `maxPairs`-th CR LF pair
// (maxPairs >= 1), the LF of the first CR LF pair at index `minLf` or later, a lone CR or LF,
// or `to`. data[from] is never taken as the LF of a pair (the walk starts at a line start or
// inside a line), and a CR at to - 1 is lone: the caller keeps a CR that ends a block back until
// the next block shows what follows it.
LineScan scanLineEnds(const char *data, size_t from, size_t to, qint64 maxPairs, size_t minLf);

// The two implementations behind scanLineEnds, for the tests: one for any processor, and one for
// processors with AVX2 (only where haveAvx2LineScan() says so).
LineScan scanLineEndsPortable(const char *data, size_t from, size_t to, qint64 maxPairs,
                              size_t minLf);
bool haveAvx2LineScan();
LineScan scanLineEndsAvx2(const char *data, size_t from, size_t to, qint64 maxPairs, size_t minLf);

} // namespace quenda
