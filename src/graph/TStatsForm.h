// The statistics window: per channel the figures of every sensor and quantity, the limits to edit, copy to
// the clipboard and the summary's print preview.
#pragma once

#include "base/ArchiveTable.h"
#include "base/WindowServices.h"
#include "graph/LimitFields.h"
#include "graph/Limits.h"
#include "graph/Statistics.h"

#include <QDialog>

#include <array>
#include <functional>

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTabWidget;
class QTableWidget;

namespace velda {

/// Shows the statistics of `table` as it is at creation (the window is modal, so the table does not
/// change under it). Limit and ΔH/R edits apply at once: they become the current settings, are saved
/// per user and announced with limitsChanged(). GUI thread.
class TStatsForm : public QDialog {
    Q_OBJECT
public:
    /// `services` open the settings file the edits are saved to and name the open project, which a
    /// printed summary may not replace.
    TStatsForm(const ArchiveTable &table, bool channel1Present, bool channel2Present, int archiveFormat,
               QWidget *parent = nullptr, WindowServices services = DefaultWindowServices());

    [[nodiscard]] const ArchiveStatistics &statistics() const { return m_stats; }
    /// What the copy button puts on the clipboard.
    [[nodiscard]] QString clipboardText() const;

    // Handlers.
    /// A limit field was edited: `upper` false for the lower one.
    void LimitEdited(Quantity quantity, bool upper);
    void MktEdited();
    void CopyClick();
    void PrintClick();

    QTabWidget *Tabs = nullptr;
    std::vector<QTableWidget *> Sheets; ///< one per channel with values
    std::array<std::array<QLineEdit *, 2>, kQuantityCount> LimitEdits{};
    QLineEdit *MktEdit = nullptr;
    QLabel *StatusLabel = nullptr;
    QPushButton *CopyButton = nullptr;
    QPushButton *PrintButton = nullptr;
    QPushButton *CloseButton = nullptr;

Q_SIGNALS:
    /// The limits or ΔH/R changed; the table and graph views repaint.
    void limitsChanged();

private:
    /// Writes the settings in use into the limit and ΔH/R fields.
    void showFields();
    void recompute();
    void fillSheets();
    /// Makes the settings of an accepted field edit the settings in use (saved, figures recomputed,
    /// announced), or shows why the edit was refused; either way the fields show the settings in use.
    void apply(const Result<StatsSettings, FieldError> &edited);

    const ArchiveTable &m_table;
    WindowServices m_services;
    bool m_channel1Present;
    bool m_channel2Present;
    int m_archiveFormat;
    ArchiveStatistics m_stats;
};

/// The statistics command of the main window: refuses an empty table with the "archive not read" box,
/// otherwise shows the statistics window modally for the table and the channel flags as they are now.
/// `limitsChanged` runs whenever the window changes the limits.
void OpenStatistics(const ArchiveTable &table, QWidget *parent, const WindowServices &services,
                    const std::function<void()> &limitsChanged);

/// Adds the "Statistics..." item to `menu` after `after` (at the end when null); its caption follows the
/// language each time the menu opens. Triggering it calls `open`.
QAction *AddStatisticsItem(QMenu *menu, QAction *after, const std::function<void()> &open);

} // namespace velda
