#include "language/dynlang.h"

#include "langlib/vocalith.h"

#include <utility>

namespace qm {

TDynLang::TDynLang(std::string location, std::string packageName)
    : location_(std::move(location)), packageName_(std::move(packageName)) {
    SelectLanguage("English");
}

TDynLang::~TDynLang() {
    if (handle_ != 0) {
        CloseLanguage(handle_);
    }
}

void TDynLang::SelectLanguage(const std::string& languageName) {
    if (handle_ != 0) {
        CloseLanguage(handle_);
    }
    if (OpenLanguage(&handle_, location_.c_str(), packageName_.c_str(), languageName.c_str()) ==
        0) {
        languageName_ = GetLanguageName(handle_);
    }
}

std::vector<std::string> TDynLang::ListLanguages(bool native) const {
    std::vector<std::string> names;
    TLangSearchRec rec{};
    int32_t result = FindLangFirst(location_.c_str(), packageName_.c_str(), &rec);
    if (result == 2) {
        return names; // the library's search table is full: nothing was opened
    }
    while (result == 0) {
        names.emplace_back(native ? rec.NativeName : rec.Name);
        result = FindLangNext(&rec);
    }
    FindLangClose(&rec);
    return names;
}

std::vector<std::string> TDynLang::LanguageNames() const {
    return ListLanguages(false);
}

std::vector<std::string> TDynLang::NativeLanguageNames() const {
    return ListLanguages(true);
}

std::string TDynLang::GetText(const std::string& name) const {
    return DecodeEscapes(GetTextByName(&handle_, name.c_str()));
}

std::string TDynLang::GetLine(const std::string& name) const {
    return FirstLine(GetTextByName(&handle_, name.c_str()));
}

std::string TDynLang::GetKeyedLine(const std::string& name) const {
    return FirstLine(GetTextByNameWithKey(&handle_, name.c_str()));
}

std::string TDynLang::DecodeEscapes(std::string_view text) {
    std::string breaks;
    breaks.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == 'n' || text[i + 1] == 'N')) {
            breaks += "\n\r";
            ++i;
        } else {
            breaks.push_back(text[i]);
        }
    }
    std::string decoded;
    decoded.reserve(breaks.size());
    for (std::size_t i = 0; i < breaks.size(); ++i) {
        decoded.push_back(breaks[i]);
        if (breaks[i] == '\\' && i + 1 < breaks.size() && breaks[i + 1] == '\\') {
            ++i;
        }
    }
    return decoded;
}

std::string TDynLang::FirstLine(std::string_view text) {
    if (text.find("\\n") != std::string_view::npos) {
        for (std::size_t i = 0; i + 1 < text.size(); ++i) {
            if (text[i] == '\\' && (text[i + 1] == 'n' || text[i + 1] == 'N')) {
                text = text.substr(0, i);
                break;
            }
        }
    }
    return DecodeEscapes(text);
}

} // namespace qm
