#include "app/about.h"

#include "app/splash.h"
#include "app/widgets/jpegimage.h"
#include "app/widgets/qttext.h"
#include "filelist/versioninfo.h"
#include "language/dynlang.h"

#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

namespace qm {

namespace {

QLabel* Label(QWidget* parent, const char* name, int left, int top) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->move(left, top);
    return label;
}

} // namespace

TAbout::TAbout(const TVersionInfo& version, const TDynLang& common, const TDynLang& program,
               QWidget* parent)
    : QDialog(parent), version_(version), common_(common), program_(program) {
    setObjectName(QStringLiteral("About"));
    setWindowTitle(tr("About Quillmark"));
    setFixedSize(463, 198);
    setAutoFillBackground(true);
    QPalette sky = palette();
    sky.setColor(QPalette::Window, QColor(0x87, 0xce, 0xeb));
    setPalette(sky);

    Logo = Label(this, "Logo", 24, 8);
    Logo->setFixedSize(420, 78);
    QFile logo(QStringLiteral(":/art/logo.jpg"));
    if (logo.open(QIODevice::ReadOnly)) {
        Logo->setPixmap(QPixmap::fromImage(DecodeJpeg(logo.readAll())));
    }
    Icon = Label(this, "Icon", 8, 96);
    Icon->setFixedSize(32, 32);
    Icon->installEventFilter(this);
    Company = Label(this, "Company", 48, 96);
    Product = Label(this, "Product", 48, 112);
    Product->setText(QStringLiteral("Quillmark"));
    VerInfo = Label(this, "VerInfo", 208, 96);
    Ver = Label(this, "Ver", 208, 112);
    BuildInfo = Label(this, "BuildInfo", 280, 96);
    Build = Label(this, "Build", 280, 112);
    auto* line = new QFrame(this);
    line->setObjectName(QStringLiteral("Line2"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(48, 130, 409, 2);
    Copyright = Label(this, "Copyright", 48, 144);
    OkBtn = new QPushButton(tr("&Ok"), this);
    OkBtn->setObjectName(QStringLiteral("OkBtn"));
    OkBtn->setGeometry(192, 168, 75, 23);
    OkBtn->setDefault(true);
    connect(OkBtn, &QPushButton::clicked, this, &QDialog::accept);
    // QDialog answers Escape with reject; Enter reaches the default button.
}

void TAbout::showEvent(QShowEvent* event) {
    FormShow();
    QDialog::showEvent(event);
}

void TAbout::FormShow() {
    Icon->setPixmap(QPixmap(QStringLiteral(":/art/quillmark.png")));
    Company->setText(QString::fromStdString(version_.GetInfo(TVersionInfo::InfoCompanyName)));
    Ver->setText(QString::fromStdString(version_.DottedVersion()));
    Build->setText(QString::number(version_.GetVersionNumber(3)));
    Copyright->setText(QString::fromStdString(version_.GetInfo(TVersionInfo::InfoLegalCopyright)));
    LoadTexts();
    // The labels are placed by hand on the fixed window; each takes the width its text needs.
    for (QLabel* label : {Company, Product, VerInfo, Ver, BuildInfo, Build, Copyright}) {
        label->adjustSize();
    }
    OkBtn->setFocus();
}

void TAbout::LoadTexts() {
    setWindowTitle(QString::fromStdString(program_.GetLine("ABOUTTITLE")) +
                   QStringLiteral(" Quillmark"));
    // The version and build lines of the splash add ": " to the same texts; here the
    // value stands below its label, so the label ends in a colon of its own.
    VerInfo->setText(ScreenText(common_.GetText("VERSION")) + QLatin1Char(':'));
    BuildInfo->setText(ScreenText(common_.GetText("BUILD")) + QLatin1Char(':'));
    OkBtn->setText(QString::fromStdString(common_.GetKeyedLine("OK")));
}

bool TAbout::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Icon && event->type() == QEvent::MouseButtonDblClick) {
        IconDblClick(static_cast<QMouseEvent*>(event)->modifiers());
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TAbout::IconDblClick(Qt::KeyboardModifiers modifiers) {
    if (!modifiers.testFlag(Qt::ControlModifier)) {
        return;
    }
    TSplash splash(version_, common_);
    splash.Present();
    splash.CloseAfter(SplashMilliseconds);
}

} // namespace qm
