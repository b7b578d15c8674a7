#pragma once

// The two uses of a language file's contents: the open path, which takes the texts of one
// package and language, and the enumeration path, which lists the languages of one
// package. Package and language names compare without regard to letter case.
//
// A sink writes into the data it was given, which must outlive it. Not thread-safe.

#include "langlib/langdata.h"
#include "langlib/lanreader.h"

#include <string>
#include <vector>

namespace qm {

// Appends to data.Texts every text of data.Pack's package and language, and sets
// data.Pack.NativeName from the first matching LANGUAGE element that names itself.
class TOpenSink : public TLanSink {
public:
    explicit TOpenSink(TLangData& data);

    void LanguageFound(std::string_view package, std::string_view language,
                       std::string_view native) override;
    void TextFound(std::string_view package, std::string_view language,
                   std::string_view attributes) override;

private:
    bool Matches(std::string_view package, std::string_view language);

    TLangData& data_;
    std::u32string package_;
    std::u32string language_;
    bool known_ = false;
    std::string lastPackage_;
    std::string lastLanguage_;
    bool lastMatch_ = false;
};

// Appends every (language, native name) of `package` to `results`, repeats and empty
// language names included; texts are ignored.
class TSearchSink : public TLanSink {
public:
    TSearchSink(std::string_view package, std::vector<TLangSearchPack>& results);

    void LanguageFound(std::string_view package, std::string_view language,
                       std::string_view native) override;
    void TextFound(std::string_view, std::string_view, std::string_view) override {}

private:
    std::u32string package_;
    std::vector<TLangSearchPack>& results_;
};

} // namespace qm
