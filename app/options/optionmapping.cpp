#include "app/options/optionmapping.h"

#include "app/options/optiontabs.h"
#include "app/options/replacelist.h"
#include "app/widgets/qttext.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <algorithm>
#include <vector>

namespace qm {

namespace {

std::int32_t Number(const QSpinBox* spin) {
    return ReadNumberText(S(spin->text().trimmed()), spin->minimum());
}

} // namespace

void ApplyOptionsToControls(TOptionTabs& t, const RenameOptionSet& o) {
    // Only the controls that report option changes are silenced; the list's header and
    // viewport keep their own signals.
    std::vector<QSignalBlocker> blockers;
    const auto block = [&](const auto& widgets) {
        for (QObject* widget : widgets) {
            blockers.emplace_back(widget);
        }
    };
    block(t.findChildren<QAbstractButton*>());
    block(t.findChildren<QLineEdit*>());
    block(t.findChildren<QAbstractSpinBox*>());
    block(t.findChildren<QComboBox*>());
    block(QObjectList{t.ReplaceList, &t});

    t.AppendExt->setChecked(o.AddFileExtToFilename);
    t.ChangeExtInfo->setChecked(o.ChangeFileExt);
    t.ChangeExt->setText(Q(o.ChangeFileExtTo));
    t.CreateFolders->setChecked(o.CreateFolders);
    t.NumberTakenNames->setChecked(o.NumberTakenNames);
    t.RenameCompanions->setChecked(o.RenameCompanions);

    t.TrimGroup->setChecked(o.RemoveGroup);
    t.RemoveFrontInfo->setChecked(o.RemoveFront);
    t.RemoveFront->setValue(o.RemoveFrontCount);
    t.RemovePosInfo->setChecked(o.RemoveAtPosition);
    t.RemovePos->setValue(o.RemoveAtPositionCount);
    t.RemoveAtPos->setValue(o.RemoveAtPositionIndex);
    t.RemoveBackInfo->setChecked(o.RemoveBack);
    t.RemoveBack->setValue(o.RemoveBackCount);
    t.TrimSpaces->setChecked(o.RemoveFrontAndBackSpaces);
    t.RemoveDoubleSpace->setChecked(o.RemoveDoubleSpaces);
    t.RemoveAllSpaces->setChecked(o.RemoveAllSpaces);

    t.ReplaceGroup->setChecked(o.ReplaceGroup);
    t.InternetSpace->setChecked(o.ConvertInternetSpaces);
    t.UnderscoreSpace->setChecked(o.ConvertUnderscoreSpaces);
    t.DotSpace->setChecked(o.ConvertDotSpaces);
    t.ReplaceInfo->setChecked(o.ReplaceEnabled);
    t.ReplaceRegExp->setChecked(o.ReplaceRegularExpressions);
    t.ReplaceIgnoreCase->setChecked(o.ReplaceIgnoreCase);
    const int count = std::clamp(o.ReplaceCount, 0, MaxReplacePairs);
    t.ReplaceList->SetPairs(
        std::vector<ReplacePair>(o.ReplacePairs.begin(), o.ReplacePairs.begin() + count));

    t.InsertGroup->setChecked(o.InsertGroup);
    t.InsertFrontInfo->setChecked(o.InsertFront);
    t.InsertFront->setText(Q(o.InsertFrontText));
    t.InsertPosInfo->setChecked(o.InsertAtPosition);
    t.InsertPos->setText(Q(o.InsertAtPositionText));
    t.InsertAtPos->setValue(o.InsertAtPositionIndex);
    t.InsertBackInfo->setChecked(o.InsertBack);
    t.InsertBack->setText(Q(o.InsertBackText));
    t.InsertTags->setChecked(o.InsertTags);
    t.IncValueInfo->setChecked(o.NumberIncEnabled);
    t.IncValue->setValue(o.NumberIncValue);
    t.NumberPerFolder->setChecked(o.NumberPerFolder);
    t.IncSepInfo->setChecked(o.NumberIncAddFrontSep);
    (o.NumberFormatSelect != 0 ? t.IncFormatInfo : t.IncLengthInfo)->setChecked(true);
    t.IncLength->setValue(o.NumberIncMinLength);
    t.IncFormat->setCurrentText(Q(o.NumberIncAdvFormat));

    t.ShuffleGroup->setChecked(o.ShuffleGroup);
    t.MoveInfo->setChecked(o.AlterLogicFilename);
    t.Move->setText(Q(o.AlterLogicFilenameString));
    t.MoveSep->setText(Q(o.AlterLogicFilenameSep));

    t.FormatGroup->setChecked(o.FormatGroup);
    t.FormatInfo->setChecked(o.FormatTextEnabled);
    t.FormatLogicBlocks->setChecked(o.FormatLogicBlocksSeparately);
    t.FormatWords->setChecked(o.FormatWordsSeparately);
    t.FormatFirstLetterUp->setChecked(o.FormatFirstLetterUp);
    t.FormatOtherLettersUp->setChecked(o.FormatOtherLettersUp);
    t.FormatSpecialWords->setText(Q(o.FormatSpecialWords));
    t.FormatSpecialFirstUp->setChecked(o.FormatSpecialFirstLetterUp);
    t.FormatSpecialOtherUp->setChecked(o.FormatSpecialOtherLettersUp);
}

RenameOptionSet ReadOptionsFromControls(const TOptionTabs& t) {
    RenameOptionSet o;
    o.AddFileExtToFilename = t.AppendExt->isChecked();
    o.ChangeFileExt = t.ChangeExtInfo->isChecked();
    o.ChangeFileExtTo = S(t.ChangeExt->text());
    o.CreateFolders = t.CreateFolders->isChecked();
    o.NumberTakenNames = t.NumberTakenNames->isChecked();
    o.RenameCompanions = t.RenameCompanions->isChecked();

    o.RemoveGroup = t.TrimGroup->isChecked();
    o.RemoveFront = t.RemoveFrontInfo->isChecked();
    o.RemoveFrontCount = Number(t.RemoveFront);
    o.RemoveAtPosition = t.RemovePosInfo->isChecked();
    o.RemoveAtPositionCount = Number(t.RemovePos);
    o.RemoveAtPositionIndex = Number(t.RemoveAtPos);
    o.RemoveBack = t.RemoveBackInfo->isChecked();
    o.RemoveBackCount = Number(t.RemoveBack);
    o.RemoveFrontAndBackSpaces = t.TrimSpaces->isChecked();
    o.RemoveDoubleSpaces = t.RemoveDoubleSpace->isChecked();
    o.RemoveAllSpaces = t.RemoveAllSpaces->isChecked();

    o.ReplaceGroup = t.ReplaceGroup->isChecked();
    o.ConvertInternetSpaces = t.InternetSpace->isChecked();
    o.ConvertUnderscoreSpaces = t.UnderscoreSpace->isChecked();
    o.ConvertDotSpaces = t.DotSpace->isChecked();
    o.ReplaceEnabled = t.ReplaceInfo->isChecked();
    o.ReplaceRegularExpressions = t.ReplaceRegExp->isChecked();
    o.ReplaceIgnoreCase = t.ReplaceIgnoreCase->isChecked();
    const std::vector<ReplacePair> pairs = t.ReplaceList->Pairs();
    o.ReplaceCount =
        static_cast<std::int32_t>(std::min<std::size_t>(pairs.size(), MaxReplacePairs));
    std::copy_n(pairs.begin(), o.ReplaceCount, o.ReplacePairs.begin());

    o.InsertGroup = t.InsertGroup->isChecked();
    o.InsertFront = t.InsertFrontInfo->isChecked();
    o.InsertFrontText = S(t.InsertFront->text());
    o.InsertAtPosition = t.InsertPosInfo->isChecked();
    o.InsertAtPositionText = S(t.InsertPos->text());
    o.InsertAtPositionIndex = Number(t.InsertAtPos);
    o.InsertBack = t.InsertBackInfo->isChecked();
    o.InsertBackText = S(t.InsertBack->text());
    o.InsertTags = t.InsertTags->isChecked();
    o.NumberIncEnabled = t.IncValueInfo->isChecked();
    o.NumberIncValue = Number(t.IncValue);
    o.NumberPerFolder = t.NumberPerFolder->isChecked();
    o.NumberIncAddFrontSep = t.IncSepInfo->isChecked();
    o.NumberFormatSelect = t.IncFormatInfo->isChecked() ? 1 : 0;
    o.NumberIncMinLength = Number(t.IncLength);
    o.NumberIncAdvFormat = S(t.IncFormat->currentText());

    o.ShuffleGroup = t.ShuffleGroup->isChecked();
    o.AlterLogicFilename = t.MoveInfo->isChecked();
    o.AlterLogicFilenameString = S(t.Move->text());
    o.AlterLogicFilenameSep = S(t.MoveSep->text());

    o.FormatGroup = t.FormatGroup->isChecked();
    o.FormatTextEnabled = t.FormatInfo->isChecked();
    o.FormatLogicBlocksSeparately = t.FormatLogicBlocks->isChecked();
    o.FormatWordsSeparately = t.FormatWords->isChecked();
    o.FormatFirstLetterUp = t.FormatFirstLetterUp->isChecked();
    o.FormatOtherLettersUp = t.FormatOtherLettersUp->isChecked();
    o.FormatSpecialWords = S(t.FormatSpecialWords->text());
    o.FormatSpecialFirstLetterUp = t.FormatSpecialFirstUp->isChecked();
    o.FormatSpecialOtherLettersUp = t.FormatSpecialOtherUp->isChecked();
    return o;
}

} // namespace qm
