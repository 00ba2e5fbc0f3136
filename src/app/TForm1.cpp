// The main window: its parts, menus, commands and the table's mouse and key handling.
#include "app/TForm1.h"

#include "app/AppendProjectCommand.h"
#include "app/ArchiveTableModel.h"
#include "app/ClipboardText.h"
#include "app/DownloadOnConnect.h"
#include "app/MainTexts.h"
#include "app/ProjectDialogs.h"
#include "app/QtTranslations.h"
#include "app/TAboutBox.h"
#include "app/WindowTexts.h"
#include "archive/ArchiveReadCommand.h"
#include "archive/ProjectFileCommand.h"
#include "base/DeleteRow.h"
#include "base/FileTarget.h"
#include "base/TableHeader.h"
#include "device/Exchange.h"
#include "device/QtExchangeUi.h"
#include "device/TForm2.h"

#include "export/CsvExportCommand.h"
#include "export/SpreadsheetExportCommand.h"
#include "export/TForm6.h"
#include "graph/TForm4.h"
#include "graph/TStatsForm.h"
#include "history/HistorySync.h"
#include "history/HistoryView.h"
#include "history/THistoryForm.h"
#include "plug/DesktopNotice.h"
#include "plug/LimitNotice.h"
#include "screenshot/TForm5.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <chrono>

namespace velda {

namespace {

constexpr int kClientWidth = 1507;
constexpr int kClientHeight = 429;
constexpr int kMinimumWidth = 400;
constexpr int kTableTop = 24;
constexpr int kStatusBarHeight = 19;
// How long the status bar says what became of a download in the history.
constexpr int kHistoryMessageMs = 15000;
constexpr int kHintIntervalMs = 200;
// The command row's texts are set in the size the window was designed for.
constexpr int kCommandFontPixels = 11;
// The read's dialog closes in the exchange's last state; the thread ends right after it.
constexpr std::chrono::minutes kExchangeEndWait{1};

QFont panelFont() {
    QFont font;
    font.setPixelSize(16);
    font.setBold(true);
    return font;
}

// What the window binds to each item of kMainMenuItems, in the same order.
struct MenuBinding {
    QAction *TForm1::*action;
    void (TForm1::*handler)();
    QStyle::StandardPixmap icon;
};
constexpr QStyle::StandardPixmap kNoIcon = QStyle::SP_CustomBase;
constexpr MenuBinding kMenuBindings[] = {
    {&TForm1::Save1, &TForm1::Save1Click, QStyle::SP_DialogSaveButton},
    {&TForm1::SaveCsv1, &TForm1::SaveCsv1Click, kNoIcon},
    {&TForm1::N1, &TForm1::N1Click, QStyle::SP_FileDialogNewFolder},
    {&TForm1::N2, &TForm1::N2Click, QStyle::SP_DialogOpenButton},
    {&TForm1::AppendProject1, &TForm1::AppendProject1Click, kNoIcon},
    {&TForm1::Print1, &TForm1::Print1Click, QStyle::SP_FileDialogDetailedView},
    {&TForm1::Exit1, &TForm1::Exit1Click, QStyle::SP_DialogCloseButton},
    {&TForm1::Copy1, &TForm1::ACopyTableExecute, QStyle::SP_FileIcon},
    {&TForm1::Copy2, &TForm1::ACopyBlockTableExecute, QStyle::SP_FileLinkIcon},
    {&TForm1::Copy3, &TForm1::Copy3Click, QStyle::SP_ComputerIcon},
    {&TForm1::Lang0, &TForm1::Lang0Click, kNoIcon},
    {&TForm1::Lang1, &TForm1::Lang1Click, kNoIcon},
    {&TForm1::Contents1, &TForm1::Contents1Click, QStyle::SP_DialogHelpButton},
    {&TForm1::About1, &TForm1::About1Click, QStyle::SP_MessageBoxInformation},
};
static_assert(std::size(kMenuBindings) == kMainMenuItems.size());

} // namespace

void ShowErrorBox(const QString &text, const QString &caption) {
    QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok);
    box.exec();
}

