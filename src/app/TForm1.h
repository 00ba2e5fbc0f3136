// The main window: command row, archive table, menus and status line.
#pragma once

#include "app/ArchiveGrid.h"
#include "app/DesktopServices.h"
#include "app/MainStatusLine.h"
#include "app/TableActions.h"
#include "archive/ChannelLayout.h"
#include "base/ArchiveTable.h"
#include "base/SortTable.h"
#include "base/WindowServices.h"

#include <QMainWindow>
#include <QPoint>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QStatusBar;
class QTimer;
class QToolButton;

namespace velda {

class ArchiveReadCommand;
struct ReceivedArchive;
class HelpKeyFilter;
class ArchiveTableModel;
class ClockCommand;
class DownloadOnConnect;
class ProjectFileCommand;
struct ExchangeSetup;
class SpreadsheetExportCommand;
class CsvExportCommand;

/// The program's one main window. It owns the archive table StringGrid1 shows; every command of the
/// program starts here. GUI thread only.
class TForm1 : public QMainWindow, private ChannelLayoutTarget {
    Q_OBJECT
public:
    /// `services` run this window's dialogs and pauses and are handed, the open project filled in, to every
    /// window it opens.
    explicit TForm1(QWidget *parent = nullptr, WindowServices services = DefaultWindowServices());
    ~TForm1() override;

    [[nodiscard]] ArchiveTable &table() { return m_table; }
    /// The opener of help pages and the About box's links (tests replace its handler).
    [[nodiscard]] UrlOpener &urlOpener() { return m_urlOpener; }
    [[nodiscard]] const ArchiveTable &table() const { return m_table; }

    /// The table's rectangular selection in table coordinates (row 0 headers, column 0 numbers).
    [[nodiscard]] Selection selection() const;
    void setSelection(const Selection &selection);

    /// Opens the project file at `path` (command line): remembers it as the open dialog's name, loads
    /// it, sets RecordCount. A failure shows its message and leaves the table as it was.
    void Action1Execute(const QString &path);

    // Commands.
    void Button1Click();
    void Button2Click();
    void SpeedButton1Click();
    void Save1Click();
    /// "Save to CSV..." and "Append project..." (beside the workbook export and the project open).
    void SaveCsv1Click();
    void AppendProject1Click();
    void N1Click();
    void N2Click();
    void Print1Click();
    void Exit1Click();
    void ACopyTableExecute();
    void ACopyBlockTableExecute();
    void Copy3Click();
    void Contents1Click();
    void About1Click();
    void Lang0Click();
    void Lang1Click();
    void Delete1Click();
    void Timer1Timer();
    /// "Download the archive when the instrument is connected": kept in the settings; while checked an
    /// arrival of the instrument starts Button1Click once per stay.
    void DownloadOnConnect1Click(bool checked);

    /// Table interaction, in table coordinates; (-1, -1) is over no cell.
    void StringGrid1LeftRelease(int column, int row);
    /// Opens PopupMenu1 when the conditions hold; returns whether it did. `globalPos` is where it opens.
    bool StringGrid1RightPress(int column, int row, const QPoint &globalPos);
    /// The cell under a global screen point, with the zone the hover hint needs.
    [[nodiscard]] PointerPlace placeAt(const QPoint &globalPos) const;

    /// Opens the project at `path` without a dialog (N2 after its dialog, Action1Execute): remembers it as
    /// the open dialog's name and sets RecordCount; false, with the error shown, when it failed.
    [[nodiscard]] bool openProject(const QString &path);
    /// The names the file dialogs propose next.
    [[nodiscard]] const QString &saveDialogName() const;
    [[nodiscard]] const QString &openDialogName() const;

    /// Width of table column `column` in pixels (column 0 is the number column).
    [[nodiscard]] int tableColumnWidth(int column) const;

