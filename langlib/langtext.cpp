#include "langlib/langtext.h"

#include "langlib/attributereader.h"
#include "langlib/utf8text.h"

#include <charconv>

namespace vocalith {

std::int32_t ParseTextID(std::string_view digits) {
    if (!digits.empty() && digits.front() == '+') {
        digits.remove_prefix(1);
        if (!digits.empty() && digits.front() == '-') {
            return 0;
        }
    }
    std::int32_t value = 0;
    const char* end = digits.data() + digits.size();
    const auto [ptr, ec] = std::from_chars(digits.data(), end, value);
    if (ec != std::errc() || ptr != end || digits.empty()) {
        return 0;
    }
    return value;
}

namespace {

// Accelerator letters match by ASCII rules only: Unicode upper-casing would let a dotless
// "ı" stand for the key "i" or a long "ſ" for "s", letters the user cannot type as that key.
char32_t AsciiUpperCodePoint(char32_t cp) {
    return cp >= U'a' && cp <= U'z' ? cp - U'a' + U'A' : cp;
}

// Texts write a line break as a backslash followed by "n" or "N", which the program's client
// decodes (also after a doubled backslash, whose second half it takes for the break's). A
// mark inside that pair would leave a stray backslash on screen and lose the break.
bool IsLineBreakAt(std::string_view text, std::size_t pos) {
    return text[pos] == '\\' && pos + 1 < text.size() &&
           (text[pos + 1] == 'n' || text[pos + 1] == 'N');
}

} // namespace

std::string InsertAccelerator(std::string_view text, std::string_view key) {
    std::string keyed(text);
    if (key.empty()) {
        return keyed;
    }
    std::size_t keyPos = 0;
    const char32_t wanted = AsciiUpperCodePoint(NextCodePoint(key, keyPos));
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (IsLineBreakAt(text, pos)) {
            pos += 2;
            continue;
        }
        const std::size_t start = pos;
        if (AsciiUpperCodePoint(NextCodePoint(text, pos)) == wanted) {
            keyed.insert(start, 1, '&');
            break;
        }
    }
    return keyed;
}

TLangText MakeLangText(std::string_view attributes) {
    TAttributeReader reader(attributes);
    TLangText text;
    text.ID = ParseTextID(reader.Value("ID"));
    text.Name = reader.Value("NAME");
    text.NameFolded = FoldCase(text.Name);
    const std::string_view key = reader.Value("KEY");
    if (!key.empty()) {
        // The accelerator is one letter: the first code point, upper-cased by ASCII rules.
        // Bytes that are not UTF-8 stand for themselves and are copied back unchanged.
        std::size_t end = 0;
        AppendCodePoint(text.Key, AsciiUpperCodePoint(NextCodePoint(key, end)));
    }
    text.Text = reader.Value("TEXT");
    text.KeyedText = InsertAccelerator(text.Text, text.Key);
    return text;
}

const TLangText* FindTextByID(const TLangData& data, std::int32_t id) {
    for (const TLangText& text : data.Texts) {
        if (text.ID == id) {
            return &text;
        }
    }
    return nullptr;
}

const TLangText* FindTextByName(const TLangData& data, std::string_view name) {
    const std::u32string folded = FoldCase(name);
    for (const TLangText& text : data.Texts) {
        if (text.NameFolded == folded) {
            return &text;
        }
    }
    return nullptr;
}

} // namespace vocalith
