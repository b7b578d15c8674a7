#include "engine/replacepatterns.h"

#include "engine/namesteps.h"
#include "engine/utf8text.h"

#define PCRE2_CODE_UNIT_WIDTH 32
#include <algorithm>
#include <memory>
#include <pcre2.h>
#include <vector>

namespace qm {
namespace {

using steps::Text;
using steps::TextView;

// UTF-32 code units are code points, so PCRE2's offsets are the engine's positions.
// PCRE2_MATCH_INVALID_UTF lets a subject hold the lone surrogates that carry a name's
// bytes that are not UTF-8 (utf8text.h): they never match anything, and since the text
// around them is copied as it is, they come out as the bytes they were.
// \C is refused: it is the one item that could step into such a unit on purpose.
// Such a unit splits the subject into fragments that PCRE2 searches one after another,
// and a fragment after one starts neither a line nor the subject; without
// PCRE2_NO_DOTSTAR_ANCHOR a leading ".*" would be tried only where a line starts and so
// never in such a fragment ("ab\xffb" with ".*b" would find only the first "ab").
constexpr std::uint32_t kCompileOptions = PCRE2_UTF | PCRE2_UCP | PCRE2_MATCH_INVALID_UTF |
                                          PCRE2_NEVER_BACKSLASH_C | PCRE2_NO_DOTSTAR_ANCHOR;

struct CodeDeleter {
    void operator()(pcre2_code* code) const { pcre2_code_free(code); }
};
struct MatchDataDeleter {
    void operator()(pcre2_match_data* data) const { pcre2_match_data_free(data); }
};
struct MatchContextDeleter {
    void operator()(pcre2_match_context* context) const { pcre2_match_context_free(context); }
};
struct JitStackDeleter {
    void operator()(pcre2_jit_stack* stack) const { pcre2_jit_stack_free(stack); }
};
using CodePtr = std::unique_ptr<pcre2_code, CodeDeleter>;
using MatchDataPtr = std::unique_ptr<pcre2_match_data, MatchDataDeleter>;
using MatchContextPtr = std::unique_ptr<pcre2_match_context, MatchContextDeleter>;
using JitStackPtr = std::unique_ptr<pcre2_jit_stack, JitStackDeleter>;

struct CompileResult {
    CodePtr Code;
    int ErrorCode = 0;
    std::size_t ErrorOffset = 0;
};

CompileResult Compile(const Text& pattern, std::uint32_t options) {
    CompileResult out;
    PCRE2_SIZE offset = 0;
    out.Code.reset(pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                                 options, &out.ErrorCode, &offset, nullptr));
    out.ErrorOffset = offset;
    return out;
}

std::string ErrorText(int code) {
    PCRE2_UCHAR buffer[256];
    const int length = pcre2_get_error_message(code, buffer, std::size(buffer));
    if (length < 0)
        return "unknown error " + std::to_string(code);
    return EncodeUtf8(
        Text(reinterpret_cast<const char32_t*>(buffer), static_cast<std::size_t>(length)));
}

std::uint32_t CompileOptions(bool regularExpressions, bool ignoreCase) {
    // A literal text takes fewer options; UTF alone folds letter case by Unicode.
    std::uint32_t options =
        regularExpressions ? kCompileOptions : PCRE2_LITERAL | PCRE2_UTF | PCRE2_MATCH_INVALID_UTF;
    if (ignoreCase)
        options |= PCRE2_CASELESS;
    return options;
}

int ValidPairCount(const RenameOptionSet& o) {
    return std::clamp(o.ReplaceCount, 0, MaxReplacePairs);
}

// One piece of a parsed replacement: a literal text, or a capture group's text.
struct Piece {
    Text Literal;
    int Group = -1;
};

// $0..$99, ${name} (or ${digits}) and $$; everything else, and a reference to a group
// the pattern does not have, is literal. Two digits are read as one group number when
// the pattern has that group; otherwise the first digit alone is the group when it
// exists and the second stays literal, so "$10" is group 10 when there is one, else
// group 1 followed by "0".
std::vector<Piece> ParseReplacement(const Text& replacement, const pcre2_code* code) {
    std::uint32_t captures = 0;
    pcre2_pattern_info(code, PCRE2_INFO_CAPTURECOUNT, &captures);
    std::vector<Piece> pieces;
    auto literal = [&](TextView text) {
        if (pieces.empty() || pieces.back().Group >= 0)
            pieces.emplace_back();
        pieces.back().Literal += text;
    };
    auto group = [&](int number) {
        pieces.push_back({{}, number});
    };
    auto isDigit = [](char32_t c) {
        return c >= U'0' && c <= U'9';
    };
    std::size_t i = 0;
    while (i < replacement.size()) {
        const std::size_t dollar = replacement.find(U'$', i);
        if (dollar == Text::npos || dollar + 1 >= replacement.size()) {
            literal(TextView(replacement).substr(i));
            break;
        }
        literal(TextView(replacement).substr(i, dollar - i));
        const char32_t next = replacement[dollar + 1];
        i = dollar + 1;
        if (next == U'$') {
            literal(U"$");
            i = dollar + 2;
        } else if (isDigit(next)) {
            const auto first = static_cast<std::uint32_t>(next - U'0');
            const bool two = dollar + 2 < replacement.size() && isDigit(replacement[dollar + 2]);
            const std::uint32_t both =
                two ? first * 10 + static_cast<std::uint32_t>(replacement[dollar + 2] - U'0') : 0;
            if (two && both <= captures) {
                group(static_cast<int>(both));
                i = dollar + 3;
            } else if (first <= captures) {
                group(static_cast<int>(first));
                i = dollar + 2;
            } else {
                literal(U"$");
            }
        } else if (next == U'{') {
            const std::size_t close = replacement.find(U'}', dollar + 2);
            int number = -1;
            if (close != Text::npos && close > dollar + 2) {
                const Text name = replacement.substr(dollar + 2, close - dollar - 2);
                if (std::all_of(name.begin(), name.end(), isDigit)) {
                    if (name.size() <= 2 && std::stoul(EncodeUtf8(name)) <= captures)
                        number = static_cast<int>(std::stoul(EncodeUtf8(name)));
                } else {
                    number = pcre2_substring_number_from_name(
                        code, reinterpret_cast<PCRE2_SPTR>(name.c_str()));
                }
            }
            if (number >= 0) {
                group(number);
                i = close + 1;
            } else {
                literal(U"$");
            }
        } else {
            literal(U"$");
        }
    }
    return pieces;
}

struct CompiledPair {
    CodePtr Code;
    MatchDataPtr Data;
    std::vector<Piece> Replacement;
};

// The patterns of one option set, with the texts and flags they were made from so that
// a thread sees at once when the option set it is handed is another one.
struct PatternCache {
    bool Valid = false;
    bool RegularExpressions = false;
    bool IgnoreCase = false;
    std::vector<ReplacePair> Pairs;
    std::vector<CompiledPair> Compiled;
    int InvalidPair = -1;
    MatchContextPtr Context;
    JitStackPtr JitStack;

