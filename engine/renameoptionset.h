#pragma once

// The rename option set: everything the user picks on the six option tabs.
//
// A plain value record; copying it copies its strings. Texts are UTF-8. The field
// names are also the value names of the settings store and (but for three keys)
// the keys of the scheme text.

#include <array>
#include <cstdint>
#include <string>

namespace qm {

// At most this many find/replace pairs fit the record.
inline constexpr int MaxReplacePairs = 99;

struct ReplacePair {
    std::string Replace;     // the text to find; the window never adds an empty one
    std::string ReplaceWith; // its replacement; may be empty

    bool operator==(const ReplacePair&) const = default;
};

struct RenameOptionSet {
    // General tab
    bool AddFileExtToFilename = false;
    bool ChangeFileExt = false;
    std::string ChangeFileExtTo;
    // Organizing (engine/organize.h): a "/" in a new name names a sub-folder of the
    // file's folder; these make the missing ones, number a new name that is taken
    // ("name (2).ext") instead of failing the file, and rename files that share a name
    // (IMG_1.CR2, IMG_1.JPG, IMG_1.CR2.xmp) together.
    bool CreateFolders = false;
    bool NumberTakenNames = false;
    bool RenameCompanions = false;

    // Remove tab
    bool RemoveGroup = false;
    bool RemoveFront = false;
    std::int32_t RemoveFrontCount = 1;
    bool RemoveAtPosition = false;
    std::int32_t RemoveAtPositionCount = 1;
    std::int32_t RemoveAtPositionIndex = 1;
    bool RemoveBack = false;
    std::int32_t RemoveBackCount = 1;
    bool RemoveFrontAndBackSpaces = false;
    bool RemoveDoubleSpaces = false;
    bool RemoveAllSpaces = false;

    // Replace tab
    bool ReplaceGroup = false;
    bool ConvertInternetSpaces = false;
    bool ConvertUnderscoreSpaces = false;
    bool ConvertDotSpaces = false;
    bool ReplaceEnabled = false;
    // The find texts are regular expressions (replacements may name their groups).
    bool ReplaceRegularExpressions = false;
    // Find texts match whatever the letter case, plain texts and expressions alike.
    bool ReplaceIgnoreCase = false;
    // Entries 0..ReplaceCount-1 of ReplacePairs are valid. Code that lowers the
    // count also clears the entries behind it, so equal option sets compare equal.
    std::int32_t ReplaceCount = 0;
    std::array<ReplacePair, MaxReplacePairs> ReplacePairs{};

    // Insert tab
    bool InsertGroup = false;
    bool InsertFront = false;
    std::string InsertFrontText;
    bool InsertAtPosition = false;
    std::string InsertAtPositionText;
    std::int32_t InsertAtPositionIndex = 1;
    bool InsertBack = false;
    std::string InsertBackText;
    // The three insert texts may hold tags ("<taken:yyyy-MM-dd>", tagtext.h) filled in
    // from each file's own data; off, they are literal.
    bool InsertTags = false;
    bool NumberIncEnabled = false;
    std::int32_t NumberIncValue = 0;
    // Each folder's entries count from NumberIncValue on their own (the folder as the
    // entry lists it); the stored value then stays as it is after a run.
    bool NumberPerFolder = false;
    bool NumberIncAddFrontSep = false;
    std::int32_t NumberFormatSelect = 0; // 0 fixed length, 1 advanced format
    std::int32_t NumberIncMinLength = 0;
    std::string NumberIncAdvFormat;

    // Shuffle tab
    bool ShuffleGroup = false;
    bool AlterLogicFilename = false;
    std::string AlterLogicFilenameString = "%a";
    std::string AlterLogicFilenameSep = " - ";

    // Format tab
    bool FormatGroup = false;
    bool FormatTextEnabled = false;
    bool FormatLogicBlocksSeparately = false;
    bool FormatWordsSeparately = false;
    bool FormatFirstLetterUp = false;
    bool FormatOtherLettersUp = false;
    std::string FormatSpecialWords;
    bool FormatSpecialFirstLetterUp = false;
    bool FormatSpecialOtherLettersUp = false;

    bool operator==(const RenameOptionSet&) const = default;
};

// True when the option set can change any name. AddFileExtToFilename alone does not count.
bool HasActiveOptions(const RenameOptionSet& options);

// Reads a number field as the integer its text holds, unclamped; a text that is not
// an integer (or does not fit 32 bits) counts as `minimum`.
std::int32_t ReadNumberText(const std::string& text, std::int32_t minimum);

// Order of the replace pairs: the user's locale collation, case-sensitive (by code point
// in the "C" and "POSIX" locales). Returns <0, 0 or >0. Safe to call from any thread.
int CompareReplaceText(const std::string& a, const std::string& b);

// Sorts the valid pairs ascending by their Replace text (stable: equal texts keep their
// order), each Replace staying with its own ReplaceWith, as the window's list holds them.
void SortReplacePairs(RenameOptionSet& options);

} // namespace qm
