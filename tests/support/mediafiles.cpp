#include "mediafiles.h"

#include <cstdint>
#include <cstdio>
#include <exiv2/exiv2.hpp>
#include <fstream>
#include <jpeglib.h>
#include <stdexcept>
#include <taglib/fileref.h>
#include <taglib/tpropertymap.h>
#include <vector>

namespace qm::test {

namespace {

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

void EncodeGreyJpeg(const std::string& path, int width, int height) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        throw std::runtime_error("cannot write " + path);
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 1;
    info.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 50, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(static_cast<std::size_t>(width), 128);
    while (info.next_scanline < info.image_height) {
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::fclose(file);
}

void Append32(std::string& out, std::uint32_t v, bool bigEndian) {
    for (int i = 0; i < 4; ++i) {
        const int shift = bigEndian ? 24 - 8 * i : 8 * i;
        out += static_cast<char>((v >> shift) & 0xFF);
    }
}

// MPEG-1 layer III, 128 kbit/s, 44.1 kHz, stereo: 417-byte frames of silence.
std::string Mp3Frames(int count) {
    std::string frame(417, '\0');
    frame[0] = '\xFF';
    frame[1] = '\xFB';
    frame[2] = '\x90';
    frame[3] = '\x64';
    std::string out;
    for (int i = 0; i < count; ++i)
        out += frame;
    return out;
}

// "fLaC" and a STREAMINFO block (44.1 kHz, stereo, 16 bits, length unknown), no frames.
std::string FlacHead() {
    std::string out = "fLaC";
    out += '\x80'; // last metadata block, type STREAMINFO
    out += std::string("\x00\x00\x22", 3);
    out += std::string("\x10\x00\x10\x00", 4); // block sizes 4096..4096
    out += std::string(6, '\0');               // frame sizes unknown
    // 20 bits rate 44100, 3 bits channels-1 = 1, 5 bits bits-1 = 15, 36 bits samples = 0.
    const std::uint64_t packed =
        (std::uint64_t{44100} << 44) | (std::uint64_t{1} << 41) | (std::uint64_t{15} << 36);
    for (int i = 7; i >= 0; --i)
        out += static_cast<char>((packed >> (8 * i)) & 0xFF);
    out += std::string(16, '\0'); // MD5 unknown
    return out;
}

std::uint32_t OggCrc(const std::string& page) {
    std::uint32_t crc = 0;
    for (unsigned char byte : page) {
        crc ^= static_cast<std::uint32_t>(byte) << 24;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    return crc;
}

// One Ogg page holding whole packets (each under 255 * 255 bytes).
std::string OggPage(const std::vector<std::string>& packets, std::uint32_t sequence,
                    unsigned char flags) {
    std::string lacing;
    std::string body;
    for (const std::string& packet : packets) {
        std::size_t left = packet.size();
        while (left >= 255) {
            lacing += '\xFF';
            left -= 255;
        }
        lacing += static_cast<char>(left);
        body += packet;
    }
    std::string page = "OggS";
    page += '\0';
    page += static_cast<char>(flags);
    page += std::string(8, '\0');       // granule position
    Append32(page, 0x51554C4Cu, false); // stream serial
    Append32(page, sequence, false);
    Append32(page, 0, false); // CRC, filled in below
    page += static_cast<char>(lacing.size());
    page += lacing;
    page += body;
    const std::uint32_t crc = OggCrc(page);
    for (int i = 0; i < 4; ++i)
        page[22 + i] = static_cast<char>((crc >> (8 * i)) & 0xFF);
    return page;
}

std::string VorbisFile() {
    std::string id = "\x01vorbis";
    Append32(id, 0, false);      // version
    id += '\x02';                // channels
    Append32(id, 44100, false);  // rate
    Append32(id, 0, false);      // bitrate maximum
    Append32(id, 128000, false); // nominal
    Append32(id, 0, false);      // minimum
    id += '\xB8';                // block sizes 256 and 2048
    id += '\x01';                // framing
    std::string comment = "\x03vorbis";
    const std::string vendor = "made for a test";
    Append32(comment, static_cast<std::uint32_t>(vendor.size()), false);
    comment += vendor;
    Append32(comment, 0, false); // no comments yet
    comment += '\x01';
    // A setup header the tag reader does not look into.
    const std::string setup = std::string("\x05vorbis", 7) + std::string(8, '\0');
    return OggPage({id}, 0, 0x02) + OggPage({comment, setup}, 1, 0x00);
}

std::string OpusFile() {
    std::string head = "OpusHead";
    head += '\x01'; // version
    head += '\x02'; // channels
    head += std::string(2, '\0');
    Append32(head, 48000, false); // the input's rate
    head += std::string(3, '\0'); // gain, channel mapping
    std::string tags = "OpusTags";
    const std::string vendor = "made for a test";
    Append32(tags, static_cast<std::uint32_t>(vendor.size()), false);
    tags += vendor;
    Append32(tags, 0, false); // no comments yet
    return OggPage({head}, 0, 0x02) + OggPage({tags}, 1, 0x00);
}

} // namespace

void WriteJpeg(const std::string& path, const PhotoFields& fields) {
    EncodeGreyJpeg(path, fields.Width, fields.Height);
    if (fields.Taken.empty() && fields.Make.empty() && fields.Model.empty())
        return;
    try {
        const auto image = Exiv2::ImageFactory::open(path);
        Exiv2::ExifData exif;
        if (!fields.Taken.empty())
            exif["Exif.Photo.DateTimeOriginal"] = fields.Taken;
        if (!fields.Make.empty())
            exif["Exif.Image.Make"] = fields.Make;
        if (!fields.Model.empty())
            exif["Exif.Image.Model"] = fields.Model;
        exif["Exif.Photo.PixelXDimension"] = static_cast<std::uint32_t>(fields.Width);
        exif["Exif.Photo.PixelYDimension"] = static_cast<std::uint32_t>(fields.Height);
        image->setExifData(exif);
        image->writeMetadata();
    } catch (const Exiv2::AnyError& e) {
        throw std::runtime_error("cannot write the EXIF data of " + path + ": " + e.what());
    }
}

void WriteMusic(const std::string& path, MusicKind kind, const MusicFields& fields) {
    switch (kind) {
    case MusicKind::Mp3:
        WriteBytes(path, Mp3Frames(20));
        break;
    case MusicKind::Flac:
        WriteBytes(path, FlacHead());
        break;
    case MusicKind::OggVorbis:
        WriteBytes(path, VorbisFile());
        break;
    case MusicKind::OggOpus:
        WriteBytes(path, OpusFile());
        break;
    }
    TagLib::FileRef file(path.c_str(), false);
    if (file.isNull())
        throw std::runtime_error("the tag library does not take " + path);
    TagLib::PropertyMap properties;
    const auto put = [&](const char* key, const std::string& value) {
        if (!value.empty())
            properties.insert(key, TagLib::StringList(TagLib::String(value, TagLib::String::UTF8)));
    };
    put("ARTIST", fields.Artist);
    put("ALBUMARTIST", fields.AlbumArtist);
    put("ALBUM", fields.Album);
    put("TITLE", fields.Title);
    put("GENRE", fields.Genre);
    put("TRACKNUMBER", fields.Track);
    put("DISCNUMBER", fields.Disc);
    put("DATE", fields.Year);
    file.file()->setProperties(properties);
    if (!file.save())
        throw std::runtime_error("cannot write the tags of " + path);
}

} // namespace qm::test
