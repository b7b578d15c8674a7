#include "rename/journal.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qm {
namespace {

constexpr std::string_view kSuffix = ".qmjournal";

TJournalRead Unreadable(int error) {
    TJournalRead read;
    read.Status = TJournalRead::Unreadable;
    read.Problem = std::strerror(error);
    return read;
}

int WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

int SyncFolder(const std::string& folder) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const int error = fsync(fd) == 0 ? 0 : errno;
    close(fd);
    return error;
}

// mkdir -p, each folder made synced into its parent so that the journal's folder
// survives a lost machine as well as the journal does.
int MakeFolders(const std::string& folder) {
    for (std::size_t slash = folder.find('/', 1); slash != std::string::npos;
         slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (mkdir(part.c_str(), 0700) == 0) {
            SyncFolder(part.substr(0, part.rfind('/') + 1));
        } else if (errno != EEXIST) {
            return errno;
        }
    }
    struct stat st {};
    if (stat(folder.c_str(), &st) != 0)
        return errno;
    return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
}

std::string NewRunId() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm utc{};
    gmtime_r(&now.tv_sec, &utc);
    char id[64];
    // UTC, so that the names sort by time across changes of the clock's zone; the tail
    // keeps two runs of the same millisecond apart.
    std::snprintf(id, sizeof id, "%04d%02d%02d-%02d%02d%02d-%03ld-%04x", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                  now.tv_nsec / 1000000,
                  static_cast<unsigned>((now.tv_nsec / 1000) ^ getpid() * 2654435761u) & 0xFFFF);
    return id;
}

std::string ErrorText(const std::string& what, int error) {
    return what + ": " + std::strerror(error);
}

} // namespace

TJournalRead ReadJournal(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return Unreadable(errno);
    std::string bytes;
    struct stat st {};
    if (fstat(fd, &st) == 0 && st.st_size > 0)
        bytes.reserve(static_cast<std::size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n > 0) {
            bytes.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            const int error = errno;
            close(fd);
            return Unreadable(error);
        }
    }
    close(fd);
    return ParseJournal(bytes);
}

TJournalRead ReadJournalHeader(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return Unreadable(errno);
    // The magic and the first record's frame, then that record: the header comes first.
    auto readAt = [fd](std::string& bytes, std::size_t size) {
        while (bytes.size() < size) {
            char buffer[4096];
            const ssize_t n = pread(fd, buffer, std::min(sizeof buffer, size - bytes.size()),
                                    static_cast<off_t>(bytes.size()));
            if (n == 0 || (n < 0 && errno != EINTR))
                return n == 0 ? 0 : errno;
            if (n > 0)
                bytes.append(buffer, static_cast<std::size_t>(n));
        }
        return 0;
    };
    std::string bytes;
    int error = readAt(bytes, kJournalLead);
    if (error == 0 && bytes.size() == kJournalLead) {
        const std::uint32_t length = JournalFirstRecordLength(bytes);
        // A header is a few hundred bytes; a longer one is read (and refused) as a whole.
        if (length > 64 * 1024) {
            close(fd);
            return ReadJournal(path);
        }
        error = readAt(bytes, bytes.size() + length);
    }
    close(fd);
    if (error != 0)
        return Unreadable(error);
    return ParseJournal(bytes);
}

std::string JournalFolder() {
    std::string base;
    // As the base-directory rules ask: a relative value is ignored.
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && state[0] == '/') {
        base = state;
    } else if (const char* home = std::getenv("HOME"); home && home[0] == '/') {
        base = std::string(home) + "/.local/state";
    } else {
        base = "/tmp";
    }
    if (!base.ends_with('/'))
        base += '/';
    return base + "Marlowick/Quillmark/";
}

std::vector<std::string> JournalFiles(const std::string& folder) {
    std::vector<std::string> files;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr)
        return files;
    while (const dirent* entry = readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name.size() > kSuffix.size() && name.ends_with(kSuffix))
            files.push_back(folder + std::string(name));
    }
    closedir(dir);
    std::sort(files.begin(), files.end());
    return files;
}

std::string JournalPath(const std::string& folder, const std::string& runId) {
    return folder + runId + std::string(kSuffix);
}

