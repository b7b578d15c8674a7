#pragma once

// The maker's and the product's web pages: a Danish page for a Danish interface, the
// international page otherwise.

#include <string>

namespace qm {

// Site addresses without scheme, e.g. "www.marlowick.dk".
std::string MakerPageAddress(const std::string& language);
std::string ProductPageAddress(const std::string& language);

// "http://" + site + "/".
std::string PageUrl(const std::string& siteAddress);

} // namespace qm