TForm1::TForm1(QWidget *parent, WindowServices services)
    : QMainWindow(parent), m_services(std::move(services)) {
    setObjectName(QStringLiteral("Form1"));
    m_project = std::make_unique<ProjectFileCommand>();
    m_services.openProject = [this] { return m_project->openName(); };
    m_read = std::make_unique<ArchiveReadCommand>();
    m_clock = std::make_unique<ClockCommand>();
    createMenus();
    createControls();
    FormCreate();
}

TForm1::~TForm1() {
    if (m_historyFlush.joinable()) m_historyFlush.join();
    qApp->removeEventFilter(m_helpKeyFilter.get());
    // The table view reads the table while it is torn down; it must go before the table does.
    delete centralWidget();
    StringGrid1 = nullptr;
}

const QString &TForm1::saveDialogName() const {
    return m_project->saveName();
}
const QString &TForm1::openDialogName() const {
    return m_project->openName();
}

void TForm1::createMenus() {
    QMenu *menus[kMainMenuCount] = {
        File1 = menuBar()->addMenu(QString()), Edit1 = menuBar()->addMenu(QString()),
        Language1 = menuBar()->addMenu(QString()), Help1 = menuBar()->addMenu(QString())};
    for (std::size_t i = 0; i < kMainMenuItems.size(); ++i) {
        const MainMenuItem &item = kMainMenuItems[i];
        const MenuBinding &binding = kMenuBindings[i];
        QMenu *menu = menus[static_cast<int>(item.menu)];
        if (item.separatorBefore) menu->addSeparator();
        QAction *action = menu->addAction(
            binding.icon == kNoIcon ? QIcon() : style()->standardIcon(binding.icon), QString());
        action->setCheckable(item.language >= 0);
        this->*binding.action = action;
        connect(action, &QAction::triggered, this, binding.handler);
    }
    QAction *statistics = AddStatisticsItem(File1, Print1, [this] {
        OpenStatistics(m_table, this, m_services, [this] { m_model->cellsChanged(); });
    });
    AddHistoryItems(File1, statistics, [this] { openHistory(); });
    // After the history's items, before the separator that leads to "Exit".
    DownloadOnConnect1 = new QAction(File1);
    DownloadOnConnect1->setCheckable(true);
    const QList<QAction *> fileItems = File1->actions();
    File1->insertAction(fileItems.at(fileItems.indexOf(Exit1) - 1), DownloadOnConnect1);
    connect(DownloadOnConnect1, &QAction::toggled, this, &TForm1::DownloadOnConnect1Click);
}

