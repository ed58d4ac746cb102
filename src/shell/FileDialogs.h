#pragma once
// The file dialogs of the file commands: the open dialog of Open, Append and
// Insert (several files), the save dialog of Save as and Save optimized as,
// and the one of Save frames.
#include <QString>
#include <QStringList>
#include <initializer_list>

#include "save/Export.h"

class QWidget;

namespace movigram {

// The open dialog's filters: all supported files first, then one kind each.
QStringList openFilters();
QString gifFilter();
// "GIF Files (*.gif *.GIF)": a filter that lists both spellings of each
// extension, since file names on Linux keep their case.
QString fileFilter(const char* name, std::initializer_list<const char*> extensions);

// Empty when cancelled.
QStringList chooseFilesToOpen(QWidget* parent, const QString& folder);
QString chooseGifSavePath(QWidget* parent, const QString& folder, const QString& name,
                          const QString& caption = QStringLiteral("Save As"));
// The save dialog of Export as, with the format's filter and extension
// (name's extension replaced by it); empty when cancelled.
QString chooseExportPath(QWidget* parent, const QString& folder, const QString& name, ExportFormat format);

}  // namespace movigram
