#pragma once

// "Edit new names as text": the new names of some rows, one per line in list order, in a
// plain text editor. OK is refused, with the line named in a note and the cursor put on
// it, while the text has another number of lines than there are names, an empty line (but
// for a name that was empty and stayed so) or a line holding a NUL; one line break at the
// very end is allowed. Created for one use by
// the window and destroyed after it.
//
// The text is made once and read once: the editor keeps 100,000 lines without a widget
// per line. Window thread only.

#include "app/widgets/dialogtexts.h"

#include <QDialog>
#include <QStringList>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace qm {

class TNameTextDialog : public QDialog {
    Q_OBJECT
public:
    // `names` must hold no line break (FirstNameWithLineBreak).
    explicit TNameTextDialog(const QStringList& names, QWidget* parent = nullptr);

    // The language clients the texts come from each time the dialog is shown.
    void UseLanguage(const TDynLang& common, const TDynLang& program) {
        texts_.Use(common, program);
    }
    void LoadTexts();

    // The lines as the editor holds them now; after OK, exactly one per name.
    QStringList Lines() const;

    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Why the lines cannot be taken, or empty; `line` is set to the 0-based line to show.
    QString Refusal(const QStringList& lines, int& line) const;

    QStringList names_;
    TDialogTexts texts_;
    QLabel* NamesInfo;
    QPlainTextEdit* Names;
    QLabel* NamesNote;
    QPushButton* OkBtn;
    QPushButton* CancelBtn;
};

// The position of the first name that a line of text cannot hold (it has a line or
// paragraph break), or -1.
qsizetype FirstNameWithLineBreak(const QStringList& names);

} // namespace qm
