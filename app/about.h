#pragma once

// TAbout: the modal About window with the logo, the program's icon, and the company,
// version, build and copyright from the version data it is given. A Ctrl + double-click
// on the icon shows the splash window for five seconds.
//
// The window keeps references to the version data and both language clients; they must
// outlive it. Window thread only.

#include <QDialog>

class QLabel;
class QPushButton;

namespace qm {

class TDynLang;
class TVersionInfo;

class TAbout : public QDialog {
    Q_OBJECT
public:
    TAbout(const TVersionInfo& version, const TDynLang& common, const TDynLang& program,
           QWidget* parent = nullptr);

    // How long the hidden splash stays; tests shorten it.
    int SplashMilliseconds = 5000;

    void LoadTexts();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormShow();
    void IconDblClick(Qt::KeyboardModifiers modifiers);

    const TVersionInfo& version_;
    const TDynLang& common_;
    const TDynLang& program_;
    QLabel* Logo = nullptr;
    QLabel* Icon = nullptr;
    QLabel* Company = nullptr;
    QLabel* Product = nullptr;
    QLabel* VerInfo = nullptr;
    QLabel* Ver = nullptr;
    QLabel* BuildInfo = nullptr;
    QLabel* Build = nullptr;
    QLabel* Copyright = nullptr;
    QPushButton* OkBtn = nullptr;
};

} // namespace qm
