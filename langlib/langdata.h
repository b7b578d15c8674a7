#pragma once

// The entries of Vocalith's two tables: open languages and running enumerations.
//
// An entry is created whole (its texts or results are read once, when it is opened) and
// never changed afterwards, so pointers into its strings stay valid until the entry is
// destroyed. The tables hold entries by pointer so that growing a table moves no string.

#include <cstdint>
#include <string>
#include <vector>

namespace vocalith {

// One text of an open language.
struct TLangText {
    std::int32_t ID = 0;       // 0 when the file gives no number
    std::string Name;          // the text's name as written in the file
    std::u32string NameFolded; // Name case-folded, so a lookup folds only the name asked for
    std::string Key;           // the accelerator letter, upper-cased; empty when there is none
    std::string Text;          // the text as written in the file
    std::string KeyedText;     // Text with "&" before the accelerator letter
};

// What was asked for when a language was opened.
struct TLanguagePack {
    std::string Location;     // the folder exactly as passed
    std::string PackageName;  // as passed
    std::string LanguageName; // as passed
    std::string NativeName;   // from the language files
};

// One open language.
struct TLangData {
    TLanguagePack Pack;
    std::vector<TLangText> Texts; // in reading order
};

// One language found by an enumeration.
struct TLangSearchPack {
    std::string Name;
    std::string NativeName;
};

// One running enumeration.
struct TLangSearchData {
    std::string Location;    // the folder searched, ending in "/"
    std::string PackageName; // as passed
    std::size_t Index = 0;   // results already handed out
    std::vector<TLangSearchPack> Results;
};

} // namespace vocalith