    bool Matches(const RenameOptionSet& o) const {
        const int count = ValidPairCount(o);
        if (!Valid || o.ReplaceRegularExpressions != RegularExpressions ||
            o.ReplaceIgnoreCase != IgnoreCase || static_cast<std::size_t>(count) != Pairs.size())
            return false;
        for (int i = 0; i < count; ++i)
            if (!(o.ReplacePairs[static_cast<std::size_t>(i)] ==
                  Pairs[static_cast<std::size_t>(i)]))
                return false;
        return true;
    }

    void Build(const RenameOptionSet& o) {
        Valid = true;
        RegularExpressions = o.ReplaceRegularExpressions;
        IgnoreCase = o.ReplaceIgnoreCase;
        const int count = ValidPairCount(o);
        Pairs.assign(o.ReplacePairs.begin(), o.ReplacePairs.begin() + count);
        Compiled.clear();
        Compiled.resize(Pairs.size());
        InvalidPair = -1;
        if (!Context) {
            Context.reset(pcre2_match_context_create(nullptr));
            pcre2_set_match_limit(Context.get(), kPatternMatchLimit);
            pcre2_set_depth_limit(Context.get(), kPatternDepthLimit);
            // The JIT's default stack lives on the machine stack and is small; a stack of
            // its own per thread lets sane patterns run, and the limit ends the rest.
            JitStack.reset(pcre2_jit_stack_create(32 * 1024, 1024 * 1024, nullptr));
            if (JitStack)
                pcre2_jit_stack_assign(Context.get(), nullptr, JitStack.get());
        }
        const std::uint32_t options = CompileOptions(RegularExpressions, IgnoreCase);
        for (std::size_t i = 0; i < Pairs.size(); ++i) {
            const Text find = DecodeUtf8(Pairs[i].Replace);
            if (find.empty())
                continue;
            CompileResult pattern = Compile(find, options);
            if (!pattern.Code) {
                InvalidPair = static_cast<int>(i);
                return;
            }
            // Without a JIT (an unsupported machine, or memory refused) PCRE2's
            // interpreter runs the same pattern under the same limits.
            pcre2_jit_compile(pattern.Code.get(), PCRE2_JIT_COMPLETE);
            CompiledPair& pair = Compiled[i];
            const Text with = DecodeUtf8(Pairs[i].ReplaceWith);
            if (RegularExpressions)
                pair.Replacement = ParseReplacement(with, pattern.Code.get());
            else
                pair.Replacement.push_back({with, -1});
            pair.Data.reset(pcre2_match_data_create_from_pattern(pattern.Code.get(), nullptr));
            pair.Code = std::move(pattern.Code);
        }
    }
};

// Every non-overlapping match of `pair` in `text`, left to right, replaced; an empty
// match is taken and the next attempt at its place must not be empty again, as Perl
// does, so "x*" on "abc" gives a replacement around every letter.
bool ReplaceMatches(Text& text, const CompiledPair& pair, pcre2_match_context* context) {
    const auto* subject = reinterpret_cast<PCRE2_SPTR>(text.data());
    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(pair.Data.get());
    Text out;
    std::size_t copied = 0; // text before this is in `out` or replaced
    std::size_t at = 0;
    std::uint32_t flags = 0;
    bool any = false;
    while (at <= text.size()) {
        const int rc =
            pcre2_match(pair.Code.get(), subject, text.size(), at, flags, pair.Data.get(), context);
        if (rc == PCRE2_ERROR_NOMATCH) {
            if (flags == 0 || at >= text.size())
                break;
            // No non-empty match where an empty one was: step over one code point.
            ++at;
            flags = 0;
            continue;
        }
        if (rc < 0)
            return false;
        const std::size_t start = ovector[0];
        const std::size_t end = ovector[1];
        if (flags != 0 && start != at) {
            // An anchored attempt that found nothing in its own fragment goes on in the
            // next fragment after a unit that is not UTF-8, and its match there would skip
            // the code points between: step over one code point as for no match.
            ++at;
            flags = 0;
            continue;
        }
        if (start < copied || end < start) // only \K in a lookaround could do this
            break;
        if (!any) {
            out.reserve(text.size() + 16);
            any = true;
        }
        out.append(text, copied, start - copied);
        for (const Piece& piece : pair.Replacement) {
            if (piece.Group < 0) {
                out += piece.Literal;
            } else if (piece.Group < rc) {
                const PCRE2_SIZE from = ovector[2 * piece.Group];
                const PCRE2_SIZE to = ovector[2 * piece.Group + 1];
                if (from != PCRE2_UNSET && to >= from)
                    out.append(text, from, to - from);
            }
        }
        copied = end;
        if (out.size() >= steps::kMaxWorkingLength) { // the rest would be cut off anyway
            copied = text.size();
            break;
        }
        at = end;
        flags = start == end ? PCRE2_NOTEMPTY_ATSTART | PCRE2_ANCHORED : 0;
    }
    if (!any)
        return true;
    out.append(text, copied);
    if (out.size() > steps::kMaxWorkingLength)
        out.resize(steps::kMaxWorkingLength);
    text = std::move(out);
    return true;
}

std::optional<PatternProblem> Check(std::string_view findText, bool regularExpressions,
                                    bool ignoreCase) {
    const CompileResult compiled =
        Compile(DecodeUtf8(findText), CompileOptions(regularExpressions, ignoreCase));
    if (compiled.Code)
        return std::nullopt;
    return PatternProblem{0, compiled.ErrorOffset, ErrorText(compiled.ErrorCode)};
}

} // namespace

