// The project-file commands of the main window: save the table, open a file, the names proposed next.
#pragma once

#include "archive/ProjectFile.h"
#include "base/Result.h"

#include <QString>

namespace velda {

class ArchiveTable;

/// Why the save command wrote nothing.
struct ProjectSaveError {
    enum class Kind {
        ArchiveNotRead, ///< the table holds no record: there is nothing to save
        FileFailed,     ///< the project file could not be written; `message` names file and cause
    };
    Kind kind = Kind::ArchiveNotRead;
    QString message;
};

/// The window's project commands without their dialogs: the window asks the user for a path (proposing
/// the names kept here) and passes the answer in. One per main window, GUI thread.
class ProjectFileCommand {
public:
    /// The name the save dialog proposes: the last one chosen there, else "Arhive".
    [[nodiscard]] QString proposedSaveName() const;
    /// The name the open dialog proposes: the last file opened (by dialog or command line), or empty.
    [[nodiscard]] const QString &openName() const { return m_openName; }
    [[nodiscard]] const QString &saveName() const { return m_saveName; }

    /// Saves `table` with the process-wide channel flags to the path chosen in the save dialog. The
    /// name is kept for the next dialog even when the save is refused because the table is empty.
    /// Returns the bytes written.
    [[nodiscard]] Result<qint64, ProjectSaveError> save(const ArchiveTable &table, const QString &chosenPath);

    /// Opens the project file at `path` into `table` and keeps `path` for the next open dialog. On
    /// success the channel flags follow the file; on failure `table` is unchanged. RecordCount follows
    /// the table either way.
    [[nodiscard]] ProjectResult<LoadedProject> open(ArchiveTable &table, const QString &path);

    /// Keeps `path` as the name the open dialog proposes next (a file chosen by another command).
    void rememberOpened(const QString &path) { m_openName = path; }

    /// Sets RecordCount to the data rows of `table` (what an open dialog that was cancelled leaves).
    static void countRecords(const ArchiveTable &table);

private:
    QString m_saveName;
    QString m_openName;
};

} // namespace velda
