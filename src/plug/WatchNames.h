// The names `velda9-cli watch` gives the files of a download: a template with fields, and a free name in
// the folder so that no file is ever replaced. Toolkit-free.
#pragma once

#include "base/Result.h"

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

/// Why a name template cannot be used, with one line in the language asked for.
struct NameTemplateError {
    enum class Kind {
        Empty,        ///< nothing but blanks
        Slash,        ///< a '/' would leave the folder
        UnknownField, ///< a '{' that opens no known field closed by '}'
    };
    Kind kind = Kind::Empty;
    QString message;
};

/// Done when `nameTemplate` is a usable template: not empty, no '/', every '{' opening a known field
/// ({instrument}, {last-date}, {last-time}, {read-date}, {read-time}) closed by '}'.
[[nodiscard]] Result<Done, NameTemplateError> CheckNameTemplate(const QString &nameTemplate,
                                                                std::uint8_t language);

/// The file name `nameTemplate` (checked by CheckNameTemplate) gives for `fields`. A '/' or a control
/// character inside a field becomes '_', so that a field never leaves the folder.
[[nodiscard]] QString ExpandNameTemplate(const QString &nameTemplate, const NameFields &fields);

/// `stem` when no file "STEM.EXT" of `extensions` (each with its dot) exists in `folder`, else the first
/// of "STEM-2", "STEM-3", ... for which none does.
[[nodiscard]] QString FreeStem(const QString &folder, const QString &stem, const QStringList &extensions);

} // namespace velda
