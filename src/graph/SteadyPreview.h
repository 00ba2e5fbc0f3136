// Print previews whose view keeps a steady size.
#pragma once

class QPrintPreviewDialog;

namespace velda {

/// The preview fits the page to its view; a scroll bar that comes and goes with the fit changes the
/// view's size again, and at some window sizes the two chase each other for ever and the window hangs.
/// Gives the preview's views scroll bars that are always there. GUI thread.
void KeepPreviewSteady(QPrintPreviewDialog &dialog);

} // namespace velda
