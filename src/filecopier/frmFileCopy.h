#pragma once

#include "common/services.h"

#include <QDialog>
#include <QStringList>

#include <functional>

namespace quenda {

class frmFileCopy : public QDialog {
    Q_OBJECT
public:
    explicit frmFileCopy(const Services &services, QWidget *parent = nullptr);

    // The folders the office file scan searches: the folder copier's ticked rows in their grid
    // order, asked for again at every activation so that the list always matches its ticks.
    using TickedFolders = std::function<QStringList()>;
    void setTickedFolders(TickedFolders source) { m_tickedFolders = std::move(source); }

private:
    Services m_services;
    TickedFolders m_tickedFolders;
};

} // namespace quenda
