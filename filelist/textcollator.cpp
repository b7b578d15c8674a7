#include "filelist/textcollator.h"

#include <unicode/ucol.h>
#include <unicode/uiter.h>
#include <unicode/ustring.h>
#include <vector>

namespace qm {

TTextCollator::TTextCollator(LetterCase letterCase, const std::string& locale) {
    UErrorCode status = U_ZERO_ERROR;
    collator_ = ucol_open(locale.empty() ? nullptr : locale.c_str(), &status);
    if (U_FAILURE(status)) {
        status = U_ZERO_ERROR;
        collator_ = ucol_open("", &status);
    }
    if (collator_ != nullptr && letterCase == LetterCase::Ignore) {
        // Secondary strength keeps accents apart but not letter case.
        ucol_setStrength(collator_, UCOL_SECONDARY);
    }
}

TTextCollator::~TTextCollator() {
    if (collator_ != nullptr)
        ucol_close(collator_);
}

int TTextCollator::Compare(std::string_view a, std::string_view b) const {
    if (collator_ == nullptr)
        return a.compare(b) < 0 ? -1 : a == b ? 0 : 1;
    UErrorCode status = U_ZERO_ERROR;
    const UCollationResult result =
        ucol_strcollUTF8(collator_, a.data(), static_cast<int32_t>(a.size()), b.data(),
                         static_cast<int32_t>(b.size()), &status);
    if (U_FAILURE(status))
        return a.compare(b) < 0 ? -1 : a == b ? 0 : 1;
    return result == UCOL_LESS ? -1 : result == UCOL_EQUAL ? 0 : 1;
}

std::string TTextCollator::SortKey(std::string_view text) const {
    if (collator_ == nullptr)
        return std::string(text);
    // ICU makes sort keys from UTF-16; invalid UTF-8 becomes U+FFFD as in Compare.
    std::vector<UChar> wide(text.size() + 1);
    int32_t wideLength = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8WithSub(wide.data(), static_cast<int32_t>(wide.size()), &wideLength, text.data(),
                         static_cast<int32_t>(text.size()), 0xFFFD, nullptr, &status);
    if (U_FAILURE(status))
        return std::string(text);
    std::string key(text.size() * 4 + 16, '\0');
    auto* out = reinterpret_cast<uint8_t*>(key.data());
    int32_t length =
        ucol_getSortKey(collator_, wide.data(), wideLength, out, static_cast<int32_t>(key.size()));
    if (length > static_cast<int32_t>(key.size())) {
        key.resize(static_cast<std::size_t>(length));
        out = reinterpret_cast<uint8_t*>(key.data());
        length = ucol_getSortKey(collator_, wide.data(), wideLength, out, length);
    }
    // The key ends in a zero byte that ordering does not need.
    key.resize(length > 0 ? static_cast<std::size_t>(length - 1) : 0);
    return key;
}

} // namespace qm
