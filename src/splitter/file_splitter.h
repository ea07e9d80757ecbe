#pragma once
// Cutting a text file into numbered pieces that end on line boundaries. No widgets here: the
// window and the command-line tool call the same routines and show the same texts.

#include "common/services.h"
#include "jobs/job_control.h"

#include <QString>

#include <cstddef>
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

struct SplitResult {
    int pieces = -1; // -1: nothing was split, or the split stopped on an error
    std::optional<SplitMessage> message;
    bool stopped = false; // cancelled: `pieces` were written, the last one ends at a line end
};

// Where piece `number` of `path` goes: beside the file, its name's last "." before the number.
// Empty when the file name holds no ".".
QString pieceName(const QString &path, int number);

// The leading number of a text as the size box reads it ("1.5kb" gives 1.5, "" gives 0).
double leadingNumber(const QString &text);

// The source is read in blocks of this many bytes: few reads, and a block still sits in the
// processor's cache when its text is walked and written on.
constexpr size_t kSplitReadBlock = size_t{512} * 1024;

// Splits `path` into pieces of `size` lines, kilobytes or megabytes. Lines may end in CR, LF or
// CR LF; every piece is written with CR LF. Returns the pieces written, or -1 with the message
// to show when a check refused the file or an error stopped the split. Progress counts the
// bytes read, the item is the piece being written; a cancel stops at the next line end.
SplitResult SplitFile(const QString &path, double size, SplitUnit unit, JobControl &control);

// A press of "Split File" in two halves: the checks of the boxes as typed, which may stop it
// with messages, and the messages of the split that followed.
struct SplitRequest {
    QString path;
    QString sizeText; // as typed: the result message quotes it
    double size = 0;
    SplitUnit unit = SplitUnit::Lines;
};

struct SplitCommandResult {
    int pieces = -1;
    bool stopped = false;
    std::vector<SplitMessage> messages;  // in the order they are shown
    bool focusSize = false;              // the size box takes the focus
    std::optional<QString> sizeText;     // the size box is set to this
    std::optional<SplitRequest> request; // the checks passed: split this
};

SplitCommandResult checkSplitCommand(const QString &path, const QString &sizeText, SplitUnit unit);
std::vector<SplitMessage> splitMessages(const SplitRequest &request, const SplitResult &split);

// Both halves at once, for the command line.
SplitCommandResult runSplitCommand(const QString &path, const QString &sizeText, SplitUnit unit,
                                   JobControl &control);

} // namespace quenda
