// The History window and the main window's history menu items.
#include "history/THistoryForm.h"

#include "history/HistorySync.h"
#include "history/HistoryView.h"

#include <QAction>
#include <QDateTimeEdit>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace velda {

namespace {

QTableWidget *newList(const TextPair &columns, QWidget *parent) {
    auto *list = new QTableWidget(parent);
    const QStringList headers = Pick(columns).split(QLatin1Char('|'));
    list->setColumnCount(static_cast<int>(headers.size()));
    list->setHorizontalHeaderLabels(headers);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->verticalHeader()->hide();
    list->horizontalHeader()->setStretchLastSection(true);
    return list;
}

void fillRow(QTableWidget *list, int row, const QStringList &cells) {
    for (int col = 0; col < cells.size(); ++col)
        list->setItem(row, col, new QTableWidgetItem(cells.at(col)));
}

QDateTimeEdit *newTimeEdit(QWidget *parent) {
    auto *edit = new QDateTimeEdit(parent);
    edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    edit->setTimeSpec(Qt::UTC);
    return edit;
}

} // namespace

THistoryForm::THistoryForm(std::function<void(ArchiveTable)> openInTable,
                           std::function<bool(const QString &)> confirm, QWidget *parent)
    : QDialog(parent), m_openInTable(std::move(openInTable)), m_confirm(std::move(confirm)) {
    setObjectName(QStringLiteral("HistoryForm"));
    setWindowTitle(Pick(TxtHistoryCaption));
    Instruments = newList(TxtHistoryInstrumentColumns, this);
    Downloads = newList(TxtHistoryDownloadColumns, this);
    FromEdit = newTimeEdit(this);
    ToEdit = newTimeEdit(this);
    OpenButton = new QPushButton(Pick(TxtHistoryOpen), this);
    ImportButton = new QPushButton(Pick(TxtHistoryImport), this);
    ForgetDownloadButton = new QPushButton(Pick(TxtHistoryForgetDownload), this);
    ForgetInstrumentButton = new QPushButton(Pick(TxtHistoryForgetInstrument), this);
    auto *closeButton = new QPushButton(Pick(TxtHistoryClose), this);
    StatusLabel = new QLabel(this);
    StatusLabel->setWordWrap(true);

    auto *range = new QHBoxLayout;
    range->addWidget(new QLabel(Pick(TxtHistoryFrom), this));
    range->addWidget(FromEdit);
    range->addWidget(new QLabel(Pick(TxtHistoryTo), this));
    range->addWidget(ToEdit);
    range->addWidget(OpenButton);
    range->addStretch();
    auto *buttons = new QHBoxLayout;
    for (QPushButton *button : {ImportButton, ForgetDownloadButton, ForgetInstrumentButton})
        buttons->addWidget(button);
    buttons->addStretch();
    buttons->addWidget(closeButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Instruments, 2);
    layout->addLayout(range);
    layout->addWidget(Downloads, 1);
    layout->addLayout(buttons);
    layout->addWidget(StatusLabel);
    resize(900, 560);

    connect(Instruments, &QTableWidget::itemSelectionChanged, this,
            &THistoryForm::InstrumentsSelectionChanged);
    connect(OpenButton, &QPushButton::clicked, this, &THistoryForm::OpenButtonClick);
    connect(ImportButton, &QPushButton::clicked, this, &THistoryForm::ImportButtonClick);
    connect(ForgetDownloadButton, &QPushButton::clicked, this, [this] { ForgetClick(false); });
    connect(ForgetInstrumentButton, &QPushButton::clicked, this, [this] { ForgetClick(true); });
    connect(closeButton, &QPushButton::clicked, this, &QDialog::accept);

    auto store = OpenWindowHistory();
    if (store.ok()) {
        m_store = std::move(store.value());
    } else {
        StatusLabel->setText(store.error().message);
    }
    for (QPushButton *button : {OpenButton, ImportButton, ForgetDownloadButton, ForgetInstrumentButton})
        button->setEnabled(m_store != nullptr);
    refresh();
}

THistoryForm::~THistoryForm() = default;

void THistoryForm::refresh() {
    Instruments->setRowCount(0);
    Downloads->setRowCount(0);
    if (!m_store) return;
    const auto instruments = m_store->instruments();
    if (!instruments.ok()) {
        StatusLabel->setText(instruments.error().message);
        return;
    }
    Instruments->setRowCount(static_cast<int>(instruments.value().size()));
    int row = 0;
    for (const InstrumentSummary &instrument : instruments.value())
        fillRow(Instruments, row++, InstrumentCells(instrument));
    if (row > 0) Instruments->selectRow(0);
}

