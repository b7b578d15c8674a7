#include "engine/tagtext.h"

#include "engine/namesteps.h"

#include <algorithm>
#include <atomic>
#include <type_traits>
#include <vector>

namespace qm {
namespace {

enum class Tag {
    Modified,
    Taken,
    Size,
    Width,
    Height,
    Track,
    Disc,
    Year,
    Folder,
    Make,
    Model,
    Artist,
    AlbumArtist,
    Album,
    Title,
    Genre,
};
enum class Kind { Date, Number, Text };

struct TagName {
    std::string_view Name;
    Tag Id;
    Kind Type;
    TagSource Source;
};

constexpr TagName kTags[] = {
    {"modified", Tag::Modified, Kind::Date, TagSource::File},
    {"size", Tag::Size, Kind::Number, TagSource::File},
    {"folder", Tag::Folder, Kind::Text, TagSource::File},
    {"taken", Tag::Taken, Kind::Date, TagSource::Photo},
    {"make", Tag::Make, Kind::Text, TagSource::Photo},
    {"model", Tag::Model, Kind::Text, TagSource::Photo},
    {"width", Tag::Width, Kind::Number, TagSource::Photo},
    {"height", Tag::Height, Kind::Number, TagSource::Photo},
    {"artist", Tag::Artist, Kind::Text, TagSource::Music},
    {"albumartist", Tag::AlbumArtist, Kind::Text, TagSource::Music},
    {"album", Tag::Album, Kind::Text, TagSource::Music},
    {"title", Tag::Title, Kind::Text, TagSource::Music},
    {"track", Tag::Track, Kind::Number, TagSource::Music},
    {"disc", Tag::Disc, Kind::Number, TagSource::Music},
    {"year", Tag::Year, Kind::Number, TagSource::Music},
    {"genre", Tag::Genre, Kind::Text, TagSource::Music},
};

bool SameName(std::string_view typed, std::string_view name) {
    return std::equal(typed.begin(), typed.end(), name.begin(), name.end(), [](char a, char b) {
        return (a >= 'A' && a <= 'Z' ? static_cast<char>(a - 'A' + 'a') : a) == b;
    });
}

struct Alternative {
    const TagName* Info;
    std::string_view Format; // empty: the default form
};

// The alternatives of a tag's inside ("taken:yyyy|modified"); none when any of them is
// not understood, so that a typing mistake shows as typed instead of quietly as empty.
std::vector<Alternative> ParseTag(std::string_view inside) {
    std::vector<Alternative> alternatives;
    for (std::size_t start = 0;;) {
        const std::size_t bar = std::min(inside.find('|', start), inside.size());
        const std::string_view part = inside.substr(start, bar - start);
        const std::size_t colon = std::min(part.find(':'), part.size());
        const std::string_view name = part.substr(0, colon);
        const auto tag = std::find_if(std::begin(kTags), std::end(kTags),
                                      [&](const TagName& t) { return SameName(name, t.Name); });
        if (tag == std::end(kTags))
            return {};
        const std::string_view format = part.substr(std::min(colon + 1, part.size()));
        const bool fits = tag->Type == Kind::Date || format.empty() ||
                          (tag->Type == Kind::Number && format.size() == 1 && format[0] >= '0' &&
                           format[0] <= '9');
        if (!fits)
            return {};
        alternatives.push_back({tag, format});
        if (bar == inside.size())
            return alternatives;
        start = bar + 1;
    }
}

// Calls literal(text) for the plain parts of `text` and tag(alternatives, typed) for each
// tag, in order; a tag not understood comes with no alternatives.
template <typename Literal, typename Tagged>
void Walk(std::string_view text, Literal&& literal, Tagged&& tagged) {
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t open = text.find('<', i);
        if (open == std::string_view::npos) {
            literal(text.substr(i));
            return;
        }
        literal(text.substr(i, open - i));
        if (open + 1 < text.size() && text[open + 1] == '<') {
            literal("<");
            i = open + 2;
            continue;
        }
        // Stopping at the next "<" keeps "a<b <title>" from swallowing the real tag.
        const std::size_t close = text.find_first_of("<>", open + 1);
        if (close == std::string_view::npos || text[close] == '<') {
            literal("<");
            i = open + 1;
            continue;
        }
        tagged(ParseTag(text.substr(open + 1, close - open - 1)),
               text.substr(open, close + 1 - open));
        i = close + 1;
    }
}

// Sizes go up to 2^64 - 1 and track numbers down to -2^31, so the sign is kept apart
// from the magnitude rather than squeezing both into one signed type.
void AppendNumber(std::string& out, bool negative, std::uint64_t magnitude, int minWidth) {
    const std::string digits = std::to_string(magnitude);
    if (negative)
        out += '-';
    if (static_cast<int>(digits.size()) < minWidth)
        out.append(static_cast<std::size_t>(minWidth) - digits.size(), '0');
    out += digits;
}

void AppendNumber(std::string& out, std::int64_t number, int minWidth) {
    AppendNumber(out, number < 0,
                 number < 0 ? 0 - static_cast<std::uint64_t>(number)
                            : static_cast<std::uint64_t>(number),
                 minWidth);
}

void AppendDate(std::string& out, const TagDate& date, std::string_view format,
                const MonthNames& months) {
    const auto month = static_cast<std::size_t>(date.Month - 1);
    for (std::size_t i = 0; i < format.size();) {
        const auto take = [&](std::string_view letters) {
            if (format.substr(i, letters.size()) != letters)
                return false;
            i += letters.size();
            return true;
        };
        if (take("yyyy"))
            AppendNumber(out, date.Year, 4);
        else if (take("yy"))
            AppendNumber(out, (date.Year % 100 + 100) % 100, 2);
        else if (take("MMMM"))
            out += months.Long[month];
        else if (take("MMM"))
            out += months.Short[month];
        else if (take("MM"))
            AppendNumber(out, date.Month, 2);
        else if (take("dd"))
            AppendNumber(out, date.Day, 2);
        else if (take("HH"))
            AppendNumber(out, date.Hour, 2);
        else if (take("mm"))
            AppendNumber(out, date.Minute, 2);
        else if (take("ss"))
            AppendNumber(out, date.Second, 2);
        else
            out += format[i++];
    }
}

// The length of the control character at `at` (U+0000..U+001F, U+007F, and C1's
// U+0080..U+009F in UTF-8), 0 for any other. None may reach a name: a line break splits a
// listing's line, and C1 holds a terminal's command introducer.
std::size_t ControlLength(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) {
        return static_cast<unsigned char>(text[i]);
    };
    if (byte(at) < 0x20 || byte(at) == 0x7F)
        return 1;
    return byte(at) == 0xC2 && at + 1 < text.size() && byte(at + 1) >= 0x80 && byte(at + 1) <= 0x9F
               ? 2
               : 0;
}

