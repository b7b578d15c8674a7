// A random option set, name and tag values through the new-name computation. Beyond not
// crashing: a fault leaves the name as it was; a "/" or NUL in the new name must come from
// the name or from a text the options typed (a tag's value never gives one); and the new
// name is valid UTF-8 wherever the name and every option text were.

#include "engine/newname.h"
#include "engine/optionfields.h"
#include "engine/utf8text.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>
#include <set>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

// Texts the options may type: short, and often the tokens the engine reads.
std::string Text(FuzzedDataProvider& in) {
    return in.ConsumeRandomLengthString(24);
}

std::int32_t Count(FuzzedDataProvider& in) {
    return in.ConsumeBool() ? in.ConsumeIntegral<std::int32_t>()
                            : in.ConsumeIntegralInRange<std::int32_t>(-2, 40);
}

std::optional<std::string> TagText(FuzzedDataProvider& in) {
    if (!in.ConsumeBool())
        return std::nullopt;
    return Text(in);
}

using O = qm::RenameOptionSet;

// Reads option fields from the input and remembers which it has read, so that Rest can
// read every other field of the table: a new field is read without a line of its own,
// after everything the committed seeds were written for, which keeps their meaning.
class OptionReader {
public:
    OptionReader(FuzzedDataProvider& in, O& options) : in_(in), options_(options) {}

    void Flag(qm::OptionFlag m) { Read(m, in_.ConsumeBool()); }
    void Count(qm::OptionInt m) { Read(m, ::Count(in_)); }
    void Range(qm::OptionInt m, std::int32_t lo, std::int32_t hi) {
        Read(m, in_.ConsumeIntegralInRange(lo, hi));
    }
    void Text(qm::OptionText m) { Read(m, ::Text(in_)); }

    void Rest() {
        for (const qm::OptionField& field : qm::OptionFields()) {
            std::visit(
                [this](auto m) {
                    if (!read_.contains(&(options_.*m)))
                        ReadAny(m);
                },
                field.member);
        }
    }

private:
    template <class M, class V> void Read(M m, V value) {
        options_.*m = std::move(value);
        read_.insert(&(options_.*m));
    }
    void ReadAny(qm::OptionFlag m) { Flag(m); }
    void ReadAny(qm::OptionInt m) { Count(m); }
    void ReadAny(qm::OptionText m) { Text(m); }

    FuzzedDataProvider& in_;
    O& options_;
    std::set<const void*> read_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    O o;
    OptionReader r(in, o);
    r.Flag(&O::AddFileExtToFilename);
    r.Flag(&O::ChangeFileExt);
    r.Text(&O::ChangeFileExtTo);
    r.Flag(&O::RemoveGroup);
    r.Flag(&O::RemoveFront);
    r.Count(&O::RemoveFrontCount);
    r.Flag(&O::RemoveAtPosition);
    r.Count(&O::RemoveAtPositionCount);
    r.Count(&O::RemoveAtPositionIndex);
    r.Flag(&O::RemoveBack);
    r.Count(&O::RemoveBackCount);
    r.Flag(&O::RemoveFrontAndBackSpaces);
    r.Flag(&O::RemoveDoubleSpaces);
    r.Flag(&O::RemoveAllSpaces);
    r.Flag(&O::ReplaceGroup);
    r.Flag(&O::ConvertInternetSpaces);
    r.Flag(&O::ConvertUnderscoreSpaces);
    r.Flag(&O::ConvertDotSpaces);
    r.Flag(&O::ReplaceEnabled);
    r.Flag(&O::ReplaceRegularExpressions);
    r.Flag(&O::ReplaceIgnoreCase);
    o.ReplaceCount = in.ConsumeIntegralInRange<std::int32_t>(0, 3);
    for (int i = 0; i < o.ReplaceCount; ++i)
        o.ReplacePairs[static_cast<std::size_t>(i)] = {Text(in), Text(in)};
    r.Flag(&O::InsertGroup);
    r.Flag(&O::InsertFront);
    r.Text(&O::InsertFrontText);
    r.Flag(&O::InsertAtPosition);
    r.Text(&O::InsertAtPositionText);
    r.Count(&O::InsertAtPositionIndex);
    r.Flag(&O::InsertBack);
    r.Text(&O::InsertBackText);
    r.Flag(&O::InsertTags);
    r.Flag(&O::NumberIncEnabled);
    r.Count(&O::NumberIncValue);
    r.Flag(&O::NumberIncAddFrontSep);
    r.Range(&O::NumberFormatSelect, 0, 1);
    r.Count(&O::NumberIncMinLength);
    r.Text(&O::NumberIncAdvFormat);
    r.Flag(&O::ShuffleGroup);
    r.Flag(&O::AlterLogicFilename);
    r.Text(&O::AlterLogicFilenameString);
    r.Text(&O::AlterLogicFilenameSep);
    r.Flag(&O::FormatGroup);
    r.Flag(&O::FormatTextEnabled);
    r.Flag(&O::FormatLogicBlocksSeparately);
    r.Flag(&O::FormatWordsSeparately);
    r.Flag(&O::FormatFirstLetterUp);
    r.Flag(&O::FormatOtherLettersUp);
    r.Text(&O::FormatSpecialWords);
    r.Flag(&O::FormatSpecialFirstLetterUp);
    r.Flag(&O::FormatSpecialOtherLettersUp);

