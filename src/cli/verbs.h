#pragma once
// The command-line tool's verbs. Each verb does what the matching window action does and
// prints the window's message texts; errors go to stderr with a non-zero status.

#include "common/places.h"

#include <QStringList>
#include <QTextStream>

namespace quenda::cli {

struct Context {
    Places places;
    QTextStream &out;
    QTextStream &err;
};

using Handler = int (*)(Context &, const QStringList &args);

struct Verb {
    const char *name;
    const char *usage;   // arguments after the verb
    const char *summary; // one line for --help
    Handler run;
    // The verb's long options, space-separated; a trailing '=' marks one that takes a value.
    const char *options = "";
};

// Opens (creating when missing) the organizer database; prints the error and returns false.
bool prepareDatabase(Context &context);

// True when folder is a folder; prints "Not a folder: ..." and returns false otherwise.
bool requireFolder(Context &context, const QString &folder);

int runInit(Context &context, const QStringList &args);
int runKeyword(Context &context, const QStringList &args);
int runSplit(Context &context, const QStringList &args);
int runRtfText(Context &context, const QStringList &args);
int runVcf(Context &context, const QStringList &args);
int runSendIpod(Context &context, const QStringList &args);
int runNotes(Context &context, const QStringList &args);
int runFolders(Context &context, const QStringList &args);
int runFiles(Context &context, const QStringList &args);
int runImportVerb(Context &context, const QStringList &args);
int runPictures(Context &context, const QStringList &args);
int runTextFile(Context &context, const QStringList &args);
int runPlayer(Context &context, const QStringList &args);

} // namespace quenda::cli
