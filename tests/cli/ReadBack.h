// Reads back what a command printed into a temporary stream, as UTF-8 text.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdio>

namespace velda::cli::test {

inline QString ReadBack(std::FILE *file) {
    std::fflush(file);
    std::rewind(file);
    QByteArray bytes;
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.append(buffer, static_cast<qsizetype>(n));
    return QString::fromUtf8(bytes);
}

} // namespace velda::cli::test
