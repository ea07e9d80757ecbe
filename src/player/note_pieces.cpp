#include "player/note_pieces.h"

#include "fs/text_output.h"

#include <QStringDecoder>

namespace quenda {

namespace {

QString pieceName(const QString &name, qsizetype number, qsizetype count)
{
    return QStringLiteral("%1 (%2 of %3).txt").arg(name).arg(number).arg(count);
}

// The last line of a piece: a line end, then the link to the next piece, in the note's own
// encoding so that the reader shows it as the rest of the note.
QByteArray linkLine(const QString &name, qsizetype next, qsizetype count, bool utf8)
{
    const QString target = pieceName(name, next, count);
    const QString text = QStringLiteral("\r\n<A HREF=\"%1\">Next: %2 (%3 of %4)</A>")
                             .arg(target, name)
                             .arg(next)
                             .arg(count);
    if (!utf8 && fitsWindows1252(text))
        return toWindows1252(text);
    return text.toUtf8();
}

bool isContinuationByte(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Where the piece that starts at start ends, given room bytes for its text.
qsizetype cutPoint(const QByteArray &note, qsizetype start, qsizetype room, bool utf8)
{
    const qsizetype end = start + room;
    const qsizetype quarter = start + room - room / 4;
    for (qsizetype i = end - 1; i >= quarter; --i) {
        if (note[i] == '\n')
            return i + 1;
    }
    qsizetype cut = end;
    if (utf8) {
        while (cut > start + 1 && isContinuationByte(note[cut]))
            --cut;
    }
    if (cut > start + 1 && note[cut - 1] == '\r' && note[cut] == '\n')
        --cut;
    return cut;
}

// The pieces when the links name count pieces; their number may differ from count.
std::vector<NotePiece> cutWithCount(const QByteArray &note, const QString &name, qsizetype limit,
                                    qsizetype count, bool utf8)
{
    std::vector<NotePiece> pieces;
    qsizetype start = 0;
    while (true) {
        const qsizetype number = qsizetype(pieces.size()) + 1;
        if (note.size() - start <= limit) {
            pieces.push_back({QString(), start, note.size() - start, {}});
            break;
        }
        QByteArray link = linkLine(name, number + 1, count, utf8);
        // A name so long that its link leaves no room would never end; such a note goes whole.
        const qsizetype room = limit - link.size();
        if (room < 16)
            return {};
        const qsizetype cut = cutPoint(note, start, room, utf8);
        pieces.push_back({QString(), start, cut - start, std::move(link)});
        start = cut;
    }
    return pieces;
}

} // namespace

bool isUtf8Text(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    // The decoder works only when its result is taken.
    const QString text = decoder.decode(bytes);
    return !decoder.hasError();
}

std::vector<NotePiece> cutNoteForPlayer(const QByteArray &note, const QString &name,
                                        qsizetype limit)
{
    if (note.size() <= limit)
        return {{name + QStringLiteral(".txt"), 0, note.size(), {}}};
    const bool utf8 = isUtf8Text(note);
    // The links name the count, whose digits change the room for text: start low and count
    // again with the result until it holds. More digits never give fewer pieces, so this ends.
    qsizetype count = 2;
    std::vector<NotePiece> pieces;
    while (true) {
        pieces = cutWithCount(note, name, limit, count, utf8);
        if (pieces.empty())
            return {{name + QStringLiteral(".txt"), 0, note.size(), {}}};
        if (qsizetype(pieces.size()) <= count)
            break;
        count = qsizetype(pieces.size());
    }
    for (size_t i = 0; i < pieces.size(); ++i)
        pieces[i].name = pieceName(name, qsizetype(i) + 1, qsizetype(pieces.size()));
    return pieces;
}

QByteArray notePieceBytes(const QByteArray &note, const NotePiece &piece)
{
    return note.mid(piece.offset, piece.length) + piece.link;
}

} // namespace quenda
