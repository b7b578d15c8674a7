// A random option set, name and tag values through the new-name computation. Beyond not
// crashing: a fault leaves the name as it was; a "/" or NUL in the new name must come from
// the name or from a text the options typed (a tag's value never gives one); and the new
// name is valid UTF-8 wherever the name and every option text were.

#include "engine/newname.h"
#include "engine/utf8text.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    qm::RenameOptionSet o;
    o.AddFileExtToFilename = in.ConsumeBool();
    o.ChangeFileExt = in.ConsumeBool();
    o.ChangeFileExtTo = Text(in);
    o.RemoveGroup = in.ConsumeBool();
    o.RemoveFront = in.ConsumeBool();
    o.RemoveFrontCount = Count(in);
    o.RemoveAtPosition = in.ConsumeBool();
    o.RemoveAtPositionCount = Count(in);
    o.RemoveAtPositionIndex = Count(in);
    o.RemoveBack = in.ConsumeBool();
    o.RemoveBackCount = Count(in);
    o.RemoveFrontAndBackSpaces = in.ConsumeBool();
    o.RemoveDoubleSpaces = in.ConsumeBool();
    o.RemoveAllSpaces = in.ConsumeBool();
    o.ReplaceGroup = in.ConsumeBool();
    o.ConvertInternetSpaces = in.ConsumeBool();
    o.ConvertUnderscoreSpaces = in.ConsumeBool();
    o.ConvertDotSpaces = in.ConsumeBool();
    o.ReplaceEnabled = in.ConsumeBool();
    o.ReplaceRegularExpressions = in.ConsumeBool();
    o.ReplaceIgnoreCase = in.ConsumeBool();
    o.ReplaceCount = in.ConsumeIntegralInRange<std::int32_t>(0, 3);
    for (int i = 0; i < o.ReplaceCount; ++i)
        o.ReplacePairs[static_cast<std::size_t>(i)] = {Text(in), Text(in)};
    o.InsertGroup = in.ConsumeBool();
    o.InsertFront = in.ConsumeBool();
    o.InsertFrontText = Text(in);
    o.InsertAtPosition = in.ConsumeBool();
    o.InsertAtPositionText = Text(in);
    o.InsertAtPositionIndex = Count(in);
    o.InsertBack = in.ConsumeBool();
    o.InsertBackText = Text(in);
    o.InsertTags = in.ConsumeBool();
    o.NumberIncEnabled = in.ConsumeBool();
    o.NumberIncValue = Count(in);
    o.NumberIncAddFrontSep = in.ConsumeBool();
    o.NumberFormatSelect = in.ConsumeIntegralInRange<std::int32_t>(0, 1);
    o.NumberIncMinLength = Count(in);
    o.NumberIncAdvFormat = Text(in);
    o.ShuffleGroup = in.ConsumeBool();
    o.AlterLogicFilename = in.ConsumeBool();
    o.AlterLogicFilenameString = Text(in);
    o.AlterLogicFilenameSep = Text(in);
    o.FormatGroup = in.ConsumeBool();
    o.FormatTextEnabled = in.ConsumeBool();
    o.FormatLogicBlocksSeparately = in.ConsumeBool();
    o.FormatWordsSeparately = in.ConsumeBool();
    o.FormatFirstLetterUp = in.ConsumeBool();
    o.FormatOtherLettersUp = in.ConsumeBool();
    o.FormatSpecialWords = Text(in);
    o.FormatSpecialFirstLetterUp = in.ConsumeBool();
    o.FormatSpecialOtherLettersUp = in.ConsumeBool();

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
    const std::string name = in.ConsumeRemainingBytesAsString();

    const qm::NewName result =
        qm::ComputeNewNameChecked(o, name, number, qm::NameTags{&tags, nullptr});
    if (result.Fault != qm::NameFault::None) {
        Check(result.Name == name);
        Check(result.Pair >= 0 && result.Pair < o.ReplaceCount);
        return 0;
    }
    Check(result.Pair == -1);

    std::vector<const std::string*> typed = {&name,
                                             &o.ChangeFileExtTo,
                                             &o.InsertFrontText,
                                             &o.InsertAtPositionText,
                                             &o.InsertBackText,
                                             &o.NumberIncAdvFormat,
                                             &o.AlterLogicFilenameString,
                                             &o.AlterLogicFilenameSep,
                                             &o.FormatSpecialWords};
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