    // Window parts, named as components.
    QPushButton *Button1 = nullptr;
    QPushButton *Button2 = nullptr;
    QToolButton *SpeedButton1 = nullptr;
    QLabel *Panel1 = nullptr;
    QLabel *Panel2 = nullptr;
    ArchiveGrid *StringGrid1 = nullptr;
    QStatusBar *StatusBar1 = nullptr;
    QMenu *PopupMenu1 = nullptr;
    QAction *Delete1 = nullptr;
    QTimer *Timer1 = nullptr;

    QMenu *File1 = nullptr;
    QAction *Save1 = nullptr;
    QAction *N1 = nullptr;
    QAction *N2 = nullptr;
    QAction *SaveCsv1 = nullptr;
    QAction *AppendProject1 = nullptr;
    QAction *Print1 = nullptr;
    QAction *Exit1 = nullptr;
    QAction *DownloadOnConnect1 = nullptr;
    QMenu *Edit1 = nullptr;
    QAction *Copy1 = nullptr;
    QAction *Copy2 = nullptr;
    QAction *Copy3 = nullptr;
    QMenu *Language1 = nullptr;
    QAction *Lang0 = nullptr;
    QAction *Lang1 = nullptr;
    QMenu *Help1 = nullptr;
    QAction *Contents1 = nullptr;
    QAction *About1 = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void FormCreate();
    void createMenus();
    void createControls();
    void switchLanguage(std::uint8_t language);
    void ApplyChannelLayout();
    /// The channel layout for the flags and the shown table, then the columns widened to their texts.
    void layOutForTable();
    /// Opens the History window; its "Open in table" replaces the table as a download would.
    void openHistory();
    /// Files a download the read received into the history, asking for the instrument's name when its
    /// readings match no instrument there; `instrument` receives the name it went to. The line for the
    /// status bar.
    [[nodiscard]] QString storeInHistory(const ReceivedArchive &archive, QString &instrument);
    /// Sends the desktop notification when the table holds readings outside the limits in force; the
    /// line for the status bar, empty when none lies outside.
    [[nodiscard]] QString noticeLimits(const QString &instrument);
    /// Stores the downloads queued earlier on a thread of its own; problems go to the status bar.
    void flushHistoryQueue();
    void layoutTable();
    /// Moves table row `from` to position `to` and selects it there.
    void moveRowTo(int from, int to);
    void showStatus(const StatusLineUpdate &update);
    [[nodiscard]] ExchangeSetup exchangeSetup() const;
    /// Shows what a table command changed (cells, selection, error).
    void showChange(const TableChange &change);
    /// Copies the whole table or the selected block, or says that the table is empty.
    void copyToClipboard(bool wholeTable);

    // ChannelLayoutTarget
    void setWindowWidth(int width) override;
    void setColumnCount(int count) override;
    [[nodiscard]] int columnWidth(int column) const override;
    void setColumnWidth(int column, int width) override;
    void setPanel1Caption(const QString &caption) override;
    void setPanel2Caption(const QString &caption) override;
    void setPanel2Visible(bool visible) override;

    std::unique_ptr<HelpKeyFilter> m_helpKeyFilter;
    ArchiveTable m_table;
    ArchiveTableModel *m_model = nullptr;
    std::unique_ptr<ProjectFileCommand> m_project;
    std::unique_ptr<ArchiveReadCommand> m_read;
    std::unique_ptr<ClockCommand> m_clock;
    SpreadsheetExportCommand *m_exportCommand = nullptr;
    CsvExportCommand *m_csvCommand = nullptr;
    SortToggle m_sortToggle;
    UrlOpener m_urlOpener;
    WindowServices m_services;
    MainStatusLine m_statusLine;
    std::thread m_historyFlush;
    DownloadOnConnect *m_onConnect = nullptr;
};

/// Shows `text` in an error box without owner window (the program's default error report).
void ShowErrorBox(const QString &text, const QString &caption);

} // namespace velda