std::optional<PatternProblem> CheckPattern(std::string_view findText, bool ignoreCase) {
    return Check(findText, /*regularExpressions=*/true, ignoreCase);
}

std::optional<PatternProblem> FindPatternProblem(const RenameOptionSet& o) {
    if (!o.ReplaceGroup || !o.ReplaceEnabled ||
        (!o.ReplaceRegularExpressions && !o.ReplaceIgnoreCase))
        return std::nullopt;
    const int count = ValidPairCount(o);
    for (int i = 0; i < count; ++i) {
        const std::string& find = o.ReplacePairs[static_cast<std::size_t>(i)].Replace;
        if (find.empty())
            continue;
        if (auto problem = Check(find, o.ReplaceRegularExpressions, o.ReplaceIgnoreCase)) {
            problem->Pair = i;
            return problem;
        }
    }
    return std::nullopt;
}

PatternOutcome ReplaceByPatterns(const RenameOptionSet& options, std::u32string& text) {
    thread_local PatternCache cache;
    if (!cache.Matches(options))
        cache.Build(options);
    if (cache.InvalidPair >= 0)
        return {NameFault::PatternInvalid, cache.InvalidPair};
    for (std::size_t i = 0; i < cache.Compiled.size(); ++i) {
        const CompiledPair& pair = cache.Compiled[i];
        if (!pair.Code)
            continue;
        if (!ReplaceMatches(text, pair, cache.Context.get()))
            return {NameFault::PatternLimit, static_cast<int>(i)};
    }
    return {};
}

} // namespace qm
