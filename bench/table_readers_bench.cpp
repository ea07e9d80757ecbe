// Times the table readers alone on generated contact tables: a delimited file and a dBASE table
// of the same 100,000 rows of 20 fields (or the rows given as the second argument). Writes the
// files into the folder given first, so that bench/table_readers_bench.sh can time other tools
// on the same delimited file.
//
//   bench_table_readers <folder> [rows]

#include "formats/dbf_reader.h"
#include "formats/delimited_reader.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>

#include <cstdio>

using namespace quenda;

namespace {

constexpr int kFields = 20;
constexpr int kWidth = 24;

QByteArray value(QRandomGenerator &random, int row, int field)
{
    static const char *const words[] = {"Hartley",       "Kühn", "Lacroix", "Mäkinen", "Núñez",
                                        "Quinn, Éamonn", "Road", "Street",  "Ørsted",  "Sligo"};
    if (field == 0)
        return QByteArray::number(row + 1);
    if (field % 5 == 4)
        return QByteArray::number(random.bounded(100000) / 100.0, 'f', 2);
    QByteArray text = words[random.bounded(10)];
    text += ' ';
    text += words[random.bounded(10)];
    return text.left(kWidth);
}

void generate(const QString &folder, int rows)
{
    QRandomGenerator random(42);
    QFile csv(QDir(folder).filePath(QStringLiteral("contacts.csv")));
    QFile dbf(QDir(folder).filePath(QStringLiteral("contacts.dbf")));
    if (!csv.open(QIODevice::WriteOnly) || !dbf.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "cannot write into %s\n", qPrintable(folder));
        std::exit(1);
    }
    QByteArray header;
    for (int f = 0; f < kFields; ++f)
        header += (f ? "," : "") + QByteArray("Field") + QByteArray::number(f + 1);
    csv.write(header + "\n");

    const int headerLength = 32 + 32 * kFields + 1;
    const int recordLength = 1 + kFields * kWidth;
    QByteArray head(headerLength, '\0');
    head[0] = 0x03;
    for (int i = 0; i < 4; ++i)
        head[4 + i] = char((rows >> (8 * i)) & 0xFF);
    head[8] = char(headerLength & 0xFF);
    head[9] = char(headerLength >> 8);
    head[10] = char(recordLength & 0xFF);
    head[11] = char(recordLength >> 8);
    head[29] = 0x03; // Windows-1252
    for (int f = 0; f < kFields; ++f) {
        const QByteArray name = "FIELD" + QByteArray::number(f + 1);
        std::memcpy(head.data() + 32 + 32 * f, name.constData(), size_t(name.size()));
        head[32 + 32 * f + 11] = f % 5 == 4 ? 'N' : 'C';
        head[32 + 32 * f + 16] = char(kWidth);
        head[32 + 32 * f + 17] = f % 5 == 4 ? 2 : 0;
    }
    head[headerLength - 1] = 0x0D;
    dbf.write(head);

    QByteArray line, record;
    for (int r = 0; r < rows; ++r) {
        line.clear();
        record = " ";
        for (int f = 0; f < kFields; ++f) {
            const QByteArray v = value(random, r, f);
            if (f)
                line += ',';
            line += v.contains(',') ? '"' + v + '"' : v;
            const QByteArray latin = QString::fromUtf8(v).toLatin1();
            record +=
                f % 5 == 4 ? latin.rightJustified(kWidth, ' ') : latin.leftJustified(kWidth, ' ');
        }
        csv.write(line + "\n");
        dbf.write(record);
    }
    dbf.write("\x1A");
}

template <class Open> double bestSeconds(Open open, qint64 *rows)
{
    double best = 1e9;
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer timer;
        timer.start();
        auto reader = open();
        QVariantList values;
        qint64 count = 0;
        while (reader->next(values))
            ++count;
        if (!reader->status().ok())
            std::fprintf(stderr, "%s\n", qPrintable(reader->status().message()));
        best = std::min(best, timer.nsecsElapsed() / 1e9);
        *rows = count;
    }
    return best;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_table_readers <folder> [rows]\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const int rows = argc > 2 ? std::atoi(argv[2]) : 100000;
    QDir().mkpath(folder);
    generate(folder, rows);

    qint64 count = 0;
    const double csv = bestSeconds(
        [&] {
            return std::move(DelimitedReader::open(QDir(folder).filePath("contacts.csv")).value());
        },
        &count);
    std::printf("delimited: %lld rows in %.3f s, %.0f rows/s\n", static_cast<long long>(count), csv,
                double(count) / csv);
    const double dbf = bestSeconds(
        [&] { return std::move(DbfReader::open(QDir(folder).filePath("contacts.dbf")).value()); },
        &count);
    std::printf("dBASE:     %lld rows in %.3f s, %.0f rows/s\n", static_cast<long long>(count), dbf,
                double(count) / dbf);
    return 0;
}
