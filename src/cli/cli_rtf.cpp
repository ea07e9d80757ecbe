#include "cli/verbs.h"

#include "formats/rtf_reader.h"

namespace quenda::cli {

int runRtfText(Context &context, const QStringList &args)
{
    if (args.size() != 1) {
        context.err << "Usage: quenda-ipod-cli rtf-text FILE\n";
        return 2;
    }
    const Result<QString> text = rtfFileToPlainText(args.first());
    if (!text) {
        context.err << text.message() << '\n';
        return 1;
    }
    context.out << *text;
    return 0;
}

} // namespace quenda::cli
