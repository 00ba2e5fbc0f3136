// A desktop notification through the session bus's notification server (org.freedesktop.Notifications).
#pragma once

#include <QString>

#include <chrono>

namespace velda {

/// What a notification shows.
struct DesktopNoticeText {
    QString summary;
    QString body;
};

/// How long the call may wait for the server's answer: a missing or hung server must not hold up a
/// download.
inline constexpr std::chrono::milliseconds kDesktopNoticeCallTimeout{1500};
/// How long the server shows the notification.
inline constexpr std::chrono::milliseconds kDesktopNoticeShown{10000};

/// Sends the notification as the program ("velda9", the package's icon name). False, quietly, when there
/// is no session bus, no server on it, or the server refuses or does not answer within
/// kDesktopNoticeCallTimeout. Blocks the calling thread for at most that long; any thread with an event
/// dispatcher or none (the call is synchronous).
[[nodiscard]] bool SendDesktopNotice(const DesktopNoticeText &text);

} // namespace velda
