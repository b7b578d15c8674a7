#pragma once

// Scanning a folder of language files: for one language (the open path) or for the
// languages of one package (the enumeration path).
//
// Every ".lan" file of the folder (any letter case, hidden ones too) is read in the order of
// its file name compared byte by byte, so every machine sees the same order; where two
// files give a text of the same name, the file first in that order wins. Entries that are
// not regular files (folders, pipes, devices) are skipped, and a file that cannot be read
// ends only its own reading. Nothing is written. The functions keep no state of their own;
// they run on whichever thread opens or enumerates, which the library's callers serialise.

#include "langlib/langdata.h"

#include <string>
#include <string_view>
#include <vector>

namespace vocalith {

class TLanSink;

// `folder` with a "/" appended unless it already ends in one.
std::string NormaliseFolder(std::string_view folder);

// The paths of the language files in `folder` (which ends in "/"), in reading order.
std::vector<std::string> LanFilesIn(const std::string& folder);

// Feeds the file at `path` to a fresh reader over `sink`. Returns false when the file
// could not be opened, is not a regular file, or a read failed part way (what was read
// until then has reached the sink).
bool ReadLanFile(const std::string& path, TLanSink& sink);

// Fills data.Texts and data.Pack.NativeName from the files of data.Pack.Location for the
// package and language in data.Pack.
void LoadLanguage(TLangData& data);

// The (language, native name) pairs that the files of `folder` give for `package`, in
// reading order, repeats included.
std::vector<TLangSearchPack> FindLanguages(std::string_view folder, std::string_view package);

} // namespace vocalith
