#include "app/list/nametextdialog.h"

#include "app/widgets/okcancel.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextDocument>
#include <QVBoxLayout>
#include <algorithm>

namespace qm {

namespace {

// The raw text keeps what the plain text would change (a no-break space becomes a space
// there); the editor ends a line with a paragraph separator, and Shift+Enter puts in a
// line separator, which the user sees as a line break just the same.
constexpr QChar Paragraph = QChar::ParagraphSeparator;
constexpr QChar LineSeparator = QChar::LineSeparator;

QString Numbered(const QString& pattern, qsizetype value) {
    return QString(pattern).replace(QLatin1String("%1"), QString::number(value));
}

} // namespace

qsizetype FirstNameWithLineBreak(const QStringList& names) {
    for (qsizetype i = 0; i < names.size(); ++i) {
        for (const QChar c : names[i]) {
            if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == Paragraph ||
                c == LineSeparator) {
                return i;
            }
        }
    }
    return -1;
}

TNameTextDialog::TNameTextDialog(const QStringList& names, QWidget* parent)
    : QDialog(parent), names_(names) {
    setObjectName(QStringLiteral("NameText"));
    setWindowTitle(tr("Edit new names"));
    Names = new QPlainTextEdit(this);
    Names->setObjectName(QStringLiteral("Names"));
    // A name per line as it is, however long: a wrapped name would read as two.
    Names->setLineWrapMode(QPlainTextEdit::NoWrap);
    Names->setTabChangesFocus(true);
    Names->setPlainText(names.join(QLatin1Char('\n')));
    NamesInfo = new QLabel(tr("&New names, one line per file in list order:"), this);
    NamesInfo->setObjectName(QStringLiteral("NamesInfo"));
    NamesInfo->setBuddy(Names);
    NamesNote = new QLabel(this);
    NamesNote->setObjectName(QStringLiteral("NamesNote"));
    NamesNote->setWordWrap(true);

    const OkCancelButtons okCancel = MakeOkCancelButtons(*this);
    OkBtn = okCancel.Ok;
    CancelBtn = okCancel.Cancel;
    // Enter belongs to the text: OK is the button's alone.
    OkBtn->setDefault(false);
    OkBtn->setAutoDefault(false);
    connect(okCancel.Box, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* column = new QVBoxLayout(this);
    column->addWidget(NamesInfo);
    column->addWidget(Names, 1);
    column->addWidget(NamesNote);
    column->addWidget(okCancel.Box);
    resize(560, 420);
}

void TNameTextDialog::showEvent(QShowEvent* event) {
    if (texts_.Ready()) {
        LoadTexts();
    }
    QDialog::showEvent(event);
}

void TNameTextDialog::LoadTexts() {
    setWindowTitle(texts_.Text("NAMESTEXTTITLE"));
    NamesInfo->setText(texts_.Keyed("NAMESTEXTLIST") + QLatin1Char(':'));
    OkBtn->setText(texts_.CommonKeyed("OK"));
    CancelBtn->setText(texts_.CommonKeyed("CANCEL"));
}

QStringList TNameTextDialog::Lines() const {
    QString text = Names->document()->toRawText();
    text.replace(LineSeparator, Paragraph);
    QStringList lines = text.split(Paragraph);
    if (lines.size() == names_.size() + 1 && lines.back().isEmpty()) {
        lines.removeLast(); // the line break an editor leaves at the end
    }
    return lines;
}

QString TNameTextDialog::Refusal(const QStringList& lines, int& line) const {
    const auto text = [this](const char* key, const char* english) {
        const QString own = texts_.Ready() ? texts_.Line(key) : QString();
        return own.isEmpty() ? QString::fromUtf8(english) : own;
    };
    if (lines.size() != names_.size()) {
        line = static_cast<int>(std::min(lines.size(), names_.size())) - 1;
        // Numbers only: neither can bring a placeholder of its own.
        const QString pattern = text("NAMESTEXTLINECOUNT", "The text has %1 lines, but %2 files "
                                                           "are listed: each file needs its line");
        return Numbered(
            QString(pattern).replace(QLatin1String("%2"), QString::number(names_.size())),
            lines.size());
    }
    for (qsizetype i = 0; i < lines.size(); ++i) {
        line = static_cast<int>(i);
        // The options may give an empty name; its line left as it was changes nothing.
        if (lines[i].isEmpty() && !names_[i].isEmpty()) {
            return Numbered(text("NAMESTEXTEMPTYLINE", "Line %1 is empty: each file needs a name"),
                            i + 1);
        }
        if (lines[i].contains(QChar(0))) {
            return Numbered(
                text("NAMESTEXTNUL", "Line %1 holds a NUL character, which no name can hold"),
                i + 1);
        }
    }
    return QString();
}

void TNameTextDialog::accept() {
    int line = 0;
    const QString refusal = Refusal(Lines(), line);
    NamesNote->setText(refusal);
    if (refusal.isEmpty()) {
        QDialog::accept();
        return;
    }
    const QTextBlock block = Names->document()->findBlockByNumber(std::max(line, 0));
    if (block.isValid()) {
        Names->setTextCursor(QTextCursor(block));
    }
    Names->setFocus();
}

} // namespace qm
