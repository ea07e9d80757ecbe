#include "app/window_places.h"

#include "app/window_place_store.h"
#include "common/keyboard_access.h"

#include <QAbstractButton>
#include <QApplication>
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
        // A place that cannot be kept costs only the default place next time.
        if (Status saved = keepWindowPlace(m_databasePath, m_name, m_window->saveGeometry());
            !saved)
            qWarning().noquote() << "The place of" << m_name
                                 << "could not be kept:" << saved.message();
    }

    QWidget *m_window;
    QString m_name;
    QString m_databasePath;
};

// Sees every Show in the application; a program window is prepared once, just before it first
// appears, so a restored place never shows as a jump.
class WindowPreparer : public QObject {
public:
    WindowPreparer(QObject *owner, QString databasePath)
        : QObject(owner), m_databasePath(std::move(databasePath))
    {
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Show || !watched->isWidgetType())
            return false;
        auto *window = static_cast<QWidget *>(watched);
        const QString name = window->objectName();
        if (!window->isWindow() || window->windowType() == Qt::SplashScreen ||
            !name.startsWith(QLatin1String("frm"), Qt::CaseInsensitive) ||
            window->property(kPrepared).toBool())
            return false;
        window->setProperty(kPrepared, true);
        rememberWindowPlace(window, name, m_databasePath);
        nameSignButtons(window);
        assignAccessKeys(window);
        return false;
    }

private:
    static constexpr const char *kPrepared = "quendaPrepared";
    QString m_databasePath;
};

} // namespace

void prepareProgramWindows(QObject *owner, const QString &databasePath)
{
    new WindowPreparer(owner, databasePath);
}

void rememberWindowPlace(QWidget *window, const QString &name, const QString &databasePath)
{
    if (const QByteArray kept = keptWindowPlace(databasePath, name); !kept.isEmpty())
        window->restoreGeometry(kept);
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
        else if (button->text() == QLatin1String("X"))
            name = QStringLiteral("Close");
        if (name.isEmpty())
            continue;
        if (button->accessibleName().isEmpty())
            button->setAccessibleName(name);
        if (button->toolTip().isEmpty())
            button->setToolTip(name);
    }
}

} // namespace quenda
