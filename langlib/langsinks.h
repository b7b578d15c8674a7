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

namespace vocalith {

// A serial no reader hands out: nothing worked out yet.
inline constexpr std::uint64_t NoSerial = ~std::uint64_t{0};

// Appends to data.Texts every text of data.Pack's package and language, and sets
// data.Pack.NativeName from the first matching LANGUAGE element that names itself.
class TOpenSink : public TLanSink {
public:
    explicit TOpenSink(TLangData& data);

    void LanguageFound(const TLanScope& scope, std::string_view native) override;
    void TextFound(const TLanScope& scope, std::string_view attributes) override;

private:
    bool Matches(const TLanScope& scope);

    TLangData& data_;
    std::u32string package_;
    std::u32string language_;
    std::uint64_t packageSerial_ = NoSerial;
    std::uint64_t languageSerial_ = NoSerial;
    bool packageMatch_ = false;
    bool languageMatch_ = false;
};

// Appends every (language, native name) of `package` to `results`, repeats and empty
// language names included; texts are ignored.
class TSearchSink : public TLanSink {
public:
    TSearchSink(std::string_view package, std::vector<TLangSearchPack>& results);

    void LanguageFound(const TLanScope& scope, std::string_view native) override;
    void TextFound(const TLanScope&, std::string_view) override {}

private:
    std::u32string package_;
    std::vector<TLangSearchPack>& results_;
    std::uint64_t packageSerial_ = NoSerial;
    bool packageMatch_ = false;
};

} // namespace vocalith
