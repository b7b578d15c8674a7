#pragma once

// TSplash: the borderless start-up picture with the program's version lines drawn on it.
// The lines are drawn into a fresh copy of the picture each time the window is shown, in
// the common language client's words. The window refuses every close (the user's or the
// window frame's) until MayClose is set.
//
// The window keeps references to the version data and the language client; both must
// outlive it. Window thread only.

#include <QDate>
#include <QElapsedTimer>
#include <QPixmap>
#include <QWidget>

class QLabel;

namespace qm {

class TDynLang;
class TVersionInfo;

class TSplash : public QWidget {
    Q_OBJECT
public:
    TSplash(const TVersionInfo& version, const TDynLang& common, QWidget* parent = nullptr);

    bool MayClose = false;

    // Shows the window centred on the screen and paints it at once.
    void Present();
    // Keeps the window painted, while the other windows take no input, until
    // `milliseconds` have passed since Present; then allows the close and closes it.
    void CloseAfter(int milliseconds);

    const QPixmap& Picture() const { return picture_; }

    static QDate ReleaseDate() { return {2006, 12, 31}; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormShow();
    void WriteText(const QString& text, int x, int y);
    void WriteTextR(const QString& text, int x, int y);

    const TVersionInfo& version_;
    const TDynLang& common_;
    QLabel* Image = nullptr;
    QPixmap picture_;
    QElapsedTimer shownAt_;
};

} // namespace qm
