#pragma once

// Building one text of an open language from the attributes of its TEXT tag, and finding
// texts in an open language. Pure functions, safe from any thread.

#include "langlib/langdata.h"

#include <cstdint>
#include <string_view>

namespace vocalith {

// Reads "ID", "NAME", "KEY" and "TEXT", in that order, from the attribute part of a TEXT
// tag. A missing or malformed number gives 0.
TLangText MakeLangText(std::string_view attributes);

// `text` with "&" inserted before the first letter that equals `key` once both are
// upper-cased by ASCII rules; unchanged when `key` is empty or does not occur. A line break
// written as "\n" or "\N" is passed over whole: its letter is not a candidate.
std::string InsertAccelerator(std::string_view text, std::string_view key);

// A signed 32-bit decimal number, or 0 when `digits` is anything else.
std::int32_t ParseTextID(std::string_view digits);

// The first text of `data` with that number or name (names compared without regard to
// case), or nullptr.
const TLangText* FindTextByID(const TLangData& data, std::int32_t id);
const TLangText* FindTextByName(const TLangData& data, std::string_view name);

} // namespace vocalith
