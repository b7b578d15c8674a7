#include "langlib/langsinks.h"

#include "langlib/langtext.h"
#include "langlib/utf8text.h"

namespace vocalith {

TOpenSink::TOpenSink(TLangData& data)
    : data_(data), package_(FoldCase(data.Pack.PackageName)),
      language_(FoldCase(data.Pack.LanguageName)) {}

void TOpenSink::LanguageFound(const TLanScope& scope, std::string_view native) {
    // Of several matching LANGUAGE elements, the first that names itself wins, as the first
    // file wins for texts.
    if (Matches(scope) && data_.Pack.NativeName.empty()) {
        data_.Pack.NativeName = native;
    }
}

void TOpenSink::TextFound(const TLanScope& scope, std::string_view attributes) {
    if (Matches(scope)) {
        data_.Texts.push_back(MakeLangText(attributes));
    }
}

// Each name is folded once per time the reader sets it, not once per text.
bool TOpenSink::Matches(const TLanScope& scope) {
    if (scope.packageSerial != packageSerial_) {
        packageSerial_ = scope.packageSerial;
        packageMatch_ = FoldCase(scope.package) == package_;
    }
    if (scope.languageSerial != languageSerial_) {
        languageSerial_ = scope.languageSerial;
        languageMatch_ = FoldCase(scope.language) == language_;
    }
    return packageMatch_ && languageMatch_;
}

TSearchSink::TSearchSink(std::string_view package, std::vector<TLangSearchPack>& results)
    : package_(FoldCase(package)), results_(results) {}

void TSearchSink::LanguageFound(const TLanScope& scope, std::string_view native) {
    if (scope.packageSerial != packageSerial_) {
        packageSerial_ = scope.packageSerial;
        packageMatch_ = FoldCase(scope.package) == package_;
    }
    if (packageMatch_) {
        results_.push_back({std::string(scope.language), std::string(native)});
    }
}

} // namespace vocalith
