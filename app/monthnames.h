#pragma once

// The month names a language file gives for the tags' MMM and MMMM date formats. The
// language files carry no locale tag, so the names are texts of their own: MONTHNAMESSHORT
// and MONTHNAMES, twelve names each, January first, separated by ",".

#include "app/options/renamesummary.h"
#include "engine/tagtext.h"

#include <memory>

namespace qm {

// The names `text` gives; a list that does not hold exactly twelve non-empty names (a
// language that lacks it, a slip of the translator's) is the English one, so that no month
// is ever left without a name.
std::shared_ptr<const MonthNames> LanguageMonthNames(const TextLookup& text);

} // namespace qm
