#include "cli/verbs.h"

#include "textfile/text_file.h"

#include <QDir>

namespace quenda::cli {

int runTextFile(Context &context, const QStringList &args)
{
    QString source, out;
    TextLayout layout = TextLayout::Blocks;
    bool usage = false;
    for (qsizetype i = 0; i < args.size() && !usage; ++i) {
        const QString &arg = args[i];
        if (arg == QLatin1String("--out") && i + 1 < args.size()) {
            out = args[++i];
        } else if (arg == QLatin1String("--format") && i + 1 < args.size()) {
            const QString n = args[++i];
            if (n == QLatin1String("1"))
                layout = TextLayout::Blocks;
            else if (n == QLatin1String("2"))
                layout = TextLayout::Compact;
            else if (n == QLatin1String("3"))
                layout = TextLayout::AlignedCompact;
            else
                usage = true;
        } else if (source.isEmpty() && !arg.startsWith(QLatin1String("--"))) {
            source = arg;
        } else {
            usage = true;
        }
    }
    if (usage || source.isEmpty()) {
        context.err << "Usage: quenda-ipod-cli textfile FILE [--out PATH] [--format 1|2|3]"
                    << Qt::endl;
        return 2;
    }
    if (out.isEmpty()) {
        out = textFilePath(context.places.desktopDir);
        if (out.isEmpty()) {
            context.err << "The Desktop folder cannot be found; set QUENDA_DESKTOP_DIR."
                        << Qt::endl;
            return 1;
        }
    }
    if (Status distinct = checkNotOwnSource(source, out); !distinct) {
        context.err << distinct.message() << Qt::endl;
        return 1;
    }
    const Result<TextGrid> grid = importSpreadsheet(source);
    if (!grid) {
        context.err << grid.message() << Qt::endl;
        return 1;
    }
    if (Status written = writeTextFileFromGrid(out, *grid, layout); !written) {
        context.err << written.message() << Qt::endl;
        return 1;
    }
    context.out << textFileSavedMessage(out) << Qt::endl;
    return 0;
}

} // namespace quenda::cli
