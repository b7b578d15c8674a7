#pragma once

// Reads the tags of a file (tagtext.h) from the file itself: its file-system data
// (modified, size, folder), a photo's EXIF data (taken, make, model, width, height) and a
// music file's tags (artist, albumartist, album, title, track, disc, year, genre). No Qt;
// safe on any thread, several files at once.
//
// A file that cannot be read, is damaged, truncated or of another kind simply lacks the
// tags concerned: these functions never throw, and a hostile file gives "missing", never
// a crash or a hang.

#include "filelist/entrytags.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

namespace qm {

// Once, before files are read on several threads: the photo library's own one-time set-up
// is not safe to race, and both libraries are told to keep quiet (nothing of theirs goes
// to stderr). Calling it again does nothing; every reader below calls it.
void PrepareTagReading();

// The stamp of the file at `path` (stat, following a link); nullopt when it cannot be had.
std::optional<TFileStamp> StampOfFile(const std::string& path);

// Reads the tags of the TagSource bits `sources` of the file at `path` (a full path: the
// folder tag is its last but one component). Sources records what was asked for, whether
// or not a value was found. Photo and music data are read from regular files only (a link
// is followed); a FIFO, a device or a folder lacks them.
std::shared_ptr<const TEntryTags> ReadFileTags(const std::string& path, unsigned sources);

// The parts: each fills the values of its own source and leaves the others alone.
// ReadFileSystemTags tells whether `path` is a regular file (the others do not check).
// The ...FromBytes forms read a file's content held in memory, through the same code.
bool ReadFileSystemTags(const std::string& path, TagValues& values, TFileStamp& stamp);
void ReadPhotoTags(const std::string& path, TagValues& values);
void ReadPhotoTagsFromBytes(const unsigned char* data, std::size_t size, TagValues& values);
void ReadMusicTags(const std::string& path, TagValues& values);
void ReadMusicTagsFromBytes(const unsigned char* data, std::size_t size, TagValues& values);

// Each library's share of PrepareTagReading.
void PreparePhotoTagReading();
void PrepareMusicTagReading();

} // namespace qm
