// Times the vCard reader on a .vcf file: the reading alone (both passes, values as text), and
// the import of every card into an organizer database through the contact import, with 20
// fields mapped.
// Prints "read S" and "import S N" (seconds, contacts added).
//
//   bench_vcard_import <cards.vcf> <database> [read|import]

#include "contacts/import/contact_import.h"
#include "db/database.h"
#include "formats/vcard_reader.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

using namespace quenda;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_vcard_import <cards.vcf> <database> [read|import]\n");
        return 2;
    }
    const QString file = QString::fromLocal8Bit(argv[1]);
    const QString database = QString::fromLocal8Bit(argv[2]);
    const QByteArray what = argc > 3 ? argv[3] : "import";
    QElapsedTimer timer;
    timer.start();
    auto reader = VCardReader::open(file);
    if (!reader) {
        std::fprintf(stderr, "%s\n", qPrintable(reader.message()));
        return 1;
    }
    if (what == "read") {
        // As the import reads it: UTF-8 views, no QString made.
        std::vector<QByteArrayView> values;
        while ((*reader)->nextText(values)) {
        }
        std::printf("read %.3f %lld\n", timer.nsecsElapsed() / 1e9,
                    static_cast<long long>((*reader)->recordNumber()));
        return (*reader)->status().ok() ? 0 : 1;
    }
    if (Status s = ensureDatabase(database); !s) {
        std::fprintf(stderr, "%s\n", qPrintable(s.message()));
        return 1;
    }
    Connection connection(database);
    const std::vector<ImportPair> pairs = {
        {"NAME", "FN"},
        {"FIRST", "N;GIVEN"},
        {"LAST", "N;FAMILY"},
        {"TITLE", "N;PREFIX"},
        {"COMPANY", "ORG"},
        {"H_ADD1", "ADR;HOME;STREET"},
        {"H_CITY", "ADR;HOME;LOCALITY"},
        {"H_STATE", "ADR;HOME;REGION"},
        {"H_PIN", "ADR;HOME;POSTALCODE"},
        {"H_COUNTRY", "ADR;HOME;COUNTRY"},
        {"H_PH1", "TEL;HOME"},
        {"W_PH1", "TEL;WORK"},
        {"MOBILE", "TEL;CELL"},
        {"FAX", "TEL;WORK;FAX"},
        {"H_EMAIL1", "EMAIL;HOME"},
        {"B_EMAIL1", "EMAIL;WORK"},
        {"H_WEB", "URL"},
        {"JOB_TITLE", "TITLE"},
        {"B_NOTE", "NOTE"},
        {"M_BD", "BDAY"},
    };
    JobControl control;
    const Result<ImportOutcome> added = importContacts(connection.db(), **reader, pairs, control);
    if (!added) {
        std::fprintf(stderr, "%s\n", qPrintable(added.message()));
        return 1;
    }
    std::printf("import %.3f %lld\n", timer.nsecsElapsed() / 1e9,
                static_cast<long long>(added->added));
    return 0;
}
