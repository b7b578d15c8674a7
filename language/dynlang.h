#pragma once

// TDynLang: the program's door to the Vocalith language library, for one package in one
// folder. It remembers which language of the package is current, hands out its texts in
// three forms and lists the languages the folder offers for the package.
//
// Every string the library returns is copied at once; the client hands out its own
// std::string values. A client owns the library language it has open and closes it when
// destroyed; it is neither copyable nor movable.
//
// Thread: SelectLanguage and the two lists change or walk the library's tables and belong
// to the window thread. The three text reads only read, so another thread may use them
// while no SelectLanguage runs.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

class TDynLang {
public:
    // Create: remembers `location` (passed to the library unchanged; the program's folder,
    // ending in "/") and `packageName`, then selects "English".
    TDynLang(std::string location, std::string packageName);
    ~TDynLang();
    TDynLang(const TDynLang&) = delete;
    TDynLang& operator=(const TDynLang&) = delete;

    // Closes the current language and opens `languageName`. On success LanguageName()
    // becomes the library's name for it, also when no file provides the language (every
    // text is then empty). On failure (the library's table is full) LanguageName() keeps
    // its former value and Handle() is what the library gave back.
    void SelectLanguage(const std::string& languageName);

    // The language names, or the languages' own names, that the folder offers for the
    // package, in the library's order with repeats. Entry i of both lists is one language.
    std::vector<std::string> LanguageNames() const;
    std::vector<std::string> NativeLanguageNames() const;

    // The text of `name` with escapes decoded, line breaks included.
    std::string GetText(const std::string& name) const;
    // The first line of the text, decoded.
    std::string GetLine(const std::string& name) const;
    // The first line of the text with "&" before its accelerator letter, decoded.
    std::string GetKeyedLine(const std::string& name) const;

    // "\n" or "\N" becomes LF followed by CR; then every doubled backslash becomes one.
    static std::string DecodeEscapes(std::string_view text);
    // When the text holds a "\n" (lower case), it is cut before the first "\n" or "\N";
    // then decoded.
    static std::string FirstLine(std::string_view text);

    std::uint16_t Handle() const { return handle_; }
    const std::string& Location() const { return location_; }
    const std::string& PackageName() const { return packageName_; }
    const std::string& LanguageName() const { return languageName_; }

private:
    std::vector<std::string> ListLanguages(bool native) const;

    std::uint16_t handle_ = 0;
    std::string location_;
    std::string packageName_;
    std::string languageName_;
};

} // namespace qm
