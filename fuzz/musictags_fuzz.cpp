// Any bytes as a music file of any kind TagLib tells by its content: the tag reader must
// neither crash nor hang, and what it gives must be what a name can take: texts without
// outer blanks, numbers above zero, a year of four digits at most.

#include "filetags/filetagreader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

void CheckText(const std::optional<std::string>& text) {
    if (!text)
        return;
    Check(!text->empty() && text->front() != ' ' && text->back() != ' ');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    qm::TagValues values;
    qm::ReadMusicTagsFromBytes(data, size, values);
    for (const auto* text :
         {&values.Artist, &values.AlbumArtist, &values.Album, &values.Title, &values.Genre})
        CheckText(*text);
    Check(!values.Track || *values.Track > 0);
    Check(!values.Disc || *values.Disc > 0);
    Check(!values.Year || (*values.Year > 0 && *values.Year <= 9999));
    // The music reader fills only its own tags.
    Check(!values.Taken && !values.Make && !values.Size);
    return 0;
}
