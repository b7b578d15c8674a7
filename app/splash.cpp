#include "app/splash.h"

#include "filelist/versioninfo.h"
#include "language/dynlang.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QScreen>
#include <QTimer>

namespace qm {

TSplash::TSplash(const TVersionInfo& version, const TDynLang& common, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint), version_(version),
      common_(common) {
    setObjectName(QStringLiteral("Splash"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    Image = new QLabel(this);
    Image->setObjectName(QStringLiteral("Image"));
    Image->move(0, 0);
}

void TSplash::showEvent(QShowEvent* event) {
    FormShow();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
    QWidget::showEvent(event);
}

void TSplash::closeEvent(QCloseEvent* event) {
    if (MayClose) {
        event->accept();
    } else {
        event->ignore();
    }
}

void TSplash::FormShow() {
    MayClose = false;
    picture_ = QPixmap(QStringLiteral(":/art/splash.png"));
    setFixedSize(picture_.size());
    Image->resize(picture_.size());

    const auto line = [this](const char* key) {
        return QString::fromStdString(common_.GetLine(key));
    };
    const QString version = QString::fromStdString(version_.DottedVersion());
    const QString build = QString::number(version_.GetVersionNumber(3));
    WriteText(QString::fromStdString(version_.GetInfo(TVersionInfo::InfoCompanyName)) +
                  QLatin1Char(' ') +
                  QString::fromStdString(version_.GetInfo(TVersionInfo::InfoProductName)),
              8, 240);
    WriteText(line("VERSION") + QStringLiteral(": ") + version, 8, 268);
    WriteText(line("BUILD") + QStringLiteral(": ") + build, 8, 282);
    WriteText(line("RELEASEDATE") + QLatin1Char(' ') +
                  QLocale().toString(ReleaseDate(), QLocale::LongFormat),
              8, 310);
    Image->setPixmap(picture_);
}

void TSplash::WriteText(const QString& text, int x, int y) {
    QPainter painter(&picture_);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSize(8);
    painter.setFont(font);
    const QFontMetrics metrics(font);
    // The text stands on a white box of its own size, so it reads on any part of the picture.
    const QRect box(x, y, metrics.horizontalAdvance(text), metrics.height());
    painter.fillRect(box, Qt::white);
    painter.setPen(Qt::black);
    painter.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
}

void TSplash::WriteTextR(const QString& text, int x, int y) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSize(8);
    WriteText(text, x - QFontMetrics(font).horizontalAdvance(text) + 2, y);
}

void TSplash::Present() {
    shownAt_.start();
    show();
    raise();
    repaint();
}

void TSplash::CloseAfter(int milliseconds) {
    const qint64 left = milliseconds - (shownAt_.isValid() ? shownAt_.elapsed() : 0);
    if (left > 0) {
        // A local loop keeps the splash painted and the desktop sure the program lives;
        // input meant for the other windows is held back until the wait is over.
        QEventLoop wait;
        QTimer::singleShot(static_cast<int>(left), &wait, &QEventLoop::quit);
        wait.exec(QEventLoop::ExcludeUserInputEvents);
    }
    MayClose = true;
    close();
}

} // namespace qm
