// The main window: its parts, menus, commands and the table's mouse and key handling.
#include "app/TForm1.h"

#include "app/AppendProjectCommand.h"
#include "app/ArchiveTableModel.h"
#include "app/ClipboardText.h"
#include "app/DesktopServices.h"
#include "app/MainTexts.h"
#include "app/TAboutBox.h"
#include "app/WindowTexts.h"
#include "archive/ArchiveDownload.h"
#include "archive/ProjectFile.h"
#include "base/DeleteRow.h"
#include "base/SortTable.h"
#include "base/TableHeader.h"
#include "device/ClockSetting.h"
#include "device/Exchange.h"
#include "device/QtExchangeUi.h"
#include "device/ShowStatus.h"
#include "device/TForm2.h"

#ifdef VELDA_HAVE_EXPORT_GUI
#include "export/CsvExportCommand.h"
#include "export/SpreadsheetExportCommand.h"
#include "export/TForm6.h"
#endif
#ifdef VELDA_HAVE_GRAPH_GUI
#include "graph/TForm4.h"
#include "graph/TStatsForm.h"
#endif
#ifdef VELDA_HAVE_SCREENSHOT_GUI
#include "screenshot/TForm5.h"
#endif

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
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
constexpr int kDefaultRowHeight = 20;
constexpr int kHintIntervalMs = 200;
// Rows measured at each end of the table when columns are fitted to their content, and the room a
// cell needs around its text.
constexpr int kFitSampleRows = 200;
constexpr int kCellPadding = 12;
// The command row's texts are set in the size the window was designed for.
constexpr int kCommandFontPixels = 11;
// A refusal stays in the status line this many hint ticks before the hover texts take over again.
constexpr int kStatusMessageTicks = 15;
constexpr std::array<int, ArchiveTable::kMaxColCount> kDesignColumnWidths = {40, 71, 100, 102, 133, 76, 201,
                                                                             49, 51, 168, 215, 50,  48, 159};
// The read's dialog closes in the exchange's last state; the thread ends right after it.
constexpr std::chrono::minutes kExchangeEndWait{1};

const char *const kProjectSaveFilters = "VELDA-9 (*.vd);;All Files (*)";
const char *const kProjectOpenFilters = "VELDA (*.vd);;All Files (*)";
const char *const kProposedProjectName = "Arhive";

QFont tableFont() {
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("DejaVu Sans")});
    font.setPixelSize(15);
    return font;
}

QFont panelFont() {
    QFont font;
    font.setPixelSize(16);
    font.setBold(true);
    return font;
}

} // namespace

// The window sees F1 before its controls and leaves it to them. A key event that climbs from child to
// parent passes an application filter once per widget, so only its first receiver, the focus widget,
// counts.
class TForm1::HelpKeyFilter : public QObject {
public:
    explicit HelpKeyFilter(TForm1 *form) : m_form(form) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() != QEvent::KeyPress) return false;
        auto *key = static_cast<QKeyEvent *>(event);
        auto *widget = qobject_cast<QWidget *>(watched);
        if (key->key() == Qt::Key_F1 && !key->isAutoRepeat() && widget && widget->window() == m_form &&
            watched == QApplication::focusWidget())
            m_form->Contents1Click();
        return false;
    }

private:
    TForm1 *m_form;
};

void ShowErrorBox(const QString &text, const QString &caption) {
    QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok);
    box.exec();
}

TForm1::TForm1(QWidget *parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("Form1"));
    m_columnWidths = kDesignColumnWidths;
    createMenus();
    createControls();
    FormCreate();
}