void TForm1::createControls() {
    auto *client = new QWidget(this);
    setCentralWidget(client);

    QFont commandFont = client->font();
    commandFont.setPixelSize(kCommandFontPixels);

    const auto place = [](auto *control, const char *name, const QRect &geometry) {
        control->setObjectName(QLatin1String(name));
        control->setGeometry(geometry);
        return control;
    };
    Button1 = place(new QPushButton(client), "Button1", {1, 0, 114, 25});
    Button2 = place(new QPushButton(client), "Button2", {134, 0, 161, 25});
    for (QPushButton *button : {Button1, Button2})
        button->setFont(commandFont);
    SpeedButton1 = place(new QToolButton(client), "SpeedButton1", {312, 0, 27, 27});
    SpeedButton1->setAutoRaise(true);
    SpeedButton1->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));

    Panel1 = place(new QLabel(client), "Panel1", {427, 0, 304, 24});
    Panel2 = place(new QLabel(client), "Panel2", {731, 0, 304, 24});
    for (QLabel *panel : {Panel1, Panel2}) {
        panel->setFont(panelFont());
        panel->setAlignment(Qt::AlignCenter);
        panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    }

    m_model = new ArchiveTableModel(m_table, this);
    StringGrid1 = new ArchiveGrid(m_table, m_model, client);
    StringGrid1->installEventFilter(this);
    SpeedButton1->installEventFilter(this);
    m_helpKeyFilter = std::make_unique<HelpKeyFilter>(this, [this] { Contents1Click(); });
    qApp->installEventFilter(m_helpKeyFilter.get());
    connect(StringGrid1, &ArchiveGrid::leftReleased, this, &TForm1::StringGrid1LeftRelease);
    connect(StringGrid1, &ArchiveGrid::rowDragged, this, &TForm1::moveRowTo);
    connect(StringGrid1, &ArchiveGrid::numberRightPressed, this,
            [this](int row, const QPoint &globalPos) { StringGrid1RightPress(0, row, globalPos); });

    StatusBar1 = statusBar();
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setFixedHeight(kStatusBarHeight);
    StatusBar1->setSizeGripEnabled(false);

    PopupMenu1 = new QMenu(this);
    Delete1 = PopupMenu1->addAction(QString());
    connect(Delete1, &QAction::triggered, this, &TForm1::Delete1Click);

    Timer1 = new QTimer(this);
    Timer1->setInterval(kHintIntervalMs);
    connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);

    connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
    connect(SpeedButton1, &QToolButton::clicked, this, &TForm1::SpeedButton1Click);

    m_exportCommand = new SpreadsheetExportCommand(this);
    m_csvCommand = new CsvExportCommand(this);
}

void TForm1::FormCreate() {
    switchLanguage(0);
    Panel2->hide();
    setColumnCount(kOneChannelColCount);
    VersionPending = true;
    setMinimumWidth(kMinimumWidth);
    resize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
    Timer1->start();
    flushHistoryQueue();
    m_onConnect = new DownloadOnConnect(
        [] { return QApplication::activeModalWidget() != nullptr; }, [this] { Button1Click(); },
        [this](const QString &problem) { StatusBar1->showMessage(problem, kHistoryMessageMs); }, this);
    DownloadOnConnect1->setChecked(DownloadOnConnectEnabled());
}

void TForm1::DownloadOnConnect1Click(bool checked) {
    SetDownloadOnConnectEnabled(checked);
    m_onConnect->setEnabled(checked);
}

void TForm1::switchLanguage(std::uint8_t language) {
    LanguageIndex = language;
    // Without Qt's Russian catalogue its own dialogs simply stay English.
    static_cast<void>(UseQtTranslations(language));
    const MainWindowCaptions c = CaptionsIn(language);
    setWindowTitle(c.window);
    QMenu *menus[kMainMenuCount] = {File1, Edit1, Language1, Help1};
    for (int m = 0; m < kMainMenuCount; ++m)
        menus[m]->setTitle(c.*kMainMenuTitles[static_cast<std::size_t>(m)]);
    for (std::size_t i = 0; i < kMainMenuItems.size(); ++i) {
        QAction *action = this->*kMenuBindings[i].action;
        action->setText(c.*kMainMenuItems[i].caption);
        if (action->isCheckable()) action->setChecked(kMainMenuItems[i].language == language);
    }
    Button1->setText(c.readArchive);
    Button2->setText(c.graph);
    Delete1->setText(c.deleteRow);
    DownloadOnConnect1->setText(Pick(TxtDownloadOnConnect));
    SpeedButton1->setToolTip(ClockButtonHint(c.clockHint, m_clock->settingRuns()));
    Panel1->setText(c.channel1);
    Panel2->setText(c.channel2);
    WriteHeaderRow(m_table, language);
    m_model->headersChanged();
}

void TForm1::Lang0Click() {
    switchLanguage(0);
}
void TForm1::Lang1Click() {
    switchLanguage(1);
}

// ---- Layout ---------------------------------------------------------------------------------------

void TForm1::resizeEvent(QResizeEvent *event) {
    QMainWindow::resizeEvent(event);
    layoutTable();
}

