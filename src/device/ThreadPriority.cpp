// The exchange thread's priority.
#include "device/ThreadPriority.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <fstream>
#include <string>
#include <system_error>

namespace velda {

namespace {

bool HasCapSysNice() {
    constexpr int kCapSysNice = 23;
    std::ifstream status("/proc/thread-self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("CapEff:", 0) != 0) continue;
        const std::size_t first = line.find_first_not_of(" \t", 7);
        if (first == std::string::npos) return false;
        unsigned long long caps = 0;
        const char *end = line.data() + line.size();
        if (std::from_chars(line.data() + first, end, caps, 16).ec != std::errc{}) return false;
        return (caps >> kCapSysNice) & 1U;
    }
    return false;
}

} // namespace

bool IdlePriorityReversible(int niceValue, unsigned long long niceLimit, bool capSysNice) {
    if (capSysNice) return true;
    const auto needed = static_cast<unsigned long long>(20 - std::clamp(niceValue, -20, 19));
    return needed <= niceLimit;
}

bool IdlePriorityReversible() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NICE, &limit) != 0) return false;
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
    if (nice == -1 && errno != 0) return false;
    const unsigned long long soft =
        limit.rlim_cur == RLIM_INFINITY ? ~0ULL : static_cast<unsigned long long>(limit.rlim_cur);
    return IdlePriorityReversible(nice, soft, HasCapSysNice());
}

void SetCallingThreadIdle(bool idle) {
    sched_param param{};
    param.sched_priority = 0;
    static_cast<void>(pthread_setschedparam(pthread_self(), idle ? SCHED_IDLE : SCHED_OTHER, &param));
}

} // namespace velda
