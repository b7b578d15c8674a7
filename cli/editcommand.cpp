#include "cli/editcommand.h"

#include "cli/clitags.h"
#include "cli/givenpath.h"
#include "cli/handnames.h"
#include "cli/previewcommand.h"
#include "cli/renamecommand.h"

#include <atomic>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qm::cli {
namespace {

int Refuse(const std::string& message) {
    std::fprintf(stderr, "quillmark-cli edit: %s\n", message.c_str());
    return 2;
}

bool HoldsLineBreak(std::string_view name) {
    return name.find_first_of("\r\n") != std::string_view::npos;
}

// The file an entry's path names now, told apart from any file put there later.
struct FileId {
    dev_t Device = 0;
    ino_t Inode = 0;
    bool operator==(const FileId&) const = default;
};

// The file of each entry, taken without following a link (a link is renamed, not its
// target). Nothing, with `missing` set to the slot, when a path names no file.
std::optional<std::vector<FileId>> FileIds(const GivenEntries& given, std::size_t& missing,
                                           int& error) {
    std::vector<FileId> ids;
    ids.reserve(given.Entries.size());
    std::string path;
    for (std::size_t i = 0; i < given.Entries.size(); ++i) {
        path.assign(given.Entries[i].Path);
        path += given.Entries[i].Name;
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) {
            missing = i;
            error = errno;
            return std::nullopt;
        }
        ids.push_back({st.st_dev, st.st_ino});
    }
    return ids;
}

// The private file the names are edited in, removed when this goes.
class EditFile {
public:
    ~EditFile() {
        if (!path_.empty())
            ::unlink(path_.c_str());
    }
    // Makes the file (mode 0600, in $TMPDIR or /tmp) holding `text`; a message when it
    // cannot be written whole.
    std::optional<std::string> Write(const std::string& text) {
        const char* tmp = std::getenv("TMPDIR");
        std::string name = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") +
                           "/quillmark-edit-XXXXXX.txt";
        const int fd = ::mkstemps(name.data(), 4);
        if (fd < 0)
            return "cannot make the file to edit the names in (" + name +
                   "): " + std::strerror(errno);
        path_ = name;
        std::size_t written = 0;
        while (written < text.size()) {
            const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                const int error = errno;
                ::close(fd);
                return "cannot write " + path_ + ": " + std::strerror(error);
            }
            written += static_cast<std::size_t>(n);
        }
        if (::close(fd) != 0)
            return "cannot write " + path_ + ": " + std::strerror(errno);
        return std::nullopt;
    }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

bool OnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string_view dirs = path != nullptr ? path : "/usr/bin:/bin";
    while (true) {
        const std::size_t colon = dirs.find(':');
        std::string dir(dirs.substr(0, colon));
        const std::string candidate = (dir.empty() ? "." : dir) + "/" + program;
        if (::access(candidate.c_str(), X_OK) == 0)
            return true;
        if (colon == std::string_view::npos)
            return false;
        dirs.remove_prefix(colon + 1);
    }
}

// $VISUAL, else $EDITOR, else `editor` or `vi` from PATH; nothing when there is none.
std::optional<std::string> EditorCommand() {
    for (const char* variable : {"VISUAL", "EDITOR"})
        if (const char* value = std::getenv(variable); value != nullptr && *value != '\0')
            return std::string(value);
    for (const char* program : {"editor", "vi"})
        if (OnPath(program))
            return std::string(program);
    return std::nullopt;
}

