// Any bytes as a scheme file, read through the entry --scheme-file takes. Checked: the
// file gives an option set or a refusal with a reason; an option set read is one the
// window could hold (pairs within the record, sorted, the start number in range); and
// written back as a scheme file, it reads back equal.

#include "cli/schemesource.h"
#include "engine/runningnumber.h"
#include "settings/optionschemas.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

const std::string& SchemePath() {
    static const std::string path = [] {
        char name[] = "/tmp/schemetext-fuzz-XXXXXX";
        Check(mkdtemp(name) != nullptr);
        return std::string(name) + "/scheme.qms";
    }();
    return path;
}

void WriteFile(std::string_view bytes) {
    const int fd = open(SchemePath().c_str(), O_CREAT | O_TRUNC | O_WRONLY | O_CLOEXEC, 0600);
    Check(fd >= 0 && write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()));
    close(fd);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    WriteFile(std::string_view(reinterpret_cast<const char*>(data), size));
    qm::cli::SchemeSource source;
    source.file = SchemePath();
    qm::RenameOptionSet options;
    if (const auto refusal = qm::cli::LoadScheme(source, options)) {
        Check(!refusal->empty());
        return 0;
    }
    Check(options.ReplaceCount >= 0 && options.ReplaceCount <= qm::MaxReplacePairs);
    Check(options.NumberIncValue >= 0 && options.NumberIncValue <= qm::MaxNumberIncValue);
    for (int i = 1; i < options.ReplaceCount; ++i)
        Check(qm::CompareReplaceText(options.ReplacePairs[static_cast<std::size_t>(i - 1)].Replace,
                                     options.ReplacePairs[static_cast<std::size_t>(i)].Replace) <=
              0);

    WriteFile(qm::WriteSchemeText(options));
    qm::RenameOptionSet again;
    const auto refusal = qm::cli::LoadScheme(source, again);
    Check(!refusal);
    Check(again == options);
    return 0;
}
