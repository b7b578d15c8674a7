#include "settings/optionschemas.h"

#include "engine/optionfields.h"
#include "engine/utf8text.h"
#include "settings/pairtext.h"

#include <algorithm>
#include <optional>
#include <span>
#include <unicode/uchar.h>
#include <utility>
#include <vector>

namespace qm {
namespace {

// The scheme text names two fields differently from the option set.
std::string_view SchemeKey(std::string_view fieldName) {
    if (fieldName == "ChangeFileExt")
        return "ChangeFileExtEnabled";
    if (fieldName == "ChangeFileExtTo")
        return "ChangeFileExtString";
    return fieldName;
}

std::string AsciiUpper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return out;
}

// Per-code-point simple case mapping, as the window's letter case; bytes that are not
// UTF-8 (decoded to lone surrogates) map to themselves.
std::string UpperText(std::u32string_view s) {
    std::u32string out(s);
    for (char32_t& c : out)
        c = static_cast<char32_t>(u_toupper(static_cast<UChar32>(c)));
    return EncodeUtf8(out);
}

std::string LowerText(std::string_view s) {
    std::u32string out = DecodeUtf8(s);
    for (char32_t& c : out)
        c = static_cast<char32_t>(u_tolower(static_cast<UChar32>(c)));
    return EncodeUtf8(out);
}

void AddLine(std::string& text, std::string_view key, std::string_view value) {
    if (!text.empty())
        text += '\r';
    text.append(key);
    text += '=';
    text.append(value);
}

// `exactReplace` holds the value of a "ReplaceFind" line right before this one; it is
// used by a "ReplaceText" line and forgotten at every other line.
void ApplyLine(const std::string& key, const std::string& value, RenameOptionSet& options,
               std::optional<std::string>& exactReplace) {
    if (key.starts_with("REPLACEFIND")) {
        exactReplace = value;
        return;
    }
    const std::optional<std::string> exact = std::exchange(exactReplace, std::nullopt);
    if (key.starts_with("REPLACETEXT")) {
        if (options.ReplaceCount < MaxReplacePairs) {
            options.ReplacePairs[static_cast<std::size_t>(options.ReplaceCount)] =
                SplitPairText(value, exact ? &*exact : nullptr, LonePairText::IsReplace);
            ++options.ReplaceCount;
        }
        return;
    }
    // The scheme keys in upper case, in field order, made once.
    static const std::vector<std::string> upperKeys = [] {
        std::vector<std::string> keys;
        for (const OptionField& field : OptionFields())
            keys.push_back(AsciiUpper(SchemeKey(field.name)));
        return keys;
    }();
    const std::span<const OptionField> fields = OptionFields();
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (upperKeys[i] != key)
            continue;
        const OptionField& field = fields[i];
        if (auto flag = std::get_if<OptionFlag>(&field.member))
            options.*(*flag) = LowerText(value) == "true";
        else if (auto integer = std::get_if<OptionInt>(&field.member))
            options.*(*integer) = ReadNumberText(value, field.intDefault);
        else
            options.*std::get<OptionText>(field.member) = value;
    }
}

} // namespace

std::string WriteSchemeText(const RenameOptionSet& options) {
    std::string text;
    AddLine(text, "Version", "1");
    for (const OptionField& field : OptionFields()) {
        if (auto flag = std::get_if<OptionFlag>(&field.member))
            AddLine(text, SchemeKey(field.name), options.*(*flag) ? "true" : "false");
        else if (auto integer = std::get_if<OptionInt>(&field.member))
            AddLine(text, SchemeKey(field.name), std::to_string(options.*(*integer)));
        else
            AddLine(text, SchemeKey(field.name), options.*std::get<OptionText>(field.member));

        if (field.name == "ReplaceEnabled") {
            const int count = std::clamp(options.ReplaceCount, 0, MaxReplacePairs);
            for (int i = 0; i < count; ++i) {
                const ReplacePair& pair = options.ReplacePairs[static_cast<std::size_t>(i)];
                if (NeedsExactReplace(pair))
                    AddLine(text, "ReplaceFind" + std::to_string(i + 1), pair.Replace);
                AddLine(text, "ReplaceText" + std::to_string(i + 1), JoinPairText(pair));
            }
        }
    }
    return text;
}