// Runs `editor` on `file` through the shell, so that a value such as "code --wait"
// works, with the terminal as its input and output even when ours are a pipe or a file.
// Returns "" when it exited with status 0, else why not.
std::string RunEditor(const std::string& editor, const std::string& file) {
    std::fflush(stdout);
    std::fflush(stderr);
    // Ctrl+C in the editor reaches the whole foreground group: the editor decides what it
    // means, and this process waits to clean up after it, as system() does.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    struct sigaction oldInt {};
    struct sigaction oldQuit {};
    sigaction(SIGINT, &ignore, &oldInt);
    sigaction(SIGQUIT, &ignore, &oldQuit);
    const pid_t child = ::fork();
    if (child == 0) {
        sigaction(SIGINT, &oldInt, nullptr);
        sigaction(SIGQUIT, &oldQuit, nullptr);
        for (const int fd : {STDIN_FILENO, STDOUT_FILENO})
            if (::isatty(fd) == 0) {
                const int tty = ::open("/dev/tty", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
                if (tty >= 0) {
                    ::dup2(tty, fd);
                    ::close(tty);
                }
            }
        const std::string command = editor + " \"$1\"";
        ::execl("/bin/sh", "sh", "-c", command.c_str(), "sh", file.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    pid_t waited = -1;
    if (child > 0)
        do
            waited = ::waitpid(child, &status, 0);
        while (waited < 0 && errno == EINTR);
    sigaction(SIGINT, &oldInt, nullptr);
    sigaction(SIGQUIT, &oldQuit, nullptr);
    if (child < 0 || waited < 0)
        return std::string("cannot run the editor: ") + std::strerror(errno);
    // The shell tells an editor it ran that was killed as 128 + the signal.
    const int signal = WIFSIGNALED(status)         ? WTERMSIG(status)
                       : WEXITSTATUS(status) > 128 ? WEXITSTATUS(status) - 128
                                                   : 0;
    if (signal != 0)
        return "the editor '" + editor + "' was ended by signal " + std::to_string(signal);
    if (WEXITSTATUS(status) != 0)
        return "the editor '" + editor + "' exited with status " +
               std::to_string(WEXITSTATUS(status)) +
               (WEXITSTATUS(status) == 127 ? " (not found?)" : "");
    return "";
}

// Asks on the terminal; true for "y" or "yes" in any case. Nothing when there is no
// terminal to ask on.
std::optional<bool> AskOnTerminal(const std::string& question) {
    const int tty = ::open("/dev/tty", O_RDWR | O_CLOEXEC);
    if (tty < 0)
        return std::nullopt;
    std::fflush(stdout);
    std::fflush(stderr);
    (void)!::write(tty, question.data(), question.size());
    std::string answer;
    char c = 0;
    ssize_t n = 0;
    while ((n = ::read(tty, &c, 1)) == 1 && c != '\n')
        answer += c;
    ::close(tty);
    if (n <= 0)
        return false;
    for (char& ch : answer)
        ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return answer == "y" || answer == "yes";
}

// The names to write: the scheme's as the planned run gives them, or the names today.
// A name the run cannot give (its entry fails without one) is written as it is today.
std::vector<std::string> NamesToEdit(const EditArgs& args, const RenameOptionSet& options,
                                     GivenEntries& given, const std::vector<std::string>& paths) {
    std::vector<std::string> names;
    names.reserve(given.Entries.size());
    if (!args.scheme.file && !args.scheme.name) {
        for (const TRunEntry& entry : given.Entries)
            names.push_back(entry.Name);
        return names;
    }
    GivenTags tags = ReadGivenTags(options, paths);
    for (std::size_t i = 0; i < tags.size(); ++i)
        given.Entries[i].Tags = std::move(tags[i]);
    const std::atomic<bool> never{false};
    TPrediction prediction =
        PredictRenames(given.Entries, options, RenameMode::Rename, RunOrder::Planned, never);
    for (std::size_t i = 0; i < given.Entries.size(); ++i) {
        std::string& candidate = prediction.Entries[i].Candidate;
        names.push_back(candidate.empty() ? given.Entries[i].Name : std::move(candidate));
        given.Entries[i].Tags = nullptr;
    }
    return names;
}

} // namespace

int RunEdit(const EditArgs& args) {
    RenameOptionSet options;
    if (args.scheme.file || args.scheme.name) {
        if (auto error = LoadScheme(args.scheme, options))
            return Refuse(*error);
        if (auto problem = UnknownTagProblem(options))
            return Refuse(*problem);
        if (args.start)
            options.NumberIncValue = *args.start;
    }
    std::vector<std::string> paths = args.paths;
    if (args.filesFrom) {
        std::string problem;
        const std::optional<std::string> listed =
            ReadPathList(*args.filesFrom, args.nullSeparated, problem);
        if (!listed)
            return Refuse(problem);
        ForEachListed(*listed, args.nullSeparated ? '\0' : '\n',
                      [&paths](std::string_view path) { paths.emplace_back(path); });
    }
    if (paths.empty())
        return Refuse("no paths to edit");

    GivenEntries given;
    given.Entries.reserve(paths.size());
    for (const std::string& path : paths)
        given.Add(path);
    std::size_t missing = 0;
    int error = 0;
    const std::optional<std::vector<FileId>> before = FileIds(given, missing, error);
    if (!before)
        return Refuse(paths[missing] + ": " + std::strerror(error));

    const std::vector<std::string> names = NamesToEdit(args, options, given, paths);
    // Only the names written become lines: a name the scheme changes may hold anything.
    for (std::size_t i = 0; i < names.size(); ++i)
        if (HoldsLineBreak(names[i]))
            return Refuse(paths[i] + ": the name to edit holds a line break, which a line "
                                     "cannot carry (rename it with --map -0)");
    const std::string written = EditText(names);
    const std::optional<std::string> editor = EditorCommand();
    if (!editor)
        return Refuse("no editor: set VISUAL or EDITOR");

    std::string text;
    {
        EditFile file;
        if (auto problem = file.Write(written))
            return Refuse(*problem);
        if (const std::string failed = RunEditor(*editor, file.Path()); !failed.empty())
            return Refuse(failed + "; nothing renamed");
        std::string problem;
        std::optional<std::string> read =
            ReadWholeFile(file.Path(), std::numeric_limits<std::size_t>::max(), problem);
        if (!read)
            return Refuse("cannot read the edited names back: " + problem);
        text = std::move(*read);
    }
    if (text == written) {
        // Leaving the file is how one backs out of an edit; the scheme's names as they
        // are have a command of their own.
        std::fprintf(stderr,
                     "quillmark-cli edit: the names were left as they were; nothing "
                     "renamed%s\n",
                     args.scheme.file || args.scheme.name
                         ? " (to give the scheme's names, use rename --plan)"
                         : "");
        return 0;
    }
    std::string problem;
    const std::optional<std::vector<std::string_view>> edited =
        ReadEditText(text, names.size(), problem);
    if (!edited)
        return Refuse(problem + "; nothing renamed");

    // A file moved or replaced while the editor ran would be renamed under a name meant
    // for another.
    const std::optional<std::vector<FileId>> after = FileIds(given, missing, error);
    if (!after)
        return Refuse(paths[missing] + ": gone while the names were edited (" +
                      std::strerror(error) + "); nothing renamed");
    for (std::size_t i = 0; i < after->size(); ++i)
        if ((*after)[i] != (*before)[i])
            return Refuse(paths[i] + ": another file is at this path since the names were written; "
                                     "nothing renamed");

    for (std::size_t i = 0; i < edited->size(); ++i)
        given.Entries[i].HandName = std::make_shared<const std::string>((*edited)[i]);
    text = {};
    const TPrediction prediction = TellPlannedRun(options, given, /*movesOnly=*/true);
    const int renamed = prediction.Tally.Renamed;
    if (args.dryRun || renamed == 0)
        return FinishRun("edit", prediction.Tally);
    if (!args.yes) {
        const std::optional<bool> yes = AskOnTerminal(
            "Rename " + std::to_string(renamed) + (renamed == 1 ? " file" : " files") + "? [y/N] ");
        if (!yes)
            return Refuse("no terminal to ask on: give --yes to rename without asking, or "
                          "--dry-run; nothing renamed");
        if (!*yes)
            return Refuse("nothing renamed");
    }
    return RunGivenPlanned("edit", std::move(given), options, /*verbose=*/false);
}

} // namespace qm::cli