void TForm1::layoutTable() {
    if (!StringGrid1) return;
    const QWidget *client = centralWidget();
    StringGrid1->setGeometry(0, kTableTop, client->width(), std::max(client->height() - kTableTop, 0));
}

void TForm1::setWindowWidth(int width) {
    resize(width, height());
}

void TForm1::setColumnCount(int count) {
    m_model->change([count](ArchiveTable &t) { t.setColCount(count); });
    StringGrid1->showSelection();
}

int TForm1::columnWidth(int column) const {
    return tableColumnWidth(column);
}

int TForm1::tableColumnWidth(int column) const {
    return StringGrid1->columnWidthPx(column);
}

void TForm1::setColumnWidth(int column, int width) {
    StringGrid1->setColumnWidthPx(column, width);
}

void TForm1::setPanel1Caption(const QString &caption) {
    Panel1->setText(caption);
}
void TForm1::setPanel2Caption(const QString &caption) {
    Panel2->setText(caption);
}
void TForm1::setPanel2Visible(bool visible) {
    Panel2->setVisible(visible);
}

void TForm1::ApplyChannelLayout() {
    const ChannelFlags shown = ChannelsShown(m_table, m_table.channels());
    velda::ApplyChannelLayout(*this, shown.channel1, shown.channel2);
}

// ---- Selection ------------------------------------------------------------------------------------

Selection TForm1::selection() const {
    return StringGrid1->selection();
}

void TForm1::setSelection(const Selection &selection) {
    StringGrid1->setSelection(selection);
}

// ---- Mouse and keys -------------------------------------------------------------------------------

void TForm1::StringGrid1LeftRelease(int column, int row) {
    showChange(LeftReleaseOnTable(m_table, m_sortToggle, column, row));
}

void TForm1::showChange(const TableChange &change) {
    if (change.cellsChanged) m_model->cellsChanged();
    if (change.selection) setSelection(*change.selection);
    if (change.error) ShowErrorBox(change.error->message(), Pick(TxtError));
}

bool TForm1::StringGrid1RightPress(int column, int row, const QPoint &globalPos) {
    if (!ContextMenuOpens(column, row, selection(), TableIsEmpty(m_table))) return false;
    PopupMenu1->popup(globalPos);
    return true;
}

void TForm1::Delete1Click() {
    // A selection above the data rows deletes nothing; the table is shown as it is either way.
    m_model->change([this](ArchiveTable &t) { static_cast<void>(DeleteRow(t, selection().top)); });
    StringGrid1->showSelection();
}

void TForm1::moveRowTo(int from, int to) {
    showChange(MoveTableRow(m_table, from, to));
}

PointerPlace TForm1::placeAt(const QPoint &globalPos) const {
    return StringGrid1->placeAt(globalPos,
                                frameGeometry().contains(globalPos) || geometry().contains(globalPos));
}

bool TForm1::eventFilter(QObject *watched, QEvent *event) {
    const QEvent::Type type = event->type();
    // A double click on the clock button is one click: its second half must not cancel the setting the
    // first half started.
    if (watched == SpeedButton1 && type == QEvent::MouseButtonDblClick) return true;
    if (type != QEvent::KeyPress || watched != StringGrid1) return QMainWindow::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    const TableKeyAction action = ClassifyTableKey(key->key(), key->modifiers(), selection());
    if (action == TableKeyAction::None) return QMainWindow::eventFilter(watched, event);
    if (action == TableKeyAction::DeleteRow) {
        Delete1Click();
    } else {
        copyToClipboard(action == TableKeyAction::CopyTable);
    }
    return true;
}

// ---- Hover hints and status line ----------------------------------------------------------------

void TForm1::Timer1Timer() {
    showStatus(m_statusLine.tick([this] { return m_clock->tick(); },
                                 [this] { return HoverHint(placeAt(QCursor::pos())); }));
}

