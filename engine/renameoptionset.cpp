#include "engine/renameoptionset.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <unicode/coll.h>
#include <unicode/locid.h>

namespace qm {

bool HasActiveOptions(const RenameOptionSet& o) {
    if (o.ChangeFileExt)
        return true;
    if (o.RemoveGroup && (o.RemoveFront || o.RemoveAtPosition || o.RemoveBack ||
                          o.RemoveAllSpaces || o.RemoveFrontAndBackSpaces || o.RemoveDoubleSpaces))
        return true;
    if (o.ReplaceGroup && (o.ConvertInternetSpaces || o.ConvertUnderscoreSpaces ||
                           o.ConvertDotSpaces || (o.ReplaceEnabled && o.ReplaceCount > 0)))
        return true;
    if (o.InsertGroup && ((o.InsertFront && !o.InsertFrontText.empty()) ||
                          (o.InsertAtPosition && !o.InsertAtPositionText.empty()) ||
                          (o.InsertBack && !o.InsertBackText.empty()) || o.NumberIncEnabled))
        return true;
    if (o.ShuffleGroup && o.AlterLogicFilename)
        return true;
    return o.FormatGroup && o.FormatTextEnabled;
}

std::int32_t ReadNumberText(const std::string& text, std::int32_t minimum) {
    // Integer syntax: optional sign, decimal digits, nothing else (no blanks).
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+') {
        ++first;
        if (first == last || *first < '0' || *first > '9')
            return minimum;
    }
    std::int32_t value = 0;
    auto [end, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || end != last)
        return minimum;
    return value;
}

namespace {

// The user's collation locale, found as the C library finds LC_COLLATE: LC_ALL, then
// LC_COLLATE, then LANG. ICU's own default follows the messages locale instead, which
// would sort in the wrong language for a user who set only LC_COLLATE. Nothing for "C"
// and "POSIX": they order by code point, and ICU's nearest locale, en_US_POSIX, does so
// for ASCII alone ("é" would go before "f").
std::optional<icu::Locale> CollationLocale() {
    for (const char* variable : {"LC_ALL", "LC_COLLATE", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value == nullptr || *value == '\0')
            continue;
        std::string name(value);
        name.erase(std::min(name.find_first_of(".@"), name.size())); // "sv_SE.UTF-8@x"
        if (name.empty() || name == "C" || name == "POSIX")
            return std::nullopt;
        return icu::Locale(name.c_str());
    }
    return icu::Locale::getDefault();
}

// One collator for the process, made on first use from the user's locale; none where the
// order is by code point. Comparing through a const collator is thread-safe in ICU.
const icu::Collator* ReplaceCollator() {
    static std::unique_ptr<icu::Collator> collator;
    static std::once_flag once;
    std::call_once(once, [] {
        const std::optional<icu::Locale> locale = CollationLocale();
        if (!locale)
            return;
        UErrorCode status = U_ZERO_ERROR;
        collator.reset(icu::Collator::createInstance(*locale, status));
        if (U_FAILURE(status))
            collator.reset();
        else
            collator->setStrength(icu::Collator::TERTIARY);
    });
    return collator.get();
}

} // namespace

int CompareReplaceText(const std::string& a, const std::string& b) {
    if (const icu::Collator* collator = ReplaceCollator()) {
        UErrorCode status = U_ZERO_ERROR;
        UCollationResult r = collator->compareUTF8(a, b, status);
        if (U_SUCCESS(status) && r != UCOL_EQUAL)
            return r == UCOL_LESS ? -1 : 1;
    }
    // UTF-8's byte order is the code points' order. Texts the collation calls equal still
    // differ when their bytes do; that keeps the order total and the same on every run.
    return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
}

void SortReplacePairs(RenameOptionSet& options) {
    int count = std::clamp(options.ReplaceCount, 0, MaxReplacePairs);
    std::stable_sort(options.ReplacePairs.begin(), options.ReplacePairs.begin() + count,
                     [](const ReplacePair& x, const ReplacePair& y) {
                         return CompareReplaceText(x.Replace, y.Replace) < 0;
                     });
}

} // namespace qm