QString THistoryForm::chosenInstrument() const {
    const QTableWidgetItem *item = Instruments->item(Instruments->currentRow(), 0);
    return item ? item->text() : QString();
}

void THistoryForm::InstrumentsSelectionChanged() {
    Downloads->setRowCount(0);
    const QString instrument = chosenInstrument();
    if (!m_store || instrument.isEmpty()) return;
    const int row = Instruments->currentRow();
    const auto stamp = [this, row](int col) {
        return QDateTime::fromString(Instruments->item(row, col)->text(),
                                     QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    };
    for (const auto &[edit, col] : {std::pair{FromEdit, 1}, std::pair{ToEdit, 2}}) {
        QDateTime time = stamp(col);
        time.setTimeSpec(Qt::UTC);
        if (time.isValid()) edit->setDateTime(time);
    }
    const auto downloads = m_store->downloads(instrument);
    if (!downloads.ok()) {
        StatusLabel->setText(downloads.error().message);
        return;
    }
    Downloads->setRowCount(static_cast<int>(downloads.value().size()));
    int line = 0;
    for (const DownloadSummary &download : downloads.value())
        fillRow(Downloads, line++, DownloadCells(download));
}

void THistoryForm::OpenButtonClick() {
    const QString instrument = chosenInstrument();
    if (!m_store || instrument.isEmpty()) return;
    ReadingRange range;
    range.from = FromEdit->dateTime();
    range.to = ToEdit->dateTime();
    auto table = m_store->table(instrument, range);
    if (!table.ok()) {
        StatusLabel->setText(table.error().message);
        return;
    }
    m_openInTable(std::move(table.value()));
}

void THistoryForm::importFiles(const QStringList &files, const QString &instrument) {
    for (const QString &file : files) {
        int rows = 0;
        if (const auto added = ImportProjectFile(*m_store, file, instrument, &rows); !added.ok()) {
            StatusLabel->setText(added.error().message);
            break;
        }
    }
    refresh();
}

void THistoryForm::ImportButtonClick() {
    const QStringList files =
        QFileDialog::getOpenFileNames(this, Pick(TxtHistoryImport), QString(), QStringLiteral("*.vd"));
    if (files.isEmpty()) return;
    bool ok = false;
    const QString suggested = chosenInstrument().isEmpty() ? Pick(TxtDefaultInstrument) : chosenInstrument();
    const QString instrument = QInputDialog::getText(this, Pick(TxtHistoryImport), Pick(TxtHistoryImportName),
                                                     QLineEdit::Normal, suggested, &ok)
                                   .trimmed();
    if (ok && !instrument.isEmpty()) importFiles(files, instrument);
}

void THistoryForm::ForgetClick(bool wholeInstrument) {
    const QString instrument = chosenInstrument();
    if (!m_store || instrument.isEmpty()) return;
    std::optional<qint64> download;
    if (!wholeInstrument) {
        const QTableWidgetItem *item = Downloads->item(Downloads->currentRow(), 0);
        if (item == nullptr) return;
        download = item->text().toLongLong();
    }
    const auto question = ForgetQuestion(*m_store, instrument, download);
    if (!question.ok()) {
        StatusLabel->setText(question.error().message);
        return;
    }
    if (!m_confirm(question.value())) return;
    if (const auto removed = m_store->forget(instrument, download); !removed.ok())
        StatusLabel->setText(removed.error().message);
    refresh();
}

void AddHistoryItems(QMenu *menu, QAction *after, const std::function<void()> &open) {
    auto *history = new QAction(Pick(TxtHistoryMenu), menu);
    auto *keep = new QAction(Pick(TxtKeepHistory), menu);
    keep->setCheckable(true);
    keep->setChecked(HistoryEnabled());
    const QList<QAction *> actions = menu->actions();
    const qsizetype at = after ? actions.indexOf(after) : -1;
    QAction *before = at >= 0 && at + 1 < actions.size() ? actions.at(at + 1) : nullptr;
    menu->insertActions(before, {history, keep});
    QObject::connect(menu, &QMenu::aboutToShow, history, [history, keep] {
        history->setText(Pick(TxtHistoryMenu));
        keep->setText(Pick(TxtKeepHistory));
    });
    QObject::connect(history, &QAction::triggered, history, [open] { open(); });
    QObject::connect(keep, &QAction::toggled, keep, [](bool checked) { SetHistoryEnabled(checked); });
}

} // namespace velda
