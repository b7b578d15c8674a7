#include "filetags/filetagreader.h"

#include <ctime>
#include <mutex>
#include <sys/stat.h>

namespace qm {

namespace {

std::int64_t Nanoseconds(const timespec& t) {
    return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

TFileStamp StampOf(const struct stat& st) {
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
            static_cast<std::uint64_t>(st.st_size), Nanoseconds(st.st_mtim),
            Nanoseconds(st.st_ctim)};
}

} // namespace

void PrepareTagReading() {
    static std::once_flag once;
    std::call_once(once, [] {
        PreparePhotoTagReading();
        PrepareMusicTagReading();
    });
}

std::optional<TFileStamp> StampOfFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return StampOf(st);
}

bool ReadFileSystemTags(const std::string& path, TagValues& values, TFileStamp& stamp) {
    // The folder's name is the path's last but one component; "/" alone has none.
    const std::size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0) {
        const std::size_t before = path.find_last_of('/', slash - 1);
        const std::size_t from = before == std::string::npos ? 0 : before + 1;
        if (slash > from)
            values.Folder = path.substr(from, slash - from);
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return false;
    stamp = StampOf(st);
    values.Size = static_cast<std::uint64_t>(st.st_size);
    // Wall-clock time here, as a file manager shows it.
    std::tm local{};
    if (::localtime_r(&st.st_mtim.tv_sec, &local))
        values.Modified = TagDate{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                  local.tm_hour,        local.tm_min,     local.tm_sec};
    return S_ISREG(st.st_mode);
}

std::shared_ptr<const TEntryTags> ReadFileTags(const std::string& path, unsigned sources) {
    auto tags = std::make_shared<TEntryTags>();
    tags->Sources = sources;
    // The stamp is taken first, whatever is asked for, so that a file written while it is
    // read looks changed afterwards rather than current.
    TagValues fileValues;
    const bool regular = ReadFileSystemTags(path, fileValues, tags->Stamp);
    if (sources & static_cast<unsigned>(TagSource::File)) {
        tags->Values.Modified = fileValues.Modified;
        tags->Values.Size = fileValues.Size;
        tags->Values.Folder = std::move(fileValues.Folder);
    }
    // Only a regular file's content is read: opening a FIFO waits for a writer that may
    // never come, and a device may never end.
    if (!regular)
        return tags;
    if (sources & static_cast<unsigned>(TagSource::Photo))
        ReadPhotoTags(path, tags->Values);
    if (sources & static_cast<unsigned>(TagSource::Music))
        ReadMusicTags(path, tags->Values);
    return tags;
}

} // namespace qm
