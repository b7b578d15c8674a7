#include "settings/lettercase.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

namespace qm {

std::string UpperUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    const auto length = static_cast<std::int32_t>(text.size());
    std::int32_t i = 0;
    while (i < length) {
        const std::int32_t start = i;
        UChar32 c = 0;
        U8_NEXT(bytes, i, length, c);
        if (c < 0) {
            out.append(text.data() + start, static_cast<std::size_t>(i - start));
            continue;
        }
        c = u_toupper(c);
        std::uint8_t buffer[U8_MAX_LENGTH];
        std::int32_t n = 0;
        U8_APPEND_UNSAFE(buffer, n, c);
        out.append(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(n));
    }
    return out;
}

} // namespace qm
