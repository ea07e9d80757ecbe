#include "splitter/line_scan.h"

#include <QByteArray>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

using namespace quenda;

namespace {

// The walk's rule one byte at a time.
LineScan byteByByte(const char *data, size_t from, size_t to, qint64 maxPairs, size_t minLf)
{
    qint64 pairs = 0;
    for (size_t i = from; i < to; ++i) {
        if (data[i] == '\n')
            return {LineScan::LoneEnd, i, pairs};
        if (data[i] != '\r')
            continue;
        if (i + 1 == to || data[i + 1] != '\n')
            return {LineScan::LoneEnd, i, pairs};
        ++i;
        if (pairs + 1 >= maxPairs || i >= minLf)
            return {LineScan::LineEnd, i, pairs};
        ++pairs;
    }
    return {LineScan::End, to, pairs};
}

using Scan = LineScan (*)(const char *, size_t, size_t, qint64, size_t);

void expectSame(Scan scan, const std::string &text, size_t from, size_t to, qint64 maxPairs,
                size_t minLf)
{
    const LineScan want = byteByByte(text.data(), from, to, maxPairs, minLf);
    const LineScan got = scan(text.data(), from, to, maxPairs, minLf);
    // The pairs passed are only counted when a limit asks for them.
    const bool counted = maxPairs != kNoPairLimit;
    EXPECT_EQ(std::tuple(int(got.stop), got.at, counted ? got.pairs : 0),
              std::tuple(int(want.stop), want.at, counted ? want.pairs : 0))
        << "from " << from << " to " << to << " maxPairs " << maxPairs << " minLf " << minLf;
}

std::vector<std::pair<Scan, const char *>> implementations()
{
    std::vector<std::pair<Scan, const char *>> all{{scanLineEndsPortable, "portable"},
                                                   {scanLineEnds, "chosen"}};
    if (haveAvx2LineScan())
        all.emplace_back(scanLineEndsAvx2, "avx2");
    return all;
}

} // namespace

TEST(LineScan, LineEndsOnTheEdgesOfTheWalksGroupsAreJudgedWithTheirNeighbours)
{
    for (const auto &[scan, name] : implementations()) {
        SCOPED_TRACE(name);
        // Every place a CR LF or a lone end can take around the edges of 64 and 128 bytes.
        for (size_t at = 0; at < 300; ++at) {
            for (const char *end : {"\r\n", "\r", "\n", "\n\r", "\r\r\n"}) {
                std::string text(400, 'x');
                text.replace(at, std::strlen(end), end);
                for (size_t from : {size_t{0}, size_t{1}, size_t{63}})
                    for (size_t to : {at + 1, at + 2, text.size()})
                        if (from <= to)
                            expectSame(scan, text, from, std::min(to, text.size()), kNoPairLimit,
                                       kNoMinLf);
            }
        }
        // A stop by count or by position lands on the exact pair in long clean text.
        std::string lines;
        for (int i = 0; i < 500; ++i)
            lines += std::string(i % 70, 'y') + "\r\n";
        for (qint64 maxPairs : {1, 2, 63, 64, 65, 200, 499, 500, 501})
            expectSame(scan, lines, 0, lines.size(), maxPairs, kNoMinLf);
        for (size_t minLf : {size_t{0}, size_t{127}, size_t{128}, size_t{129}, size_t{5000},
                             lines.size() - 1, lines.size()})
            expectSame(scan, lines, 0, lines.size(), kNoPairLimit, minLf);
    }
}
