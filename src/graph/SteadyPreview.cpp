// Print previews whose view keeps a steady size.
#include "graph/SteadyPreview.h"

#include <QGraphicsView>
#include <QPrintPreviewDialog>

namespace velda {

void KeepPreviewSteady(QPrintPreviewDialog &dialog) {
    for (QGraphicsView *view : dialog.findChildren<QGraphicsView *>()) {
        view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    }
}

} // namespace velda
