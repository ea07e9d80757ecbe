#include "cli/verbs.h"

#include "formats/rtf_reader.h"

#include <QFile>

namespace quenda::cli {

int runRtfText(Context &context, const QStringList &args)
{
    if (args.size() != 1) {
        context.err << "Usage: quenda-ipod-cli rtf-text FILE\n";
        return 2;
    }
    QFile file(args.first());
    if (!file.open(QIODevice::ReadOnly)) {
        context.err << "Cannot read " << args.first() << ": " << file.errorString() << '\n';
        return 1;
    }
    const QByteArray rtf = file.readAll();
    context.out << rtfToPlainText(rtf);
    return 0;
}

} // namespace quenda::cli
