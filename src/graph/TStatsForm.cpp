// The statistics window and its menu item.
#include "graph/TStatsForm.h"

#include "base/SharedTexts.h"
#include "device/Exchange.h"
#include "graph/LimitFields.h"
#include "graph/StatsTexts.h"
#include "graph/SteadyPreview.h"
#include "graph/SummaryPainter.h"

#include <QAction>
#include <QClipboard>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace velda {

TStatsForm::TStatsForm(const ArchiveTable &table, bool channel1Present, bool channel2Present,
                       int archiveFormat, QWidget *parent, WindowServices services)
    : QDialog(parent), m_table(table), m_services(std::move(services)), m_channel1Present(channel1Present),
      m_channel2Present(channel2Present), m_archiveFormat(archiveFormat) {
    setWindowTitle(Pick(TxtStatsCaption));
    resize(1000, 640);
    auto *layout = new QVBoxLayout(this);
    Tabs = new QTabWidget(this);
    layout->addWidget(Tabs, 1);

    auto *limits = new QGroupBox(Pick(TxtStatsLimits), this);
    auto *grid = new QGridLayout(limits);
    grid->addWidget(new QLabel(Pick(TxtStatsLowerColumn), limits), 0, 1);
    grid->addWidget(new QLabel(Pick(TxtStatsUpperColumn), limits), 0, 2);
    for (Quantity q : kAllQuantities) {
        const int row = static_cast<int>(q) + 1;
        grid->addWidget(new QLabel(QuantityTitle(q, LanguageIndex.load()), limits), row, 0);
        for (int side = 0; side < 2; ++side) {
            auto *edit = new QLineEdit(limits);
            grid->addWidget(edit, row, side + 1);
            LimitEdits[static_cast<std::size_t>(q)][static_cast<std::size_t>(side)] = edit;
            connect(edit, &QLineEdit::editingFinished, this, [this, q, side] { LimitEdited(q, side == 1); });
        }
    }
    grid->addWidget(new QLabel(Pick(TxtStatsMktConstant), limits), kQuantityCount + 1, 0);
    MktEdit = new QLineEdit(limits);
    grid->addWidget(MktEdit, kQuantityCount + 1, 1);
    connect(MktEdit, &QLineEdit::editingFinished, this, [this] { MktEdited(); });
    layout->addWidget(limits);

    auto *buttons = new QHBoxLayout();
    StatusLabel = new QLabel(this);
    buttons->addWidget(StatusLabel, 1);
    CopyButton = new QPushButton(Pick(TxtStatsCopy), this);
    PrintButton = new QPushButton(Pick(TxtStatsPrint), this);
    CloseButton = new QPushButton(Pick(TxtStatsClose), this);
    buttons->addWidget(CopyButton);
    buttons->addWidget(PrintButton);
    buttons->addWidget(CloseButton);
    layout->addLayout(buttons);
    connect(CopyButton, &QPushButton::clicked, this, [this] { CopyClick(); });
    connect(PrintButton, &QPushButton::clicked, this, [this] { PrintClick(); });
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::accept);

    showFields();
    recompute();
}

void TStatsForm::showFields() {
    const StatsSettings &inUse = CurrentStatsSettings();
    const SystemFormats &formats = CurrentFormats();
    for (Quantity q : kAllQuantities) {
        const Limit &limit = inUse.limits.of(q);
        const auto &edits = LimitEdits[static_cast<std::size_t>(q)];
        edits[0]->setText(FieldText(limit.low, formats));
        edits[1]->setText(FieldText(limit.high, formats));
    }
    MktEdit->setText(FieldText(inUse.mktActivationK, formats));
}

void TStatsForm::recompute() {
    const StatsSettings &settings = CurrentStatsSettings();
    m_stats = ComputeStatistics(m_table, ChannelSlotsOf(m_table, m_channel1Present, m_channel2Present),
                                CurrentFormats(), settings.limits, settings.mktActivationK);
    if (m_stats.unreadableRows > 0)
        StatusLabel->setText(Pick(TxtStatsUnreadableRows).arg(m_stats.unreadableRows));
    fillSheets();
}

