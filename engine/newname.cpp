#include "engine/newname.h"

#include "engine/namesteps.h"
#include "engine/replacepatterns.h"
#include "engine/utf8text.h"

#include <algorithm>
#include <limits>
#include <unicode/uchar.h>

namespace qm {
namespace steps {
namespace {

constexpr char32_t kSpace = U' ';
constexpr std::size_t kMaxBlocks = 26;

char32_t Upper(char32_t c) {
    return static_cast<char32_t>(u_toupper(static_cast<UChar32>(c)));
}
char32_t Lower(char32_t c) {
    return static_cast<char32_t>(u_tolower(static_cast<UChar32>(c)));
}

Text UpperText(TextView text) {
    Text out(text);
    for (char32_t& c : out)
        c = Upper(c);
    return out;
}

bool IsWordDelimiter(char32_t c) {
    switch (c) {
    case U' ':
    case U'(':
    case U')':
    case U'[':
    case U']':
    case U'{':
    case U'}':
        return true;
    default:
        return false;
    }
}

TextView StripBlanks(TextView text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && IsBlank(text[first]))
        ++first;
    while (last > first && IsBlank(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

// Characters from 1-based `pos`, at most `count` of them: a position below 1 starts
// at 1, one past the end or a negative count gives the empty text.
Text Sub(const Text& text, std::int64_t pos, std::int64_t count) {
    if (count < 0)
        return {};
    if (pos < 1)
        pos = 1;
    const auto len = static_cast<std::int64_t>(text.size());
    if (pos > len)
        return {};
    const std::int64_t take = std::min(count, len - pos + 1);
    return text.substr(static_cast<std::size_t>(pos - 1), static_cast<std::size_t>(take));
}

constexpr std::int64_t kRestOfText = std::numeric_limits<std::int64_t>::max() / 4;

// Cuts the working name back to the length limit.
void Cap(Text& text) {
    if (text.size() > kMaxWorkingLength)
        text.resize(kMaxWorkingLength);
}

} // namespace

void ReplaceAll(Text& text, TextView find, TextView replacement) {
    if (find.empty())
        return;
    std::size_t at = text.find(find);
    if (at == Text::npos)
        return;
    if (replacement.size() <= find.size()) {
        // The text can only shrink: compact it in place, reading ahead of writing.
        std::size_t write = at;
        std::size_t read = at;
        while (at != Text::npos) {
            std::copy(text.begin() + static_cast<std::ptrdiff_t>(read),
                      text.begin() + static_cast<std::ptrdiff_t>(at),
                      text.begin() + static_cast<std::ptrdiff_t>(write));
            write += at - read;
            std::copy(replacement.begin(), replacement.end(),
                      text.begin() + static_cast<std::ptrdiff_t>(write));
            write += replacement.size();
            read = at + find.size();
            at = text.find(find, read);
        }
        std::copy(text.begin() + static_cast<std::ptrdiff_t>(read), text.end(),
                  text.begin() + static_cast<std::ptrdiff_t>(write));
        text.resize(write + (text.size() - read));
        return;
    }
    Text out;
    out.reserve(text.size() + 2 * (replacement.size() - find.size()));
    std::size_t from = 0;
    for (; at != Text::npos; at = text.find(find, from)) {
        out.append(text, from, at - from);
        out.append(replacement);
        from = at + find.size();
        if (out.size() >= kMaxWorkingLength) { // the rest would be cut off anyway
            from = text.size();
            break;
        }
    }
    out.append(text, from);
    Cap(out);
    text = std::move(out);
}

void ConvertToSpace(Text& text, TextView token) {
    // Replacing the first occurrence until none is left equals one left-to-right pass,
    // because the inserted space cannot be part of a new occurrence.
    static constexpr char32_t kSpaceText[] = {kSpace};
    ReplaceAll(text, token, TextView(kSpaceText, 1));
}

int DigitCount(std::int64_t number) {
    std::uint64_t n =
        number < 0 ? 0 - static_cast<std::uint64_t>(number) : static_cast<std::uint64_t>(number);
    int digits = 1;
    while (n >= 10) {
        n /= 10;
        ++digits;
    }
    return digits;
}

namespace {

Text Magnitude(std::int64_t number) {
    std::uint64_t n =
        number < 0 ? 0 - static_cast<std::uint64_t>(number) : static_cast<std::uint64_t>(number);
    Text digits;
    do {
        digits += static_cast<char32_t>(U'0' + n % 10);
        n /= 10;
    } while (n != 0);
    std::reverse(digits.begin(), digits.end());
    return digits;
}

} // namespace

Text FormatFixedLength(std::int64_t number, std::int32_t minLength) {
    Text digits = Magnitude(number);
    Text out = number < 0 ? Text(1, U'-') : Text();
    if (minLength > 0 && static_cast<std::size_t>(minLength) > digits.size())
        out.append(std::min(static_cast<std::size_t>(minLength) - digits.size(), kMaxWorkingLength),
                   U'0');
    out += digits;
    return out;
}

Text FormatNumber(std::int64_t number, TextView format) {
    const Text d = Magnitude(number);
    // k counts the digits of d still to place (1-based index into d).
    std::int64_t k = d == U"0" ? 0 : static_cast<std::int64_t>(d.size());
    Text reversed; // built back to front, reversed at the end
    bool hash = false;
    for (auto it = format.rbegin(); it != format.rend() && (!hash || k >= 1); ++it) {
        const char32_t ch = *it;
        if (ch >= U'0' && ch <= U'9') {
            reversed += k >= 1 ? d[static_cast<std::size_t>(k - 1)] : U'0';
            --k;
        } else if (ch == U'#') {
            hash = true;
            if (k >= 1)
                reversed += d[static_cast<std::size_t>(k - 1)];
            --k;
        } else {
            reversed += ch;
        }
    }
    for (; k >= 1; --k)
        reversed += d[static_cast<std::size_t>(k - 1)];
    if (number < 0)
        reversed += U'-';
    std::reverse(reversed.begin(), reversed.end());
    return reversed;
}

std::vector<TextView> SplitBlocks(TextView text, TextView separator, bool strip) {
    std::vector<TextView> blocks;
    blocks.reserve(8);
    auto add = [&](TextView piece) {
        blocks.push_back(strip ? StripBlanks(piece) : piece);
    };
    if (!separator.empty()) {
        std::size_t from = 0;
        for (std::size_t at = text.find(separator); at != TextView::npos;
             at = text.find(separator, from)) {
            // The shuffle can only name 26 blocks; pieces after the 26th are dropped.
            if (strip && blocks.size() == kMaxBlocks)
                return blocks;
            add(text.substr(from, at - from));
            from = at + separator.size();
        }
        if (strip && blocks.size() == kMaxBlocks)
            return blocks;
        add(text.substr(from));
        return blocks;
    }
    add(text);
    return blocks;
}

int LetterIndex(char32_t c) {
    if (c >= U'a' && c <= U'z')
        return static_cast<int>(c - U'a') + 1;
    if (c >= U'A' && c <= U'Z')
        return static_cast<int>(c - U'A') + 1;
    return 0;
}

Text ShuffleBlocks(TextView text, TextView pattern, TextView separator) {
    const std::vector<TextView> blocks = SplitBlocks(text, separator, /*strip=*/true);
    Text out;
    out.reserve(text.size() + pattern.size());
    std::size_t pos = 0;
    for (std::size_t pct = pattern.find(U'%', pos); pct != TextView::npos;
         pct = pattern.find(U'%', pos)) {
        out.append(pattern.substr(pos, pct - pos));
        if (pct + 1 >= pattern.size()) { // a "%" at the very end is consumed alone
            pos = pattern.size();
            break;
        }
        const int index = LetterIndex(pattern[pct + 1]);
        if (index >= 1 && static_cast<std::size_t>(index) <= blocks.size())
            out += blocks[static_cast<std::size_t>(index - 1)];
        pos = pct + 2;
        if (out.size() >= kMaxWorkingLength) { // the rest would be cut off anyway
            pos = pattern.size();
            break;
        }
    }
    out.append(pattern.substr(pos));
    Cap(out);
    // An output that ends in "%" (a literal block text such as "100%") is kept as it is.
    if (out.empty())
        return Text(text);
    return out;
}

int LeadingSpaceCount(TextView text) {
    std::size_t n = 0;
    while (n < text.size() && IsBlank(text[n]))
        ++n;
    return static_cast<int>(n);
}

int TrailingSpaceCount(TextView text) {
    if (static_cast<std::size_t>(LeadingSpaceCount(text)) == text.size())
        return 0;
    std::size_t n = 0;
    while (n < text.size() && IsBlank(text[text.size() - 1 - n]))
        ++n;
    return static_cast<int>(n);
}

void AppendLetterCase(Text& out, TextView text, bool firstUp, bool restUp) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool up = i == 0 ? firstUp : restUp;
        out += up ? Upper(text[i]) : Lower(text[i]);
    }
}

Text ApplyLetterCase(TextView text, bool firstUp, bool restUp) {
    Text out;
    out.reserve(text.size());
    AppendLetterCase(out, text, firstUp, restUp);
    return out;
}

Formatter::Formatter(const RenameOptionSet& options)
    : options_(options), separator_(DecodeUtf8(options.AlterLogicFilenameSep)) {
    specialList_ = U";" + UpperText(DecodeUtf8(options.FormatSpecialWords));
    if (specialList_.back() != U';')
        specialList_ += U';';
}

bool Formatter::IsSpecialWord(TextView word) const {
    // Does ";" + upper-case word + ";" occur in the list? Checked in place: this runs for
    // every word of every name the list view paints.
    const std::size_t need = word.size() + 2;
    for (std::size_t at = 0; at != Text::npos && at + need <= specialList_.size();
         at = specialList_.find(U';', at + 1)) {
        if (specialList_[at + need - 1] != U';')
            continue;
        std::size_t i = 0;
        while (i < word.size() && Upper(word[i]) == specialList_[at + 1 + i])
            ++i;
        if (i == word.size())
            return true;
    }
    return false;
}

Text Formatter::FormatWord(TextView word) const {
    Text out;
    AppendWord(out, word);
    return out;
}

void Formatter::AppendWord(Text& out, TextView word) const {
    if (IsSpecialWord(word))
        AppendLetterCase(out, word, options_.FormatSpecialFirstLetterUp,
                         options_.FormatSpecialOtherLettersUp);
    else
        AppendLetterCase(out, word, options_.FormatFirstLetterUp, options_.FormatOtherLettersUp);
}

Text Formatter::FormatBlock(TextView block) const {
    Text out;
    out.reserve(block.size());
    AppendBlock(out, block);
    return out;
}

void Formatter::AppendBlock(Text& out, TextView block) const {
    if (!options_.FormatWordsSeparately) {
        AppendLetterCase(out, block, options_.FormatFirstLetterUp, options_.FormatOtherLettersUp);
        return;
    }
    std::size_t i = 0;
    while (i < block.size()) {
        if (IsWordDelimiter(block[i])) {
            out += block[i++];
            continue;
        }
        std::size_t end = i;
        while (end < block.size() && !IsWordDelimiter(block[end]))
            ++end;
        AppendWord(out, block.substr(i, end - i));
        i = end;
    }
}

Text Formatter::FormatFilename(TextView text) const {
    if (!options_.FormatLogicBlocksSeparately)
        return FormatBlock(text);
    const std::vector<TextView> blocks = SplitBlocks(text, separator_, /*strip=*/false);
    Text out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        if (i > 0)
            out += separator_;
        const TextView block = blocks[i];
        out.append(static_cast<std::size_t>(LeadingSpaceCount(block)), kSpace);
        AppendBlock(out, StripBlanks(block));
        out.append(static_cast<std::size_t>(TrailingSpaceCount(block)), kSpace);
    }
    return out;
}

} // namespace steps

