#pragma once

// The six option tabs of the main window with every option control, named as the rest of
// the program and the tests reach them (objectName = member name). The controls are the
// live copy of the rename options; TOptionTabs only builds and lays them out and reports
// every change through optionChanged(). Reading and writing options, the enabling rules
// and the replace list's editing live in helpers of their own.

#include "app/options/renamesummary.h"

#include <QTabWidget>
#include <utility>
#include <vector>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace qm {

class TReplaceList;
class TTagMenu;

class TOptionTabs : public QTabWidget {
    Q_OBJECT
public:
    explicit TOptionTabs(QWidget* parent = nullptr);

    // A check box that switches a field, and the field: the field carries the check box's
    // caption as its accessible name, since a check box cannot be a label's buddy.
    std::vector<std::pair<QCheckBox*, QWidget*>> SwitchedFields() const;
    // Gives every switched field the caption of its check box as accessible name; to be
    // called again whenever the captions change.
    void NameSwitchedFields();
    // Shows `note` under the find field, or hides the line when it is empty. The find
    // field carries it as its description, and a new note is announced as an alert, so
    // that a screen reader says it where the user is typing. True when the line came, went
    // or changed: the page then needs another height.
    bool ShowPatternNote(const QString& note);

    // Each insert text field and the button beside it whose menu inserts a tag into it.
    std::vector<std::pair<QPushButton*, QLineEdit*>> TagButtons() const;
    // The tag buttons' caption, tip and menu texts in the interface language, each button
    // named for its field; to be called after NameSwitchedFields whenever the language
    // changes.
    void SetTagTexts(const TextLookup& text);
    // Puts `tag` into the insert text `field` at its cursor, over its selection, and gives
    // the field the focus. A tag is filled in only with InsertTags on, and only in a text
    // whose switch is on: both are turned on where they are off, since a tag left as
    // typed in a name would surprise. One option change is reported, after all of it.
    void InsertTag(QLineEdit* field, const QString& tag);

    // General
    QWidget* GeneralTab;
    QLabel* RenameSummaryInfo;
    QLabel* RenameSummary;
    QCheckBox* AppendExt;
    QCheckBox* ChangeExtInfo;
    QLineEdit* ChangeExt;
    QCheckBox* CreateFolders;
    QCheckBox* NumberTakenNames;
    QCheckBox* RenameCompanions;
    // Remove
    QWidget* TrimTab;
    QCheckBox* TrimGroup;
    QCheckBox* RemoveFrontInfo;
    QSpinBox* RemoveFront;
    QCheckBox* RemovePosInfo;
    QSpinBox* RemovePos;
    QLabel* RemoveAtPosInfo;
    QSpinBox* RemoveAtPos;
    QCheckBox* RemoveBackInfo;
    QSpinBox* RemoveBack;
    QCheckBox* TrimSpaces;
    QCheckBox* RemoveDoubleSpace;
    QCheckBox* RemoveAllSpaces;
    // Replace
    QWidget* ReplaceTab;
    QCheckBox* ReplaceGroup;
    QLabel* ConvertToSpaceInfo;
    QCheckBox* InternetSpace;
    QCheckBox* UnderscoreSpace;
    QCheckBox* DotSpace;
    QCheckBox* ReplaceInfo;
    QLineEdit* Replace;
    // Why the find text or a pair of the list cannot be used as a regular expression;
    // hidden while there is nothing to say.
    QLabel* ReplacePatternInfo;
    QLabel* ReplaceWithInfo;
    QLineEdit* ReplaceWith;
    QCheckBox* ReplaceRegExp;
    QCheckBox* ReplaceIgnoreCase;
    QPushButton* ReplaceAddBtn;
    QPushButton* ReplaceRemoveBtn;
    TReplaceList* ReplaceList;
    // Insert
    QWidget* InsertTab;
    QCheckBox* InsertGroup;
    QCheckBox* InsertFrontInfo;
    QLineEdit* InsertFront;
    QCheckBox* InsertPosInfo;
    QLineEdit* InsertPos;
    QLabel* InsertAtPosInfo;
    QSpinBox* InsertAtPos;
    QCheckBox* InsertBackInfo;
    QLineEdit* InsertBack;
    QPushButton* InsertFrontTags;
    QPushButton* InsertPosTags;
    QPushButton* InsertBackTags;
    QCheckBox* InsertTags;
    QCheckBox* IncValueInfo;
    QSpinBox* IncValue;
    QCheckBox* NumberPerFolder;
    QCheckBox* IncSepInfo;
    QRadioButton* IncLengthInfo;
    QSpinBox* IncLength;
    QRadioButton* IncFormatInfo;
    QComboBox* IncFormat;
    // Shuffle
    QWidget* ShuffleTab;
    QCheckBox* ShuffleGroup;
    QCheckBox* MoveInfo;
    QLineEdit* Move;
    QLabel* MoveSepInfo;
    QLineEdit* MoveSep;
    // Format
    QWidget* FormatTab;
    QCheckBox* FormatGroup;
    QCheckBox* FormatInfo;
    QCheckBox* FormatLogicBlocks;
    QCheckBox* FormatWords;
    QLabel* FormatLettersInfo;
    QCheckBox* FormatFirstLetterUp;
    QCheckBox* FormatOtherLettersUp;
    QLabel* FormatSpecialLettersInfo;
    QCheckBox* FormatSpecialFirstUp;
    QCheckBox* FormatSpecialOtherUp;
    QLabel* FormatSpecialWordsInfo;
    QLineEdit* FormatSpecialWords;

signals:
    // Any option control changed its value (text, check mark or radio choice); for a
    // number field, the text it shows, also an empty or out-of-range one its spin box has
    // not taken, and the text it puts back when the field is left. Once per change. The
    // entry fields Replace and ReplaceWith count too: typing in them changes what the
    // Add button may do.
    void optionChanged();

private:
    void BuildGeneral();
    void BuildRemove();
    void BuildReplace();
    void BuildInsert();
    void BuildShuffle();
    void BuildFormat();
    void ConnectChanges();
    // Reports every change of the text a number field shows, typed or set, once.
    void ConnectNumberField(QSpinBox* spin);
};

} // namespace qm
