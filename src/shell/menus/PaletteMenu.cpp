// The palette handlers: Load and Store palette, the "Fixed..." global
// palette, Reduce color depth and the palette entry commands of Edit >
// Palette, which act in the palette window.
#include <QDir>
#include <QFileDialog>

#include "MenuHandlers.h"
#include "shell/ColorDialog.h"
#include "shell/EditorSession.h"
#include "shell/FileDialogs.h"
#include "shell/PaletteWindow.h"
#include "shell/Playback.h"
#include "colour/ColorCountRules.h"
#include "commands/PaletteCommands.h"
#include "frameops/ColorCommands.h"

namespace movigram {

namespace {

using C = CommandId;
using S = EditorSession;

QStringList paletteFilters(bool withImages) {
    QStringList filters{fileFilter("JASC Palette files", {"pal"})};
    if (withImages)
        filters << fileFilter("GIF Files", {"gif"}) << fileFilter("PCX Files", {"pcx"})
                << fileFilter("Windows BMP Files", {"bmp"});
    return filters;
}

// Where the palette dialogs open: the palette folder, else the folder
// images were last opened from, else the home folder.
QString paletteFolder(const Document& doc) {
    for (const std::string& dir : {doc.paletteDir, doc.openDir})
        if (!dir.empty() && QDir(QString::fromStdString(dir)).exists())
            return QDir(QString::fromStdString(dir)).absolutePath();
    return QDir::homePath();
}

QString choosePaletteToLoad(QWidget* parent, const Document& doc, const QString& caption) {
    QFileDialog dialog(parent, caption, paletteFolder(doc));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(paletteFilters(true));
    dialog.setDefaultSuffix(QStringLiteral("PAL"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().front();
}

QString choosePaletteToStore(QWidget* parent, const Document& doc) {
    const QString name = QString::fromStdString(proposedPaletteName(doc));
    const QString folder = paletteFolder(doc);
    QFileDialog dialog(parent, QStringLiteral("Store Palette"), folder);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(paletteFilters(false));
    dialog.setDefaultSuffix(QStringLiteral("PAL"));
    // After the filter, which would give the name its own spelling of ".pal".
    if (!name.isEmpty()) dialog.selectFile(QDir(folder).absoluteFilePath(name));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().front();
}

void loadPaletteFile(S& s, bool fixed) {
    Document& doc = s.document();
    s.playback().stop();
    const QString path =
        choosePaletteToLoad(s.window(), doc, fixed ? QStringLiteral("Fixed Palette") : QStringLiteral("Load Palette"));
    if (path.isEmpty()) return;
    const char* label = undoLabelOf(CommandId::LoadPalette);
    if (fixed) chooseFixedPalette(doc, path.toStdString(), label);
    else loadGlobalPalette(doc, path.toStdString(), label);
}

void storePalette(S& s) {
    s.playback().stop();
    const QString path = choosePaletteToStore(s.window(), s.document());
    // A file that cannot be written is passed over without a word.
    if (!path.isEmpty()) storeGlobalPalette(s.document(), path.toStdString());
}

void reduceColorDepth(S& s) {
    Document& doc = s.document();
    s.playback().stop();
    if (doc.frameList.empty()) return;
    const int proposed = proposedColorCount(doc);
    beginReduceColorDepth(doc, undoLabelOf(CommandId::ReduceColorDepth));
    TColorDialog dialog(s.window(), initialColorCount(proposed), doc.quantize);
    if (dialog.exec() == QDialog::Accepted) finishReduceColorDepth(doc, dialog.colorCount(), dialog.quantizeOptions());
    else cancelReduceColorDepth(doc);
}

void addEntry(S& s) {
    Document& doc = s.document();
    s.playback().stop();
    TPaletteWindow* palette = s.paletteWindow();
    if (!palette || doc.frameList.empty()) return;
    const int index = addPaletteEntry(doc);
    if (index >= 0 && !palette->modifyEntry(index)) removeAddedEntry(doc, index);
}

void pickEntry(S& s, PalettePick pick) {
    s.playback().stop();
    TPaletteWindow* palette = s.paletteWindow();
    if (palette && palette->arm(pick)) palette->movePointerHere();
}

constexpr MenuHandler handlers[] = {
    {C::LoadPalette, [](S& s) { loadPaletteFile(s, false); }},
    {C::GlobalFixed, [](S& s) { loadPaletteFile(s, true); }},
    {C::StorePalette, storePalette},
    {C::ReduceColorDepth, reduceColorDepth},
    {C::PaletteAdd, addEntry},
    {C::PaletteDelete, [](S& s) { pickEntry(s, PalettePick::Delete); }},
    {C::PaletteModify, [](S& s) { pickEntry(s, PalettePick::Modify); }},
};

}  // namespace

std::span<const MenuHandler> paletteMenuHandlers() { return handlers; }

}  // namespace movigram