// A text without spaces and control characters at its ends: a tagger's padding, or the
// line end a camera leaves, must not end up at the end of a file name.
std::string_view TrimmedText(std::string_view text) {
    while (!text.empty()) {
        const std::size_t length = text[0] == ' ' ? 1 : ControlLength(text, 0);
        if (length == 0)
            break;
        text.remove_prefix(length);
    }
    while (!text.empty()) {
        const std::size_t size = text.size();
        std::size_t length = text[size - 1] == ' ' ? 1 : ControlLength(text, size - 1);
        if (length == 0 && size >= 2 && ControlLength(text, size - 2) == 2)
            length = 2;
        if (length == 0)
            break;
        text.remove_suffix(length);
    }
    return text;
}

// Every "/" as "_", and every run of control characters as one "_".
void AppendForName(std::string& out, std::string_view value) {
    for (std::size_t i = 0; i < value.size();) {
        if (ControlLength(value, i) == 0) {
            out += value[i] == '/' ? '_' : value[i];
            ++i;
            continue;
        }
        out += '_';
        while (i < value.size() && ControlLength(value, i) != 0)
            i += ControlLength(value, i);
    }
}

// The value of one alternative in its format; false when the entry lacks it.
bool AppendValue(std::string& out, const Alternative& alt, const TagValues& v,
                 const MonthNames& months) {
    const auto date = [&](const std::optional<TagDate>& d) {
        if (!d || d->Month < 1 || d->Month > 12)
            return false;
        AppendDate(out, *d, alt.Format.empty() ? "yyyy-MM-dd HH.mm.ss" : alt.Format, months);
        return true;
    };
    const auto number = [&](const auto& n) {
        if (!n)
            return false;
        const int width = alt.Format.empty() ? 0 : alt.Format[0] - '0';
        if constexpr (std::is_signed_v<std::decay_t<decltype(*n)>>)
            AppendNumber(out, std::int64_t{*n}, width);
        else
            AppendNumber(out, false, *n, width);
        return true;
    };
    const auto text = [&](const std::optional<std::string>& s) {
        const std::string_view trimmed = s ? TrimmedText(*s) : std::string_view();
        if (trimmed.empty())
            return false;
        out += trimmed;
        return true;
    };
    switch (alt.Info->Id) {
    case Tag::Modified:
        return date(v.Modified);
    case Tag::Taken:
        return date(v.Taken);
    case Tag::Size:
        return number(v.Size);
    case Tag::Width:
        return number(v.Width);
    case Tag::Height:
        return number(v.Height);
    case Tag::Track:
        return number(v.Track);
    case Tag::Disc:
        return number(v.Disc);
    case Tag::Year:
        return number(v.Year);
    case Tag::Folder:
        return text(v.Folder);
    case Tag::Make:
        return text(v.Make);
    case Tag::Model:
        return text(v.Model);
    case Tag::Artist:
        return text(v.Artist);
    case Tag::AlbumArtist:
        return text(v.AlbumArtist);
    case Tag::Album:
        return text(v.Album);
    case Tag::Title:
        return text(v.Title);
    case Tag::Genre:
        return text(v.Genre);
    }
    return false;
}

