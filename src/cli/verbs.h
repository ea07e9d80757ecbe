#pragma once
// The command-line tool's verbs. Each verb does what the matching window action does and
// prints the window's message texts; errors go to stderr with a non-zero status.

#include "common/places.h"

#include <QStringList>
#include <QTextStream>

#include <span>

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

// One action of a verb that has several ("files copy").
struct SubVerb {
    const char *name;
    const char *usage;   // arguments after "VERB ACTION"
    const char *summary; // one line for the verb's help
    const char *options; // one "--name VALUE<TAB>meaning" line per option
};

// The actions of a verb; empty for a verb that has none.
std::span<const SubVerb> subVerbsOf(const char *verb);
const SubVerb *findSubVerb(const char *verb, const QString &name);
// The option lines of a verb without actions.
const char *verbOptions(const char *verb);
// "VERB --help": the usage of each action, the summary and the actions; "VERB ACTION --help"
// (args then starts with the action): that action's usage and its options.
void printVerbHelp(QTextStream &out, const Verb &verb, const QStringList &args);
// Prints the usage of one action of verb, or of all of them when subVerb names none, to
// stderr; returns 2, the status of a usage error.
int usageError(Context &context, const char *verb, const QString &subVerb = QString());

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
