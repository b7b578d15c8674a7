// Any bytes as a photo: the EXIF reader must neither crash nor hang, and what it gives
// must be what a name can take: a real date, texts without NULs or outer blanks, sizes
// above zero.

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
    Check(!text->empty() && text->find('\0') == std::string::npos);
    Check(text->front() != ' ' && text->back() != ' ');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    qm::TagValues values;
    qm::ReadPhotoTagsFromBytes(data, size, values);
    if (values.Taken) {
        const qm::TagDate& d = *values.Taken;
        Check(d.Year >= 1 && d.Year <= 9999 && d.Month >= 1 && d.Month <= 12 && d.Day >= 1 &&
              d.Day <= 31 && d.Hour >= 0 && d.Hour <= 23 && d.Minute >= 0 && d.Minute <= 59 &&
              d.Second >= 0 && d.Second <= 60);
    }
    CheckText(values.Make);
    CheckText(values.Model);
    Check(!values.Width || *values.Width > 0);
    Check(!values.Height || *values.Height > 0);
    // The photo reader fills only its own tags.
    Check(!values.Title && !values.Track && !values.Modified);
    return 0;
}
