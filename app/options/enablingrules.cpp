#include "app/options/enablingrules.h"

#include "app/options/optiontabs.h"
#include "app/options/replacelist.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <initializer_list>

namespace qm {

namespace {

void Enable(std::initializer_list<QWidget*> widgets, bool on) {
    for (QWidget* widget : widgets) {
        widget->setEnabled(on);
    }
}

} // namespace

void ApplyEnablingRules(TOptionTabs& t) {
    // Each state is kept in a local as well as set, so later rules read exactly what
    // earlier rules decided, whatever the enabled state of the tab pages around them.
    t.ChangeExt->setEnabled(t.ChangeExtInfo->isChecked());

    const bool trim = t.TrimGroup->isChecked();
    Enable({t.RemoveFrontInfo, t.RemovePosInfo, t.RemoveBackInfo, t.RemoveAllSpaces}, trim);
    t.RemoveFront->setEnabled(trim && t.RemoveFrontInfo->isChecked());
    const bool removePos = trim && t.RemovePosInfo->isChecked();
    Enable({t.RemovePos, t.RemoveAtPosInfo, t.RemoveAtPos}, removePos);
    t.RemoveBack->setEnabled(trim && t.RemoveBackInfo->isChecked());
    const bool trimSpaces = trim && !t.RemoveAllSpaces->isChecked();
    Enable({t.TrimSpaces, t.RemoveDoubleSpace}, trimSpaces);

    const bool replaceGroup = t.ReplaceGroup->isChecked();
    Enable({t.InternetSpace, t.UnderscoreSpace, t.DotSpace, t.ReplaceInfo}, replaceGroup);
    const bool replace = replaceGroup && t.ReplaceInfo->isChecked();
    Enable({t.Replace, t.ReplaceWithInfo, t.ReplaceWith, t.ReplaceRegExp, t.ReplaceIgnoreCase,
            t.ReplaceList},
           replace);
    t.ReplaceAddBtn->setEnabled(replace && !t.Replace->text().isEmpty() &&
                                t.ReplaceList->Count() < MaxReplacePairs);
    t.ReplaceRemoveBtn->setEnabled(replace && t.ReplaceList->SelectedIndex() >= 0);

    const bool insert = t.InsertGroup->isChecked();
    Enable({t.InsertFrontInfo, t.InsertPosInfo, t.InsertBackInfo, t.InsertTags, t.IncValueInfo},
           insert);
    const bool insertFront = insert && t.InsertFrontInfo->isChecked();
    Enable({t.InsertFront, t.InsertFrontTags}, insertFront);
    const bool insertPos = insert && t.InsertPosInfo->isChecked();
    Enable({t.InsertPos, t.InsertPosTags, t.InsertAtPosInfo, t.InsertAtPos}, insertPos);
    const bool insertBack = insert && t.InsertBackInfo->isChecked();
    Enable({t.InsertBack, t.InsertBackTags}, insertBack);
    const bool number = insert && t.IncValueInfo->isChecked();
    Enable({t.IncValue, t.NumberPerFolder, t.IncSepInfo, t.IncLengthInfo, t.IncFormatInfo}, number);
    t.IncLength->setEnabled(number && t.IncLengthInfo->isChecked());
    t.IncFormat->setEnabled(number && t.IncFormatInfo->isChecked());

    const bool formatInfo = t.FormatGroup->isChecked();
    t.FormatInfo->setEnabled(formatInfo);
    const bool words = formatInfo && t.FormatInfo->isChecked();
    t.FormatWords->setEnabled(words);
    t.FormatLogicBlocks->setEnabled(words && !t.FormatWords->isChecked());
    Enable({t.FormatLettersInfo, t.FormatFirstLetterUp, t.FormatOtherLettersUp}, words);
    const bool special = words && t.FormatWords->isChecked();
    Enable({t.FormatSpecialLettersInfo, t.FormatSpecialFirstUp, t.FormatSpecialOtherUp,
            t.FormatSpecialWordsInfo, t.FormatSpecialWords},
           special);

    const bool shuffle = t.ShuffleGroup->isChecked();
    t.MoveInfo->setEnabled(shuffle);
    const bool move = shuffle && t.MoveInfo->isChecked();
    t.Move->setEnabled(move);
    // The separator also splits the name for block-wise letter case, so it stays
    // reachable whenever that is on, whatever the Format tab's other switches say.
    Enable({t.MoveSepInfo, t.MoveSep}, move || t.FormatLogicBlocks->isChecked());
}

} // namespace qm
