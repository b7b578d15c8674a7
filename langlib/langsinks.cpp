#include "langlib/langsinks.h"

#include "langlib/langtext.h"
#include "langlib/utf8text.h"

namespace qm {

TOpenSink::TOpenSink(TLangData& data)
    : data_(data), package_(FoldCase(data.Pack.PackageName)),
      language_(FoldCase(data.Pack.LanguageName)) {}

void TOpenSink::LanguageFound(std::string_view package, std::string_view language,
                              std::string_view native) {
    // Of several matching LANGUAGE elements, the first that names itself wins, as the first
    // file wins for texts.
    if (Matches(package, language) && data_.Pack.NativeName.empty()) {
        data_.Pack.NativeName = native;
    }
}

void TOpenSink::TextFound(std::string_view package, std::string_view language,
                          std::string_view attributes) {
    if (Matches(package, language)) {
        data_.Texts.push_back(MakeLangText(attributes));
    }
}

// Package and language change seldom while texts come by the hundred: the last answer is
// kept so that most texts cost two string compares instead of two foldings.
bool TOpenSink::Matches(std::string_view package, std::string_view language) {
    if (!known_ || package != lastPackage_ || language != lastLanguage_) {
        lastPackage_ = package;
        lastLanguage_ = language;
        lastMatch_ = FoldCase(package) == package_ && FoldCase(language) == language_;
        known_ = true;
    }
    return lastMatch_;
}

TSearchSink::TSearchSink(std::string_view package, std::vector<TLangSearchPack>& results)
    : package_(FoldCase(package)), results_(results) {}

void TSearchSink::LanguageFound(std::string_view package, std::string_view language,
                                std::string_view native) {
    if (FoldCase(package) == package_) {
        results_.push_back({std::string(language), std::string(native)});
    }
}

} // namespace qm
