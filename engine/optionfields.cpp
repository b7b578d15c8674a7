#include "engine/optionfields.h"

#include <array>

namespace qm {
namespace {

using O = RenameOptionSet;

constexpr OptionField Flag(std::string_view name, OptionFlag m) {
    return {name, m, 0};
}
constexpr OptionField Int(std::string_view name, OptionInt m, std::int32_t d) {
    return {name, m, d};
}
constexpr OptionField Text(std::string_view name, OptionText m) {
    return {name, m, 0};
}

const std::array kFields = {
    Flag("AddFileExtToFilename", &O::AddFileExtToFilename),
    Flag("ChangeFileExt", &O::ChangeFileExt),
    Text("ChangeFileExtTo", &O::ChangeFileExtTo),
    Flag("CreateFolders", &O::CreateFolders),
    Flag("NumberTakenNames", &O::NumberTakenNames),
    Flag("RenameCompanions", &O::RenameCompanions),
    Flag("RemoveGroup", &O::RemoveGroup),
    Flag("RemoveFront", &O::RemoveFront),
    Int("RemoveFrontCount", &O::RemoveFrontCount, 1),
    Flag("RemoveAtPosition", &O::RemoveAtPosition),
    Int("RemoveAtPositionCount", &O::RemoveAtPositionCount, 1),
    Int("RemoveAtPositionIndex", &O::RemoveAtPositionIndex, 1),
    Flag("RemoveBack", &O::RemoveBack),
    Int("RemoveBackCount", &O::RemoveBackCount, 1),
    Flag("RemoveFrontAndBackSpaces", &O::RemoveFrontAndBackSpaces),
    Flag("RemoveDoubleSpaces", &O::RemoveDoubleSpaces),
    Flag("RemoveAllSpaces", &O::RemoveAllSpaces),
    Flag("ReplaceGroup", &O::ReplaceGroup),
    Flag("ConvertInternetSpaces", &O::ConvertInternetSpaces),
    Flag("ConvertUnderscoreSpaces", &O::ConvertUnderscoreSpaces),
    Flag("ConvertDotSpaces", &O::ConvertDotSpaces),
    Flag("ReplaceEnabled", &O::ReplaceEnabled),
    Flag("ReplaceRegularExpressions", &O::ReplaceRegularExpressions),
    Flag("ReplaceIgnoreCase", &O::ReplaceIgnoreCase),
    Flag("InsertGroup", &O::InsertGroup),
    Flag("InsertFront", &O::InsertFront),
    Text("InsertFrontText", &O::InsertFrontText),
    Flag("InsertAtPosition", &O::InsertAtPosition),
    Text("InsertAtPositionText", &O::InsertAtPositionText),
    Int("InsertAtPositionIndex", &O::InsertAtPositionIndex, 1),
    Flag("InsertBack", &O::InsertBack),
    Text("InsertBackText", &O::InsertBackText),
    Flag("InsertTags", &O::InsertTags),
    Flag("NumberIncEnabled", &O::NumberIncEnabled),
    Int("NumberIncValue", &O::NumberIncValue, 0),
    Flag("NumberPerFolder", &O::NumberPerFolder),
    Flag("NumberIncAddFrontSep", &O::NumberIncAddFrontSep),
    Int("NumberFormatSelect", &O::NumberFormatSelect, 0),
    Int("NumberIncMinLength", &O::NumberIncMinLength, 0),
    Text("NumberIncAdvFormat", &O::NumberIncAdvFormat),
    Flag("ShuffleGroup", &O::ShuffleGroup),
    Flag("AlterLogicFilename", &O::AlterLogicFilename),
    Text("AlterLogicFilenameString", &O::AlterLogicFilenameString),
    Text("AlterLogicFilenameSep", &O::AlterLogicFilenameSep),
    Flag("FormatGroup", &O::FormatGroup),
    Flag("FormatTextEnabled", &O::FormatTextEnabled),
    Flag("FormatLogicBlocksSeparately", &O::FormatLogicBlocksSeparately),
    Flag("FormatWordsSeparately", &O::FormatWordsSeparately),
    Flag("FormatFirstLetterUp", &O::FormatFirstLetterUp),
    Flag("FormatOtherLettersUp", &O::FormatOtherLettersUp),
    Text("FormatSpecialWords", &O::FormatSpecialWords),
    Flag("FormatSpecialFirstLetterUp", &O::FormatSpecialFirstLetterUp),
    Flag("FormatSpecialOtherLettersUp", &O::FormatSpecialOtherLettersUp),
};

} // namespace

std::span<const OptionField> OptionFields() {
    return kFields;
}

} // namespace qm
