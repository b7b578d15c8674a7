#pragma once

// Comparison of texts "as text": by the collation of the user's locale (or a named one),
// without regard to letter case unless asked. UTF-8 in; bytes that are not valid UTF-8
// compare as replacement characters, so such names still have a fixed place.
//
// Immutable after construction; Compare and SortKey may be called from several threads.

#include <memory>
#include <string>
#include <string_view>

struct UCollator;

namespace qm {

class TTextCollator {
public:
    enum class LetterCase { Ignore, Respect };

    // `locale` is an ICU locale id such as "de_DE"; empty for the user's locale. A locale
    // ICU does not know falls back to the root collation.
    explicit TTextCollator(LetterCase letterCase = LetterCase::Ignore,
                           const std::string& locale = std::string());
    ~TTextCollator();
    TTextCollator(const TTextCollator&) = delete;
    TTextCollator& operator=(const TTextCollator&) = delete;

    // Negative, zero or positive as `a` sorts before, with or after `b`.
    int Compare(std::string_view a, std::string_view b) const;

    // A byte string whose plain byte order (std::string's operator<) is the collation
    // order of the texts: compute it once per text when sorting many texts.
    std::string SortKey(std::string_view text) const;

private:
    UCollator* collator_ = nullptr;
};

} // namespace qm
