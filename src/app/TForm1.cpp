// The main window: its parts, menus, commands and the table's mouse and key handling.
#include "app/TForm1.h"

#include "app/AppendProjectCommand.h"
#include "app/ArchiveGrid.h"
#include "app/ArchiveTableModel.h"
#include "app/ClipboardText.h"
#include "app/DesktopServices.h"
#include "app/MainTexts.h"
#include "app/ProjectDialogs.h"
#include "app/QtTranslations.h"
#include "app/TAboutBox.h"
#include "app/WindowTexts.h"
#include "archive/ArchiveReadCommand.h"
#include "archive/ProjectFileCommand.h"
#include "base/DeleteRow.h"
#include "base/FileTarget.h"
#include "base/SortTable.h"
#include "base/TableHeader.h"
#include "device/ClockCommand.h"
#include "device/Exchange.h"
#include "device/QtExchangeUi.h"
#include "device/ShowStatus.h"
#include "device/TForm2.h"

#include "export/CsvExportCommand.h"
#include "export/SpreadsheetExportCommand.h"
#include "export/TForm6.h"
#include "graph/TForm4.h"
#include "graph/TStatsForm.h"
#include "screenshot/TForm5.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QDir>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <chrono>
#include <utility>

namespace velda {

namespace {

inline constexpr TextPair TxtHelpMissing{"Справка не найдена: нет файла %1",
                                         "Help not found: the file %1 is missing"};
inline constexpr TextPair TxtHelpNotOpened{
    "Не удалось открыть справку %1: ни одна программа не открыла страницу",
    "Could not open the help page %1: no program opened it"};

constexpr int kClientWidth = 1507;
constexpr int kClientHeight = 429;
constexpr int kMinimumWidth = 400;
constexpr int kTableTop = 24;
constexpr int kStatusBarHeight = 19;
constexpr int kHintIntervalMs = 200;
// The command row's texts are set in the size the window was designed for.
constexpr int kCommandFontPixels = 11;
// A refusal stays in the status line this many hint ticks before the hover texts take over again.
constexpr int kStatusMessageTicks = 15;
// The read's dialog closes in the exchange's last state; the thread ends right after it.
constexpr std::chrono::minutes kExchangeEndWait{1};

QFont panelFont() {
    QFont font;
    font.setPixelSize(16);
    font.setBold(true);
    return font;
}

} // namespace

void ShowErrorBox(const QString &text, const QString &caption) {
    QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok);
    box.exec();
}

TForm1::TForm1(QWidget *parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("Form1"));
    m_project = std::make_unique<ProjectFileCommand>();
    m_read = std::make_unique<ArchiveReadCommand>();
    m_clock = std::make_unique<ClockCommand>();
    createMenus();
    createControls();
    FormCreate();
}

TForm1::~TForm1() {
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
    QStyle *s = style();
    File1 = menuBar()->addMenu(QString());
    Save1 = File1->addAction(s->standardIcon(QStyle::SP_DialogSaveButton), QString());
    N1 = File1->addAction(s->standardIcon(QStyle::SP_FileDialogNewFolder), QString());
    N2 = File1->addAction(s->standardIcon(QStyle::SP_DialogOpenButton), QString());
    AppendProject1 = File1->addAction(QString());
    File1->insertAction(N1, SaveCsv1 = new QAction(this));
    File1->addSeparator();
    Print1 = File1->addAction(s->standardIcon(QStyle::SP_FileDialogDetailedView), QString());
    File1->addSeparator();
    Exit1 = File1->addAction(s->standardIcon(QStyle::SP_DialogCloseButton), QString());

    Edit1 = menuBar()->addMenu(QString());
    Copy1 = Edit1->addAction(s->standardIcon(QStyle::SP_FileIcon), QString());
    Copy2 = Edit1->addAction(s->standardIcon(QStyle::SP_FileLinkIcon), QString());
    Copy3 = Edit1->addAction(s->standardIcon(QStyle::SP_ComputerIcon), QString());

    Language1 = menuBar()->addMenu(QString::fromUtf8(kLanguageMenuCaption));
    Lang0 = Language1->addAction(QString::fromUtf8(kRussianItemCaption));
    Lang1 = Language1->addAction(QString::fromUtf8(kEnglishItemCaption));
    Lang0->setCheckable(true);
    Lang1->setCheckable(true);

    Help1 = menuBar()->addMenu(QString());
    Contents1 = Help1->addAction(s->standardIcon(QStyle::SP_DialogHelpButton), QString());
    About1 = Help1->addAction(s->standardIcon(QStyle::SP_MessageBoxInformation), QString());

    AddStatisticsItem(File1, Print1,
                      [this] { OpenStatistics(m_table, this, [this] { m_model->cellsChanged(); }); });

    connect(Save1, &QAction::triggered, this, &TForm1::Save1Click);
    connect(N1, &QAction::triggered, this, &TForm1::N1Click);
    connect(N2, &QAction::triggered, this, &TForm1::N2Click);
    connect(SaveCsv1, &QAction::triggered, this, &TForm1::SaveCsv1Click);
    connect(AppendProject1, &QAction::triggered, this, &TForm1::AppendProject1Click);
    connect(Print1, &QAction::triggered, this, &TForm1::Print1Click);
    connect(Exit1, &QAction::triggered, this, &TForm1::Exit1Click);
    connect(Copy1, &QAction::triggered, this, &TForm1::ACopyTableExecute);
    connect(Copy2, &QAction::triggered, this, &TForm1::ACopyBlockTableExecute);
    connect(Copy3, &QAction::triggered, this, &TForm1::Copy3Click);
    connect(Lang0, &QAction::triggered, this, &TForm1::Lang0Click);
    connect(Lang1, &QAction::triggered, this, &TForm1::Lang1Click);
    connect(Contents1, &QAction::triggered, this, &TForm1::Contents1Click);
    connect(About1, &QAction::triggered, this, &TForm1::About1Click);
}

