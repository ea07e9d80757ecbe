#pragma once

#include "support/test_places.h"

#include <QStringList>

namespace quenda::test {

struct CliRun {
    int status; // -1 when the tool crashed or did not finish
    QString out;
    QString err;
};

// Runs quenda-ipod-cli with the program folder and Desktop of the given places.
CliRun runCli(const TempPlaces &places, const QStringList &args);

} // namespace quenda::test
