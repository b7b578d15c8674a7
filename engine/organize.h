#pragma once

// Organizing names: the numbered form of a new name that is taken ("name (2).ext"), and
// the groups of files that share a name (a raw photo, its JPEG and its sidecar) and are
// renamed together. Pure functions of names; the runs apply them (rename/listorderloop.h).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// The form a taken name is numbered in: "%1" stands for the name without its extension,
// "%2" for the number; the extension follows. From the language file, so that a
// translation can change it; a form without both falls back on kDefaultTakenNameForm.
// The form is read once at the start of each run and each prediction; safe from any
// thread.
inline constexpr std::string_view kDefaultTakenNameForm = "%1 (%2)";
void SetTakenNameForm(std::string form);
std::string TakenNameForm();

// `name` (a new name; it may hold "/") with number `n` (2 or more) in `form`: the last
// part's extension (from its last ".", not a leading one) stays at the end.
// "a/IMG_1.jpg", 2 -> "a/IMG_1 (2).jpg"; ".profile", 3 -> ".profile (3)".
std::string NumberedName(std::string_view name, int n, std::string_view form);
// The same with the name split already: `base` then `tail` (the extensions kept).
std::string NumberedName(std::string_view base, std::string_view tail, int n,
                         std::string_view form);

// One entry as the grouping sees it.
struct TCompanionEntry {
    std::string_view Folder; // as listed: "" or ending in "/"
    std::string_view Name;
    bool Alone = false; // never grouped (a name typed by hand, a slot left empty)
};

// The files that share a name among entries in list order: within one folder (as the
// entries list it), names that differ only in their extension ("IMG_1.CR2", "IMG_1.JPG"),
// or where one is another's whole name plus an extension ("IMG_1.CR2.xmp" beside
// "IMG_1.CR2", "IMG_1.xmp" beside "IMG_1"), all of them one group. A name listed twice
// counts once: its later entries stay alone.
struct TCompanions {
    std::vector<int> Head; // per entry: its group's first member, or -1 when alone
    std::vector<int> Next; // per member: the next member in list order, or -1
    // Per member: how many bytes of its name the group shares; the rest is its ending
    // ("" for "IMG_1", ".CR2.xmp" for "IMG_1.CR2.xmp").
    std::vector<std::uint32_t> Shared;
    bool Any = false;
};
TCompanions FindCompanions(const std::vector<TCompanionEntry>& entries);

// Where the last `dots` extensions of `name`'s last part begin (a leading "." of the
// part is none); with fewer, where its first extension begins; name.size() for 0 or
// none. "a/IMG_1.CR2.xmp", 2 -> 7; "x.y", 3 -> 1.
std::size_t EndingAt(std::string_view name, int dots);
// How many extensions an ending holds: its "." count.
int DotsIn(std::string_view ending);

} // namespace qm
