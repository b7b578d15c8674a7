#include "filetags/filetagreader.h"

#include <algorithm>
#include <mutex>
#include <exiv2/exiv2.hpp>

namespace qm {

namespace {

// The bytes of a text value up to its first NUL, blanks trimmed at both ends: cameras pad
// make and model with spaces or NULs. Other value types are no text (a hostile file may
// give a make of numbers).
std::optional<std::string> Text(const Exiv2::ExifData& exif, const char* key) {
    const auto it = exif.findKey(Exiv2::ExifKey(key));
    if (it == exif.end() || it->typeId() != Exiv2::asciiString)
        return std::nullopt;
    std::string text = it->toString();
    text.erase(std::min(text.find('\0'), text.size()));
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return std::nullopt;
    text.erase(text.find_last_not_of(" \t") + 1);
    text.erase(0, first);
    return text;
}

bool Digits(const std::string& text, std::size_t from, std::size_t count, int& value) {
    if (from + count > text.size())
        return false;
    value = 0;
    for (std::size_t i = from; i < from + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

int DaysInMonth(int year, int month) {
    constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    return month == 2 && leap ? 29 : kDays[month - 1];
}

// "YYYY:MM:DD HH:MM:SS", as EXIF writes a date; anything else is no date. What follows
// the seconds is ignored, and so are the sub-second and time-zone tags: the name shows
// the camera's own clock, as the camera's owner read it.
std::optional<TagDate> Date(const Exiv2::ExifData& exif, const char* key) {
    const std::optional<std::string> text = Text(exif, key);
    if (!text || text->size() < 19)
        return std::nullopt;
    const std::string& t = *text;
    // Some writers put "-" between the parts of the date; the separators are not checked
    // beyond being there.
    if (t[4] != ':' && t[4] != '-')
        return std::nullopt;
    TagDate d{};
    if (!Digits(t, 0, 4, d.Year) || !Digits(t, 5, 2, d.Month) || !Digits(t, 8, 2, d.Day) ||
        !Digits(t, 11, 2, d.Hour) || !Digits(t, 14, 2, d.Minute) || !Digits(t, 17, 2, d.Second))
        return std::nullopt;
    // "0000:00:00 00:00:00" is what cameras write for a clock never set; a day the month
    // does not have ("2024:02:30") is no date either.
    if (d.Year == 0 || d.Month < 1 || d.Month > 12 || d.Day < 1 ||
        d.Day > DaysInMonth(d.Year, d.Month) || d.Hour > 23 || d.Minute > 59 || d.Second > 60)
        return std::nullopt;
    return d;
}

std::optional<std::uint64_t> Number(const Exiv2::ExifData& exif, const char* key) {
    const auto it = exif.findKey(Exiv2::ExifKey(key));
    if (it == exif.end() || it->count() == 0)
        return std::nullopt;
    const Exiv2::TypeId type = it->typeId();
    if (type != Exiv2::unsignedShort && type != Exiv2::unsignedLong)
        return std::nullopt;
    const long value = it->toLong();
    if (value <= 0)
        return std::nullopt;
    return static_cast<std::uint64_t>(value);
}

void FillPhotoTags(Exiv2::Image& image, TagValues& values) {
    image.readMetadata();
    const Exiv2::ExifData& exif = image.exifData();
    // The moment the picture was taken; a scanned picture has only the moment it was
    // scanned. Exif.Image.DateTime is left out: editors set it on every save.
    values.Taken = Date(exif, "Exif.Photo.DateTimeOriginal");
    if (!values.Taken)
        values.Taken = Date(exif, "Exif.Photo.DateTimeDigitized");
    values.Make = Text(exif, "Exif.Image.Make");
    values.Model = Text(exif, "Exif.Image.Model");
    values.Width = Number(exif, "Exif.Photo.PixelXDimension");
    values.Height = Number(exif, "Exif.Photo.PixelYDimension");
    // Without the EXIF dimensions, the picture's own where the format tells them (a JPEG's
    // frame header; raw formats give 0 here).
    if (!values.Width && image.pixelWidth() > 0)
        values.Width = static_cast<std::uint64_t>(image.pixelWidth());
    if (!values.Height && image.pixelHeight() > 0)
        values.Height = static_cast<std::uint64_t>(image.pixelHeight());
}

} // namespace

void PreparePhotoTagReading() {
    // The photo library logs every oddity of a file to stderr; a damaged file is no
    // news here. Its XMP parser must be set up before two threads use it.
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    Exiv2::LogMsg::setHandler([](int, const char*) {});
    // A file's XMP packet may name namespaces the toolkit registers as it goes, in tables
    // shared by every thread: the lock handed over here guards them.
    static std::recursive_mutex xmpLock;
    Exiv2::XmpParser::initialize(
        [](void* lock, bool take) {
            auto* mutex = static_cast<std::recursive_mutex*>(lock);
            take ? mutex->lock() : mutex->unlock();
        },
        &xmpLock);
#ifdef EXV_ENABLE_BMFF
    // HEIC, AVIF and CR3 are read only when asked for.
    Exiv2::enableBMFF(true);
#endif
}

void ReadPhotoTags(const std::string& path, TagValues& values) {
    PrepareTagReading();
    try {
        const auto image = Exiv2::ImageFactory::open(path);
        if (image.get())
            FillPhotoTags(*image, values);
    } catch (...) {
        // A file exiv2 cannot take (or that asks for more memory than there is) is a file
        // without photo data.
    }
}

void ReadPhotoTagsFromBytes(const unsigned char* data, std::size_t size, TagValues& values) {
    PrepareTagReading();
    try {
        const auto image = Exiv2::ImageFactory::open(data, static_cast<long>(size));
        if (image.get())
            FillPhotoTags(*image, values);
    } catch (...) {
    }
}

} // namespace qm
