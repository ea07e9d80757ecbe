#pragma once
// Sending the staging folder to a player: its vCards go to the player's "Contacts" folder and
// its notes (the plain-text notes, their pieces and Merged.txt at the staging root) to "Notes".
// First a plan, which is also the preview (what will be written, what replaced, what renamed,
// what it needs and whether it may start), then the send itself as a job body.
//
// Every file goes through the atomic writer and reaches the disk before its rename (a batch of
// files with one flush), so a file on the player is either the old one or the whole new one;
// each folder is flushed after its last rename.
// The staging folder is only read.

#include "common/result.h"
#include "jobs/job_control.h"
#include "player/player_device.h"

#include <QString>

#include <functional>
#include <vector>

namespace quenda {

struct PlayerSendRequest {
    QString staging;
    Player player; // its root at least
    bool contacts = true;
    bool notes = true;
    // Files written at once: flushes that run side by side share the disk's commits.
    int writers = 16;
};

enum class SendKind : quint8 { Contact, Note };

struct PlannedFile {
    QString name; // on the player
    qint64 bytes = 0;
    bool replaces = false; // a file of that name is on the player
    qint64 replacedBytes = 0;
};

struct PlannedSource {
    QString path; // in the staging folder
    SendKind kind = SendKind::Contact;
    std::vector<PlannedFile> files; // one, or the pieces of a long note
};

struct RenamedForPlayer {
    QString from; // staging name
    QString to;   // name on the player
};

struct PlayerSendPlan {
    Player player;
    QString staging;
    QString contactsFolder; // full paths on the player, as found (any case) or to be made
    QString notesFolder;
    bool makeContacts = false;
    bool makeNotes = false;
    std::vector<PlannedSource> sources;
    std::vector<QString> replaced; // "Contacts/Anna.vcf", as the player names them
    std::vector<RenamedForPlayer> renamed;
    std::vector<ItemFailure> skipped; // staging files that will not be sent, with the reason
    int contacts = 0;
    int notes = 0;
    int cutNotes = 0; // notes sent as pieces
    int files = 0;    // files to write
    qint64 bytes = 0;
    qint64 neededBytes = 0; // on the player, rounded to its allocation unit
    qint64 notesOnPlayerAfter = 0;
    Status allowed; // ok when the send may start; otherwise why it must not
};

// The plan and preview. Fails only when there is nothing to look at: the staging folder or the
// player cannot be read. A send that would be refused (read-only player, "Contacts" or
// "Notes" that is a file or a link, too little space) still gets its plan, with the reason.
Result<PlayerSendPlan> planPlayerSend(const PlayerSendRequest &request);

struct PlayerSendOutcome {
    QString playerName;
    int planned = 0;              // files the plan meant to write
    std::vector<QString> written; // "Notes/Report (1 of 2).txt", sorted
    std::vector<QString> replaced;
    std::vector<RenamedForPlayer> renamed;
    int contacts = 0; // sources sent in full
    int notes = 0;
    int cutNotes = 0;
    int pieces = 0;
    qint64 notesOnPlayer = -1; // after the send; -1 when not counted
    bool cancelled = false;
    bool stopped = false; // a fault stopped it (the report's error says which)
};

// The send. Refusals and faults that end it (the player taken out, full, turned read-only)
// stop the job with JobControl::abort and the system's reason; a file that fails alone is
// reported with JobControl::fail and the rest go on. written, when given, is called as each
// file takes its name on the player, with its player path (writers threads write at once; the
// calls never overlap). A cancel stops the writing; the files already written whole still take
// their names.
PlayerSendOutcome sendToPlayer(const PlayerSendPlan &plan, JobControl &control,
                               const std::function<void(const QString &)> &written = {},
                               int writers = 16);

// Plan and send in one job body: what a window's job and the command line run.
PlayerSendOutcome runPlayerSend(const PlayerSendRequest &request, JobControl &control);

inline constexpr qint64 kPlayerNoteCount = 1000;

// The closing message: counts, each replaced and each renamed file (the first twenty of
// each), and the warning when the player holds more notes than it loads.
QString playerSendSummary(const PlayerSendOutcome &outcome);
// What the send window shows before a send: what will be written, replaced, renamed and left
// out, the space it needs, and the reason when it may not start.
QString playerSendPreview(const PlayerSendPlan &plan);

// The files a send could not write, one "path: reason" line each (the first twenty); empty
// when there are none.
QString playerSendFailures(const std::vector<ItemFailure> &failures);

struct StagingCounts {
    int contacts = 0; // the .vcf files a send takes
    int notes = 0;    // the .txt files
};
// What a send of the staging folder would take, counted without reading the files.
Result<StagingCounts> countStagingForPlayer(const QString &staging);

// "The player now holds 1,204 notes; it loads only the first 1,000." or empty.
QString tooManyNotesWarning(qint64 notesOnPlayer);

} // namespace quenda
