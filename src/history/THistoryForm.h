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
    QLabel *StatusLabel = nullptr;

    /// Reads the instruments again (after a change, or when shown).
    void refresh();
    /// Imports `files` into `instrument` (the Import button asks for both).
    void importFiles(const QStringList &files, const QString &instrument);

private:
    void InstrumentsSelectionChanged();
    void OpenButtonClick();
    void ImportButtonClick();
    void ForgetClick(bool wholeInstrument);
    [[nodiscard]] QString chosenInstrument() const;

    std::unique_ptr<HistoryStore> m_store;
    std::function<void(ArchiveTable)> m_openInTable;
    std::function<bool(const QString &)> m_confirm;
};

/// Adds "History..." and the check item "Keep downloads in the history" to `menu` after `after`; their
/// texts follow the language whenever the menu opens. `open` opens the window.
void AddHistoryItems(QMenu *menu, QAction *after, const std::function<void()> &open);

} // namespace velda
