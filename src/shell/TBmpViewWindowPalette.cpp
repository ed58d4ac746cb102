// The main window's palette commands: the palette window and the picks it
// completes, Load and Store palette, "Fixed...", Reduce color depth and the
// palette entry commands of Edit > Palette.
#include <QDir>
#include <QFileDialog>

#include "ColorDialog.h"
#include "FileDialogs.h"
#include "Playback.h"
#include "PaletteWindow.h"
#include "TBmpViewWindow.h"
#include "TMyFrameWindow.h"
#include "colour/ColorCountRules.h"
#include "commands/PaletteCommands.h"
#include "frameops/ColorCommands.h"
#include "frameops/FrameOrder.h"

namespace movigram {

namespace {

using C = CommandId;

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

}  // namespace

// --- The palette window ---

TPaletteWindow* TBmpViewWindow::paletteWindow() const {
    return view_.showPaletteWindow ? paletteWindow_ : nullptr;
}

void TBmpViewWindow::showPaletteWindow(bool on) {
    view_.showPaletteWindow = on;
    if (on && !paletteWindow_) {
        paletteWindow_ = new TPaletteWindow(*this, &frame_);
        connect(paletteWindow_, &TPaletteWindow::closed, this, &TBmpViewWindow::paletteClosed);
        setPalettePickSource(paletteWindow_);
        frame_.placePaletteWindow(*paletteWindow_);
    }
    if (paletteWindow_) {
        if (!on) paletteWindow_->arm(PalettePick::None);
        paletteWindow_->setVisible(on);
        // A pick begun before the window opened can be completed there.
        if (on && pickMode_ != 0) paletteWindow_->arm(PalettePick(pickMode_));
    }
    view_.paletteWindowExists = on;
    updateCommandStates();
}

void TBmpViewWindow::paletteClosed() {
    view_.showPaletteWindow = false;
    view_.paletteWindowExists = false;
    updateCommandStates();
}

void TBmpViewWindow::pickedInPalette(int index) {
    const int mode = pickMode_;
    leavePickMode();
    if (busy_) return;
    switch (PickMode(mode)) {
    case PickMode::Transparent:
    case PickMode::Background: setPickedColor(doc_, PickMode(mode), index); break;
    case PickMode::SolidColor: insertSolidColor(doc_, index); break;
    case PickMode::None: break;
    }
    updateCommandStates();
}

void TBmpViewWindow::cancelPick() { leavePickMode(); }

// --- Commands ---

void TBmpViewWindow::paletteCommand(CommandId id) {
    playback_->stop();
    switch (id) {
    case C::LoadPalette:
    case C::GlobalFixed: {
        const QString path = choosePaletteToLoad(window(), doc_,
                                                  id == C::GlobalFixed ? QStringLiteral("Fixed Palette")
                                                                       : QStringLiteral("Load Palette"));
        if (path.isEmpty()) break;
        if (id == C::GlobalFixed) chooseFixedPalette(doc_, path.toStdString());
        else loadGlobalPalette(doc_, path.toStdString());
        break;
    }
    case C::StorePalette: {
        const QString path = choosePaletteToStore(window(), doc_);
        // A file that cannot be written is passed over without a word.
        if (!path.isEmpty()) storeGlobalPalette(doc_, path.toStdString());
        break;
    }
    case C::ReduceColorDepth: {
        if (doc_.frameList.empty()) break;
        const int proposed = proposedColorCount(doc_);
        beginReduceColorDepth(doc_);
        TColorDialog dialog(window(), initialColorCount(proposed), doc_.quantize);
        if (dialog.exec() == QDialog::Accepted)
            finishReduceColorDepth(doc_, dialog.colorCount(), dialog.quantizeOptions());
        else cancelReduceColorDepth(doc_);
        break;
    }
    case C::PaletteAdd: {
        TPaletteWindow* palette = paletteWindow();
        if (!palette || doc_.frameList.empty()) break;
        const int index = addPaletteEntry(doc_);
        if (index >= 0 && !palette->modifyEntry(index)) removeAddedEntry(doc_, index);
        break;
    }
    case C::PaletteDelete:
    case C::PaletteModify: {
        TPaletteWindow* palette = paletteWindow();
        if (palette && palette->arm(id == C::PaletteDelete ? PalettePick::Delete : PalettePick::Modify))
            palette->movePointerHere();
        break;
    }
    default: break;
    }
}

}  // namespace movigram