namespace {

using steps::Text;

// The extension starts at the last "." that has no "/" after it.
std::size_t ExtensionStart(const Text& name) {
    const std::size_t dot = name.rfind(U'.');
    if (dot == Text::npos || name.find(U'/', dot) != Text::npos)
        return name.size();
    return dot;
}

void RemoveSteps(const RenameOptionSet& o, Text& base) {
    using steps::Sub;
    if (o.RemoveFront) {
        const std::int64_t m = o.RemoveFrontCount;
        if (m > 0 && m < static_cast<std::int64_t>(base.size()))
            base.erase(0, static_cast<std::size_t>(m));
    }
    if (o.RemoveAtPosition) {
        const std::int64_t m = o.RemoveAtPositionCount;
        const std::int64_t p = o.RemoveAtPositionIndex;
        // A count below 1 (typed, not yet clamped by its field) removes nothing; taken
        // literally it would repeat characters instead of removing any.
        if (m > 0 && m + p < static_cast<std::int64_t>(base.size()))
            base = Sub(base, 1, p) + Sub(base, p + m + 1, steps::kRestOfText);
    }
    if (o.RemoveBack) {
        const std::int64_t m = o.RemoveBackCount;
        if (m > 0 && m < static_cast<std::int64_t>(base.size()))
            base.resize(base.size() - static_cast<std::size_t>(m));
    }
    // Removing every space makes the two lighter space options moot; they are skipped
    // rather than run, since stripping the ends also takes tabs and other blanks.
    if (o.RemoveAllSpaces) {
        std::erase(base, steps::kSpace);
    } else {
        if (o.RemoveFrontAndBackSpaces)
            base = Text(steps::StripBlanks(base));
        if (o.RemoveDoubleSpaces) {
            auto end = std::unique(base.begin(), base.end(), [](char32_t a, char32_t b) {
                return a == steps::kSpace && b == steps::kSpace;
            });
            base.erase(end, base.end());
        }
    }
}

// An insert text as it goes into the name: with InsertTags its tags filled in from
// `tags`, the outcome told in `result`; else as typed.
Text InsertText(const RenameOptionSet& o, const std::string& text, const NameTags& tags,
                NewName& result) {
    if (!o.InsertTags)
        return DecodeUtf8(text);
    static const TagValues kNoValues;
    std::shared_ptr<const MonthNames> months;
    if (!tags.Months)
        months = InterfaceMonthNames();
    const TagExpansion expanded = ExpandTags(text, tags.Values ? *tags.Values : kNoValues,
                                             tags.Months ? *tags.Months : *months);
    if (expanded.Missing && !result.TagMissing)
        result.MissingTag = expanded.MissingTag;
    result.TagMissing |= expanded.Missing;
    result.TagUnknown |= expanded.Unknown;
    return DecodeUtf8(expanded.Text);
}

void InsertSteps(const RenameOptionSet& o, Text& base, std::int32_t number, const NameTags& tags,
                 NewName& result) {
    if (o.InsertFront)
        base.insert(0, InsertText(o, o.InsertFrontText, tags, result));
    if (o.InsertAtPosition) {
        const std::int64_t p = o.InsertAtPositionIndex;
        const std::size_t at =
            p <= 0 ? 0 : static_cast<std::size_t>(std::min<std::int64_t>(p, base.size()));
        base.insert(at, InsertText(o, o.InsertAtPositionText, tags, result));
    }
    if (o.InsertBack)
        base += InsertText(o, o.InsertBackText, tags, result);
    if (o.NumberIncEnabled) {
        if (o.NumberIncAddFrontSep)
            base += DecodeUtf8(o.AlterLogicFilenameSep);
        if (o.NumberFormatSelect == 0)
            base += steps::FormatFixedLength(number, o.NumberIncMinLength);
        else
            base += steps::FormatNumber(number, DecodeUtf8(o.NumberIncAdvFormat));
    }
    steps::Cap(base);
}

} // namespace

