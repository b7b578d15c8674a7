#pragma once

// Tags in inserted texts: "<taken:yyyy-MM-dd> <title>" filled in from one entry's own
// data. Pure: the caller reads the file and hands the values in; nothing here does I/O,
// and the functions are safe on any thread.
//
// Syntax:
//   <name>            the tag's value in its default form
//   <name:format>     the value in that format
//   <a|b|c>           the first of a, b, c that has a value, left to right; each may have
//                     its own format (<taken:yyyy-MM-dd|modified:yyyy-MM-dd>)
//   <<                a literal "<"
// A "<" with no ">" after it (before the next "<") is literal. Tag names ignore ASCII
// letter case. A tag that is not understood (an unknown name in any of its alternatives,
// an empty name, a format the tag does not take) stays as typed and sets
// TagExpansion::Unknown.
//
// Tags and their formats:
//   modified, taken           dates. The letters yyyy yy MM MMM MMMM dd HH mm ss (longest
//                             match first; MMM and MMMM from MonthNames); every other
//                             character is literal. Without a format "yyyy-MM-dd HH.mm.ss":
//                             no ":", which many file systems and file managers refuse or
//                             show oddly in a name. A date whose month is not 1..12 counts
//                             as absent.
//   size (bytes), width, height, track, disc, year
//                             numbers in decimal; a format of one digit is the minimum
//                             width, zero-filled (<track:2> is "07").
//   folder, make, model, artist, albumartist, album, title, genre
//                             texts, without spaces and control characters at their
//                             ends; they take no format. A text that leaves nothing
//                             counts as absent.
// A tag none of whose alternatives has a value gives an empty text and sets
// TagExpansion::Missing.
//
// Every "/" a tag gives (its value, a month name or a format's literal) becomes "_", and
// so does every run of control characters (U+0000..U+001F, U+007F..U+009F: a NUL, a line
// break, a tab), so a tag never moves a file into another folder, cuts its name short nor
// breaks it over lines. Texts are UTF-8; bytes that are not UTF-8 pass through. The
// result is cut off at steps::kMaxWorkingLength bytes (namesteps.h), never inside a UTF-8
// sequence; the flags still tell of every tag of the text.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace qm {

// A date and time as the file's data gives it: wall-clock fields, no time zone.
struct TagDate {
    int Year, Month /*1..12*/, Day, Hour, Minute, Second;
};

// The values one entry's tags have; a value that is absent is std::nullopt.
struct TagValues {
    std::optional<TagDate> Modified, Taken;
    std::optional<std::uint64_t> Size, Width, Height;
    std::optional<std::int32_t> Track, Disc, Year;
    std::optional<std::string> Folder, Make, Model, Artist, AlbumArtist, Album, Title, Genre;
};

// Month names in the interface language, for MMM (short) and MMMM (long).
struct MonthNames {
    std::array<std::string, 12> Short, Long;
};

// Where a tag's value comes from, as a bit set: the file system (modified, size, folder),
// a photo's data (taken, make, model, width, height) or a music file's tags (artist,
// albumartist, album, title, track, disc, year, genre).
enum class TagSource : unsigned { None = 0, File = 1, Photo = 2, Music = 4 };

// The TagSource bits of every tag the text would fill in (tags that stay as typed do not
// count), so that a caller reads only what is needed.
unsigned TagSourcesOf(std::string_view text);

struct TagExpansion {
    std::string Text;
    bool Missing = false; // a tag had no value, nor had any of its fallbacks
    bool Unknown = false; // a tag was not understood and stays as typed
    // The name of the first tag that had no value (its first alternative, in lower case
    // as listed above: "taken" for <taken|modified>); empty when none was missing.
    std::string MissingTag;
    // The first tag that was not understood, as typed with its "<" and ">" ("<tken>");
    // empty when every tag was.
    std::string UnknownTag;
};

// The English month names ("Jan", "January").
const MonthNames& EnglishMonthNames();

// The month names a tag gets where the caller names none: the interface language's, set
// by the window when the language changes (English until then). Any thread.
std::shared_ptr<const MonthNames> InterfaceMonthNames();
void SetInterfaceMonthNames(std::shared_ptr<const MonthNames> names);

// Expands every tag of `text` with `values`.
TagExpansion ExpandTags(std::string_view text, const TagValues& values, const MonthNames& months);

} // namespace qm
