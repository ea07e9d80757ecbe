#include "common/window_shape.h"

#include <QLabel>
#include <QPainterPath>
#include <QRegion>
#include <QWidget>
#include <QWindow>

namespace quenda {

void applyRoundedShape(QWidget *window)
{
    if (!window)
        return;
    QPainterPath path;
    // Corner ellipses of 25 by 25 pixels have radii of half that.
    path.addRoundedRect(QRectF(0, 0, window->width(), window->height()), 12.5, 12.5);
    window->setMask(QRegion(path.toFillPolygon().toPolygon()));
}

void dragWindow(QWidget *window)
{
    if (!window || window->isMaximized())
        return;
    if (QWindow *handle = window->window()->windowHandle())
        handle->startSystemMove();
}

QLabel *makeTitleLabel(const QString &text, QWidget *window)
{
    auto *label = new QLabel(text, window);
    QFont font = label->font();
    font.setBold(true);
    font.setPointSize(font.pointSize() + 4);
    label->setFont(font);
    return label;
}

} // namespace quenda
