// The names `velda9-cli watch` gives the files of a download: a template with fields, and a free name in
// the folder so that no file is ever replaced. Toolkit-free.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <cstdint>

namespace velda {

/// The default file name template (without the extension).
inline constexpr char kDefaultNameTemplate[] = "{instrument}_{read-date}_{read-time}";

/// What the fields of a name template stand for.
struct NameFields {
    QString instrument;   ///< {instrument}
    QDateTime lastRecord; ///< {last-date} yyyy-MM-dd, {last-time} HH-mm-ss; the download's when invalid
    QDateTime read;       ///< {read-date}, {read-time}: when the download ended
};

/// Empty when `nameTemplate` is a usable template: not empty, no '/', every '{' opening a known field
/// ({instrument}, {last-date}, {last-time}, {read-date}, {read-time}) closed by '}'. Otherwise one line
/// in `language` naming what is wrong.
[[nodiscard]] QString NameTemplateProblem(const QString &nameTemplate, std::uint8_t language);

/// The file name `nameTemplate` (checked by NameTemplateProblem) gives for `fields`. A '/' or a control
/// character inside a field becomes '_', so that a field never leaves the folder.
[[nodiscard]] QString ExpandNameTemplate(const QString &nameTemplate, const NameFields &fields);

/// `stem` when no file "STEM.EXT" of `extensions` (each with its dot) exists in `folder`, else the first
/// of "STEM-2", "STEM-3", ... for which none does.
[[nodiscard]] QString FreeStem(const QString &folder, const QString &stem, const QStringList &extensions);

} // namespace velda