TForm1::~TForm1() {
    qApp->removeEventFilter(m_helpKeyFilter.get());
    // The table view reads the table while it is torn down; it must go before the table does.
    delete centralWidget();
    StringGrid1 = nullptr;
    m_corner = nullptr;
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

#ifdef VELDA_HAVE_GRAPH_GUI
    AddStatisticsItem(File1, Print1,
                      [this] { OpenStatistics(m_table, this, [this] { m_model->cellsChanged(); }); });
#endif

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
    StringGrid1 = new QTableView(client);
    StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
    StringGrid1->setModel(m_model);
    StringGrid1->setFont(tableFont());
    StringGrid1->setShowGrid(true);
    StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGrid1->setSelectionMode(QAbstractItemView::ContiguousSelection);
    StringGrid1->setSelectionBehavior(QAbstractItemView::SelectItems);
    StringGrid1->setWordWrap(false);
    StringGrid1->setContextMenuPolicy(Qt::PreventContextMenu);
    QHeaderView *columns = StringGrid1->horizontalHeader();
    columns->setSectionsClickable(false);
    columns->setHighlightSections(false);
    columns->setSectionResizeMode(QHeaderView::Interactive);
    columns->setMinimumSectionSize(4);
    columns->setDefaultSectionSize(40);
    QHeaderView *rows = StringGrid1->verticalHeader();
    rows->setSectionsClickable(false);
    rows->setHighlightSections(false);
    rows->setSectionsMovable(true);
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(kDefaultRowHeight);
    rows->setMinimumSectionSize(kDefaultRowHeight);
    rows->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    // Cell (0, 0) "№" sits on the corner button, which otherwise would select the whole table.
    if (auto *cornerButton = StringGrid1->findChild<QAbstractButton *>()) {
        m_corner = new QLabel(cornerButton);
        m_corner->setObjectName(QStringLiteral("StringGrid1Corner"));
        m_corner->setAlignment(Qt::AlignCenter);
        m_corner->setAttribute(Qt::WA_TransparentForMouseEvents);
        cornerButton->installEventFilter(this);
    }
    columns->viewport()->installEventFilter(this);
    rows->viewport()->installEventFilter(this);
    StringGrid1->viewport()->installEventFilter(this);
    StringGrid1->installEventFilter(this);
    SpeedButton1->installEventFilter(this);
    m_helpKeyFilter = std::make_unique<HelpKeyFilter>(this);
    qApp->installEventFilter(m_helpKeyFilter.get());

    connect(columns, &QHeaderView::sectionResized, this, [this](int logical, int, int size) {
        if (!m_applyingWidths && logical + 1 < ArchiveTable::kMaxColCount) m_columnWidths[logical + 1] = size;
    });
    connect(rows, &QHeaderView::sectionMoved, this,
            [this](int, int oldVisual, int newVisual) { onRowMoved(oldVisual, newVisual); });
    connect(StringGrid1->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { syncSelectionFromView(); });
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        applyColumnWidths();
        updateCorner();
    });

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

#ifdef VELDA_HAVE_EXPORT_GUI
    m_exportCommand = new SpreadsheetExportCommand(this);
    m_csvCommand = new CsvExportCommand(this);
#endif
}

void TForm1::FormCreate() {
    LanguageIndex = 0;
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
    SpeedButton1->setToolTip(ClockButtonHint(c.clockHint, m_clockRunning && ExchangeRunning()));
    WriteHeaderRow(m_table, LanguageIndex);
    m_model->headersChanged();
    updateCorner();
}

