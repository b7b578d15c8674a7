// Any bytes as a language file: the reader, both paths and the lookups must neither crash
// nor hang, and must hold no more memory than the input calls for.
//
// The first input byte picks the size of the pieces the rest is fed in, so line ends and
// tags that straddle two reads are covered as well.

#include "langlib/langsinks.h"
#include "langlib/langtext.h"
#include "langlib/lanreader.h"

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace {

void FeedInPieces(vocalith::TLanSink& sink, std::string_view bytes, std::size_t piece) {
    vocalith::TLanReader reader(sink);
    while (!bytes.empty()) {
        const std::string_view chunk = bytes.substr(0, piece);
        bytes.remove_prefix(chunk.size());
        if (!reader.Feed(chunk)) {
            break;
        }
    }
}

// The keyed text is the text with at most one "&" put in, never between the backslash and
// the letter of a "\n" line break.
bool KeyedTextIsSound(const vocalith::TLangText& text) {
    const std::string& plain = text.Text;
    const std::string& keyed = text.KeyedText;
    if (keyed == plain) {
        return true;
    }
    if (keyed.size() != plain.size() + 1) {
        return false;
    }
    std::size_t at = 0;
    while (at < plain.size() && keyed[at] == plain[at]) {
        ++at;
    }
    const bool insideBreak = at > 0 && at < plain.size() && plain[at - 1] == '\\' &&
                             (plain[at] == 'n' || plain[at] == 'N');
    return keyed[at] == '&' && keyed.compare(at + 1, std::string::npos, plain, at) == 0 &&
           !insideBreak;
}

std::vector<std::string> OpenTexts(std::initializer_list<std::string_view> files,
                                   std::size_t piece) {
    vocalith::TLangData language;
    language.Pack.PackageName = "P";
    language.Pack.LanguageName = "L";
    vocalith::TOpenSink open(language);
    for (std::string_view file : files) {
        FeedInPieces(open, file, piece);
    }
    std::vector<std::string> texts;
    for (const vocalith::TLangText& text : language.Texts) {
        texts.push_back(text.Name + '\0' + text.Text);
    }
    return texts;
}

std::vector<std::string> SearchResults(std::initializer_list<std::string_view> files,
                                       std::size_t piece) {
    std::vector<vocalith::TLangSearchPack> results;
    vocalith::TSearchSink search("p", results);
    for (std::string_view file : files) {
        FeedInPieces(search, file, piece);
    }
    std::vector<std::string> names;
    for (const vocalith::TLangSearchPack& result : results) {
        names.push_back(result.Name + '\0' + result.NativeName);
    }
    return names;
}

template <class T> std::vector<T> Joined(std::vector<T> a, const std::vector<T>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::size_t piece = 1 + data[0] % 64 * 64;
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);

    vocalith::TLangData language;
    language.Pack.PackageName = "P";
    language.Pack.LanguageName = "L";
    vocalith::TOpenSink open(language);
    FeedInPieces(open, bytes, piece);
    for (const vocalith::TLangText& text : language.Texts) {
        const vocalith::TLangText* byName = vocalith::FindTextByName(language, text.Name);
        const vocalith::TLangText* byID = vocalith::FindTextByID(language, text.ID);
        if (byName == nullptr || byID == nullptr) {
            __builtin_trap(); // a text read must be found again
        }
        if (!KeyedTextIsSound(text)) {
            __builtin_trap();
        }
    }

    // The halves as two files of one folder, read through one sink, give what each half
    // gives through a sink of its own.
    const std::string_view first = bytes.substr(0, bytes.size() / 2);
    const std::string_view second = bytes.substr(bytes.size() / 2);
    if (OpenTexts({first, second}, piece) !=
            Joined(OpenTexts({first}, piece), OpenTexts({second}, piece)) ||
        SearchResults({first, second}, piece) !=
            Joined(SearchResults({first}, piece), SearchResults({second}, piece))) {
        __builtin_trap();
    }
    return 0;
}
