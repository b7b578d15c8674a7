#include "app/weblinks.h"

#include "engine/asciitext.h"

namespace qm {

namespace {

bool IsDanish(const std::string& language) {
    return EqualIgnoringAsciiCase(language, "danish");
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
