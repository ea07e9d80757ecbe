#include "app/frmSplash.h"

#include "app/program_info.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QTimer>
#include <QVBoxLayout>

namespace quenda {

namespace {
QPixmap logoPicture()
{
    QPixmap pix(72, 72);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(47, 103, 159));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(4, 4, 64, 64), 14, 14);
    p.setPen(Qt::white);
    QFont f(QStringLiteral("Verdana"), 30, QFont::Bold);
    p.setFont(f);
    p.drawText(QRectF(4, 4, 64, 64), Qt::AlignCenter, QStringLiteral("Q"));
    return pix;
}
} // namespace

frmSplash::frmSplash(QWidget *mainWindow, QWidget *parent) : QDialog(parent), m_main(mainWindow)
{
    setWindowFlags(Qt::SplashScreen | Qt::FramelessWindowHint);
    setObjectName(QStringLiteral("frmSplash"));
    setWindowTitle(QString::fromUtf8(kProgramTitle));
    setStyleSheet(QStringLiteral("frmSplash { background: qlineargradient(x1:0, y1:0, x2:1, y2:1, "
                                 "stop:0 #dfe8f1, stop:1 #afbdcd); }"));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 24, 28, 24);
    imgLogo = new QLabel(this);
    imgLogo->setObjectName(QStringLiteral("imgLogo"));
    imgLogo->setPixmap(logoPicture());
    auto *title = new QLabel(QString::fromUtf8(kProgramTitle), this);
    title->setStyleSheet(QStringLiteral("font: bold 15pt 'Verdana'; color: #1f3f66;"));
    auto *motto = new QLabel(QStringLiteral("Do all you want ...........Your way"), this);
    motto->setStyleSheet(QStringLiteral("font: italic 10pt 'Verdana';"));
    auto *product = new QLabel(QStringLiteral("Quenda "), this);
    product->setStyleSheet(QStringLiteral("font: bold 11pt 'Verdana';"));
    auto *versionRow = new QHBoxLayout;
    auto *version = new QLabel(QStringLiteral("Version -"), this);
    lblVersion1 = new QLabel(QString::fromUtf8(kProgramVersion), this);
    lblVersion1->setObjectName(QStringLiteral("lblVersion1"));
    versionRow->addWidget(version);
    versionRow->addWidget(lblVersion1);
    versionRow->addStretch();
    layout->addWidget(imgLogo);
    layout->addWidget(title);
    layout->addWidget(motto);
    layout->addSpacing(12);
    layout->addWidget(product);
    layout->addLayout(versionRow);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(100);
    connect(Timer1, &QTimer::timeout, this, &frmSplash::tick);
    Timer1->start();
}

void frmSplash::tick()
{
    ++m_counter;
    if (m_counter >= 1)
        showMain();
}

void frmSplash::showMain()
{
    if (m_main && !m_main->isVisible()) {
        m_main->show();
        m_main->activateWindow();
    }
}

void frmSplash::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        showMain();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace quenda
