#include "cli/verbs.h"

#include "jobs/foreground.h"
#include "splitter/file_splitter.h"

#include <optional>

namespace quenda::cli {

namespace {

int splitUsage(Context &context)
{
    context.err << "Usage: split FILE (--lines N | --kb N | --mb N)" << Qt::endl;
    return 2;
}

} // namespace

int runSplit(Context &context, const QStringList &args)
{
    QString file;
    QString size;
    std::optional<SplitUnit> unit;
    bool haveFile = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        std::optional<SplitUnit> option;
        if (arg == QLatin1String("--lines"))
            option = SplitUnit::Lines;
        else if (arg == QLatin1String("--kb"))
            option = SplitUnit::KB;
        else if (arg == QLatin1String("--mb"))
            option = SplitUnit::MB;
        if (option) {
            if (unit || i + 1 >= args.size())
                return splitUsage(context);
            unit = option;
            size = args[++i];
        } else if (!haveFile) {
            file = arg;
            haveFile = true;
        } else {
            return splitUsage(context);
        }
    }
    if (!haveFile || !unit)
        return splitUsage(context);

    SplitCommandResult result;
    runInForeground(
        [&](JobControl &control) { result = runSplitCommand(file, size, *unit, control); },
        context.err);
    const bool split = result.pieces != -1 && !result.stopped;
    QTextStream &stream = split ? context.out : context.err;
    for (const SplitMessage &message : result.messages) {
        // The window's line break is a lone CR, which a terminal would print over.
        QString text = message.text;
        text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        stream << text << Qt::endl;
    }
    return split ? 0 : 1;
}

} // namespace quenda::cli
