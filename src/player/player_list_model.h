#pragma once
// The players a window lists, one row a player: what the main window's panel and the send
// window show and choose from. Kept current from a PlayerDiscovery.

#include "player/player_device.h"

#include <QAbstractTableModel>

#include <vector>

namespace quenda {

class PlayerDiscovery;

class PlayerListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { NameColumn, ModelColumn, FreeColumn, SizeColumn, RootColumn, ColumnCount };
    // The player's root, for any column of its row.
    static constexpr int RootRole = Qt::UserRole + 1;

    explicit PlayerListModel(QObject *parent = nullptr);

    // Follows discovery from now on: its players now, then each that comes, goes or changes.
    void follow(PlayerDiscovery *discovery);

    void setPlayers(std::vector<Player> players);
    void addOrUpdate(const Player &player);
    void removeRoot(const QString &root);

    const std::vector<Player> &players() const { return m_players; }
    // The row of the player at root, or -1.
    int rowOf(const QString &root) const;
    const Player *playerAt(int row) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    std::vector<Player> m_players;
};

// "3.2 GB", "740 KB", "512 bytes": sizes as a person reads them (powers of 1,024).
QString readableSize(qint64 bytes);

} // namespace quenda
