// The main window's archive table view: header setup, column widths, selection, hit testing, clicks.
#pragma once

#include "app/TableActions.h"
#include "base/ArchiveTable.h"

#include <QPoint>
#include <QTableView>

class QLabel;

namespace velda {

class ArchiveTableModel;

/// StringGrid1: a table view over the main window's archive table in table coordinates (row 0 the
/// headers, column 0 the record numbers, both shown as header sections). It keeps the column widths
/// and the rectangular selection and turns mouse clicks into cell clicks; what a click does is the
/// window's. The table and the model belong to the window and outlive the view. GUI thread.
class ArchiveGrid : public QTableView {
    Q_OBJECT
public:
    ArchiveGrid(const ArchiveTable &table, ArchiveTableModel *model, QWidget *parent);

    [[nodiscard]] Selection selection() const { return m_selection; }
    /// Sets the selection and shows it.
    void setSelection(const Selection &selection);
    /// Shows the kept selection again (after the model was reset).
    void showSelection();

    /// Width of table column `column` in pixels (column 0 is the number column); 0 outside the table.
    [[nodiscard]] int columnWidthPx(int column) const;
    void setColumnWidthPx(int column, int width);
    /// Widens the columns (never narrows them) so that headers and values show in full.
    void fitColumnsToContent();

    /// The cell under a global screen point, with the zone the hover hint needs; `insideWindow` is the
    /// caller's.
    [[nodiscard]] PointerPlace placeAt(const QPoint &globalPos, bool insideWindow) const;

Q_SIGNALS:
    /// The left button was released over cell (`column`, `row`), wherever it was pressed; (-1, -1) is over
    /// no cell. Not sent for a row number dragged to another row (rowDragged is).
    void leftReleased(int column, int row);
    /// The right button was pressed over the number column's row `row` (-1 over no row); `globalPos` is
    /// the pointer, where a menu for it opens.
    void numberRightPressed(int row, const QPoint &globalPos);
    /// A row number was dragged to another row (with the mouse: released over it): table row `from` goes
    /// to position `to`. The row header itself never keeps a moved section.
    void rowDragged(int from, int to);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void applyColumnWidths();
    void updateCorner();
    void syncSelectionFromView();
    /// Sends leftReleased for the cell under the global point `globalPos`.
    void emitReleaseAt(const QPoint &globalPos);
    /// The release of a press on a row number: over data row `row` (-1 over none, by height alone) after a
    /// drag moves the pressed row there; otherwise the cell under `globalPos` decides.
    void rowNumberReleased(int row, const QPoint &globalPos);
    void rowSectionMoved(int oldVisual, int newVisual);

    const ArchiveTable &m_table;
    ArchiveTableModel *m_model;
    QLabel *m_corner = nullptr;
    Selection m_selection{1, 1, 1, 1};
    ColumnWidths m_columnWidths{};
    bool m_applyingWidths = false;
    /// A press on a row number and what followed it, until its release has been handled.
    struct RowDrag {
        int pressedRow = -1; ///< 0-based data row under the press, -1 over no row
        QPoint pressPos;
        bool moved = false;     ///< the pointer went past the drag distance with the button held
        bool releasing = false; ///< the header is handling the release
    };
    RowDrag m_rowDrag;
};

} // namespace velda
