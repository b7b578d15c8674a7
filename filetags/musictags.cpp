#include "filetags/filetagreader.h"

#include <cstdlib>
#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <taglib/tbytevectorstream.h>
#include <taglib/tdebuglistener.h>
#include <taglib/tpropertymap.h>

namespace qm {

namespace {

// TagLib tells every oddity of a file on stderr unless it was built to keep quiet.
class TSilentListener : public TagLib::DebugListener {
public:
    void printMessage(const TagLib::String&) override {}
};

// Blanks trimmed: a tagger's padding must not end up at the end of a file name.
std::optional<std::string> Text(const TagLib::String& value) {
    std::string text = value.to8Bit(true);
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return std::nullopt;
    text.erase(text.find_last_not_of(" \t\r\n") + 1);
    text.erase(0, first);
    return text;
}

std::optional<std::string> Property(const TagLib::PropertyMap& properties, const char* key) {
    const auto it = properties.find(key);
    if (it == properties.end() || it->second.isEmpty())
        return std::nullopt;
    return Text(it->second.front());
}

// "3", "03" or "3/12": the leading number, when it is one from 1 to `most`.
std::optional<std::int32_t> LeadingNumber(const std::optional<std::string>& text, long most) {
    if (!text || text->empty() || (*text)[0] < '0' || (*text)[0] > '9')
        return std::nullopt;
    // Digits past what a long holds give LONG_MAX, which is out of range as well.
    const long value = std::strtol(text->c_str(), nullptr, 10);
    if (value <= 0 || value > most)
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

void FillMusicTags(TagLib::File& file, TagValues& values) {
    const TagLib::Tag* tag = file.tag();
    if (!tag)
        return;
    values.Artist = Text(tag->artist());
    values.Album = Text(tag->album());
    values.Title = Text(tag->title());
    values.Genre = Text(tag->genre());
    // Track, disc and year from the text the tagger wrote ("7/12", "1999-05-01"), the same
    // way for every format; the Tag accessors read only some of these forms.
    const TagLib::PropertyMap properties = file.properties();
    constexpr long kMostNumber = 0x7fffffff;
    values.Track = LeadingNumber(Property(properties, "TRACKNUMBER"), kMostNumber);
    if (!values.Track && tag->track() > 0 && tag->track() <= kMostNumber)
        values.Track = static_cast<std::int32_t>(tag->track());
    values.Disc = LeadingNumber(Property(properties, "DISCNUMBER"), kMostNumber);
    values.Year = LeadingNumber(Property(properties, "DATE"), 9999);
    if (!values.Year && tag->year() > 0 && tag->year() <= 9999)
        values.Year = static_cast<std::int32_t>(tag->year());
    values.AlbumArtist = Property(properties, "ALBUMARTIST");
    if (!values.AlbumArtist)
        values.AlbumArtist = Property(properties, "ALBUM ARTIST");
}

} // namespace

void PrepareMusicTagReading() {
    static TSilentListener silent;
    TagLib::setDebugListener(&silent);
}

void ReadMusicTags(const std::string& path, TagValues& values) {
    PrepareTagReading();
    try {
        // Without the audio properties: they cost a scan of the file and give no tag.
        TagLib::FileRef file(path.c_str(), false);
        if (!file.isNull())
            FillMusicTags(*file.file(), values);
    } catch (...) {
        // A file TagLib cannot take is a file without music tags.
    }
}

void ReadMusicTagsFromBytes(const unsigned char* data, std::size_t size, TagValues& values) {
    PrepareTagReading();
    try {
        TagLib::ByteVector bytes(reinterpret_cast<const char*>(data),
                                 static_cast<unsigned int>(size));
        TagLib::ByteVectorStream stream(bytes);
        TagLib::FileRef file(&stream, false);
        if (!file.isNull())
            FillMusicTags(*file.file(), values);
    } catch (...) {
    }
}

} // namespace qm