void TForm1::createControls() {
    auto *client = new QWidget(this);
    setCentralWidget(client);

    QFont commandFont = client->font();
    commandFont.setPixelSize(kCommandFontPixels);

    Button1 = new QPushButton(client);
    Button1->setFont(commandFont);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(1, 0, 114, 25);
    Button2 = new QPushButton(client);
    Button2->setFont(commandFont);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(134, 0, 161, 25);
    SpeedButton1 = new QToolButton(client);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setGeometry(312, 0, 27, 27);
    SpeedButton1->setAutoRaise(true);
    SpeedButton1->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));

    Panel1 = new QLabel(client);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(427, 0, 304, 24);
    Panel2 = new QLabel(client);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setGeometry(731, 0, 304, 24);
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
    connect(StringGrid1->verticalHeader(), &QHeaderView::sectionMoved, this,
            [this](int, int oldVisual, int newVisual) { onRowMoved(oldVisual, newVisual); });

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
    LanguageIndex = 0;
    static_cast<void>(UseQtTranslations(LanguageIndex));
    Lang0->setChecked(true);
    Lang1->setChecked(false);
    applyTexts();
    Panel1->setText(Pick(TxtChannel1));
    Panel2->hide();
    setColumnCount(kOneChannelColCount);
    VersionPending = true;
    setMinimumWidth(kMinimumWidth);
    resize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
    Timer1->start();
}

void TForm1::applyTexts() {
    const MainWindowCaptions c = CaptionsIn(LanguageIndex);
    setWindowTitle(c.window);
    File1->setTitle(c.file);
    Save1->setText(c.save);
    N1->setText(c.createProject);
    N2->setText(c.openProject);
    SaveCsv1->setText(Pick(TxtSaveToCsv));
    AppendProject1->setText(Pick(TxtAppendProject));
    Print1->setText(c.print);
    Exit1->setText(c.exit);
    Edit1->setTitle(c.edit);
    Copy1->setText(c.copyTable);
    Copy2->setText(c.copySelection);
    Copy3->setText(c.screenshot);
    Help1->setTitle(c.help);
    Contents1->setText(c.contents);
    About1->setText(c.about);
    Button1->setText(c.readArchive);
    Button2->setText(c.graph);
    Delete1->setText(c.deleteRow);
    SpeedButton1->setToolTip(ClockButtonHint(c.clockHint, m_clock->settingRuns()));
    WriteHeaderRow(m_table, LanguageIndex);
    m_model->headersChanged();
}

void TForm1::switchLanguage(std::uint8_t language) {
    LanguageIndex = language;
    // Without Qt's Russian catalogue its own dialogs simply stay English.
    static_cast<void>(UseQtTranslations(language));
    Lang0->setChecked(language == 0);
    Lang1->setChecked(language == 1);
    applyTexts();
    Panel1->setText(Pick(TxtChannel1));
    Panel2->setText(Pick(TxtChannel2));
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
    const bool bothSlots = SecondSlotHoldsData(m_table);
    velda::ApplyChannelLayout(*this, m_table.channels().channel1 || bothSlots,
                              m_table.channels().channel2 || bothSlots);
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
    switch (ClassifyLeftClick(column, row)) {
    case ClickAction::SortByColumn:
        sortByColumn(column);
        break;
    case ClickAction::SelectRow:
        setSelection(Selection{0, row, m_table.colCount() - 1, row});
        break;
    case ClickAction::ClearSelection:
        setSelection(Selection{kNoCellSelection, kNoCellSelection, kNoCellSelection, kNoCellSelection});
        break;
    case ClickAction::Nothing:
        break;
    }
}

