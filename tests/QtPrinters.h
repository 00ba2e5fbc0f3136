// GoogleTest printers for Qt values, so failures show texts instead of bytes.
#pragma once

#include <QByteArray>
#include <QString>

#include <ostream>

inline void PrintTo(const QString &s, std::ostream *os) {
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QByteArray &b, std::ostream *os) {
    *os << "bytes \"" << b.toHex(' ').toStdString() << '"';
}
