// The project-file commands of the main window, without their dialogs.
#include "archive/ProjectFileCommand.h"

#include "base/ArchiveTable.h"
#include "base/SharedTexts.h"
#include "device/Exchange.h"

#include <algorithm>

namespace velda {

namespace {
const char *const kProposedProjectName = "Arhive";
} // namespace

QString ProjectFileCommand::proposedSaveName() const {
    return m_saveName.isEmpty() ? QString::fromLatin1(kProposedProjectName) : m_saveName;
}

Result<qint64, ProjectSaveError> ProjectFileCommand::save(const ArchiveTable &table,
                                                          const QString &chosenPath) {
    m_saveName = chosenPath;
    if (TableIsEmpty(table))
        return ProjectSaveError{ProjectSaveError::Kind::ArchiveNotRead, Pick(TxtArchiveNotRead)};
    const auto written = SaveProject(table, chosenPath, table.channels());
    if (!written.ok()) return ProjectSaveError{ProjectSaveError::Kind::FileFailed, written.error().message};
    return written.value();
}

ProjectResult<LoadedProject> ProjectFileCommand::open(ArchiveTable &table, const QString &path) {
    m_openName = path;
    auto loaded = LoadProject(table, path);
    countRecords(table);
    return loaded;
}

void ProjectFileCommand::countRecords(const ArchiveTable &table) {
    RecordCount = static_cast<std::uint32_t>(std::max(table.rowCount() - 1, 0));
}

} // namespace velda