void TForm1::sortByColumn(int column) {
    const int direction = m_sortToggle.ToggleSortDirection();
    if (TableIsEmpty(m_table)) return;
    const SortResult result = SortTable(m_table, column, direction);
    m_model->cellsChanged();
    if (!result.ok()) ShowErrorBox(result.error().message(), Pick(TxtError));
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

void TForm1::onRowMoved(int oldVisual, int newVisual) {
    // The header only animates the drag; the table moves the row and the header returns to identity.
    QHeaderView *rows = StringGrid1->verticalHeader();
    {
        const QSignalBlocker blocker(rows);
        rows->moveSection(newVisual, oldVisual);
    }
    // A drag with the mouse is finished by its release (ArchiveGrid::rowDragged): the header would drop the
    // row before the section under the pointer when the pointer is in that section's near half.
    if (StringGrid1->rowDragReleasing()) return;
    moveRowTo(oldVisual + 1, newVisual + 1);
}

void TForm1::moveRowTo(int from, int to) {
    m_table.moveRow(from, to);
    m_model->cellsChanged();
    setSelection(Selection{0, to, m_table.colCount() - 1, to});
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
    auto *key = static_cast<QKeyEvent *>(event);
    // The keypad's Delete arrives with the keypad modifier set; it deletes as the main Delete does.
    if (key->key() == Qt::Key_Delete && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        Delete1Click();
        return true;
    }
    if (key->key() == Qt::Key_C && (key->modifiers() & Qt::ControlModifier)) {
        if (selection().singleCell()) {
            ACopyTableExecute();
        } else {
            ACopyBlockTableExecute();
        }
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---- Hover hints and status line ----------------------------------------------------------------

void TForm1::Timer1Timer() {
    if (m_statusMessageTicks > 0) {
        --m_statusMessageTicks;
        return;
    }
    switch (m_clock->tick()) {
    case ClockCommand::Tick::Running:
        showClockStatus();
        return;
    case ClockCommand::Tick::Ended:
        // The setting has ended: say what it did, then the hover texts take over again.
        SpeedButton1->setToolTip(ClockButtonHint(Pick(TxtClockSync), false));
        showStatusMessage(ClockCommand::statusText());
        return;
    case ClockCommand::Tick::Idle:
        break;
    }
    const QString hint = HoverHint(placeAt(QCursor::pos()));
    if (StatusBar1->currentMessage() != hint) StatusBar1->showMessage(hint);
}

void TForm1::showStatusMessage(const QString &text) {
    StatusBar1->showMessage(text);
    m_statusMessageTicks = kStatusMessageTicks;
}

void TForm1::showClockStatus() {
    const QString text = ClockCommand::statusText();
    if (StatusBar1->currentMessage() != text) StatusBar1->showMessage(text);
}

bool TForm1::refuseWhileExchangeRuns() {
    if (!ExchangeRunning()) return false;
    showStatusMessage(ExchangeBusyText(m_clock->settingRuns()));
    return true;
}

// ---- Commands -------------------------------------------------------------------------------------

ExchangeSetup TForm1::exchangeSetup() const {
    ExchangeSetup setup;
    setup.ui = &QtExchangeUi::instance();
    setup.sleeper = m_sleeper;
    return setup;
}

void TForm1::Button1Click() {
    if (refuseWhileExchangeRuns()) return;
    auto *form2 = new TForm2(this); // kept, hidden, until the program ends
    form2->hide();
    if (m_read->start(m_table, exchangeSetup(), form2->controls(nullptr)) != StartResult::Started) {
        delete form2;
        showStatusMessage(ExchangeBusyText(m_clock->settingRuns()));
        return;
    }
    form2->RunModal();
    // A read whose thread has not ended has not handed its table over yet; swapInto() then keeps the
    // shown table. So does a cancelled or failed read. The layout step runs anyway.
    if (m_read->waitForEnd(kExchangeEndWait, ProcessGuiEvents))
        m_model->change([&](ArchiveTable &t) { static_cast<void>(m_read->swapInto(t)); });
    StringGrid1->showSelection();
    ApplyChannelLayout();
    StringGrid1->fitColumnsToContent();
}

void TForm1::Button2Click() {
    if (TableIsEmpty(m_table)) {
        ShowErrorBox(Pick(TxtArchiveNotRead), Pick(TxtWarning));
        return;
    }
    auto *form4 = new TForm4(m_table, this); // kept until the program ends
    form4->exec();
    m_model->cellsChanged(); // the graph sorts the table by time before it plots
}

void TForm1::SpeedButton1Click() {
    switch (m_clock->press(exchangeSetup())) {
    case ClockCommand::Press::Busy:
        showStatusMessage(ExchangeBusyText(false));
        return;
    case ClockCommand::Press::Started:
        SpeedButton1->setToolTip(ClockButtonHint(Pick(TxtClockSync), true));
        break;
    case ClockCommand::Press::Cancelling:
        break;
    }
    m_statusMessageTicks = 0;
    showClockStatus();
}

void TForm1::Save1Click() {
    m_exportCommand->run(this, m_table);
}

void TForm1::SaveCsv1Click() {
    m_csvCommand->run(this, m_table);
}

void TForm1::AppendProject1Click() {
    QString lastName = m_project->openName();
    const bool appended = AppendProjectWithDialog(this, *m_model, &lastName);
    m_project->rememberOpened(lastName);
    if (appended) {
        ApplyChannelLayout();
        StringGrid1->fitColumnsToContent();
    }
    StringGrid1->showSelection();
    ProjectFileCommand::countRecords(m_table);
}

void TForm1::Print1Click() {
    auto *form6 = new TForm6(m_table, this); // kept until the program ends
    form6->showPreview();
}

void TForm1::N1Click() {
    const std::optional<QString> path = AskProjectSavePath(this, m_project->proposedSaveName());
    if (!path) return;
    RememberFolder(*path);
    const auto saved = m_project->save(m_table, *path);
    if (!saved.ok()) ShowErrorBox(saved.error().message, Pick(TxtError));
}

void TForm1::N2Click() {
    if (const std::optional<QString> path = AskProjectOpenPath(this, m_project->openName())) {
        RememberFolder(*path);
        static_cast<void>(openProject(*path));
    } else {
        ProjectFileCommand::countRecords(m_table);
    }
}

void TForm1::Action1Execute(const QString &path) {
    RememberFolder(path);
    static_cast<void>(openProject(path));
}

bool TForm1::openProject(const QString &path) {
    bool ok = false;
    QString error;
    m_model->change([&](ArchiveTable &t) {
        const auto result = m_project->open(t, path);
        ok = result.ok();
        if (!ok) error = result.error().message;
    });
    if (!ok) {
        StringGrid1->showSelection();
        ShowErrorBox(error, Pick(TxtError));
        return false;
    }
    ApplyChannelLayout();
    StringGrid1->fitColumnsToContent();
    StringGrid1->showSelection();
    return true;
}

void TForm1::Exit1Click() {
    close();
}

void TForm1::copyToClipboard(const QString &text) {
    QGuiApplication::clipboard()->setText(text);
}

void TForm1::ACopyTableExecute() {
    if (!ClipboardCopyAllowed(RecordCount.load())) {
        ShowErrorBox(Pick(TxtTableEmpty), Pick(TxtWarning));
        return;
    }
    copyToClipboard(TableText(m_table));
}

void TForm1::ACopyBlockTableExecute() {
    if (!ClipboardCopyAllowed(RecordCount.load())) {
        ShowErrorBox(Pick(TxtTableEmpty), Pick(TxtWarning));
        return;
    }
    copyToClipboard(BlockText(m_table, selection()));
}

void TForm1::Copy3Click() {
    auto *form5 = new TForm5(this); // kept until the program ends
    form5->hide();
    form5->exec();
}

void TForm1::Contents1Click() {
    const QUrl page = HelpPageUrl(LanguageIndex);
    if (page.isEmpty()) {
        ShowErrorBox(Pick(TxtHelpMissing).arg(HelpPageName(LanguageIndex)), Pick(TxtWarning));
    } else if (!m_urlOpener.OpenUrl(page)) {
        ShowErrorBox(Pick(TxtHelpNotOpened).arg(QDir::toNativeSeparators(page.toLocalFile())),
                     Pick(TxtWarning));
    }
}

void TForm1::About1Click() {
    TAboutBox box(m_urlOpener, this);
    box.exec();
}

} // namespace velda
