#include "notes/note_list_model.h"

namespace quenda {

namespace {

using Col = RowColumn<NoteListRow>;

std::vector<Col> noteColumns()
{
    return {Col::text(QStringLiteral("App"), QStringLiteral("File"), &NoteListRow::application),
            Col::text(QStringLiteral("Path"), QStringLiteral("Path"), &NoteListRow::path),
            Col::text(QStringLiteral("Size"), QStringLiteral("Size"), &NoteListRow::detail),
            Col::text(QStringLiteral("Date"), QStringLiteral("date"), &NoteListRow::date)};
}

} // namespace

NoteListModel::NoteListModel(QObject *parent) : RowTableModel<NoteListRow>(noteColumns(), parent) {}

QStringList NoteListModel::paths() const
{
    QStringList list;
    list.reserve(static_cast<qsizetype>(rows().size()));
    for (const NoteListRow &r : rows())
        list << r.path;
    return list;
}

std::vector<NoteSource> NoteListModel::sources() const
{
    std::vector<NoteSource> list;
    list.reserve(rows().size());
    for (const NoteListRow &r : rows())
        list.push_back({r.application, r.path});
    return list;
}

QString noteForDisplay(QString text, qsizetype width)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    if (width < 2)
        return text;
    // Most notes have no line that long: leave them untouched without copying.
    qsizetype longest = 0;
    for (qsizetype start = 0; start < text.size();) {
        qsizetype end = text.indexOf(QLatin1Char('\n'), start);
        if (end < 0)
            end = text.size();
        longest = std::max(longest, end - start);
        start = end + 1;
    }
    if (longest <= width)
        return text;

    QString shown;
    shown.reserve(text.size() + text.size() / width + 1);
    qsizetype run = 0; // characters since the last line end
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        // A break never falls between the two halves of a surrogate pair.
        if (run >= width && c != QLatin1Char('\n') && !c.isLowSurrogate()) {
            shown += QLatin1Char('\n');
            run = 0;
        }
        shown += c;
        run = c == QLatin1Char('\n') ? 0 : run + 1;
    }
    return shown;
}

} // namespace quenda