namespace {

// A mark after the run's own records: one record, appended and synced.
std::string AppendMark(const std::string& path, const std::string& record) {
    const int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0)
        return ErrorText(path, errno);
    int error = WriteAll(fd, record);
    if (error == 0 && fdatasync(fd) != 0)
        error = errno;
    close(fd);
    return error == 0 ? std::string() : ErrorText(path, error);
}

} // namespace

// The name is NewRunId's: UTC "YYYYMMDD-HHMMSS-...".
std::int64_t JournalNameTime(const std::string& path) {
    const std::string_view name = std::string_view(path).substr(path.rfind('/') + 1);
    tm utc{};
    int fields[6];
    const int widths[6] = {4, 2, 2, 2, 2, 2};
    std::size_t at = 0;
    for (int i = 0; i < 6; ++i) {
        if (i == 3 && (at >= name.size() || name[at++] != '-'))
            return -1;
        fields[i] = 0;
        for (int d = 0; d < widths[i]; ++d, ++at) {
            if (at >= name.size() || name[at] < '0' || name[at] > '9')
                return -1;
            fields[i] = fields[i] * 10 + (name[at] - '0');
        }
    }
    utc.tm_year = fields[0] - 1900;
    utc.tm_mon = fields[1] - 1;
    utc.tm_mday = fields[2];
    utc.tm_hour = fields[3];
    utc.tm_min = fields[4];
    utc.tm_sec = fields[5];
    return static_cast<std::int64_t>(timegm(&utc));
}

int PruneJournals(const std::string& folder, const TJournalKeep& keep, const std::string& current,
                  std::int64_t now) {
    const std::vector<std::string> files = JournalFiles(folder);
    // Newest first: what the count and the age keep, then what fits the size.
    std::vector<std::uint64_t> sizes(files.size(), 0);
    for (std::size_t i = 0; i < files.size(); ++i) {
        struct stat st {};
        if (stat(files[i].c_str(), &st) == 0)
            sizes[i] = static_cast<std::uint64_t>(st.st_size);
    }
    const std::int64_t oldest =
        keep.Days > 0 ? now - std::int64_t{keep.Days} * 24 * 60 * 60 : INT64_MIN;
    std::uint64_t total = 0;
    bool full = false; // once one is over the size, every older one goes too
    int removed = 0;
    for (std::size_t k = 0; k < files.size(); ++k) {
        const std::size_t i = files.size() - 1 - k;
        full = full || total + sizes[i] > keep.MaxBytes;
        const bool kept = k < keep.Newest || JournalNameTime(files[i]) >= oldest;
        if (kept && !full) {
            total += sizes[i];
            continue;
        }
        // Never the run being written, one going on elsewhere, or one that does not read
        // well: those stay, and count to the size like any other.
        if (files[i] == current || JournalInUse(files[i]) ||
            ReadJournal(files[i]).Status != TJournalRead::Ok) {
            total += sizes[i];
            continue;
        }
        if (unlink(files[i].c_str()) == 0)
            ++removed;
    }
    return removed;
}

bool JournalInUse(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool held = flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    close(fd);
    return held;
}

std::string MarkJournalUndone(const std::string& path, const std::string& undoRunId) {
    return AppendMark(path, EncodeUndoneMark(undoRunId));
}

std::string MarkJournalKept(const std::string& path) {
    return AppendMark(path, EncodeKeptMark());
}

TJournalWriter::~TJournalWriter() {
    if (fd_ >= 0)
        close(fd_);
}