void TForm1::showStatus(const StatusLineUpdate &update) {
    if (update.text && StatusBar1->currentMessage() != *update.text) StatusBar1->showMessage(*update.text);
    if (update.clockHint) SpeedButton1->setToolTip(*update.clockHint);
}

// ---- Commands -------------------------------------------------------------------------------------

ExchangeSetup TForm1::exchangeSetup() const {
    ExchangeSetup setup;
    setup.ui = &QtExchangeUi::instance();
    setup.sleeper = m_services.sleep;
    return setup;
}

void TForm1::layOutForTable() {
    ApplyChannelLayout();
    StringGrid1->fitColumnsToContent();
}

void TForm1::Button1Click() {
    if (ExchangeRunning()) return showStatus(m_statusLine.refused(m_clock->settingRuns()));
    auto *form2 = new TForm2(this); // kept, hidden, until the program ends
    form2->hide();
    m_read->setKeepRecords(HistoryEnabled());
    if (m_read->start(m_table, exchangeSetup(), form2->controls()) != StartResult::Started) {
        delete form2;
        return showStatus(m_statusLine.refused(m_clock->settingRuns()));
    }
    form2->RunModal();
    // A read whose thread has not ended has not handed its table over yet; swapInto() then keeps the
    // shown table. So does a cancelled or failed read. The layout step runs anyway.
    bool swapped = false;
    if (m_read->waitForEnd(kExchangeEndWait, ProcessGuiEvents))
        m_model->change([&](ArchiveTable &t) { swapped = m_read->swapInto(t); });
    StringGrid1->showSelection();
    layOutForTable();
    StatusLineUpdate ended;
    if (swapped)
        ended = m_statusLine.readEnded(static_cast<std::uint32_t>(m_table.rowCount() - 1),
                                       m_read->failedChecks());
    // The table is shown before the history is written; what became of the download and the readings
    // outside the limits go to the status bar, after the records that failed their check when there are
    // any (that line stays).
    QStringList lines;
    QString instrument = Pick(TxtDefaultInstrument);
    if (const auto records = m_read->takeRecords(); records && HistoryEnabled())
        lines << storeInHistory(*records, instrument);
    if (swapped) lines << noticeLimits(instrument);
    lines.removeAll(QString());
    if (lines.isEmpty()) return showStatus(ended);
    if (!ended.text) return StatusBar1->showMessage(lines.join(QStringLiteral("; ")), kHistoryMessageMs);
    ended.text = *ended.text + QStringLiteral("; ") + lines.join(QStringLiteral("; "));
    showStatus(ended);
}

QString TForm1::storeInHistory(const ReceivedArchive &archive, QString &instrument) {
    const HistoryDownload download = ReceivedDownload(archive);
    DownloadNaming naming = NameWindowDownload(download);
    if (!naming.offered.isEmpty()) naming.instrument = AskDownloadInstrument(this, naming.offered);
    if (!naming.instrument.isEmpty()) instrument = naming.instrument;
    return StoreWindowDownload(download, naming.instrument);
}

QString TForm1::noticeLimits(const QString &instrument) {
    const auto notice =
        NoticeOfLimits(m_table, CurrentStatsSettings().limits, instrument, LanguageIndex.load());
    if (!notice) return {};
    // Without a notification server on the bus the status line is the notice.
    static_cast<void>(SendDesktopNotice({notice->title, notice->body}));
    return notice->line;
}

void TForm1::flushHistoryQueue() {
    if (!HistoryEnabled()) return;
    // A server that does not answer can hold this up for seconds; the window stays usable meanwhile.
    m_historyFlush = std::thread([this] {
        const QString problems = FlushWindowHistory();
        if (problems.isEmpty()) return;
        QMetaObject::invokeMethod(
            this, [this, problems] { StatusBar1->showMessage(problems, kHistoryMessageMs); },
            Qt::QueuedConnection);
    });
}

