#include "filelist/textcollator.h"

#include <unicode/uchar.h>
#include <unicode/ucol.h>
#include <unicode/uiter.h>
#include <unicode/ustring.h>
#include <unicode/utf8.h>
#include <vector>

namespace qm {

namespace {

// The tie-break of numbers by value: the lengths of the text's digit runs, left to right,
// as bytes whose plain order is the order of the lengths. Each length is prefix-free
// (0xFF stands for 254 more digits, a byte below it ends the length), so a shorter list
// of lengths goes before the longer one it begins, and the bytes are never zero.
// Collation equal by value means the runs have equal values, so this orders only their
// leading zeros.
std::string DigitRunLengths(std::string_view text) {
    std::string lengths;
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const auto size = static_cast<int32_t>(text.size());
    std::size_t run = 0;
    const auto endRun = [&] {
        for (; run >= 255; run -= 254)
            lengths += '\xFF';
        if (run > 0)
            lengths += static_cast<char>(run);
        run = 0;
    };
    for (int32_t i = 0; i < size;) {
        UChar32 c = bytes[i];
        if (c < 0x80)
            ++i;
        else
            U8_NEXT(bytes, i, size, c); // negative for bytes that are not UTF-8
        // The decimal digits are what the numeric collation reads as digits.
        if (c >= 0 && (c < 0x80 ? c >= '0' && c <= '9' : u_isdigit(c) != 0))
            ++run;
        else
            endRun();
    }
    endRun();
    return lengths;
}

} // namespace

TTextCollator::TTextCollator(LetterCase letterCase, const std::string& locale, Numbers numbers) {
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
    if (collator_ != nullptr && numbers == Numbers::ByValue) {
        ucol_setAttribute(collator_, UCOL_NUMERIC_COLLATION, UCOL_ON, &status);
        byValue_ = U_SUCCESS(status);
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
    if (result == UCOL_EQUAL && byValue_) {
        const int lengths = DigitRunLengths(a).compare(DigitRunLengths(b));
        return lengths < 0 ? -1 : lengths > 0 ? 1 : 0;
    }
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
    // The key ends in a zero byte that ordering does not need, but for the tie-break of
    // numbers by value: there it keeps a key that begins a longer one before it.
    key.resize(length > 0 ? static_cast<std::size_t>(length - 1) : 0);
    if (byValue_) {
        key += '\0';
        key += DigitRunLengths(text);
    }
    return key;
}

} // namespace qm
