#include "app/window_places.h"

#include "db/database.h"
#include "db/setup.h"

#include <QAbstractButton>
#include <QEvent>
#include <QWidget>
#include <QtDebug>

namespace quenda {

namespace {

class PlaceKeeper : public QObject {
public:
    PlaceKeeper(QWidget *window, QString name, QString databasePath)
        : QObject(window), m_window(window), m_name(std::move(name)),
          m_databasePath(std::move(databasePath))
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_window && event->type() == QEvent::Hide && !m_window->isMinimized())
            save();
        return false;
    }

private:
    void save() const
    {
        Connection connection(m_databasePath, BusyWait::None);
        if (!connection.isOpen())
            return;
        // A place that cannot be kept costs only the default place next time.
        if (Status saved = saveWindowPlace(connection.db(), m_name, m_window->saveGeometry());
            !saved)
            qWarning().noquote() << "The place of" << m_name
                                 << "could not be kept:" << saved.message();
    }

    QWidget *m_window;
    QString m_name;
    QString m_databasePath;
};

} // namespace

void rememberWindowPlace(QWidget *window, const QString &name, const QString &databasePath)
{
    {
        Connection connection(databasePath, BusyWait::None);
        if (connection.isOpen()) {
            if (const Result<QByteArray> kept = windowPlace(connection.db(), name);
                kept.ok() && !kept->isEmpty())
                window->restoreGeometry(*kept);
        }
    }
    new PlaceKeeper(window, name, databasePath);
}

void nameSignButtons(QWidget *window)
{
    for (QAbstractButton *button : window->findChildren<QAbstractButton *>()) {
        QString name;
        if (button->text() == QLatin1String("?"))
            name = QStringLiteral("Help");
        else if (button->text() == QLatin1String("..."))
            name = QStringLiteral("Browse");
        if (name.isEmpty())
            continue;
        if (button->accessibleName().isEmpty())
            button->setAccessibleName(name);
        if (button->toolTip().isEmpty())
            button->setToolTip(name);
    }
}

} // namespace quenda
