#include "support/cli_runner.h"

#include <QProcess>
#include <QProcessEnvironment>

namespace quenda::test {

CliRun runCli(const TempPlaces &places, const QStringList &args)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QUENDA_PROGRAM_DIR"), places.programDir());
    env.insert(QStringLiteral("QUENDA_DESKTOP_DIR"), places.desktopDir());
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(QUENDA_CLI_PATH), args);
    const bool finished = process.waitForFinished(120000);
    return {finished && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

} // namespace quenda::test
