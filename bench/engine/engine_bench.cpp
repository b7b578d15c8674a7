// Cost of one new name: the list view asks for every visible row on every repaint, and a
// preview of a large folder asks for every file.

#include "engine/newname.h"

#include <benchmark/benchmark.h>
#include <string>
#include <vector>

namespace {

const std::string kName = "holiday_2019 - beach%20day (draft) copy.jpg"; // 43 bytes

void OneOption(benchmark::State& state) {
    qm::RenameOptionSet o;
    o.ReplaceGroup = true;
    o.ConvertUnderscoreSpaces = true;
    std::int32_t n = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(qm::ComputeNewName(o, kName, n++));
}
BENCHMARK(OneOption);

qm::RenameOptionSet EveryGroup() {
    qm::RenameOptionSet o;
    o.ChangeFileExt = true;
    o.ChangeFileExtTo = "jpeg";
    o.RemoveGroup = true;
    o.RemoveFront = true;
    o.RemoveFrontCount = 1;
    o.RemoveBack = true;
    o.RemoveBackCount = 1;
    o.RemoveFrontAndBackSpaces = true;
    o.RemoveDoubleSpaces = true;
    o.ReplaceGroup = true;
    o.ConvertInternetSpaces = true;
    o.ConvertUnderscoreSpaces = true;
    o.ReplaceEnabled = true;
    const std::vector<qm::ReplacePair> pairs = {
        {"(draft)", ""}, {"copy", "final"}, {"2019", "19"}, {"beach", "Beach"}};
    for (const auto& p : pairs)
        o.ReplacePairs[static_cast<std::size_t>(o.ReplaceCount++)] = p;
    o.InsertGroup = true;
    o.InsertFront = true;
    o.InsertFrontText = "Trip ";
    o.InsertAtPosition = true;
    o.InsertAtPositionText = "_";
    o.InsertAtPositionIndex = 5;
    o.InsertBack = true;
    o.InsertBackText = " v";
    o.NumberIncEnabled = true;
    o.NumberIncAddFrontSep = true;
    o.NumberIncMinLength = 4;
    o.ShuffleGroup = true;
    o.AlterLogicFilename = true;
    o.AlterLogicFilenameString = "%c - %a - %b";
    o.FormatGroup = true;
    o.FormatTextEnabled = true;
    o.FormatLogicBlocksSeparately = true;
    o.FormatWordsSeparately = true;
    o.FormatFirstLetterUp = true;
    o.FormatSpecialWords = "of;the;a;and;in;on;v";
    return o;
}

void EveryGroupOn(benchmark::State& state) {
    const qm::RenameOptionSet o = EveryGroup();
    std::int32_t n = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(qm::ComputeNewName(o, kName, n++));
}
BENCHMARK(EveryGroupOn);

// A whole preview of 100,000 names with every group on.
void Preview100k(benchmark::State& state) {
    const qm::RenameOptionSet o = EveryGroup();
    for (auto _ : state) {
        for (std::int32_t i = 0; i < 100000; ++i)
            benchmark::DoNotOptimize(qm::ComputeNewName(o, kName, i));
    }
}
BENCHMARK(Preview100k)->Unit(benchmark::kMillisecond);

// 100,000 different names through three replace pairs, as plain texts and as regular
// expressions of like effect: the patterns must cost at most twice the plain texts.
std::vector<std::string> HundredThousandNames() {
    std::vector<std::string> names;
    names.reserve(100000);
    for (int i = 0; i < 100000; ++i)
        names.push_back("IMG_" + std::to_string(20000 + i) + "-" + std::to_string(i % 97) +
                        " holiday_copy.jpg");
    return names;
}

void ReplacePairs100k(benchmark::State& state, bool regex) {
    qm::RenameOptionSet o;
    o.ReplaceGroup = true;
    o.ReplaceEnabled = true;
    o.ReplaceRegularExpressions = regex;
    const std::vector<qm::ReplacePair> pairs =
        regex ? std::vector<qm::ReplacePair>{{"^IMG_(\\d+)", "Photo $1"},
                                             {"_copy$", ""},
                                             {"(\\d+)-(\\d+)", "$2-$1"}}
              : std::vector<qm::ReplacePair>{{"IMG_", "Photo "}, {"_copy", ""}, {"-", "+"}};
    for (const auto& p : pairs)
        o.ReplacePairs[static_cast<std::size_t>(o.ReplaceCount++)] = p;
    const std::vector<std::string> names = HundredThousandNames();
    for (auto _ : state)
        for (const std::string& name : names)
            benchmark::DoNotOptimize(qm::ComputeNewName(o, name, 0));
}
void PlainPairs100k(benchmark::State& state) {
    ReplacePairs100k(state, false);
}
void RegexPairs100k(benchmark::State& state) {
    ReplacePairs100k(state, true);
}
BENCHMARK(PlainPairs100k)->Unit(benchmark::kMillisecond);
BENCHMARK(RegexPairs100k)->Unit(benchmark::kMillisecond);

} // namespace
