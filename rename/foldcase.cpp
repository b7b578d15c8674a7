#include "rename/foldcase.h"

#include "engine/utf8text.h"

#include <unicode/uchar.h>

namespace qm {

std::u32string FoldCase(std::string_view name) {
    std::u32string text = DecodeUtf8(name);
    for (char32_t& c : text)
        c = static_cast<char32_t>(u_foldCase(static_cast<UChar32>(c), U_FOLD_CASE_DEFAULT));
    return text;
}

} // namespace qm
