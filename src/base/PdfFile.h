// A PDF document painted straight to a new file and put in place all or nothing: the printed report and the
// statistics summary both save this way.
#pragma once

#include "base/FileWriter.h"
#include "base/Result.h"

#include <QPdfWriter>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

class QPagedPaintDevice;
class QPainter;

namespace velda {

/// Why a PDF document was not written.
struct PdfError {
    enum class Kind : std::uint8_t {
        NoFileName,  ///< no file name was given
        CannotStart, ///< the PDF writer could not begin a document
        FileFailed,  ///< the file could not be written; `file` says why
    };
    Kind kind = Kind::FileFailed;
    QString message;               ///< one line for the user naming the file
    std::optional<FileError> file; ///< set for FileFailed
};

/// Makes a PDF document titled `title` (300 dots per inch): `setUp` sets its page (and may set another
/// resolution), then `paint` draws every page through a painter already begun on it and returns the page
/// count. The pages go to a new
/// file beside `fileName` as they are painted (FileWriter), so memory does not grow with the page count;
/// `fileName` is replaced only when every byte was written, and is left as it was otherwise. Returns the
/// page count. Needs a QGuiApplication (offscreen will do); GUI thread only.
[[nodiscard]] Result<int, PdfError>
WritePdfFile(const QString &fileName, const QString &title, const std::function<void(QPdfWriter &)> &setUp,
             const std::function<int(QPainter &, QPagedPaintDevice &)> &paint);

} // namespace velda
