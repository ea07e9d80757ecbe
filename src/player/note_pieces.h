#pragma once
// The player's note reader stops reading a note after 4 KB. A longer note goes to the player
// as pieces "NAME (1 of 3).txt", "NAME (2 of 3).txt"..., each at most 4,096 bytes with its
// link to the next one counted, so that reading on needs one click and loses nothing.

#include <QByteArray>
#include <QString>

#include <vector>

namespace quenda {

inline constexpr qsizetype kPlayerNoteLimit = 4096;

struct NotePiece {
    QString name;     // file name on the player
    qsizetype offset; // where the piece's part of the note starts
    qsizetype length; // how many bytes of the note it holds
    QByteArray link;  // appended after them; empty for the last piece
    qsizetype size() const { return length + link.size(); }
};

// True when the bytes are valid UTF-8 (plain ASCII included); a note that is not is read as
// Windows-1252, where every byte is a character.
bool isUtf8Text(const QByteArray &bytes);

// How the note is sent: one piece holding all of it under "NAME.txt" when it fits, else pieces
// as above. The cut lies after the last line end in the last quarter of the room a piece has
// for text; where there is none, at the room's end, moved back to a character boundary (never
// inside a UTF-8 sequence of a UTF-8 note, nor between CR and LF). name is the player-side name
// without ".txt".
std::vector<NotePiece> cutNoteForPlayer(const QByteArray &note, const QString &name,
                                        qsizetype limit = kPlayerNoteLimit);

// The bytes of one piece.
QByteArray notePieceBytes(const QByteArray &note, const NotePiece &piece);

} // namespace quenda
