// The main window's archive table view: header setup, column widths, selection, hit testing, clicks.
#include "app/ArchiveGrid.h"

#include "app/ArchiveTableModel.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <utility>

namespace velda {

namespace {

constexpr int kDefaultRowHeight = 20;
// Rows measured at each end of the table when columns are fitted to their content, and the room a
// cell needs around its text.
constexpr int kFitSampleRows = 200;
constexpr int kCellPadding = 12;
constexpr ColumnWidths kDesignColumnWidths = {40, 71, 100, 102, 133, 76, 201, 49, 51, 168, 215, 50, 48, 159};

QFont TableFont() {
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("DejaVu Sans")});
    font.setPixelSize(15);
    return font;
}

} // namespace

ArchiveGrid::ArchiveGrid(const ArchiveTable &table, ArchiveTableModel *model, QWidget *parent)
    : QTableView(parent), m_table(table), m_model(model), m_columnWidths(kDesignColumnWidths) {
    setObjectName(QStringLiteral("StringGrid1"));
    setModel(m_model);
    setFont(TableFont());
    setShowGrid(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setWordWrap(false);
    setContextMenuPolicy(Qt::PreventContextMenu);
    // Tab leaves the table for the window's buttons; the arrow keys move within it.
    setTabKeyNavigation(false);
    QHeaderView *columns = horizontalHeader();
    columns->setSectionsClickable(false);
    columns->setHighlightSections(false);
    columns->setSectionResizeMode(QHeaderView::Interactive);
    columns->setMinimumSectionSize(4);
    columns->setDefaultSectionSize(40);
    QHeaderView *rows = verticalHeader();
    rows->setSectionsClickable(false);
    rows->setHighlightSections(false);
    rows->setSectionsMovable(true);
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(kDefaultRowHeight);
    rows->setMinimumSectionSize(kDefaultRowHeight);
    rows->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    // Cell (0, 0) "№" sits on the corner button, which otherwise would select the whole table.
    if (auto *cornerButton = findChild<QAbstractButton *>()) {
        m_corner = new QLabel(cornerButton);
        m_corner->setObjectName(QStringLiteral("StringGrid1Corner"));
        m_corner->setAlignment(Qt::AlignCenter);
        m_corner->setAttribute(Qt::WA_TransparentForMouseEvents);
        cornerButton->installEventFilter(this);
    }
    columns->viewport()->installEventFilter(this);
    rows->viewport()->installEventFilter(this);
    viewport()->installEventFilter(this);

    connect(columns, &QHeaderView::sectionResized, this, [this](int logical, int, int size) {
        if (!m_applyingWidths && logical + 1 < ArchiveTable::kMaxColCount) m_columnWidths[logical + 1] = size;
    });
    connect(rows, &QHeaderView::sectionMoved, this,
            [this](int, int oldVisual, int newVisual) { rowSectionMoved(oldVisual, newVisual); });
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { syncSelectionFromView(); });
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        applyColumnWidths();
        updateCorner();
    });
    connect(m_model, &QAbstractItemModel::headerDataChanged, this, [this] { updateCorner(); });
}

// ---- Column widths --------------------------------------------------------------------------------

int ArchiveGrid::columnWidthPx(int column) const {
    if (column < 0 || column >= ArchiveTable::kMaxColCount) return 0;
    return m_columnWidths[static_cast<std::size_t>(column)];
}

void ArchiveGrid::setColumnWidthPx(int column, int width) {
    if (column < 0 || column >= ArchiveTable::kMaxColCount) return;
    m_columnWidths[static_cast<std::size_t>(column)] = width;
    applyColumnWidths();
}

void ArchiveGrid::applyColumnWidths() {
    m_applyingWidths = true;
    QHeaderView *rows = verticalHeader();
    // The number column keeps its width but never cuts off the longest record number.
    const QString widest = m_table.cell(0, std::max(m_table.rowCount() - 1, 1));
    rows->setFixedWidth(
        std::max(m_columnWidths[0], rows->fontMetrics().horizontalAdvance(widest + QStringLiteral("00"))));
    QHeaderView *columns = horizontalHeader();
    for (int c = 1; c < m_table.colCount(); ++c) {
        const int width = c < ArchiveTable::kMaxColCount ? m_columnWidths[c] : columns->defaultSectionSize();
        columns->resizeSection(c - 1, width);
    }
    m_applyingWidths = false;
}

void ArchiveGrid::fitColumnsToContent() {
    // The design widths suit a narrower font than the ones found here; a value must never show cut off.
    const QFontMetrics cells(font());
    const QFontMetrics headers(horizontalHeader()->font());
    FitColumnWidths(
        m_table, m_columnWidths, kFitSampleRows, kCellPadding,
        [&](const QString &text, bool header) { return (header ? headers : cells).horizontalAdvance(text); });
    applyColumnWidths();
}

void ArchiveGrid::updateCorner() {
    if (!m_corner) return;
    m_corner->setText(m_table.cell(0, 0));
    m_corner->setGeometry(m_corner->parentWidget()->rect());
}

// ---- Selection ------------------------------------------------------------------------------------

void ArchiveGrid::setSelection(const Selection &selection) {
    m_selection = selection;
    showSelection();
}