void TStatsForm::fillSheets() {
    const int shown = Tabs->currentIndex();
    std::vector<QWidget *> old;
    for (int i = 0; i < Tabs->count(); ++i)
        old.push_back(Tabs->widget(i));
    Tabs->clear();
    for (QWidget *page : old)
        page->deleteLater();
    Sheets.clear();
    for (const StatsSheet &sheet : MakeStatsSheets(m_stats, LanguageIndex.load(), CurrentFormats())) {
        const int rows = static_cast<int>(sheet.rows.size());
        const int cols = rows > 0 ? static_cast<int>(sheet.rows.front().size()) - 1 : 0;
        auto *view = new QTableWidget(rows, cols, Tabs);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->horizontalHeader()->hide();
        QStringList names;
        for (int r = 0; r < rows; ++r) {
            const QStringList &row = sheet.rows[static_cast<std::size_t>(r)];
            names << row.front();
            for (int c = 1; c < row.size(); ++c) {
                auto *item = new QTableWidgetItem(row[c]);
                item->setTextAlignment(r < 2 ? Qt::AlignCenter : (Qt::AlignRight | Qt::AlignVCenter));
                view->setItem(r, c - 1, item);
            }
        }
        view->setVerticalHeaderLabels(names);
        view->resizeColumnsToContents();
        Tabs->addTab(view, Pick(sheet.channel == 2 ? TxtChannel2 : TxtChannel1));
        Sheets.push_back(view);
    }
    if (Sheets.empty()) {
        auto *none = new QLabel(Pick(TxtStatsNoValues), Tabs);
        none->setAlignment(Qt::AlignCenter);
        Tabs->addTab(none, Pick(TxtStatsCaption));
    }
    if (shown >= 0 && shown < Tabs->count()) Tabs->setCurrentIndex(shown);
}

void TStatsForm::apply(const Result<StatsSettings, FieldError> &edited) {
    StatusLabel->clear();
    if (!edited.ok()) {
        StatusLabel->setText(edited.error().message(LanguageIndex.load()));
    } else if (edited.value() != CurrentStatsSettings()) {
        SetCurrentStatsSettings(edited.value());
        SaveStatsSettings(*m_services.openSettings(), edited.value());
        recompute();
        Q_EMIT limitsChanged();
    } else if (m_stats.unreadableRows > 0) {
        StatusLabel->setText(Pick(TxtStatsUnreadableRows).arg(m_stats.unreadableRows));
    }
    // A refused text gives way to the value in use: the fields show what the figures count with.
    showFields();
}

void TStatsForm::LimitEdited(Quantity quantity, bool upper) {
    const QLineEdit *edit = LimitEdits[static_cast<std::size_t>(quantity)][upper ? 1 : 0];
    apply(EditLimitField(CurrentStatsSettings(), quantity, upper, edit->text()));
}

void TStatsForm::MktEdited() {
    apply(EditMktField(CurrentStatsSettings(), MktEdit->text()));
}

QString TStatsForm::clipboardText() const {
    return StatsClipboardText(MakeStatsSheets(m_stats, LanguageIndex.load(), CurrentFormats()),
                              LanguageIndex.load());
}

void TStatsForm::CopyClick() {
    QGuiApplication::clipboard()->setText(clipboardText());
}

void TStatsForm::PrintClick() {
    QPrinter printer(QPrinter::HighResolution);
    SetUpSummaryPage(printer);
    QPrintPreviewDialog preview(&printer, this);
    KeepPreviewSteady(preview);
    connect(&preview, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter *p) {
        SummaryInput input;
        input.table = &m_table;
        input.channel1Present = m_channel1Present;
        input.channel2Present = m_channel2Present;
        input.archiveFormat = m_archiveFormat;
        input.settings = CurrentStatsSettings();
        input.language = LanguageIndex.load();
        input.formats = CurrentFormats();
        m_services.printPages(*p, this, windowTitle(), [&input](QPainter &painter, QPagedPaintDevice &page) {
            return PaintSummary(painter, page, input);
        });
    });
    preview.exec();
}

void OpenStatistics(const ArchiveTable &table, QWidget *parent, const WindowServices &services,
                    const std::function<void()> &limitsChanged) {
    if (TableIsEmpty(table)) {
        services.showError(parent, Pick(TxtWarning), Pick(TxtArchiveNotRead));
        return;
    }
    TStatsForm form(table, table.channels().channel1, table.channels().channel2,
                    table.archiveFormatOr(ArchiveFormat.load()), parent, services);
    QObject::connect(&form, &TStatsForm::limitsChanged, &form, [limitsChanged] { limitsChanged(); });
    form.exec();
}

QAction *AddStatisticsItem(QMenu *menu, QAction *after, const std::function<void()> &open) {
    auto *action = new QAction(Pick(TxtStatistics), menu);
    const QList<QAction *> actions = menu->actions();
    const qsizetype at = after ? actions.indexOf(after) : -1;
    if (at >= 0 && at + 1 < actions.size())
        menu->insertAction(actions.at(at + 1), action);
    else
        menu->addAction(action);
    QObject::connect(menu, &QMenu::aboutToShow, action, [action] { action->setText(Pick(TxtStatistics)); });
    QObject::connect(action, &QAction::triggered, action, [open] { open(); });
    return action;
}

} // namespace velda
