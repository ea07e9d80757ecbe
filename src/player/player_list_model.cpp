#include "player/player_list_model.h"

#include "player/player_discovery.h"

#include <QDir>
#include <QLocale>

namespace quenda {

PlayerListModel::PlayerListModel(QObject *parent) : QAbstractTableModel(parent) {}

void PlayerListModel::follow(PlayerDiscovery *discovery)
{
    setPlayers(discovery->players());
    connect(discovery, &PlayerDiscovery::playerAppeared, this, &PlayerListModel::addOrUpdate);
    connect(discovery, &PlayerDiscovery::playerChanged, this, &PlayerListModel::addOrUpdate);
    connect(discovery, &PlayerDiscovery::playerDisappeared, this, &PlayerListModel::removeRoot);
}

void PlayerListModel::setPlayers(std::vector<Player> players)
{
    beginResetModel();
    m_players = std::move(players);
    endResetModel();
}

void PlayerListModel::addOrUpdate(const Player &player)
{
    const int row = rowOf(player.root);
    if (row >= 0) {
        m_players[row] = player;
        Q_EMIT dataChanged(index(row, 0), index(row, ColumnCount - 1));
        return;
    }
    const int at = static_cast<int>(m_players.size());
    beginInsertRows(QModelIndex(), at, at);
    m_players.push_back(player);
    endInsertRows();
}

void PlayerListModel::removeRoot(const QString &root)
{
    const int row = rowOf(root);
    if (row < 0)
        return;
    beginRemoveRows(QModelIndex(), row, row);
    m_players.erase(m_players.begin() + row);
    endRemoveRows();
}

int PlayerListModel::rowOf(const QString &root) const
{
    const QString clean = QDir::cleanPath(root);
    for (size_t i = 0; i < m_players.size(); ++i)
        if (QDir::cleanPath(m_players[i].root) == clean)
            return static_cast<int>(i);
    return -1;
}

const Player *PlayerListModel::playerAt(int row) const
{
    return row >= 0 && row < static_cast<int>(m_players.size()) ? &m_players[row] : nullptr;
}

int PlayerListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_players.size());
}

int PlayerListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant PlayerListModel::data(const QModelIndex &index, int role) const
{
    const Player *player = index.isValid() ? playerAt(index.row()) : nullptr;
    if (!player)
        return {};
    if (role == RootRole)
        return player->root;
    if (role == Qt::TextAlignmentRole &&
        (index.column() == FreeColumn || index.column() == SizeColumn))
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    switch (index.column()) {
    case NameColumn:
        return player->name;
    case ModelColumn:
        return player->model;
    case FreeColumn:
        return readableSize(player->freeBytes) +
               (player->readOnly ? QStringLiteral(" (read-only)") : QString());
    case SizeColumn:
        return readableSize(player->sizeBytes);
    case RootColumn:
        return QDir::toNativeSeparators(player->root);
    default:
        return {};
    }
}

QVariant PlayerListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case NameColumn:
        return QStringLiteral("Player");
    case ModelColumn:
        return QStringLiteral("Model");
    case FreeColumn:
        return QStringLiteral("Free");
    case SizeColumn:
        return QStringLiteral("Size");
    case RootColumn:
        return QStringLiteral("Mounted at");
    default:
        return {};
    }
}

QString readableSize(qint64 bytes)
{
    const QLocale english(QLocale::English);
    if (bytes < 1024)
        return QStringLiteral("%1 bytes").arg(bytes);
    const char *units[] = {"KB", "MB", "GB", "TB"};
    double value = static_cast<double>(bytes);
    int unit = -1;
    while (value >= 1024.0 && unit < 3) {
        value /= 1024.0;
        ++unit;
    }
    return QStringLiteral("%1 %2").arg(english.toString(value, 'f', value < 10 ? 1 : 0),
                                       QLatin1String(units[unit]));
}

} // namespace quenda