void ArchiveGrid::showSelection() {
    QItemSelectionModel *model = selectionModel();
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
    viewport()->update();
}

void ArchiveGrid::syncSelectionFromView() {
    const QItemSelection ranges = selectionModel()->selection();
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

// ---- Pointer --------------------------------------------------------------------------------------

PointerPlace ArchiveGrid::placeAt(const QPoint &globalPos, bool insideWindow) const {
    PointerPlace place;
    place.insideWindow = insideWindow;
    const QRect tableRect(mapToGlobal(QPoint(0, 0)), size());
    place.insideTable = place.insideWindow && tableRect.contains(globalPos);
    if (!place.insideTable) return place;
    const QHeaderView *columns = horizontalHeader();
    const QHeaderView *rows = verticalHeader();
    const QPoint inColumns = columns->mapFromGlobal(globalPos);
    const QPoint inRows = rows->mapFromGlobal(globalPos);
    const QPoint inCells = viewport()->mapFromGlobal(globalPos);
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
    } else if (viewport()->rect().contains(inCells)) {
        const QModelIndex index = indexAt(inCells);
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

void ArchiveGrid::emitReleaseAt(const QPoint &globalPos) {
    const PointerPlace at = placeAt(globalPos, true);
    Q_EMIT leftReleased(at.column, at.row);
}

void ArchiveGrid::rowNumberReleased(int row, const QPoint &globalPos) {
    const RowDrag drag = std::exchange(m_rowDrag, RowDrag{});
    const bool overRow = row >= 0 && row < m_model->rowCount();
    if (drag.moved && drag.pressedRow >= 0 && overRow && row != drag.pressedRow) {
        Q_EMIT rowDragged(drag.pressedRow + 1, row + 1);
    } else {
        emitReleaseAt(globalPos);
    }
}

void ArchiveGrid::rowSectionMoved(int oldVisual, int newVisual) {
    // The header only animates the drag; the table moves the row and the header returns to identity.
    QHeaderView *rows = verticalHeader();
    {
        const QSignalBlocker blocker(rows);
        rows->moveSection(newVisual, oldVisual);
    }
    // A drag with the mouse is finished by its release (rowNumberReleased): the header would drop the row
    // before the section under the pointer when the pointer is in that section's near half.
    if (m_rowDrag.releasing) return;
    Q_EMIT rowDragged(oldVisual + 1, newVisual + 1);
}

bool ArchiveGrid::eventFilter(QObject *watched, QEvent *event) {
    const QEvent::Type type = event->type();
    // The table sizes its corner button only once it is laid out; the "№" on it follows every size.
    if (type == QEvent::Resize && m_corner && watched == m_corner->parentWidget()) {
        m_corner->setGeometry(m_corner->parentWidget()->rect());
        return false;
    }
    if (type == QEvent::MouseMove && watched == verticalHeader()->viewport()) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if ((mouse->buttons() & Qt::LeftButton) && m_rowDrag.pressedRow >= 0 &&
            (mouse->position().toPoint() - m_rowDrag.pressPos).manhattanLength() >=
                QApplication::startDragDistance())
            m_rowDrag.moved = true;
        return false;
    }
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease &&
        type != QEvent::MouseButtonDblClick)
        return QTableView::eventFilter(watched, event);

    auto *mouse = static_cast<QMouseEvent *>(event);
    const QPoint pos = mouse->position().toPoint();
    const bool left = mouse->button() == Qt::LeftButton;
    const bool right = mouse->button() == Qt::RightButton;
    const bool release = type == QEvent::MouseButtonRelease;
    const bool press = type == QEvent::MouseButtonPress;
    QHeaderView *columns = horizontalHeader();
    QHeaderView *rows = verticalHeader();

    // The part of the table that was pressed keeps the mouse until the release, wherever the pointer has
    // gone; a release is judged by the cell under the pointer, not by the part that receives it.
    const QPoint globalPos = mouse->globalPosition().toPoint();
    if (m_corner && watched == m_corner->parentWidget()) {
        if (left && release) emitReleaseAt(globalPos);
        return true;
    }
    if (watched == columns->viewport()) {
        if (left && release) emitReleaseAt(globalPos);
        return right;
    }
    if (watched == rows->viewport()) {
        const int logical = rows->logicalIndexAt(pos.y());
        if (left && press) {
            m_rowDrag = RowDrag{logical, pos, false, false};
            return false;
        }
        if (left && release) {
            // The header ends its drag animation with this release, after this filter; the row is moved
            // (or the click handled) once it has, to the row under the pointer.
            m_rowDrag.releasing = true;
            QTimer::singleShot(0, this,
                               [this, logical, globalPos] { rowNumberReleased(logical, globalPos); });
            return false;
        }
        if (right && press) Q_EMIT numberRightPressed(logical >= 0 ? logical + 1 : -1, globalPos);
        return right;
    }
    if (watched == viewport()) {
        if (right) return true; // the right button neither selects nor opens anything over data cells
        // The view still ends its own drag selection with this release.
        if (left && release) emitReleaseAt(globalPos);
    }
    return QTableView::eventFilter(watched, event);
}

} // namespace velda
