// Windows-1251, the code page of the archive table's cells and of project files.
#pragma once

#include <QByteArray>
#include <QString>

#include <string>
#include <string_view>

namespace velda {

/// Decodes Windows-1251 bytes. The one unassigned byte (0x98) decodes to U+FFFD.
[[nodiscard]] QString FromCp1251(std::string_view bytes);

/// Encodes to Windows-1251. A character the code page lacks becomes '?' and sets *lossy when given.
[[nodiscard]] std::string ToCp1251(QStringView text, bool *lossy = nullptr);

} // namespace velda