void TForm1::switchLanguage(std::uint8_t language) {
    LanguageIndex = language;
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

void TForm1::applyColumnWidths() {
    m_applyingWidths = true;
    QHeaderView *rows = StringGrid1->verticalHeader();
    // The number column keeps its width but never cuts off the longest record number.
    const QString widest = m_table.cell(0, std::max(m_table.rowCount() - 1, 1));
    rows->setFixedWidth(
        std::max(m_columnWidths[0], rows->fontMetrics().horizontalAdvance(widest + QStringLiteral("00"))));
    QHeaderView *columns = StringGrid1->horizontalHeader();
    for (int c = 1; c < m_table.colCount(); ++c) {
        const int width = c < ArchiveTable::kMaxColCount ? m_columnWidths[c] : columns->defaultSectionSize();
        columns->resizeSection(c - 1, width);
    }
    m_applyingWidths = false;
}

void TForm1::fitColumnsToContent() {
    // The design widths suit a narrower font than the ones found here; a value must never show cut
    // off, so a column is widened (never narrowed) to its header and to a sample of its cells.
    const QFontMetrics cells(StringGrid1->font());
    const QFontMetrics headers(StringGrid1->horizontalHeader()->font());
    const int rows = m_table.rowCount();
    auto sampledRows = [rows](auto &&visit) {
        for (int r = 1; r < rows && r <= kFitSampleRows; ++r)
            visit(r);
        for (int r = std::max(kFitSampleRows + 1, rows - kFitSampleRows); r < rows; ++r)
            visit(r);
    };
    for (int c = 1; c < ArchiveTable::kMaxColCount; ++c) {
        int needed = headers.horizontalAdvance(m_table.cell(c, 0)) + kCellPadding;
        sampledRows([&](int r) {
            needed = std::max(needed, cells.horizontalAdvance(m_table.cell(c, r)) + kCellPadding);
        });
        m_columnWidths[static_cast<std::size_t>(c)] =
            std::max(m_columnWidths[static_cast<std::size_t>(c)], needed);
    }
    applyColumnWidths();
}

void TForm1::updateCorner() {
    if (!m_corner) return;
    m_corner->setText(m_table.cell(0, 0));
    m_corner->setGeometry(m_corner->parentWidget()->rect());
}

void TForm1::setWindowWidth(int width) {
    resize(width, height());
}

void TForm1::setColumnCount(int count) {
    m_model->change([count](ArchiveTable &t) { t.setColCount(count); });
    showSelectionInView();
}

int TForm1::columnWidth(int column) const {
    return tableColumnWidth(column);
}

int TForm1::tableColumnWidth(int column) const {
    if (column < 0 || column >= ArchiveTable::kMaxColCount) return 0;
    return m_columnWidths[static_cast<std::size_t>(column)];
}

void TForm1::setColumnWidth(int column, int width) {
    if (column < 0 || column >= ArchiveTable::kMaxColCount) return;
    m_columnWidths[static_cast<std::size_t>(column)] = width;
    applyColumnWidths();
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
    velda::ApplyChannelLayout(*this, Channel1Present.load() || bothSlots,
                              Channel2Present.load() || bothSlots);
}

// ---- Selection ------------------------------------------------------------------------------------

void TForm1::setSelection(const Selection &selection) {
    m_selection = selection;
    showSelectionInView();
}

void TForm1::showSelectionInView() {
    QItemSelectionModel *model = StringGrid1->selectionModel();
    const QSignalBlocker blocker(model);
    const int rows = m_model->rowCount();
    const int cols = m_model->columnCount();
    const Selection &s = m_selection;
    const int top = s.top - 1;
    const int bottom = std::min(s.bottom - 1, rows - 1);
    const int left = std::max(s.left - 1, 0);
    const int right = std::min(s.right - 1, cols - 1);
    model->clearSelection();
    if (top < 0 || top > bottom || left > right) {
        model->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    } else {
        model->setCurrentIndex(m_model->index(top, left), QItemSelectionModel::NoUpdate);
        model->select(QItemSelection(m_model->index(top, left), m_model->index(bottom, right)),
                      QItemSelectionModel::Select);
    }
    StringGrid1->viewport()->update();
}

void TForm1::syncSelectionFromView() {
    const QItemSelection ranges = StringGrid1->selectionModel()->selection();
    if (ranges.isEmpty()) return;
    int top = INT_MAX, left = INT_MAX, bottom = -1, right = -1;
    for (const QItemSelectionRange &range : ranges) {
        top = std::min(top, range.top());
        left = std::min(left, range.left());
        bottom = std::max(bottom, range.bottom());
        right = std::max(right, range.right());
    }
    m_selection = Selection{left + 1, top + 1, right + 1, bottom + 1};
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
    const int direction = ToggleSortDirection();
    if (TableIsEmpty(m_table)) return;
    const SortResult result = SortTable(m_table, column, direction);
    m_model->cellsChanged();
    if (!result.ok()) ShowErrorBox(result.error->message(), Pick(TxtError));
}

bool TForm1::StringGrid1RightPress(int column, int row, const QPoint &globalPos) {
    if (!ContextMenuOpens(column, row, m_selection, TableIsEmpty(m_table))) return false;
    PopupMenu1->popup(globalPos);
    return true;
}

void TForm1::Delete1Click() {
    m_model->change([this](ArchiveTable &t) { DeleteRow(t, m_selection.top); });
    showSelectionInView();
}

void TForm1::onRowMoved(int oldVisual, int newVisual) {
    // The header only animates the drag; the table moves the row and the header returns to identity.
    QHeaderView *rows = StringGrid1->verticalHeader();
    {
        const QSignalBlocker blocker(rows);
        rows->moveSection(newVisual, oldVisual);
    }
    m_table.moveRow(oldVisual + 1, newVisual + 1);
    m_model->cellsChanged();
    setSelection(Selection{0, newVisual + 1, m_table.colCount() - 1, newVisual + 1});
}

PointerPlace TForm1::placeAt(const QPoint &globalPos) const {
    PointerPlace place;
    place.insideWindow = frameGeometry().contains(globalPos) || geometry().contains(globalPos);
    const QRect tableRect(StringGrid1->mapToGlobal(QPoint(0, 0)), StringGrid1->size());
    place.insideTable = place.insideWindow && tableRect.contains(globalPos);
    if (!place.insideTable) return place;
    const QHeaderView *columns = StringGrid1->horizontalHeader();
    const QHeaderView *rows = StringGrid1->verticalHeader();
    const QPoint inColumns = columns->mapFromGlobal(globalPos);
    const QPoint inRows = rows->mapFromGlobal(globalPos);
    const QPoint inCells = StringGrid1->viewport()->mapFromGlobal(globalPos);
    if (columns->isVisible() && columns->rect().contains(inColumns)) {
        const int logical = columns->logicalIndexAt(inColumns.x());
        if (logical >= 0) {
            place.column = logical + 1;
            place.row = 0;
        }
    } else if (rows->isVisible() && rows->rect().contains(inRows)) {
        const int logical = rows->logicalIndexAt(inRows.y());
        if (logical >= 0) {
            place.column = 0;
            place.row = logical + 1;
        }
    } else if (StringGrid1->viewport()->rect().contains(inCells)) {
        const QModelIndex index = StringGrid1->indexAt(inCells);
        if (index.isValid()) {
            place.column = index.column() + 1;
            place.row = index.row() + 1;
        }
    } else if (inRows.x() >= 0 && inRows.x() < rows->width() && inColumns.y() >= 0 &&
               inColumns.y() < columns->height()) {
        place.column = 0; // the corner cell "№"
        place.row = 0;
    }
    return place;
}

bool TForm1::eventFilter(QObject *watched, QEvent *event) {
    const QEvent::Type type = event->type();
    // A double click on the clock button is one click: its second half must not cancel the setting the
    // first half started.
    if (watched == SpeedButton1 && type == QEvent::MouseButtonDblClick) return true;
    if (type == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (watched == StringGrid1) {
            if (key->key() == Qt::Key_Delete && key->modifiers() == Qt::NoModifier) {
                Delete1Click();
                return true;
            }
            if (key->key() == Qt::Key_C && (key->modifiers() & Qt::ControlModifier)) {
                if (m_selection.singleCell()) {
                    ACopyTableExecute();
                } else {
                    ACopyBlockTableExecute();
                }
                return true;
            }
        }
        return QMainWindow::eventFilter(watched, event);
    }
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease &&
        type != QEvent::MouseButtonDblClick)
        return QMainWindow::eventFilter(watched, event);

    auto *mouse = static_cast<QMouseEvent *>(event);
    const QPoint pos = mouse->position().toPoint();
    const bool left = mouse->button() == Qt::LeftButton;
    const bool right = mouse->button() == Qt::RightButton;
    const bool release = type == QEvent::MouseButtonRelease;
    const bool press = type == QEvent::MouseButtonPress;
    QHeaderView *columns = StringGrid1->horizontalHeader();
    QHeaderView *rows = StringGrid1->verticalHeader();

    if (m_corner && watched == m_corner->parentWidget()) {
        if (left && release) StringGrid1LeftRelease(0, 0);
        return true;
    }
    if (watched == columns->viewport()) {
        if (left && release) {
            const int logical = columns->logicalIndexAt(pos.x());
            if (logical >= 0) {
                StringGrid1LeftRelease(logical + 1, 0);
            } else {
                StringGrid1LeftRelease(-1, -1);
            }
        }
        return right;
    }
    if (watched == rows->viewport()) {
        const int logical = rows->logicalIndexAt(pos.y());
        if (left && release) {
            // Let the header finish a drag first; the row it lands on is then the one under the pointer.
            QTimer::singleShot(0, this, [this, logical] {
                if (logical >= 0 && logical < m_model->rowCount()) {
                    StringGrid1LeftRelease(0, logical + 1);
                } else {
                    StringGrid1LeftRelease(-1, -1);
                }
            });
            return false;
        }
        if (right && press) {
            StringGrid1RightPress(0, logical >= 0 ? logical + 1 : -1,
                                  rows->viewport()->mapToGlobal(pos + QPoint(0, kDefaultRowHeight)));
        }
        return right;
    }
    if (watched == StringGrid1->viewport()) {
        if (right) return true; // the right button neither selects nor opens anything over data cells
        if (left && release) {
            const QModelIndex index = StringGrid1->indexAt(pos);
            if (!index.isValid()) {
                StringGrid1LeftRelease(-1, -1);
                return true;
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---- Hover hints and status line ----------------------------------------------------------------

void TForm1::Timer1Timer() {
    if (m_statusMessageTicks > 0) {
        --m_statusMessageTicks;
        return;
    }
    if (m_clockRunning) {
        if (ExchangeRunning()) {
            showClockStatus();
            return;
        }
        // The setting has ended: say what it did, then the hover texts take over again.
        m_clockRunning = false;
        SpeedButton1->setToolTip(ClockButtonHint(Pick(TxtClockSync), false));
        showStatusMessage(ClockStatusText(
            {false, ExchangeState.load(), ExchangeStatus.load(), false, LastClockOutcome.load()},
            Pick(TxtClockSync)));
        return;
    }
    const QString hint = HoverHint(placeAt(QCursor::pos()));
    if (StatusBar1->currentMessage() != hint) StatusBar1->showMessage(hint);
}

void TForm1::showStatusMessage(const QString &text) {
    StatusBar1->showMessage(text);
    m_statusMessageTicks = kStatusMessageTicks;
}

void TForm1::showClockStatus() {
    const QString text = ClockStatusText({ExchangeRunning(), ExchangeState.load(), ExchangeStatus.load(),
                                          CancelRequested.load(), LastClockOutcome.load()},
                                         Pick(TxtClockSync));
    if (StatusBar1->currentMessage() != text) StatusBar1->showMessage(text);
}

bool TForm1::refuseWhileExchangeRuns() {
    if (!ExchangeRunning()) return false;
    showStatusMessage(ExchangeBusyText(m_clockRunning));
    return true;
}

// ---- Commands -------------------------------------------------------------------------------------

void TForm1::Button1Click() {
    if (refuseWhileExchangeRuns()) return;
    auto *form2 = new TForm2(this); // kept, hidden, until the program ends
    form2->hide();
    m_download = std::make_shared<ArchiveDownload>(m_table);
    ExchangeSetup setup;
    setup.ui = &QtExchangeUi::instance();
    setup.sleeper = m_sleeper;
    setup.handOver = m_download->handOver();
    if (StartArchiveRead(std::move(setup), form2->controls(nullptr)) != StartResult::Started) {
        delete form2;
        showStatusMessage(ExchangeBusyText(m_clockRunning));
        return;
    }
    form2->RunModal();
    WaitForExchange(kExchangeEndWait, ProcessGuiEvents);
    // A cancelled or failed read hands nothing over and the table stays; the layout step runs anyway.
    m_model->change([&](ArchiveTable &t) { static_cast<void>(m_download->swapInto(t)); });
    showSelectionInView();
    ApplyChannelLayout();
    fitColumnsToContent();
}

void TForm1::Button2Click() {
    if (TableIsEmpty(m_table)) {
        ShowErrorBox(Pick(TxtArchiveNotRead), Pick(TxtWarning));
        return;
    }
#ifdef VELDA_HAVE_GRAPH_GUI
    auto *form4 = new TForm4(m_table, this); // kept until the program ends
    form4->exec();
    m_model->cellsChanged(); // the graph sorts the table by time before it plots
#else
    // TODO(#5): the graph window opens here once its library is part of the build.
#endif
}

void TForm1::SpeedButton1Click() {
    if (m_clockRunning && ExchangeRunning()) {
        CancelRequested = true;
        m_statusMessageTicks = 0;
        showClockStatus();
        return;
    }
    if (refuseWhileExchangeRuns()) return;
    ExchangeSetup setup;
    setup.ui = &QtExchangeUi::instance();
    setup.sleeper = m_sleeper;
    if (StartClockSetting(std::move(setup)) != StartResult::Started) {
        showStatusMessage(ExchangeBusyText(false));
        return;
    }
    m_clockRunning = true;
    SpeedButton1->setToolTip(ClockButtonHint(Pick(TxtClockSync), true));
    m_statusMessageTicks = 0;
    showClockStatus();
}

void TForm1::Save1Click() {
#ifdef VELDA_HAVE_EXPORT_GUI
    m_exportCommand->run(this, m_table);
#else
    // TODO(#6): the spreadsheet export runs here once its library is part of the build.
    if (TableIsEmpty(m_table)) ShowErrorBox(Pick(TxtArchiveNotRead), Pick(TxtError));
#endif
}

void TForm1::SaveCsv1Click() {
#ifdef VELDA_HAVE_EXPORT_GUI
    m_csvCommand->run(this, m_table);
#endif
}

void TForm1::AppendProject1Click() {
    if (AppendProjectWithDialog(this, *m_model, &m_openName)) {
        ApplyChannelLayout();
        fitColumnsToContent();
    }
    showSelectionInView();
    RecordCount = static_cast<std::uint32_t>(std::max(m_table.rowCount() - 1, 0));
}

void TForm1::Print1Click() {
#ifdef VELDA_HAVE_EXPORT_GUI
    auto *form6 = new TForm6(m_table, this); // kept until the program ends
    form6->showPreview();
#else
    // TODO(#6): the report preview opens here once its library is part of the build.
#endif
}

void TForm1::N1Click() {
    QFileDialog dialog(this);
    dialog.setObjectName(QStringLiteral("SaveDialog2"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(QString::fromLatin1(kProjectSaveFilters).split(QStringLiteral(";;")));
    dialog.setDefaultSuffix(QStringLiteral("vd"));
    dialog.selectFile(m_saveName.isEmpty() ? QString::fromLatin1(kProposedProjectName) : m_saveName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    m_saveName = dialog.selectedFiles().front();
    if (TableIsEmpty(m_table)) {
        ShowErrorBox(Pick(TxtArchiveNotRead), Pick(TxtError));
        return;
    }
    const auto result = SaveProject(m_table, m_saveName);
    if (!result.ok()) ShowErrorBox(result.error().message, Pick(TxtError));
}

void TForm1::N2Click() {
    QFileDialog dialog(this);
    dialog.setObjectName(QStringLiteral("OpenDialog1"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(QString::fromLatin1(kProjectOpenFilters).split(QStringLiteral(";;")));
    if (!m_openName.isEmpty()) dialog.selectFile(m_openName);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        m_openName = dialog.selectedFiles().front();
        openProject(m_openName);
    }
    RecordCount = static_cast<std::uint32_t>(std::max(m_table.rowCount() - 1, 0));
}

void TForm1::Action1Execute(const QString &path) {
    m_openName = path;
    openProject(path);
    RecordCount = static_cast<std::uint32_t>(std::max(m_table.rowCount() - 1, 0));
}

bool TForm1::openProject(const QString &path) {
    bool ok = false;
    QString error;
    m_model->change([&](ArchiveTable &t) {
        const auto result = LoadProject(t, path);
        ok = result.ok();
        if (!ok) error = result.error().message;
    });
    if (!ok) {
        showSelectionInView();
        ShowErrorBox(error, Pick(TxtError));
        return false;
    }
    ApplyChannelLayout();
    fitColumnsToContent();
    showSelectionInView();
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
    copyToClipboard(BlockText(m_table, m_selection));
}

void TForm1::Copy3Click() {
#ifdef VELDA_HAVE_SCREENSHOT_GUI
    auto *form5 = new TForm5(this); // kept until the program ends
    form5->hide();
    form5->exec();
#else
    // TODO(#6): the screenshot window opens here once its library is part of the build.
#endif
}

void TForm1::Contents1Click() {
    const QUrl page = HelpPageUrl(LanguageIndex);
    if (!page.isEmpty()) OpenUrl(page);
}

void TForm1::About1Click() {
    TAboutBox box(this);
    box.exec();
}

} // namespace velda
