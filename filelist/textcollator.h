#pragma once

// Comparison of texts "as text": by the collation of the user's locale (or a named one),
// without regard to letter case unless asked. UTF-8 in; bytes that are not valid UTF-8
// compare as replacement characters, so such names still have a fixed place.
//
// Numbers by value: a run of decimal digits (of any script; adjacent digits of different
// scripts make one run) compares by its value, so "a2" < "a10". Runs that differ only in
// leading zeros compare equal by value; among those the shorter run goes first ("a2" <
// "a02"), comparing the runs' lengths left to right. A run of more than 254 digits is
// taken by value in pieces of 254 digits, so such runs order by their first 254 digits
// first (a name of at most 255 bytes holds such a run only when it is all digits).
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
    enum class Numbers { AsText, ByValue };

    // `locale` is an ICU locale id such as "de_DE"; empty for the user's locale. A locale
    // ICU does not know falls back to the root collation.
    explicit TTextCollator(LetterCase letterCase = LetterCase::Ignore,
                           const std::string& locale = std::string(),
                           Numbers numbers = Numbers::AsText);
    ~TTextCollator();
    TTextCollator(const TTextCollator&) = delete;
    TTextCollator& operator=(const TTextCollator&) = delete;

    // Negative, zero or positive as `a` sorts before, with or after `b`.
    int Compare(std::string_view a, std::string_view b) const;

    // A byte string whose plain byte order (std::string's operator<) is the collation
    // order of the texts: compute it once per text when sorting many texts. It holds no
    // zero byte as text order; by value it holds one zero byte, and no key is the
    // beginning of another key followed by a zero byte.
    std::string SortKey(std::string_view text) const;

private:
    UCollator* collator_ = nullptr;
    bool byValue_ = false;
};

} // namespace qm
