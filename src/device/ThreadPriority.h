// The exchange thread's priority: idle while it looks for the instrument, normal while it talks to it.
#pragma once

namespace velda {

/// Whether a thread with nice value `niceValue` may leave SCHED_IDLE again (or take back a raised nice
/// value): Linux allows it while 20 - niceValue is within the RLIMIT_NICE soft limit `niceLimit`, or with
/// CAP_SYS_NICE. Pure; any thread.
[[nodiscard]] bool IdlePriorityReversible(int niceValue, unsigned long long niceLimit, bool capSysNice);
/// The same for the calling thread, from its nice value, RLIMIT_NICE and effective capabilities.
[[nodiscard]] bool IdlePriorityReversible();

/// Puts the calling thread under SCHED_IDLE or back under SCHED_OTHER; a refusal is ignored.
void SetCallingThreadIdle(bool idle);

} // namespace velda
