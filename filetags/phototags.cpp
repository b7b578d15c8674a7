#include "filetags/filetagreader.h"

#include <exiv2/exiv2.hpp>

#include <cstdio>
#include <mutex>

namespace qm {

namespace {

std::optional<std::string> Text(const Exiv2::ExifData& exif, const char* key) {
    const auto it = exif.findKey(Exiv2::ExifKey(key));
    if (it == exif.end())
        return std::nullopt;
    std::string text = it->toString();
    // Cameras pad these with spaces or NULs.
    const std::size_t end = text.find_last_not_of(std::string(" \0", 2));
    text.erase(end == std::string::npos ? 0 : end + 1);
    if (text.empty())
        return std::nullopt;
    return text;
}

// "YYYY:MM:DD HH:MM:SS", as EXIF writes a date; anything else is no date.
std::optional<TagDate> Date(const Exiv2::ExifData& exif, const char* key) {
    const std::optional<std::string> text = Text(exif, key);
    if (!text)
        return std::nullopt;
    TagDate d{};
    if (std::sscanf(text->c_str(), "%4d:%2d:%2d %2d:%2d:%2d", &d.Year, &d.Month, &d.Day, &d.Hour,
                    &d.Minute, &d.Second) != 6 ||
        d.Month < 1 || d.Month > 12 || d.Day < 1 || d.Day > 31 || d.Year <= 0)
        return std::nullopt;
    return d;
}

std::optional<std::uint64_t> Number(const Exiv2::ExifData& exif, const char* key) {
    const auto it = exif.findKey(Exiv2::ExifKey(key));
    if (it == exif.end() || it->count() == 0)
        return std::nullopt;
    const long value = it->toLong();
    if (value <= 0)
        return std::nullopt;
    return static_cast<std::uint64_t>(value);
}

} // namespace

void PrepareTagReading() {
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::XmpParser::initialize();
    });
}

void ReadPhotoTags(const std::string& path, TagValues& values) {
    PrepareTagReading();
    try {
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(path);
        if (!image.get())
            return;
        image->readMetadata();
        const Exiv2::ExifData& exif = image->exifData();
        values.Taken = Date(exif, "Exif.Photo.DateTimeOriginal");
        if (!values.Taken)
            values.Taken = Date(exif, "Exif.Photo.DateTimeDigitized");
        values.Make = Text(exif, "Exif.Image.Make");
        values.Model = Text(exif, "Exif.Image.Model");
        values.Width = Number(exif, "Exif.Photo.PixelXDimension");
        values.Height = Number(exif, "Exif.Photo.PixelYDimension");
        if (!values.Width && image->pixelWidth() > 0)
            values.Width = static_cast<std::uint64_t>(image->pixelWidth());
        if (!values.Height && image->pixelHeight() > 0)
            values.Height = static_cast<std::uint64_t>(image->pixelHeight());
    } catch (...) {
        // A file exiv2 cannot take is a file without photo data.
    }
}

} // namespace qm
