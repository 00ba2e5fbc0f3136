// Whole-file replacement through QSaveFile with every write checked.
#include "base/SaveFileBytes.h"

#include <QSaveFile>

#include <algorithm>

namespace velda {

QString SaveFileBytes(const QString &path, const QByteArray &bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return file.errorString();
    if (const qint64 written = file.write(bytes); written != bytes.size()) {
        const QString why =
            file.error() != QFileDevice::NoError
                ? file.errorString()
                : QStringLiteral("%1 of %2 bytes written; the disk is full or the file is too large")
                      .arg(std::max<qint64>(written, 0))
                      .arg(bytes.size());
        file.cancelWriting();
        return why;
    }
    // Small writes stay in QSaveFile's buffer, and commit() does not notice when writing it out fails.
    if (!file.flush()) {
        const QString why = file.errorString();
        file.cancelWriting();
        return why;
    }
    if (!file.commit()) return file.errorString();
    return {};
}

} // namespace velda