    qm::TagValues tags;
    tags.Make = TagText(in);
    tags.Title = TagText(in);
    tags.Folder = TagText(in);
    if (in.ConsumeBool())
        tags.Taken =
            qm::TagDate{in.ConsumeIntegralInRange(-1, 10000), in.ConsumeIntegralInRange(0, 13),
                        in.ConsumeIntegralInRange(0, 32),     in.ConsumeIntegralInRange(0, 24),
                        in.ConsumeIntegralInRange(0, 60),     in.ConsumeIntegralInRange(0, 61)};
    if (in.ConsumeBool())
        tags.Track = in.ConsumeIntegral<std::int32_t>();
    if (in.ConsumeBool())
        tags.Size = in.ConsumeIntegral<std::uint64_t>();
    const std::int32_t number = Count(in);
    r.Rest(); // the name takes what is left, so nothing can come after it
    const std::string name = in.ConsumeRemainingBytesAsString();

    const qm::NewName result =
        qm::ComputeNewNameChecked(o, name, number, qm::NameTags{&tags, nullptr});
    if (result.Fault != qm::NameFault::None) {
        Check(result.Name == name);
        Check(result.Pair >= 0 && result.Pair < o.ReplaceCount);
        return 0;
    }
    Check(result.Pair == -1);

    std::vector<const std::string*> typed = {&name};
    for (const qm::OptionField& field : qm::OptionFields())
        if (auto text = std::get_if<qm::OptionText>(&field.member))
            typed.push_back(&(o.*(*text)));
    for (int i = 0; i < o.ReplaceCount; ++i) {
        typed.push_back(&o.ReplacePairs[static_cast<std::size_t>(i)].Replace);
        typed.push_back(&o.ReplacePairs[static_cast<std::size_t>(i)].ReplaceWith);
    }
    // A byte the options could have typed: the byte itself, or (for an expression's
    // replacement) an escape that spells it.
    auto typedAny = [&typed, &o](char c) {
        for (const std::string* text : typed)
            if (text->find(c) != std::string::npos ||
                (o.ReplaceRegularExpressions && text->find('\\') != std::string::npos))
                return true;
        return false;
    };
    if (result.Name.find('/') != std::string::npos)
        Check(typedAny('/'));
    if (result.Name.find('\0') != std::string::npos)
        Check(typedAny('\0'));
    bool allValid = true;
    for (const std::string* text : typed)
        allValid = allValid && qm::IsValidUtf8(*text);
    for (const auto* tag : {&tags.Make, &tags.Title, &tags.Folder})
        allValid = allValid && (!*tag || qm::IsValidUtf8(**tag));
    if (allValid)
        Check(qm::IsValidUtf8(result.Name));
    return 0;
}