namespace {

SchemeRead ApplySchemeText(const std::string& text, RenameOptionSet& options) {
    options.ReplaceCount = 0;
    options.ReplacePairs.fill({});
    SchemeRead read;
    read.Result = SchemeRead::Verdict::NoVersion;
    int version = 0;
    // Positions and lengths count code points, as everywhere else in the option texts;
    // decoding is lossless, so values keep bytes that are not UTF-8.
    const std::u32string decoded = DecodeUtf8(text);
    std::u32string_view rest(decoded);
    // Once no "=" is left, none comes back: remembering that keeps a long text without
    // one (a wrong file) from being searched to its end for every line.
    bool equalsLeft = true;
    std::optional<std::string> exactReplace;
    while (!rest.empty()) {
        // The key runs to the first "=", even across line ends when a line lacks one;
        // with no "=" left at all it is empty.
        const std::size_t eq = equalsLeft ? rest.find(U'=') : std::u32string_view::npos;
        equalsLeft = eq != std::u32string_view::npos;
        const std::size_t keyLen = eq == std::u32string_view::npos ? 0 : eq;
        const std::string key = UpperText(rest.substr(0, keyLen));
        const std::size_t cr = rest.find(U'\r');
        std::u32string_view value;
        if (cr == std::u32string_view::npos) {
            if (keyLen + 1 < rest.size())
                value = rest.substr(keyLen + 1);
        } else if (cr > keyLen) {
            value = rest.substr(keyLen + 1, cr - keyLen - 1);
        }
        const std::string valueText = EncodeUtf8(value);
        if (key == "VERSION") {
            version = ReadNumberText(valueText, 0);
            if (version == 1) {
                read.Result = SchemeRead::Verdict::Applied;
            } else if (!read.Applied()) {
                read.Result = SchemeRead::Verdict::OtherVersion;
                read.Version = version;
            }
        }
        if (version == 1) {
            if (value.find(U'\0') != std::u32string_view::npos) {
                read.Result = SchemeRead::Verdict::NulInValue;
                read.Key = EncodeUtf8(rest.substr(0, keyLen));
                return read;
            }
            ApplyLine(key, valueText, options, exactReplace);
        }
        rest.remove_prefix(std::min(rest.size(), keyLen + value.size() + 2));
    }
    return read;
}

} // namespace

SchemeRead ReadSchemeText(const std::string& text, RenameOptionSet& options) {
    // Texts without a NUL byte, all that the window writes, are read in place; one with a
    // NUL is read into a copy, which is dropped when the text is refused.
    if (text.find('\0') == std::string::npos)
        return ApplySchemeText(text, options);
    RenameOptionSet read = options;
    const SchemeRead result = ApplySchemeText(text, read);
    if (result.Result != SchemeRead::Verdict::NulInValue)
        options = std::move(read);
    return result;
}

std::string NormalizeLineEnds(const std::string& text) {
    // Hand-edited files end their lines in LF or CR LF and often carry blank lines; the
    // scheme reader wants single CRs and no empty lines, so those are dropped.
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t end = text.find_first_of("\r\n", i);
        if (end == std::string::npos)
            end = text.size();
        if (end > i) {
            if (!out.empty())
                out += '\r';
            out.append(text, i, end - i);
        }
        i = end;
        if (i < text.size() && text[i] == '\r')
            ++i;
        if (i < text.size() && text[i] == '\n')
            ++i;
    }
    return out;
}

std::string TOptionSchemas::Names(int index) const {
    if (index < 0 || index >= Count())
        return {};
    return entries_[static_cast<std::size_t>(index)]->Name;
}

SchemeEntry& TOptionSchemas::Items(int index) {
    return *entries_.at(static_cast<std::size_t>(index));
}

const SchemeEntry& TOptionSchemas::Items(int index) const {
    return *entries_.at(static_cast<std::size_t>(index));
}

int TOptionSchemas::Add(SchemeEntry entry) {
    entries_.push_back(std::make_unique<SchemeEntry>(std::move(entry)));
    return Count() - 1;
}

int TOptionSchemas::IndexOf(const std::string& name) const {
    for (std::size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i]->Name == name)
            return static_cast<int>(i);
    return -1;
}

void TOptionSchemas::SaveOptions(const std::string& name, const RenameOptionSet& options) {
    // The store keeps each scheme as a value named after it, and the empty value name
    // is no scheme there: a scheme without a name is never made.
    if (name.empty())
        return;
    int index = IndexOf(name);
    if (index < 0)
        index = Add({name, {}});
    Items(index).Text = WriteSchemeText(options);
}

bool TOptionSchemas::LoadOptions(const std::string& name, RenameOptionSet& options) const {
    const int index = IndexOf(name);
    return index >= 0 && ReadSchemeText(Items(index).Text, options).Applied();
}

void TOptionSchemas::Delete(const std::string& name) {
    const int index = IndexOf(name);
    if (index >= 0)
        entries_.erase(entries_.begin() + index);
}

} // namespace qm
