// The main window's "Append project..." command: a project file's rows added to the table.
#pragma once

#include "app/MainTexts.h"

#include <QString>

class QWidget;

namespace velda {

class ArchiveTableModel;

/// Asks for a project file (the open dialog's filters; `*lastName` offered and updated) and appends its
/// rows to the table behind `model`: rows in date and time order, each once, numbered anew. A file that
/// cannot be opened or is written in another language is refused with an error box naming it, and the
/// table stays as it was. Returns whether the table changed; the caller then lays the window out for
/// the channel flags and sets RecordCount. GUI thread.
bool AppendProjectWithDialog(QWidget *parent, ArchiveTableModel &model, QString *lastName);

} // namespace velda
