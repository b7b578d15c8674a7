#include "filetags/filetagreader.h"

#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <taglib/tpropertymap.h>

#include <cstdlib>

namespace qm {

namespace {

std::optional<std::string> Text(const TagLib::String& value) {
    if (value.isEmpty())
        return std::nullopt;
    return value.to8Bit(true);
}

std::optional<std::string> Property(const TagLib::PropertyMap& properties, const char* key) {
    const auto it = properties.find(key);
    if (it == properties.end() || it->second.isEmpty())
        return std::nullopt;
    return Text(it->second.front());
}

// "3" or "3/12": the leading number, when it is one.
std::optional<std::int32_t> LeadingNumber(const std::optional<std::string>& text) {
    if (!text)
        return std::nullopt;
    char* end = nullptr;
    const long value = std::strtol(text->c_str(), &end, 10);
    if (end == text->c_str() || value <= 0 || value > 0x7fffffff)
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

} // namespace

void ReadMusicTags(const std::string& path, TagValues& values) {
    try {
        TagLib::FileRef file(path.c_str(), false);
        if (file.isNull() || !file.tag())
            return;
        const TagLib::Tag& tag = *file.tag();
        values.Artist = Text(tag.artist());
        values.Album = Text(tag.album());
        values.Title = Text(tag.title());
        values.Genre = Text(tag.genre());
        if (tag.track() > 0 && tag.track() <= 0x7fffffff)
            values.Track = static_cast<std::int32_t>(tag.track());
        if (tag.year() > 0 && tag.year() <= 0x7fffffff)
            values.Year = static_cast<std::int32_t>(tag.year());
        const TagLib::PropertyMap properties = file.file()->properties();
        values.AlbumArtist = Property(properties, "ALBUMARTIST");
        values.Disc = LeadingNumber(Property(properties, "DISCNUMBER"));
    } catch (...) {
        // A file TagLib cannot take is a file without music tags.
    }
}

} // namespace qm
