#pragma once
// Cutting a text file into numbered pieces that end on line boundaries. No widgets here: the
// window and the command-line tool call the same routines and show the same texts.

#include "common/services.h"

#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace quenda {

enum class SplitUnit { Lines, KB, MB };

// "Lines", "KB" or "MB": the word the result message uses.
QString unitWord(SplitUnit unit);

struct SplitMessage {
    QString text;
    MsgIcon icon = MsgIcon::None;
    bool operator==(const SplitMessage &) const = default;
};

// Error numbers of a split that stopped half-way; they never change between releases.
enum SplitError {
    SplitDeviceIoError = 57,    // reading the source or writing a piece failed
    SplitDiskFull = 61,         // no room left for a piece
    SplitPermissionDenied = 70, // the system refused access to the source or a piece
    SplitAccessError = 75,      // the source or a piece could not be opened
};

// Hooks for a window that keeps itself alive during a long split; both may be empty.
struct SplitProgress {
    // A new piece is about to be written (piece 1 included).
    std::function<void(const QString &piecePath)> pieceStarted;
    // Called often (every read block and every piece); the receiver paces itself by time.
    std::function<void()> working;
};

struct SplitResult {
    int pieces = -1; // -1: nothing was split, or the split stopped on an error
    std::optional<SplitMessage> message;
};

// Where piece `number` of `path` goes: beside the file, its name's last "." before the number.
// Empty when the file name holds no ".".
QString pieceName(const QString &path, int number);

// The leading number of a text as the size box reads it ("1.5kb" gives 1.5, "" gives 0).
double leadingNumber(const QString &text);

// Splits `path` into pieces of `size` lines, kilobytes or megabytes. Lines may end in CR, LF or
// CR LF; every piece is written with CR LF. Returns the pieces written, or -1 with the message
// to show when a check refused the file or an error stopped the split.
SplitResult SplitFile(const QString &path, double size, SplitUnit unit,
                      const SplitProgress &progress = {});

// Everything a press of "Split File" does, with the texts of the size box as typed.
struct SplitCommandResult {
    int pieces = -1;
    std::vector<SplitMessage> messages; // in the order they are shown
    bool focusSize = false;             // the size box takes the focus
    std::optional<QString> sizeText;    // the size box is set to this
};

SplitCommandResult runSplitCommand(const QString &path, const QString &sizeText, SplitUnit unit,
                                   const SplitProgress &progress = {});

} // namespace quenda
