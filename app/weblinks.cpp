#include "app/weblinks.h"

#include <algorithm>

namespace qm {

namespace {

bool IsDanish(const std::string& language) {
    static constexpr std::string_view danish = "danish";
    return language.size() == danish.size() &&
           std::equal(language.begin(), language.end(), danish.begin(), [](char a, char b) {
               return (a >= 'A' && a <= 'Z' ? static_cast<char>(a - 'A' + 'a') : a) == b;
           });
}

} // namespace

std::string MakerPageAddress(const std::string& language) {
    return IsDanish(language) ? "www.marlowick.dk" : "www.marlowick.com";
}

std::string ProductPageAddress(const std::string& language) {
    return IsDanish(language) ? "www.marlowick.dk/quillmark" : "www.marlowick.com/quillmark";
}

std::string PageUrl(const std::string& siteAddress) {
    return "http://" + siteAddress + "/";
}

} // namespace qm