// Appends until the result is full; once a part was cut, nothing after it is taken, so
// the result is always a beginning of the whole expansion.
void AppendCapped(std::string& out, bool& full, std::string_view part) {
    const std::size_t room =
        full ? 0 : steps::kMaxWorkingLength - std::min(out.size(), steps::kMaxWorkingLength);
    if (part.size() <= room) {
        out += part;
        return;
    }
    // Cut before a sequence's continuation bytes, so the last character stays whole.
    std::size_t cut = room;
    for (int back = 0;
         back < 3 && cut > 0 && (static_cast<unsigned char>(part[cut]) & 0xC0) == 0x80; ++back)
        --cut;
    out += part.substr(0, cut);
    full = true;
}

} // namespace

const MonthNames& EnglishMonthNames() {
    static const MonthNames names{
        {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"},
        {"January", "February", "March", "April", "May", "June", "July", "August", "September",
         "October", "November", "December"}};
    return names;
}

namespace {
std::atomic<std::shared_ptr<const MonthNames>> interfaceMonths;
}

std::shared_ptr<const MonthNames> InterfaceMonthNames() {
    std::shared_ptr<const MonthNames> names = interfaceMonths.load();
    if (!names)
        return std::shared_ptr<const MonthNames>(std::shared_ptr<const MonthNames>(),
                                                 &EnglishMonthNames());
    return names;
}

void SetInterfaceMonthNames(std::shared_ptr<const MonthNames> names) {
    interfaceMonths.store(std::move(names));
}

unsigned TagSourcesOf(std::string_view text) {
    unsigned sources = 0;
    Walk(
        text, [](std::string_view) {},
        [&](const std::vector<Alternative>& alternatives, std::string_view) {
            for (const Alternative& alt : alternatives)
                sources |= static_cast<unsigned>(alt.Info->Source);
        });
    return sources;
}

TagExpansion ExpandTags(std::string_view text, const TagValues& values, const MonthNames& months) {
    TagExpansion result;
    bool full = false;
    std::string value, forName;
    Walk(
        text, [&](std::string_view part) { AppendCapped(result.Text, full, part); },
        [&](const std::vector<Alternative>& alternatives, std::string_view typed) {
            if (alternatives.empty()) {
                if (!result.Unknown)
                    result.UnknownTag = std::string(typed);
                result.Unknown = true;
                AppendCapped(result.Text, full, typed);
                return;
            }
            value.clear();
            const bool found =
                std::any_of(alternatives.begin(), alternatives.end(), [&](const Alternative& alt) {
                    return AppendValue(value, alt, values, months);
                });
            if (!found && !result.Missing)
                result.MissingTag = std::string(alternatives.front().Info->Name);
            result.Missing |= !found;
            forName.clear();
            AppendForName(forName, value);
            AppendCapped(result.Text, full, forName);
        });
    return result;
}

} // namespace qm
