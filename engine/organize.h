#pragma once

// Organizing names: the numbered form of a new name that is taken ("name (2).ext"), and
// the groups of files that share a name (a raw photo, its JPEG and its sidecar) and are
// renamed together. Pure functions of names; the runs apply them (rename/listorderloop.h).

#include <cstddef>
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

} // namespace qm
