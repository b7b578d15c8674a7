#include "app/options/optiontabs.h"

#include "app/options/replacelist.h"
#include "app/options/tagmenu.h"
#include "app/widgets/comboaccessible.h"
#include "engine/runningnumber.h"
#include "language/placeholders.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTabBar>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>
#include <optional>

namespace qm {

namespace {

template <class W> W* Named(W* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QCheckBox* Check(QWidget* parent, const char* name, const QString& caption) {
    return Named(new QCheckBox(caption, parent), name);
}

QLineEdit* Edit(QWidget* parent, const char* name) {
    return Named(new QLineEdit(parent), name);
}

QSpinBox* Spin(QWidget* parent, const char* name, int min, int max, int value) {
    auto* spin = Named(new QSpinBox(parent), name);
    spin->setRange(min, max);
    spin->setValue(value);
    // Wide enough for the largest value, no wider: the fields sit in a row with labels.
    spin->setMinimumWidth(spin->fontMetrics().horizontalAdvance(QString::number(max)) + 40);
    return spin;
}

QLabel* Label(QWidget* parent, const char* name, const QString& caption, QWidget* buddy) {
    auto* label = Named(new QLabel(caption, parent), name);
    if (buddy != nullptr) {
        label->setBuddy(buddy);
    }
    return label;
}

// A tab page that starts with its group switch drawn above a separator line; `pageWide`,
// a switch for the whole page, stands at the right end of the group switch's line.
QVBoxLayout* PageWithGroup(QWidget* page, QCheckBox* group, const char* sepName,
                           QCheckBox* pageWide = nullptr) {
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(6, 4, 6, 4);
    column->setSpacing(3);
    if (pageWide == nullptr) {
        column->addWidget(group);
    } else {
        auto* line = new QHBoxLayout;
        line->addWidget(group);
        line->addStretch(1);
        line->addWidget(pageWide);
        column->addLayout(line);
    }
    auto* sep = Named(new QFrame(page), sepName);
    sep->setFrameShape(QFrame::HLine);
    sep->setFrameShadow(QFrame::Sunken);
    column->addWidget(sep);
    return column;
}

// The button beside an insert text field that opens the tag menu: a push button, which
// draws its drop-down arrow beside the caption and opens with Space as with a click.
QPushButton* TagButton(QWidget* parent, const char* name) {
    auto* button = Named(new QPushButton(parent), name);
    button->setAutoDefault(false);
    button->setMenu(Named(new TTagMenu(button), "TagMenu"));
    return button;
}

QGridLayout* Grid() {
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(3);
    return grid;
}

} // namespace

TOptionTabs::TOptionTabs(QWidget* parent) : QTabWidget(parent) {
    setObjectName(QStringLiteral("RenameOptions"));
    // Six captions, each possibly marked, have to fit the window's minimum width.
    tabBar()->setStyleSheet(QStringLiteral(
        "QTabBar::tab { padding: 3px 6px; margin-right: 1px; border: 1px solid palette(mid);"
        " border-bottom: none; border-top-left-radius: 3px; border-top-right-radius: 3px;"
        " background: palette(button); }"
        "QTabBar::tab:selected { background: palette(window); margin-bottom: -1px; }"
        "QTabBar::tab:!selected { margin-top: 2px; }"));
    BuildGeneral();
    BuildRemove();
    BuildReplace();
    BuildInsert();
    BuildShuffle();
    BuildFormat();
    ConnectChanges();
    NameSwitchedFields();
}

void TOptionTabs::BuildGeneral() {
    GeneralTab = Named(new QWidget(this), "GeneralTab");
    auto* column = new QVBoxLayout(GeneralTab);
    column->setContentsMargins(6, 4, 6, 4);
    column->setSpacing(3);
    RenameSummary = Named(new QLabel(GeneralTab), "RenameSummary");
    RenameSummary->setWordWrap(true);
    RenameSummary->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    RenameSummary->setFrameShape(QFrame::StyledPanel);
    RenameSummary->setFrameShadow(QFrame::Sunken);
    RenameSummary->setMargin(3);
    RenameSummary->setMinimumHeight(3 * RenameSummary->fontMetrics().lineSpacing() + 8);
    // A screen reader can move into it; the summary is the page's main content.
    RenameSummary->setTextInteractionFlags(Qt::TextSelectableByKeyboard |
                                           Qt::TextSelectableByMouse);
    RenameSummaryInfo =
        Label(GeneralTab, "RenameSummaryInfo", tr("Rename option summary:"), RenameSummary);
    column->addWidget(RenameSummaryInfo);
    column->addWidget(RenameSummary, 1);
    AppendExt = Check(GeneralTab, "AppendExt", tr("&Include file extension in rename"));
    column->addWidget(AppendExt);
    auto* row = new QHBoxLayout;
    ChangeExtInfo = Check(GeneralTab, "ChangeExtInfo", tr("&New file extension:"));
    ChangeExt = Edit(GeneralTab, "ChangeExt");
    row->addWidget(ChangeExtInfo);
    row->addWidget(ChangeExt, 1);
    column->addLayout(row);
    // What a run does beyond the names themselves: where they lead, and what it does
    // when one is taken or a file has companions.
    CreateFolders = Check(GeneralTab, "CreateFolders", tr("&Create the folders new names name"));
    NumberTakenNames =
        Check(GeneralTab, "NumberTakenNames", tr("When a new name is ta&ken, add a number"));
    RenameCompanions =
        Check(GeneralTab, "RenameCompanions", tr("Rename fi&les that share a name together"));
    column->addWidget(CreateFolders);
    column->addWidget(NumberTakenNames);
    column->addWidget(RenameCompanions);
    addTab(GeneralTab, tr("&General"));
}

void TOptionTabs::BuildRemove() {
    TrimTab = Named(new QWidget(this), "TrimTab");
    TrimGroup = Check(TrimTab, "TrimGroup", tr("&Use remove"));
    auto* column = PageWithGroup(TrimTab, TrimGroup, "TrimGroupSep");
    auto* grid = Grid();
    RemoveFrontInfo = Check(TrimTab, "RemoveFrontInfo", tr("Remove characters from the &front:"));
    RemoveFront = Spin(TrimTab, "RemoveFront", 1, 255, 1);
    RemovePosInfo = Check(TrimTab, "RemovePosInfo", tr("Remove characters at &position:"));
    RemovePos = Spin(TrimTab, "RemovePos", 1, 255, 1);
    RemoveAtPos = Spin(TrimTab, "RemoveAtPos", 0, 255, 0);
    RemoveAtPosInfo = Label(TrimTab, "RemoveAtPosInfo", tr("P&osition:"), RemoveAtPos);
    RemoveBackInfo = Check(TrimTab, "RemoveBackInfo", tr("Remove characters from the &back:"));
    RemoveBack = Spin(TrimTab, "RemoveBack", 1, 255, 1);
    TrimSpaces = Check(TrimTab, "TrimSpaces", tr("Remove &spaces at the front and back"));
    RemoveDoubleSpace = Check(TrimTab, "RemoveDoubleSpace", tr("Remove &double spaces"));
    RemoveAllSpaces = Check(TrimTab, "RemoveAllSpaces", tr("Remove &all spaces"));
    grid->addWidget(RemoveFrontInfo, 0, 0);
    grid->addWidget(RemoveFront, 0, 1);
    grid->addWidget(RemovePosInfo, 1, 0);
    grid->addWidget(RemovePos, 1, 1);
    grid->addWidget(RemoveAtPosInfo, 1, 2);
    grid->addWidget(RemoveAtPos, 1, 3);
    grid->addWidget(RemoveBackInfo, 2, 0);
    grid->addWidget(RemoveBack, 2, 1);
    grid->setColumnStretch(4, 1);
    auto* spaces = Grid();
    spaces->addWidget(TrimSpaces, 0, 0);
    spaces->addWidget(RemoveDoubleSpace, 0, 1);
    spaces->addWidget(RemoveAllSpaces, 1, 0);
    spaces->setColumnStretch(2, 1);
    column->addLayout(grid);
    column->addLayout(spaces);
    column->addStretch(1);
    addTab(TrimTab, tr("Re&move"));
}

void TOptionTabs::BuildReplace() {
    ReplaceTab = Named(new QWidget(this), "ReplaceTab");
    ReplaceGroup = Check(ReplaceTab, "ReplaceGroup", tr("&Use replace"));
    auto* column = PageWithGroup(ReplaceTab, ReplaceGroup, "ReplaceGroupSep");
    auto* row = new QHBoxLayout;
    auto* grid = Grid();
    InternetSpace = Check(ReplaceTab, "InternetSpace", QStringLiteral("%20"));
    UnderscoreSpace = Check(ReplaceTab, "UnderscoreSpace", QStringLiteral("_"));
    DotSpace = Check(ReplaceTab, "DotSpace", QStringLiteral("."));
    ConvertToSpaceInfo =
        Label(ReplaceTab, "ConvertToSpaceInfo", tr("Convert character to space:"), InternetSpace);
    auto* spaces = new QHBoxLayout;
    spaces->addWidget(InternetSpace);
    spaces->addWidget(UnderscoreSpace);
    spaces->addWidget(DotSpace);
    spaces->addStretch(1);
    ReplaceInfo = Check(ReplaceTab, "ReplaceInfo", tr("Replace &text:"));
    Replace = Edit(ReplaceTab, "Replace");
    ReplacePatternInfo = Label(ReplaceTab, "ReplacePatternInfo", QString(), nullptr);
    ReplacePatternInfo->setWordWrap(true);
    ReplacePatternInfo->setFrameShape(QFrame::StyledPanel);
    ReplacePatternInfo->setMargin(2);
    // Selectable, so that a screen reader can move into it and the user can copy it.
    ReplacePatternInfo->setTextInteractionFlags(Qt::TextSelectableByKeyboard |
                                                Qt::TextSelectableByMouse);
    ReplacePatternInfo->hide();
    ReplaceWith = Edit(ReplaceTab, "ReplaceWith");
    ReplaceWithInfo = Label(ReplaceTab, "ReplaceWithInfo", tr("Replace &with:"), ReplaceWith);
    ReplaceAddBtn = Named(new QPushButton(tr("&Add"), ReplaceTab), "ReplaceAddBtn");
    ReplaceRemoveBtn = Named(new QPushButton(tr("&Remove"), ReplaceTab), "ReplaceRemoveBtn");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ReplaceAddBtn);
    buttons->addWidget(ReplaceRemoveBtn);
    spaces->insertWidget(0, ConvertToSpaceInfo);
    column->addLayout(spaces);
    grid->addWidget(ReplaceInfo, 0, 0);
    grid->addWidget(Replace, 0, 1);
    grid->addWidget(ReplacePatternInfo, 1, 0, 1, 2);
    grid->addWidget(ReplaceWithInfo, 2, 0);
    grid->addWidget(ReplaceWith, 2, 1);
    grid->addLayout(buttons, 3, 0, 1, 2);
    grid->setRowStretch(4, 1);
    row->addLayout(grid, 1);
    ReplaceList = Named(new TReplaceList(ReplaceTab), "ReplaceList");
    ReplaceList->setAccessibleName(tr("Replace pairs"));
    row->addWidget(ReplaceList, 1);
    column->addLayout(row, 1);
    // How every find text of the list is read: a row of its own under the list, as wide as
    // the page, since the longer captions would crowd the list out of the row above.
    ReplaceRegExp = Check(ReplaceTab, "ReplaceRegExp", tr("Find texts are regu&lar expressions"));
    ReplaceIgnoreCase = Check(ReplaceTab, "ReplaceIgnoreCase", tr("Ignore letter &case"));
    auto* flags = new QHBoxLayout;
    flags->addWidget(ReplaceRegExp);
    flags->addWidget(ReplaceIgnoreCase);
    flags->addStretch(1);
    column->addLayout(flags);
    addTab(ReplaceTab, tr("&Replace"));
}

void TOptionTabs::BuildInsert() {
    InsertTab = Named(new QWidget(this), "InsertTab");
    InsertGroup = Check(InsertTab, "InsertGroup", tr("&Use insert"));
    // On the group switch's line, not a line of its own under the three texts it serves:
    // the page then keeps the height of the window's smallest size.
    InsertTags = Check(InsertTab, "InsertTags", tr("Fill in &tags such as <taken>"));
    auto* column = PageWithGroup(InsertTab, InsertGroup, "InsertGroupSep", InsertTags);
    auto* texts = Grid();
    // Created in the order Tab visits them: each tag button right after its field.
    InsertFrontInfo = Check(InsertTab, "InsertFrontInfo", tr("Insert &front text:"));
    InsertFront = Edit(InsertTab, "InsertFront");
    InsertFrontTags = TagButton(InsertTab, "InsertFrontTags");
    InsertPosInfo = Check(InsertTab, "InsertPosInfo", tr("Insert at &position:"));
    InsertPos = Edit(InsertTab, "InsertPos");
    InsertPosTags = TagButton(InsertTab, "InsertPosTags");
    InsertAtPos = Spin(InsertTab, "InsertAtPos", 0, 999999, 0);
    InsertAtPosInfo = Label(InsertTab, "InsertAtPosInfo", tr("P&osition:"), InsertAtPos);
    InsertBackInfo = Check(InsertTab, "InsertBackInfo", tr("Insert &back text:"));
    InsertBack = Edit(InsertTab, "InsertBack");
    InsertBackTags = TagButton(InsertTab, "InsertBackTags");
    // The position row keeps its button beside its own field, before the position; the
    // two full-width fields end in theirs at the right edge.
    texts->addWidget(InsertFrontInfo, 0, 0);
    texts->addWidget(InsertFront, 0, 1, 1, 3);
    texts->addWidget(InsertFrontTags, 0, 4);
    texts->addWidget(InsertPosInfo, 1, 0);
    texts->addWidget(InsertPos, 1, 1);
    texts->addWidget(InsertPosTags, 1, 2);
    texts->addWidget(InsertAtPosInfo, 1, 3);
    texts->addWidget(InsertAtPos, 1, 4);
    texts->addWidget(InsertBackInfo, 2, 0);
    texts->addWidget(InsertBack, 2, 1, 1, 3);
    texts->addWidget(InsertBackTags, 2, 4);
    texts->setColumnStretch(1, 1);
    for (const auto& [button, field] : TagButtons()) {
        QLineEdit* const target = field;
        connect(static_cast<TTagMenu*>(button->menu()), &TTagMenu::tagChosen, this,
                [this, target](const QString& tag) { InsertTag(target, tag); });
    }
    IncValueInfo = Check(InsertTab, "IncValueInfo", tr("Insert increasing &number:"));
    IncValue = Spin(InsertTab, "IncValue", 0, MaxNumberIncValue, 0);
    IncSepInfo = Check(InsertTab, "IncSepInfo", tr("Add &separator in front of number"));
    NumberPerFolder = Check(InsertTab, "NumberPerFolder", tr("Restart in each folder"));
    IncLengthInfo = Named(new QRadioButton(tr("Fixed &length:"), InsertTab), "IncLengthInfo");
    IncLengthInfo->setChecked(true);
    IncLength = Spin(InsertTab, "IncLength", 0, 999999, 0);
    IncFormatInfo = Named(new QRadioButton(tr("A&dvanced format:"), InsertTab), "IncFormatInfo");
    IncFormat = Named(new QComboBox(InsertTab), "IncFormat");
    TComboAccessible::SetLabel(*IncFormat, *IncFormatInfo);
    IncFormat->setEditable(true);
    IncFormat->setInsertPolicy(QComboBox::NoInsert);
    IncFormat->addItems({QStringLiteral("0"), QStringLiteral("#.##0"), QStringLiteral("#.###")});
    IncFormat->setCurrentText(QStringLiteral("0"));
    IncFormat->setMinimumWidth(
        IncFormat->fontMetrics().horizontalAdvance(QStringLiteral("#.###.##0")) + 40);
    auto* number = new QHBoxLayout;
    number->addWidget(IncValueInfo);
    number->addWidget(IncValue);
    number->addStretch(1);
    texts->addLayout(number, 3, 0, 1, 5);
    // Beside the separator, under the number both shape: the number's own line has no
    // room for it at the window's smallest width, and a line of its own none at its height.
    auto* numberFlags = new QHBoxLayout;
    numberFlags->addWidget(IncSepInfo);
    numberFlags->addSpacing(12);
    numberFlags->addWidget(NumberPerFolder);
    numberFlags->addStretch(1);
    texts->addLayout(numberFlags, 4, 0, 1, 5);
    auto* format = new QHBoxLayout;
    format->addWidget(IncLengthInfo);
    format->addWidget(IncLength);
    format->addSpacing(12);
    format->addWidget(IncFormatInfo);
    format->addWidget(IncFormat);
    format->addStretch(1);
    texts->addLayout(format, 5, 0, 1, 5);
    column->addLayout(texts);
    column->addStretch(1);
    addTab(InsertTab, tr("&Insert"));
}

void TOptionTabs::BuildShuffle() {
    ShuffleTab = Named(new QWidget(this), "ShuffleTab");
    ShuffleGroup = Check(ShuffleTab, "ShuffleGroup", tr("&Use shuffle"));
    auto* column = PageWithGroup(ShuffleTab, ShuffleGroup, "ShuffleGroupSep");
    auto* grid = Grid();
    MoveInfo = Check(ShuffleTab, "MoveInfo", tr("Alter logic filename sepa&ration:"));
    Move = Edit(ShuffleTab, "Move");
    Move->setText(QStringLiteral("%a"));
    MoveSep = Edit(ShuffleTab, "MoveSep");
    MoveSep->setText(QStringLiteral("-"));
    MoveSepInfo = Label(ShuffleTab, "MoveSepInfo", tr("&Separation characters:"), MoveSep);
    grid->addWidget(MoveInfo, 0, 0);
    grid->addWidget(Move, 0, 1, 1, 2);
    grid->addWidget(MoveSepInfo, 1, 0);
    grid->addWidget(MoveSep, 1, 1);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(2, 2);
    column->addLayout(grid);
    column->addStretch(1);
    addTab(ShuffleTab, tr("&Shuffle"));
}

void TOptionTabs::BuildFormat() {
    FormatTab = Named(new QWidget(this), "FormatTab");
    FormatGroup = Check(FormatTab, "FormatGroup", tr("&Use format"));
    auto* column = PageWithGroup(FormatTab, FormatGroup, "FormatGroupSep");
    FormatInfo = Check(FormatTab, "FormatInfo", tr("Format &filename"));
    FormatLogicBlocks =
        Check(FormatTab, "FormatLogicBlocks", tr("Format logic &blocks separately"));
    FormatWords = Check(FormatTab, "FormatWords", tr("Format &words separately"));
    column->addWidget(FormatInfo);
    column->addWidget(FormatLogicBlocks);
    column->addWidget(FormatWords);
    auto* right = Grid();
    FormatFirstLetterUp =
        Check(FormatTab, "FormatFirstLetterUp", tr("First letter with big l&etters"));
    FormatOtherLettersUp =
        Check(FormatTab, "FormatOtherLettersUp", tr("The rest with big le&tters"));
    FormatLettersInfo =
        Label(FormatTab, "FormatLettersInfo", tr("Normal words:"), FormatFirstLetterUp);
    FormatSpecialFirstUp =
        Check(FormatTab, "FormatSpecialFirstUp", tr("First letter with big lette&rs"));
    FormatSpecialOtherUp =
        Check(FormatTab, "FormatSpecialOtherUp", tr("The rest with big letter&s"));
    FormatSpecialLettersInfo =
        Label(FormatTab, "FormatSpecialLettersInfo", tr("Special words:"), FormatSpecialFirstUp);
    FormatSpecialWords = Edit(FormatTab, "FormatSpecialWords");
    FormatSpecialWordsInfo = Label(FormatTab, "FormatSpecialWordsInfo",
                                   tr("Words with special f&ormat:"), FormatSpecialWords);
    right->addWidget(FormatLettersInfo, 0, 0);
    right->addWidget(FormatFirstLetterUp, 0, 1);
    right->addWidget(FormatOtherLettersUp, 0, 2);
    right->addWidget(FormatSpecialLettersInfo, 1, 0);
    right->addWidget(FormatSpecialFirstUp, 1, 1);
    right->addWidget(FormatSpecialOtherUp, 1, 2);
    right->addWidget(FormatSpecialWordsInfo, 2, 0);
    right->addWidget(FormatSpecialWords, 2, 1, 1, 2);
    right->setColumnStretch(2, 1);
    column->addLayout(right);
    column->addStretch(1);
    addTab(FormatTab, tr("Form&at"));
}

void TOptionTabs::ConnectChanges() {
    for (QCheckBox* box : findChildren<QCheckBox*>()) {
        connect(box, &QCheckBox::toggled, this, &TOptionTabs::optionChanged);
    }
    // One of the two radio buttons turning on is the change; the other turning off is
    // the same change again.
    for (QRadioButton* radio : {IncLengthInfo, IncFormatInfo}) {
        connect(radio, &QRadioButton::toggled, this, [this](bool on) {
            if (on) {
                emit optionChanged();
            }
        });
    }
    for (QLineEdit* edit : {ChangeExt, Replace, ReplaceWith, InsertFront, InsertPos, InsertBack,
                            Move, MoveSep, FormatSpecialWords}) {
        connect(edit, &QLineEdit::textChanged, this, &TOptionTabs::optionChanged);
    }
    for (QSpinBox* spin :
         {RemoveFront, RemovePos, RemoveAtPos, RemoveBack, InsertAtPos, IncValue, IncLength}) {
        ConnectNumberField(spin);
    }
    connect(IncFormat, &QComboBox::currentTextChanged, this, &TOptionTabs::optionChanged);
}

void TOptionTabs::ConnectNumberField(QSpinBox* spin) {
    // The options read a number field's text as the user sees it. The spin box speaks only
    // when its value changes, so an emptied field, a "0" below the minimum or "05" for 5
    // would go unheard; its line edit speaks on every typed change but is silenced while
    // the spin box writes the text itself (arrow keys, setValue, the tidying when the
    // field loses focus). Both are heard: a typed change that also changed the value
    // arrives twice, the spin box's first, and the line edit's copy is dropped.
    struct Heard {
        std::optional<QString> fromSpin; // the spin box's last word, until the edit's copy
        QString reported;                // the text the last report was about
        bool typed = false;              // typed since the spin box last wrote its text
    };
    auto heard = std::make_shared<Heard>();
    connect(spin, &QSpinBox::textChanged, this, [this, heard](const QString& text) {
        heard->fromSpin = text;
        heard->reported = text;
        heard->typed = false;
        emit optionChanged();
    });
    connect(spin->findChild<QLineEdit*>(), &QLineEdit::textChanged, this,
            [this, heard](const QString& text) {
                const bool twice = heard->fromSpin == text;
                heard->fromSpin.reset();
                heard->reported = text;
                heard->typed = true;
                if (!twice) {
                    emit optionChanged();
                }
            });
    // Leaving the field puts the spin box's own text back over a typed one it did not
    // take, silently when its value stays the same: the options follow it back.
    connect(spin, &QAbstractSpinBox::editingFinished, this, [this, spin, heard] {
        const bool typed = std::exchange(heard->typed, false);
        if (typed && spin->text() != heard->reported) {
            heard->reported = spin->text();
            emit optionChanged();
        }
    });
}

bool TOptionTabs::ShowPatternNote(const QString& note) {
    if (note == ReplacePatternInfo->text() && note.isEmpty() == ReplacePatternInfo->isHidden()) {
        return false;
    }
    ReplacePatternInfo->setText(note);
    ReplacePatternInfo->setVisible(!note.isEmpty());
    // A wrapped label asks for the height of a width of its own choosing, which cuts off
    // the last lines of a long note in a narrow window: ask for every line at the width
    // the label gets, the width of the caption and the field above it.
    const int width = Replace->geometry().right() - ReplaceInfo->geometry().left() + 1;
    ReplacePatternInfo->setMinimumHeight(
        note.isEmpty() ? 0 : ReplacePatternInfo->heightForWidth(std::max(width, 1)));
    Replace->setAccessibleDescription(note);
    if (!note.isEmpty()) {
        QAccessibleEvent alert(ReplacePatternInfo, QAccessible::Alert);
        QAccessible::updateAccessibility(&alert);
    }
    return true; // the note came, went or changed: the window's minimum follows it
}

std::vector<std::pair<QPushButton*, QLineEdit*>> TOptionTabs::TagButtons() const {
    return {
        {InsertFrontTags, InsertFront}, {InsertPosTags, InsertPos}, {InsertBackTags, InsertBack}};
}

void TOptionTabs::SetTagTexts(const TextLookup& text) {
    const QString caption = QString::fromStdString(text("INSERTTAGS_BUTTON"));
    const QString tip = QString::fromStdString(text("INSERTTAGS_HINT"));
    const std::string name = text("INSERTTAGS_BUTTONNAME");
    for (const auto& [button, field] : TagButtons()) {
        // No accelerator: three buttons of one caption would share its letter.
        button->setText(QString(caption).replace(QLatin1Char('&'), QLatin1String("&&")));
        button->setToolTip(tip);
        button->setAccessibleDescription(tip);
        button->setAccessibleName(QString::fromStdString(
            FillPlaceholders(name, {field->accessibleName().toStdString()})));
        static_cast<TTagMenu*>(button->menu())->SetTexts(text);
    }
}

void TOptionTabs::InsertTag(QLineEdit* field, const QString& tag) {
    QCheckBox* fieldSwitch = nullptr;
    for (const auto& [box, switched] : SwitchedFields()) {
        if (switched == field) {
            fieldSwitch = box;
        }
    }
    {
        const QSignalBlocker blockSwitch(fieldSwitch);
        const QSignalBlocker blockTags(InsertTags);
        const QSignalBlocker blockField(field);
        if (fieldSwitch != nullptr) {
            fieldSwitch->setChecked(true);
        }
        InsertTags->setChecked(true);
        field->insert(tag);
    }
    field->setFocus(Qt::OtherFocusReason);
    emit optionChanged();
}

std::vector<std::pair<QCheckBox*, QWidget*>> TOptionTabs::SwitchedFields() const {
    return {{ChangeExtInfo, ChangeExt}, {RemoveFrontInfo, RemoveFront},
            {RemovePosInfo, RemovePos}, {RemoveBackInfo, RemoveBack},
            {ReplaceInfo, Replace},     {InsertFrontInfo, InsertFront},
            {InsertPosInfo, InsertPos}, {InsertBackInfo, InsertBack},
            {IncValueInfo, IncValue},   {MoveInfo, Move}};
}

void TOptionTabs::NameSwitchedFields() {
    const auto plain = [](QString caption) {
        caption.remove(QLatin1Char('&'));
        if (caption.endsWith(QLatin1Char(':'))) {
            caption.chop(1);
        }
        return caption;
    };
    // A language that lacks a caption leaves the field its former name: a screen reader
    // is better served by an older name than by none.
    const auto name = [&plain](QWidget* field, const QString& caption) {
        if (const QString spoken = plain(caption); !spoken.isEmpty()) {
            field->setAccessibleName(spoken);
        }
    };
    for (const auto& [box, field] : SwitchedFields()) {
        name(field, box->text());
    }
    name(IncLength, IncLengthInfo->text());
    // The box is named by what it shows, and labelled by its radio button; its text field,
    // which the cursor is in, is named as a field.
    name(IncFormat->lineEdit(), IncFormatInfo->text());
}

} // namespace qm