std::string TJournalWriter::Begin(const std::string& folder, TJournal header,
                                  std::span<const TJournalMoveRef> moves, const TJournalKeep& keep,
                                  std::size_t room) {
    if (const int error = MakeFolders(folder))
        return ErrorText(folder, error);
    for (int attempt = 0; fd_ < 0; ++attempt) {
        runId_ = NewRunId();
        path_ = JournalPath(folder, runId_);
        fd_ = open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0600);
        if (fd_ < 0 && (errno != EEXIST || attempt == 16))
            return ErrorText(path_, errno);
    }
    // Held until Close (or the end of the process), so that another program pruning
    // old journals leaves this run's alone however many runs it makes meanwhile, and a
    // window starting up does not take the run for an interrupted one. Another program
    // may hold a shared lock for the moment of its look (JournalInUse): wait that out,
    // as a journal left unlocked would pass for an interrupted run all the while.
    for (int wait = 0; flock(fd_, LOCK_EX | LOCK_NB) != 0 && wait < 1000; ++wait) {
        if (errno != EWOULDBLOCK && errno != EINTR)
            break;
        usleep(1000);
    }

    header.RunId = runId_;
    header.Time = std::time(nullptr);
    header.Pid = static_cast<std::uint32_t>(getpid());
    header.CurrentFolder = "/";
    if (char* cwd = getcwd(nullptr, 0)) {
        header.CurrentFolder = cwd;
        std::free(cwd);
        if (!header.CurrentFolder.ends_with('/'))
            header.CurrentFolder += '/';
    }
    std::string out = EncodeJournalHeader(header);
    EncodeAnnounced(coder_, moves, out);

    int error = WriteAll(fd_, out);
    if (error == 0 && fdatasync(fd_) != 0)
        error = errno;
    if (error == 0)
        error = SyncFolder(folder);
    if (error != 0) {
        // Half a journal would only confuse a later undo; the run does not start.
        close(fd_);
        fd_ = -1;
        unlink(path_.c_str());
        return ErrorText(path_, error);
    }
    size_ = out.size();
    announced_.store(moves.size(), std::memory_order_release);
    results_.assign(std::max(room, moves.size()), MoveResult::NotReached);

    folder_ = folder;
    keep_ = keep;
    time_ = header.Time;
    pruned_.store(false, std::memory_order_release);
    return {};
}

void TJournalWriter::PruneOlder() {
    if (!pruned_.exchange(true, std::memory_order_acq_rel))
        PruneJournals(folder_, keep_, path_, time_);
}

int TJournalWriter::Append(std::string_view record) {
    if (fd_ < 0)
        return EBADF;
    const std::lock_guard<std::mutex> lock(writing_);
    const int error = WriteAll(fd_, record);
    if (error == 0)
        size_ += record.size();
    return error;
}

int TJournalWriter::Announce(std::span<const TJournalMoveRef> moves) {
    if (fd_ < 0)
        return EBADF;
    if (moves.empty())
        return 0;
    const std::size_t before = announced_.load(std::memory_order_relaxed);
    if (moves.size() > results_.size() - before)
        return EOVERFLOW;
    TAnnounceCoder coder = coder_;
    std::string out;
    EncodeAnnounced(coder, moves, out);
    const std::lock_guard<std::mutex> lock(writing_);
    int error = WriteAll(fd_, out);
    if (error == 0 && fdatasync(fd_) != 0)
        error = errno;
    if (error != 0) {
        // A part cut short would be read as damaged, or leave a later record behind it:
        // the journal goes back to what it held.
        if (ftruncate(fd_, static_cast<off_t>(size_)) != 0) {
            close(fd_);
            fd_ = -1;
        }
        return error;
    }
    size_ += out.size();
    coder_ = std::move(coder);
    announced_.store(before + moves.size(), std::memory_order_release);
    return 0;
}

int TJournalWriter::Replace(std::size_t index, const TJournalMoveRef& actual) {
    return Append(EncodeReplace(index, actual));
}

int TJournalWriter::Insert(std::size_t index, const TJournalMoveRef& actual) {
    const int error = Append(EncodeInsert(index, actual));
    if (error == 0)
        inserted_.push_back(MoveResult::NotReached);
    return error;
}

void TJournalWriter::SetResult(std::size_t index, MoveResult result) {
    const std::size_t announced = Announced();
    if (index < announced)
        results_[index] = result;
    else if (index >= kInserted && index - kInserted < inserted_.size())
        inserted_[index - kInserted] = result;
    else if (index - announced < inserted_.size())
        inserted_[index - announced] = result;
}

std::string TJournalWriter::Close(const RenameTally& tally) {
    results_.resize(Announced());
    results_.insert(results_.end(), inserted_.begin(), inserted_.end());
    int error = Append(EncodeClose(tally, results_));
    if (error == 0 && fdatasync(fd_) != 0)
        error = errno;
    if (fd_ >= 0)
        close(fd_);
    fd_ = -1;
    PruneOlder();
    return error == 0 ? std::string() : ErrorText(path_, error);
}

std::string JournalLocalTime(std::int64_t seconds, const char* format) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    tm local{};
    localtime_r(&t, &local);
    char text[64];
    if (std::strftime(text, sizeof text, format, &local) == 0)
        return {};
    return text;
}

} // namespace qm