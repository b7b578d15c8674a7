#include "rename/background.h"

#include <algorithm>
#include <cerrno>
#include <sys/resource.h>
#include <unistd.h>

namespace qm {

void GiveWayToTheRun() {
    // On Linux a nice value belongs to the thread (its id as the "process").
    const auto self = static_cast<id_t>(gettid());
    errno = 0;
    const int now = getpriority(PRIO_PROCESS, self);
    if (now == -1 && errno != 0)
        return;
    setpriority(PRIO_PROCESS, self, std::min(now + 10, 19));
}

} // namespace qm
