#include "cli/verbs.h"

#include "jobs/foreground.h"
#include "player/player_discovery.h"
#include "player/player_eject.h"
#include "player/player_send.h"

#include <QDir>

#include <optional>

namespace quenda::cli {

namespace {

constexpr int kUsage = 2;

struct PlayerOptions {
    QString root;
    bool contacts = false;
    bool notes = false;
};

std::optional<PlayerOptions> readOptions(Context &context, const QStringList &args,
                                         bool sendOptions)
{
    PlayerOptions options;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString &arg = args[i];
        if (arg == QLatin1String("--player") && i + 1 < args.size())
            options.root = args[++i];
        else if (sendOptions && arg == QLatin1String("--contacts"))
            options.contacts = true;
        else if (sendOptions && arg == QLatin1String("--notes"))
            options.notes = true;
        else {
            context.err << "player " << args[0] << ": unexpected argument " << arg << Qt::endl;
            return std::nullopt;
        }
    }
    return options;
}

// Tabs and line ends in a label would break the columns of the list.
QString oneField(QString text)
{
    for (QChar &c : text) {
        if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            c = QLatin1Char(' ');
    }
    return text;
}

// The player named by --player, else the only one plugged in. status is set when none can be
// taken: 1 when there is none, 2 when the user must choose.
std::optional<Player> choosePlayer(Context &context, const QString &root, int &status)
{
    const PlayerList found = findPlayers(PlayerSources::fromEnvironment());
    if (!root.isEmpty()) {
        if (const Player *known = playerAt(found.players, root))
            return *known;
        if (isPlayerRoot(root))
            return describePlayer(root, volumeLabelAt(root));
        context.err << "Not a player (no iPod_Control folder at its root): "
                    << QDir::toNativeSeparators(root) << Qt::endl;
        status = 1;
        return std::nullopt;
    }
    if (found.players.size() == 1)
        return found.players.front();
    if (found.players.empty()) {
        context.err << "No player found: plug one in and let the system mount it, or name its "
                       "folder with --player."
                    << Qt::endl;
        status = 1;
        return std::nullopt;
    }
    context.err << "Several players are plugged in; choose one with --player:" << Qt::endl;
    for (const Player &player : found.players)
        context.err << "  " << player.root << "  " << player.name << Qt::endl;
    status = kUsage;
    return std::nullopt;
}

int playerList(Context &context)
{
    const PlayerList found = findPlayers(PlayerSources::fromEnvironment());
    for (const Player &player : found.players)
        context.out << player.root << '\t' << oneField(player.name) << '\t' << player.freeBytes
                    << '\n';
    context.out.flush();
    if (found.players.empty())
        context.err << "No player found." << Qt::endl;
    return 0;
}

int playerSend(Context &context, const PlayerOptions &options)
{
    const QString staging = context.places.stagingDir();
    if (staging.isEmpty()) {
        context.err << "The Desktop folder cannot be found; set QUENDA_DESKTOP_DIR." << Qt::endl;
        return 1;
    }
    int status = 0;
    const std::optional<Player> player = choosePlayer(context, options.root, status);
    if (!player)
        return status;
    PlayerSendRequest request;
    request.staging = staging;
    request.player = *player;
    // Both when neither is named.
    request.contacts = options.contacts || !options.notes;
    request.notes = options.notes || !options.contacts;
    PlayerSendOutcome outcome;
    const JobReport report = runInForeground(
        [&](JobControl &control) { outcome = runPlayerSend(request, control); }, context.err);
    if (report.status.ok() || !outcome.written.empty())
        context.out << playerSendSummary(outcome) << Qt::endl;
    return report.succeeded() ? 0 : 1;
}

int playerEject(Context &context, const PlayerOptions &options)
{
    int status = 0;
    const std::optional<Player> player = choosePlayer(context, options.root, status);
    if (!player)
        return status;
    std::optional<UDisksClient> udisks;
    if (QDBusConnection bus = QDBusConnection::systemBus(); bus.isConnected())
        udisks.emplace(bus);
    const Result<QString> ejected = ejectPlayer(*player, udisks);
    if (!ejected) {
        context.err << ejected.message() << Qt::endl;
        return 1;
    }
    context.out << *ejected << Qt::endl;
    return 0;
}

} // namespace

int runPlayer(Context &context, const QStringList &args)
{
    const QString action = args.value(0);
    const bool send = action == QLatin1String("send");
    if (action == QLatin1String("list") && args.size() == 1)
        return playerList(context);
    if (send || action == QLatin1String("eject")) {
        const std::optional<PlayerOptions> options = readOptions(context, args, send);
        if (!options)
            return usageError(context, "player", action);
        return send ? playerSend(context, *options) : playerEject(context, *options);
    }
    return usageError(context, "player", action);
}

} // namespace quenda::cli
