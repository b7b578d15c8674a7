#include "langlib/utf8text.h"

#include <unicode/uchar.h>

namespace vocalith {

namespace {

// Stand-in for a byte that does not belong to a valid sequence.
char32_t RawByte(unsigned char byte) {
    return 0xDC00 + byte;
}

bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

} // namespace

char32_t NextCodePoint(std::string_view text, std::size_t& pos) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    std::size_t length = 0;
    char32_t cp = 0;
    char32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        cp = lead & 0x1F;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        cp = lead & 0x0F;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        cp = lead & 0x07;
        minimum = 0x10000;
    }
    if (length == 0 || text.size() - pos < length) {
        ++pos;
        return RawByte(lead);
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(text[pos + i]);
        if (!IsContinuation(byte)) {
            ++pos;
            return RawByte(lead);
        }
        cp = (cp << 6) | (byte & 0x3F);
    }
    // Overlong forms, encoded surrogates and values past U+10FFFF are not valid UTF-8.
    if (cp < minimum || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) {
        ++pos;
        return RawByte(lead);
    }
    pos += length;
    return cp;
}

void AppendCodePoint(std::string& out, char32_t cp) {
    if (cp < 0x80 || (cp >= 0xDC80 && cp <= 0xDCFF)) {
        out.push_back(static_cast<char>(cp < 0x80 ? cp : cp - 0xDC00));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

std::u32string FoldCase(std::string_view text) {
    std::u32string folded;
    folded.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const auto byte = static_cast<unsigned char>(text[pos]);
        if (byte < 0x80) {
            // ASCII folds to lower case; names are nearly always ASCII, so ICU is skipped.
            folded.push_back(byte >= 'A' && byte <= 'Z' ? byte - 'A' + 'a' : byte);
            ++pos;
            continue;
        }
        const char32_t cp = NextCodePoint(text, pos);
        folded.push_back(
            static_cast<char32_t>(u_foldCase(static_cast<UChar32>(cp), U_FOLD_CASE_DEFAULT)));
    }
    return folded;
}

std::string AsciiUpper(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return upper;
}

} // namespace vocalith
