#include "engine/utf8text.h"

namespace qm {
namespace {

constexpr char32_t kEscapeBase = 0xDC00; // byte b (0x80..0xFF) <-> U+DC00 + b

// Length of the valid UTF-8 sequence at s[i], or 0 when the byte there does not start
// one. Follows the well-formed byte table of the Unicode standard.
std::size_t SequenceLength(std::string_view s, std::size_t i, char32_t& cp) {
    auto byte = [&](std::size_t k) {
        return static_cast<unsigned char>(s[k]);
    };
    const unsigned char b0 = byte(i);
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    std::size_t len = 0;
    unsigned char lo = 0x80, hi = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2;
        cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3;
        cp = b0 & 0x0F;
        if (b0 == 0xE0)
            lo = 0xA0;
        else if (b0 == 0xED)
            hi = 0x9F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4;
        cp = b0 & 0x07;
        if (b0 == 0xF0)
            lo = 0x90;
        else if (b0 == 0xF4)
            hi = 0x8F;
    } else {
        return 0;
    }
    if (i + len > s.size())
        return 0;
    for (std::size_t k = 1; k < len; ++k) {
        const unsigned char b = byte(i + k);
        if (b < (k == 1 ? lo : 0x80) || b > (k == 1 ? hi : 0xBF))
            return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    return len;
}

} // namespace

std::u32string DecodeUtf8(std::string_view bytes) {
    std::u32string out;
    out.resize(bytes.size());
    // Most names are ASCII: widen those bytes straight into place.
    std::size_t i = 0;
    while (i < bytes.size() && static_cast<unsigned char>(bytes[i]) < 0x80) {
        out[i] = static_cast<unsigned char>(bytes[i]);
        ++i;
    }
    if (i == bytes.size())
        return out;
    out.resize(i);
    while (i < bytes.size()) {
        char32_t cp = 0;
        const std::size_t len = SequenceLength(bytes, i, cp);
        if (len == 0) {
            out += kEscapeBase + static_cast<unsigned char>(bytes[i]);
            ++i;
        } else {
            out += cp;
            i += len;
        }
    }
    return out;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp >= kEscapeBase + 0x80 && cp <= kEscapeBase + 0xFF) {
        out += static_cast<char>(cp - kEscapeBase);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
        out += "\xEF\xBF\xBD"; // a surrogate DecodeUtf8 never makes; keep the output valid
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp <= 0x10FFFF) {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += "\xEF\xBF\xBD"; // beyond Unicode; never made by DecodeUtf8
    }
}

std::string EncodeUtf8(std::u32string_view text) {
    std::string out;
    out.resize(text.size());
    std::size_t i = 0;
    while (i < text.size() && text[i] < 0x80) {
        out[i] = static_cast<char>(text[i]);
        ++i;
    }
    if (i == text.size())
        return out;
    out.resize(i);
    for (; i < text.size(); ++i)
        AppendUtf8(out, text[i]);
    return out;
}

bool IsValidUtf8(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        char32_t cp = 0;
        const std::size_t len = SequenceLength(bytes, i, cp);
        if (len == 0)
            return false;
        i += len;
    }
    return true;
}

} // namespace qm
