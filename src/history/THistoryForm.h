// The History window: the instruments of the history, a date range, the downloads of the chosen
// instrument; opening a range in the main table, importing project files, forgetting.
#pragma once

#include "base/ArchiveTable.h"

#include <QDialog>

#include <functional>
#include <memory>

class QAction;
class QDateTimeEdit;
class QLabel;
class QMenu;
class QPushButton;
class QTableWidget;

namespace velda {

class HistoryStore;

class THistoryForm : public QDialog {
public:
    /// `openInTable` receives the chosen range as a table filled as a fresh download; `confirm` asks the
    /// user a question (a message box unless a test answers it). GUI thread.
    THistoryForm(std::function<void(ArchiveTable)> openInTable, std::function<bool(const QString &)> confirm,
                 QWidget *parent = nullptr);
    ~THistoryForm() override;

    QTableWidget *Instruments = nullptr;
    QTableWidget *Downloads = nullptr;
    QDateTimeEdit *FromEdit = nullptr;
    QDateTimeEdit *ToEdit = nullptr;
    QPushButton *OpenButton = nullptr;
    QPushButton *ImportButton = nullptr;
    QPushButton *ForgetDownloadButton = nullptr;
    QPushButton *ForgetInstrumentButton = nullptr;
    QPushButton *RenameButton = nullptr;
    QLabel *StatusLabel = nullptr;

    /// Reads the instruments again (after a change, or when shown).
    void refresh();
    /// Imports `files` into `instrument` (the Import button asks for both).
    void importFiles(const QStringList &files, const QString &instrument);
    /// Renames the chosen instrument to `newName` (the Rename button asks for it); a name another
    /// instrument has is refused with a message in the status label. Returns whether it was renamed.
    bool renameChosen(const QString &newName);

private:
    void InstrumentsSelectionChanged();
    void OpenButtonClick();
    void ImportButtonClick();
    void ForgetClick(bool wholeInstrument);
    void RenameButtonClick();
    [[nodiscard]] QString chosenInstrument() const;

    std::unique_ptr<HistoryStore> m_store;
    std::function<void(ArchiveTable)> m_openInTable;
    std::function<bool(const QString &)> m_confirm;
};

/// Asks the user to name the instrument of a download whose readings match none of the history;
/// `offered` (not empty) is proposed, its first name preselected. Cancelled or left empty: the first name.
[[nodiscard]] QString AskDownloadInstrument(QWidget *parent, const QStringList &offered);

/// Adds "History..." and the check item "Keep downloads in the history" to `menu` after `after`; their
/// texts follow the language whenever the menu opens. `open` opens the window.
void AddHistoryItems(QMenu *menu, QAction *after, const std::function<void()> &open);

} // namespace velda