void TForm1::openHistory() {
    THistoryForm form(
        [this](ArchiveTable table) {
            m_model->change([&](ArchiveTable &t) {
                t.swap(table);
                Channel1Present = t.channels().channel1;
                Channel2Present = t.channels().channel2;
            });
            RecordCount = static_cast<std::uint32_t>(std::max(0, m_table.rowCount() - 1));
            StringGrid1->showSelection();
            layOutForTable();
        },
        [this](const QString &question) {
            return QMessageBox::question(this, Pick(TxtHistoryCaption), question) == QMessageBox::Yes;
        },
        this);
    form.exec();
}

void TForm1::Button2Click() {
    if (TableIsEmpty(m_table)) {
        ShowErrorBox(Pick(TxtArchiveNotRead), Pick(TxtWarning));
        return;
    }
    auto *form4 = new TForm4(m_table, this, m_services); // kept until the program ends
    form4->exec();
    m_model->cellsChanged(); // the graph sorts the table by time before it plots
}

void TForm1::SpeedButton1Click() {
    showStatus(m_statusLine.clockPressed(m_clock->press(exchangeSetup())));
}

void TForm1::Save1Click() {
    m_exportCommand->run(this, m_table, m_project->openName());
}

void TForm1::SaveCsv1Click() {
    m_csvCommand->run(this, m_table, m_project->openName());
}

void TForm1::AppendProject1Click() {
    QString lastName = m_project->openName();
    const bool appended = AppendProjectWithDialog(this, *m_model, &lastName);
    m_project->rememberOpened(lastName);
    if (appended) layOutForTable();
    StringGrid1->showSelection();
    ProjectFileCommand::countRecords(m_table);
}

void TForm1::Print1Click() {
    auto *form6 = new TForm6(m_table, this, m_services); // kept until the program ends
    form6->showPreview();
}

void TForm1::N1Click() {
    const std::optional<QString> path = AskProjectSavePath(this, m_project->proposedSaveName(), m_services);
    if (!path) return;
    RememberFolder(*path);
    const auto saved = m_project->save(m_table, *path);
    if (!saved.ok()) ShowErrorBox(saved.error().message, Pick(TxtError));
}

void TForm1::N2Click() {
    if (const std::optional<QString> path = AskProjectOpenPath(this, m_project->openName(), m_services)) {
        Action1Execute(*path);
    } else {
        ProjectFileCommand::countRecords(m_table);
    }
}

void TForm1::Action1Execute(const QString &path) {
    RememberFolder(path);
    static_cast<void>(openProject(path));
}

bool TForm1::openProject(const QString &path) {
    std::optional<QString> error;
    m_model->change([&](ArchiveTable &t) {
        if (const auto result = m_project->open(t, path); !result.ok()) error = result.error().message;
    });
    if (!error) layOutForTable();
    StringGrid1->showSelection();
    if (error) ShowErrorBox(*error, Pick(TxtError));
    return !error;
}

void TForm1::Exit1Click() {
    close();
}

void TForm1::copyToClipboard(bool wholeTable) {
    if (const auto text = CopyCommandText(m_table, selection(), wholeTable, RecordCount.load()))
        QGuiApplication::clipboard()->setText(*text);
    else
        ShowErrorBox(Pick(TxtTableEmpty), Pick(TxtWarning));
}

void TForm1::ACopyTableExecute() {
    copyToClipboard(true);
}

void TForm1::ACopyBlockTableExecute() {
    copyToClipboard(false);
}

void TForm1::Copy3Click() {
    auto *form5 = new TForm5(this, m_services); // kept until the program ends
    form5->hide();
    form5->exec();
}

void TForm1::Contents1Click() {
    const auto open = [this](const QUrl &url) { return m_urlOpener.OpenUrl(url); };
    if (const auto opened = OpenHelpPage(HelpPageUrl(LanguageIndex), LanguageIndex, open); !opened.ok())
        ShowErrorBox(opened.error().message, Pick(TxtWarning));
}

void TForm1::About1Click() {
    TAboutBox box(m_urlOpener, this);
    box.exec();
}

} // namespace velda
