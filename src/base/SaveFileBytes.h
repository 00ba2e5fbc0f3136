// Replacing a file with bytes made in memory, all or nothing.
#pragma once

#include <QByteArray>
#include <QString>

namespace velda {

/// Writes `bytes` to a temporary file beside `path` and renames it over `path` only when every byte was
/// written and synced; otherwise removes it and leaves an existing file as it was. Returns an empty
/// string on success, else why it failed (a write cut short by a full disk or the file-size limit
/// included, which sets no error of its own). Any thread.
[[nodiscard]] QString SaveFileBytes(const QString &path, const QByteArray &bytes);

} // namespace velda
