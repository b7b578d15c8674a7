#pragma once

// The version information of a program file: the block the build embedded in it (see
// versionblock.h), read from the file on disk.
//
// The program makes one at start-up on its own executable and keeps it until it ends;
// the splash and About windows read it. LoadFromFile may be called again and replaces
// what was read. Not thread-safe; read-only use after loading may share it.

#include "filelist/versionblock.h"

#include <cstdint>
#include <optional>
#include <string>

namespace qm {

// `n` in decimal with `ch` put in front until it is `width` characters wide; longer
// numbers are kept whole.
std::string PadNumber(unsigned n, int width, char ch);

// The long version text of version major.minor.release.build: the major number, then the
// minor and the build in at least two digits each ("2.01.43" for 2.1.0.43). The
// registration stores this form and the journals record it; users see DottedVersion.
std::string LongVersionText(unsigned major, unsigned minor, unsigned build);

class TVersionInfo {
public:
    // The indexes of GetInfo.
    enum InfoIndex : int {
        InfoLanguageName = 0,
        InfoCompanyName = 1,
        InfoFileDescription = 2,
        InfoFileVersion = 3,
        InfoInternalName = 4,
        InfoLegalCopyright = 5,
        InfoLegalTrademarks = 6,
        InfoOriginalFilename = 7,
        InfoProductName = 8,
        InfoProductVersion = 9,
        InfoComments = 10,
        InfoShortVersion = 11, // "2.01" for 2.1.0.43; "1.5" for 1.50 (four characters ending in 0)
        InfoLongVersion = 12,  // "2.01.43" for 2.1.0.43: major, minor, build
    };

    // Reads the running program's own executable; FileName() is its path.
    TVersionInfo();

    // When `name` names an existing file (not a folder): records the name, drops what was
    // read before and reads the file's version block. A file without a readable block
    // leaves no version data, while Translation and LanguageName keep the values of an
    // earlier load. When nothing of that name exists, nothing changes.
    void LoadFromFile(const std::string& name);

    // Part 0 major, 1 minor, 2 release, 3 build of the file version; 0 for any other part
    // or without version data.
    std::uint16_t GetVersionNumber(int part) const;

    // The text at `index` (see InfoIndex); string values are cut to 254 characters.
    // Empty text for other indexes and for values the block does not hold.
    std::string GetInfo(int index) const;

    // The file version as its four numbers with dots between ("2.1.0.43"): the one
    // spelling the package, the version commands and the About window show. "0.0.0.0"
    // without version data.
    std::string DottedVersion() const;

    const std::string& FileName() const { return fileName_; }
    // The first translation as eight upper-case hex digits, language id first
    // ("040904E4"); "00000000" when the block lists none.
    const std::string& Translation() const { return translation_; }
    // The display name of the first translation's language, in the user's language;
    // worked out when asked for (ICU's locale data takes milliseconds to load, which a
    // run that only journals the version number should not wait for).
    std::string LanguageName() const;
    bool HasVersionData() const { return data_.has_value(); }

private:
    std::string StringValue(const char* key) const;

    std::string fileName_;
    std::optional<versionblock::Block> data_;
    std::uint32_t translationId_ = 0;
    std::string translation_;
};

} // namespace qm
