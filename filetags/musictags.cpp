#include "filetags/filetagreader.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/opusfile.h>
#include <taglib/tag.h>
#include <taglib/tbytevectorstream.h>
#include <taglib/tdebuglistener.h>
#include <taglib/tpropertymap.h>
#include <taglib/vorbisfile.h>
#include <vector>

namespace qm {

namespace {

// TagLib tells every oddity of a file on stderr unless it was built to keep quiet.
class TSilentListener : public TagLib::DebugListener {
public:
    void printMessage(const TagLib::String&) override {}
};

// Blanks trimmed: a tagger's padding must not end up at the end of a file name.
std::optional<std::string> Text(std::string text) {
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return std::nullopt;
    text.erase(text.find_last_not_of(" \t\r\n") + 1);
    text.erase(0, first);
    return text;
}

std::optional<std::string> Text(const TagLib::String& value) {
    return Text(value.to8Bit(true));
}

std::optional<std::string> Property(const TagLib::PropertyMap& properties, const char* key) {
    const auto it = properties.find(key);
    if (it == properties.end() || it->second.isEmpty())
        return std::nullopt;
    return Text(it->second.front());
}

std::uint32_t Little32(const TagLib::ByteVector& data, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 4; i-- > 0;)
        value = value << 8 | static_cast<unsigned char>(data[static_cast<int>(at + i)]);
    return value;
}

// The fields ("KEY=value") of a Vorbis comment that starts at `at` in `data`, as the file
// holds them; as many as are whole when it is damaged.
std::vector<std::string> VorbisCommentFields(const TagLib::ByteVector& data, std::size_t at) {
    std::vector<std::string> fields;
    const std::size_t size = data.size();
    if (at > size || size - at < 4)
        return fields;
    const std::uint64_t vendor = Little32(data, at);
    if (vendor > size - at - 4 || size - at - 4 - vendor < 4)
        return fields;
    at += 4 + vendor;
    std::uint32_t count = Little32(data, at);
    at += 4;
    for (; count > 0 && size - at >= 4; --count) {
        const std::uint64_t length = Little32(data, at);
        if (length > size - at - 4)
            break;
        fields.emplace_back(data.data() + at + 4, static_cast<std::size_t>(length));
        at += 4 + length;
    }
    return fields;
}

// The Vorbis comment fields of a FLAC, Ogg Vorbis or Opus file, read again as the file
// holds them: TagLib ends a value at a NUL it holds. Empty for other files.
std::vector<std::string> RawVorbisComment(TagLib::File& file) {
    if (auto* vorbis = dynamic_cast<TagLib::Ogg::Vorbis::File*>(&file)) {
        const TagLib::ByteVector packet = vorbis->packet(1);
        return packet.startsWith(TagLib::ByteVector("\x03vorbis", 7))
                   ? VorbisCommentFields(packet, 7)
                   : std::vector<std::string>();
    }
    if (auto* opus = dynamic_cast<TagLib::Ogg::Opus::File*>(&file)) {
        const TagLib::ByteVector packet = opus->packet(1);
        return packet.startsWith("OpusTags") ? VorbisCommentFields(packet, 8)
                                             : std::vector<std::string>();
    }
    if (dynamic_cast<TagLib::FLAC::File*>(&file) == nullptr)
        return {};
    // "fLaC", then metadata blocks: a byte of last-block flag and type, three of length.
    // (An ID3v2 tag in front, which FLAC does not provide for, leaves TagLib's reading.)
    file.seek(0);
    if (!file.readBlock(4).startsWith("fLaC"))
        return {};
    long at = 4;
    for (int block = 0; block < 128; ++block) {
        file.seek(at);
        const TagLib::ByteVector header = file.readBlock(4);
        if (header.size() != 4)
            return {};
        const long length = static_cast<unsigned char>(header[1]) << 16 |
                            static_cast<unsigned char>(header[2]) << 8 |
                            static_cast<unsigned char>(header[3]);
        if ((header[0] & 0x7F) == 4)
            return VorbisCommentFields(file.readBlock(static_cast<unsigned long>(length)), 0);
        if (header[0] & 0x80)
            return {};
        at += 4 + length;
    }
    return {};
}

// The value of the fields named `key` (ignoring ASCII letter case, as Vorbis comments
// do), joined by " " as TagLib joins them, when one of them holds a NUL; nothing when
// none does, and TagLib's reading is whole.
std::optional<std::string> ValueWithNul(const std::vector<std::string>& fields,
                                        std::string_view key) {
    std::string joined;
    bool nul = false, any = false;
    for (const std::string& field : fields) {
        if (field.size() <= key.size() || field[key.size()] != '=' ||
            !std::equal(key.begin(), key.end(), field.begin(),
                        [](char k, char f) { return k == (f >= 'a' && f <= 'z' ? f - 32 : f); }))
            continue;
        const std::string_view value = std::string_view(field).substr(key.size() + 1);
        nul |= value.find('\0') != std::string_view::npos;
        if (any)
            joined += ' ';
        joined += value;
        any = true;
    }
    return nul ? std::optional<std::string>(std::move(joined)) : std::nullopt;
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
    // A NUL inside a FLAC or Ogg value is kept (the name shows it as "_"), not taken as
    // the value's end.
    const std::vector<std::string> raw = RawVorbisComment(file);
    const auto text = [&raw](const TagLib::String& read, const char* key) {
        if (std::optional<std::string> whole = ValueWithNul(raw, key))
            return Text(std::move(*whole));
        return Text(read);
    };
    values.Artist = text(tag->artist(), "ARTIST");
    values.Album = text(tag->album(), "ALBUM");
    values.Title = text(tag->title(), "TITLE");
    values.Genre = text(tag->genre(), "GENRE");
    // Track, disc and year from the text the tagger wrote ("7/12", "1999-05-01"), the same
    // way for every format; the Tag accessors read only some of these forms. They stand
    // in only where that text is missing: they wrap a number too big for them ("99999999999"
    // as 1215752191) or cut it ("12345" as 1234), and such a text has no value.
    const TagLib::PropertyMap properties = file.properties();
    constexpr long kMostNumber = 0x7fffffff;
    const std::optional<std::string> track = Property(properties, "TRACKNUMBER");
    values.Track = LeadingNumber(track, kMostNumber);
    if (!track && tag->track() > 0 && tag->track() <= kMostNumber)
        values.Track = static_cast<std::int32_t>(tag->track());
    values.Disc = LeadingNumber(Property(properties, "DISCNUMBER"), kMostNumber);
    const std::optional<std::string> year = Property(properties, "DATE");
    values.Year = LeadingNumber(year, 9999);
    if (!year && tag->year() > 0 && tag->year() <= 9999)
        values.Year = static_cast<std::int32_t>(tag->year());
    values.AlbumArtist = Property(properties, "ALBUMARTIST");
    if (!values.AlbumArtist)
        values.AlbumArtist = Property(properties, "ALBUM ARTIST");
    if (std::optional<std::string> whole = ValueWithNul(raw, "ALBUMARTIST"))
        values.AlbumArtist = Text(std::move(*whole));
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
