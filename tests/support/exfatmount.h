#pragma once

// A real folder that ignores letter case: an exFAT image mounted through FUSE for one
// test. Needs root (for the loop device) and /dev/fuse; otherwise Error() says why not.

#include "renamefolder.h"

#include <string>
#include <vector>

namespace qm::test {

class ExfatMount {
public:
    // Empty Error() when mounted.
    ExfatMount();
    ~ExfatMount();
    ExfatMount(const ExfatMount&) = delete;
    ExfatMount& operator=(const ExfatMount&) = delete;
    const std::string& Error() const { return error_; }
    // The mounted folder, ending in "/".
    std::string Folder() const { return mount_ + "/"; }

private:
    bool Step(const std::string& program, const std::vector<std::string>& args);

    RenameFolder scratch_;
    std::string image_, mount_, loopDevice_, error_;
    bool mounted_ = false;
};

} // namespace qm::test
