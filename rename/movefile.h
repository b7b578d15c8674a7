#pragma once

// A rename that never replaces a file: the file `folder` + `from` takes the name
// `folder` + `to` only when nothing is called `to` yet. `folder` is "" (the current
// folder) or ends in "/". A `to` holding "/" moves the entry into that existing folder
// below `folder`; one that begins with "/" or has a ".." part, and so would leave
// `folder`, is refused with EINVAL. A change of letter case alone also works on folders
// that ignore letter case.
//
// Returns 0, or the errno value of the failure, in which case nothing has changed on
// disk. The one exception: a case-only change goes through a temporary name, and when
// both its second step and the step back fail, the file stays under that temporary name
// (".qm-case-...") in the same folder; the error of the second step is returned.
// Never copies: a move to another file system fails with EXDEV.
//
// Thread-safe as far as `calls` is; the system calls are.

#include <string>

namespace qm {

class TFileCalls;

int MoveFileNoReplace(const std::string& folder, const std::string& from, const std::string& to);
int MoveFileNoReplace(const std::string& folder, const std::string& from, const std::string& to,
                      TFileCalls& calls);

} // namespace qm
