#pragma once

// Small photo and music files made on the spot, with the EXIF data and tags a test or a
// benchmark asks for: a JPEG encoded here and tagged through exiv2, and MP3, FLAC, Ogg
// Vorbis and Opus files built from a few valid headers and tagged through TagLib. The
// audio holds no sound; the files are whole enough for every reader to take them.
//
// Link with exiv2, TagLib and libjpeg (PkgConfig::EXIV2, PkgConfig::TAGLIB, JPEG::JPEG).

#include <string>

namespace qm::test {

// An empty text is a field not written.
struct PhotoFields {
    std::string Taken; // as EXIF writes it: "2024:05:06 07:08:09"
    std::string Make, Model;
    int Width = 8, Height = 8; // the picture's own size; also written as the EXIF dimensions
};

// Writes a grey JPEG of the size given with the EXIF fields given (none at all when every
// text is empty). Throws std::runtime_error when it cannot.
void WriteJpeg(const std::string& path, const PhotoFields& fields);

enum class MusicKind { Mp3, Flac, OggVorbis, OggOpus };

struct MusicFields {
    std::string Artist, AlbumArtist, Album, Title, Genre;
    std::string Track; // "7" or "7/12"; empty: none
    std::string Disc;  // "1" or "1/2"; empty: none
    std::string Year;  // "1999"; empty: none
};

// Writes a silent music file of that kind with the tags given (as text properties, as a
// tagger writes them). Throws std::runtime_error when it cannot.
void WriteMusic(const std::string& path, MusicKind kind, const MusicFields& fields);

} // namespace qm::test