NewName ComputeNewNameChecked(const RenameOptionSet& o, std::string_view name,
                              std::int32_t number, const NameTags& tags) {
    const Text full = DecodeUtf8(name);
    const std::size_t extAt = ExtensionStart(full);
    Text base = full.substr(0, extAt);
    Text ext = full.substr(extAt);

    if (o.AddFileExtToFilename) {
        base += ext;
        ext.clear();
    }
    if (o.ChangeFileExt)
        ext = U"." + DecodeUtf8(o.ChangeFileExtTo);

    if (o.ReplaceGroup) {
        if (o.ConvertInternetSpaces)
            steps::ConvertToSpace(base, U"%20");
        if (o.ConvertUnderscoreSpaces)
            steps::ConvertToSpace(base, U"_");
        if (o.ConvertDotSpaces)
            steps::ConvertToSpace(base, U".");
    }
    if (o.RemoveGroup)
        RemoveSteps(o, base);
    if (o.ReplaceGroup && o.ReplaceEnabled &&
        (o.ReplaceRegularExpressions || o.ReplaceIgnoreCase)) {
        const PatternOutcome outcome = ReplaceByPatterns(o, base);
        if (outcome.Fault != NameFault::None)
            return {std::string(name), outcome.Fault, outcome.Pair, false, false, {}};
    } else if (o.ReplaceGroup && o.ReplaceEnabled) {
        const int count = std::clamp(o.ReplaceCount, 0, MaxReplacePairs);
        for (int i = 0; i < count; ++i) {
            const ReplacePair& pair = o.ReplacePairs[static_cast<std::size_t>(i)];
            steps::ReplaceAll(base, DecodeUtf8(pair.Replace), DecodeUtf8(pair.ReplaceWith));
        }
    }
    NewName result;
    if (o.InsertGroup)
        InsertSteps(o, base, number, tags, result);
    if (o.ShuffleGroup && o.AlterLogicFilename)
        base = steps::ShuffleBlocks(base, DecodeUtf8(o.AlterLogicFilenameString),
                                    DecodeUtf8(o.AlterLogicFilenameSep));
    if (o.FormatGroup && o.FormatTextEnabled)
        base = steps::Formatter(o).FormatFilename(base);

    result.Name = EncodeUtf8(base + ext);
    return result;
}

std::string ComputeNewName(const RenameOptionSet& o, std::string_view name, std::int32_t number,
                           const NameTags& tags) {
    return ComputeNewNameChecked(o, name, number, tags).Name;
}

unsigned TagSourcesNeeded(const RenameOptionSet& o) {
    if (!o.InsertGroup || !o.InsertTags)
        return 0;
    return (o.InsertFront ? TagSourcesOf(o.InsertFrontText) : 0) |
           (o.InsertAtPosition ? TagSourcesOf(o.InsertAtPositionText) : 0) |
           (o.InsertBack ? TagSourcesOf(o.InsertBackText) : 0);
}

std::string ComputeNextNewName(const RenameOptionSet& options, std::string_view name) {
    return ComputeNewName(options, name, options.NumberIncValue);
}

} // namespace qm
