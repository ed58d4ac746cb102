// The command map of the main window: each command of the table goes to the
// part of the program that carries it out.  Commands whose dialogs are not
// built yet say so.
#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QMouseEvent>

#include "ActionRegistry.h"
#include "BrowserServices.h"
#include "EditClipboard.h"
#include "FileDialogs.h"
#include "FrameListWindow.h"
#include "Icons.h"
#include "PaletteWindow.h"
#include "Playback.h"
#include "TBmpViewWindow.h"
#include "TMyFrameWindow.h"
#include "Zoom.h"
#include "dialogs/DialogCommands.h"
#include "commands/FileCommands.h"
#include "commands/OptionCommands.h"
#include "document/Undo.h"
#include "frameops/ColorCommands.h"
#include "frameops/FrameOrder.h"
#include "import/PaletteLoading.h"

namespace movigram {

namespace {

using C = CommandId;

QString plainText(const CommandInfo& info) {
    QString text = QString::fromUtf8(info.menuText);
    text = text.left(text.indexOf(QLatin1Char('\t')));
    text.remove(QLatin1Char('&'));
    if (text.endsWith(QStringLiteral("..."))) text.chop(3);
    return text;
}

std::vector<std::string> toPaths(const QStringList& files) {
    std::vector<std::string> paths;
    for (const QString& f : files) paths.push_back(f.toStdString());
    return paths;
}

bool flag(int value) { return value != 0; }

}  // namespace

template <typename Fn>
void TBmpViewWindow::reading(Fn&& fn) {
    reading_ = true;
    readPicture_ = QImage();
    fn();
    reading_ = false;
    readPicture_ = QImage();
    viewport()->update();
    updateCommandStates();
}

void TBmpViewWindow::notYetAvailable(CommandId id) {
    const CommandInfo* info = findCommand(id);
    const QString name = info ? plainText(*info) : QString::number(int(id));
    QMessageBox::information(window(), QStringLiteral("Movigram GIF Animator"),
                             QStringLiteral("\"%1\" is not available yet in this version of Movigram.").arg(name));
}

bool TBmpViewWindow::canClose() {
    if (busy_) return false;
    playback_->stop();
    return askSave(doc_);
}

void TBmpViewWindow::openPath(const QString& path) { openPaths({path}); }

void TBmpViewWindow::openPaths(const QStringList& paths) {
    if (!paths.isEmpty()) reading([&] { openFiles(doc_, toPaths(paths), live_); });
}

void TBmpViewWindow::clipboardChanged() {
    view_.clipboardHasData = EditClipboard::offersPaste();
    scheduleCommandUpdate();
}

void TBmpViewWindow::dropFiles(int line, const QStringList& paths) {
    if (busy_ || paths.isEmpty()) return;
    reading([&] { movigram::dropFiles(doc_, line, toPaths(paths), live_); });
}

void TBmpViewWindow::moveFrames(int first, int count, int destination) {
    if (busy_) return;
    movigram::moveFrames(doc_, first, count, destination);
}

DialogMemory& TBmpViewWindow::dialogMemory() {
    if (!dialogMemory_) dialogMemory_ = std::make_shared<DialogMemory>();
    return *dialogMemory_;
}

void TBmpViewWindow::frameListClosed() {
    view_.showFrameList = false;
    updateCommandStates();
}

// --- Stepping ---

void TBmpViewWindow::nextFrame() {
    const TFrame* frame = doc_.currentFrame;
    if (frame && frame->next) doc_.showFrameAt(doc_.frameList.indexOf(frame->next));
}

void TBmpViewWindow::prevFrame() {
    const TFrame* current = doc_.currentFrame;
    if (!current) return;
    const TFrame* before = nullptr;
    forEachInChain(doc_.firstFrame, [&](TFrame& f) {
        if (f.next == current) before = &f;
    });
    if (before) doc_.showFrameAt(doc_.frameList.indexOf(before));
}

void TBmpViewWindow::showFirstFrame() {
    if (doc_.firstFrame) doc_.showFrameAt(doc_.frameList.indexOf(doc_.firstFrame));
}

void TBmpViewWindow::showLastFrame() {
    if (doc_.firstFrame) doc_.showFrameAt(doc_.frameList.indexOf(chainLast(doc_.firstFrame)));
}

// --- Pick modes ---

void TBmpViewWindow::enterPickMode(int mode) {
    pickMode_ = mode;
    viewport()->setCursor(pickCursor());
    if (TPaletteWindow* palette = paletteWindow()) palette->arm(PalettePick(mode));
    setFocus();
}

void TBmpViewWindow::leavePickMode() {
    pickMode_ = 0;
    viewport()->unsetCursor();
    // A pick ended here is not completed by a later click on a swatch.
    if (TPaletteWindow* palette = paletteWindow()) palette->dropMainWindowPick();
}

void TBmpViewWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || pickMode_ == 0 || busy_) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    const QPoint p = event->position().toPoint() + scrollOffset();
    const int mode = pickMode_;
    leavePickMode();
    if (!doc_.currentFrame) return;
    const int32_t index = pickedIndexAt(doc_, {toImage(p.x(), view_.zoom), toImage(p.y(), view_.zoom)});
    if (mode == int(PickMode::Transparent)) setPickedColor(doc_, PickMode::Transparent, index);
    // Also the background colour can be picked from the picture, so that
    // the command is complete without the palette window.
    else if (mode == int(PickMode::Background)) setPickedColor(doc_, PickMode::Background, index);
    else if (mode == int(PickMode::SolidColor)) insertSolidColor(doc_, index);
}

// --- Options and view ---

void TBmpViewWindow::toggleViewOption(CommandId id) {
    switch (id) {
    case C::ShowDirtyRect:
        doc_.showDirtyRect = !doc_.showDirtyRect;
        if (doc_.showDirtyRect) view_.showDirtyOnly = false;
        break;
    case C::ShowDirtyOnly:
        view_.showDirtyOnly = !view_.showDirtyOnly;
        if (view_.showDirtyOnly) doc_.showDirtyRect = false;
        break;
    case C::ShowAsBrowsers:
        view_.showAsBrowsers = !view_.showAsBrowsers;
        playback_->setBrowserTiming(view_.showAsBrowsers);
        browser_.invalidate();
        break;
    case C::ShowFrameList:
        view_.showFrameList = !view_.showFrameList;
        frameListWindow_->setVisible(view_.showFrameList);
        break;
    case C::ShowPalette: showPaletteWindow(!view_.showPaletteWindow); break;
    default: return;
    }
    viewport()->update();
    updateCommandStates();
}

SavedOptions TBmpViewWindow::savedOptions() const {
    SavedOptions saved;
    saved.options = {doc_.showDirtyRect,
                     view_.showDirtyOnly,
                     view_.showPaletteWindow,
                     doc_.loopOption,
                     doc_.cropToDirty,
                     doc_.splitDirty,
                     int(doc_.localPaletteMode),
                     int(doc_.globalPaletteMode),
                     doc_.commentFrameOption,
                     doc_.optimizeColors,
                     doc_.transparentMaskOption,
                     doc_.optimizeOnSave,
                     doc_.undo.enabled()};
    saved.maxCompression = doc_.maxCompression;
    if (doc_.undo.budget() != UndoJournal::defaultBudget()) saved.undoMemoryMiB = int(doc_.undo.budget() / UndoJournal::mib);
    saved.quantize = doc_.quantize;
    saved.fixedPalName = QString::fromStdString(doc_.fixedPaletteName);
    saved.openDir = QString::fromStdString(doc_.openDir);
    saved.saveDir = QString::fromStdString(doc_.saveDir);
    return saved;
}

void TBmpViewWindow::applySavedOptions(const SavedOptions& saved) {
    const OptionValues& v = saved.options;
    doc_.showDirtyRect = flag(v[0]);
    view_.showDirtyOnly = flag(v[1]);
    view_.showPaletteWindow = flag(v[2]);
    doc_.loopOption = flag(v[3]);
    doc_.cropToDirty = flag(v[4]);
    doc_.splitDirty = flag(v[5]);
    doc_.localPaletteMode = LocalPaletteMode(std::clamp(v[6], 0, 2));
    doc_.globalPaletteMode = GlobalPaletteMode(std::clamp(v[7], 0, 3));
    doc_.commentFrameOption = flag(v[8]);
    doc_.optimizeColors = flag(v[9]);
    doc_.transparentMaskOption = flag(v[10]);
    doc_.optimizeOnSave = flag(v[11]);
    if (doc_.undo.enabled() != flag(v[12])) doc_.undo.setEnabled(flag(v[12]));
    doc_.maxCompression = saved.maxCompression;
    if (saved.undoMemoryMiB > 0) doc_.undo.setBudget(saved.undoMemoryMiB * UndoJournal::mib);
    doc_.quantize = saved.quantize;
    doc_.fixedPaletteName = saved.fixedPalName.toStdString();
    // A fixed palette that cannot be loaded falls back to Automatic, quietly:
    // the reader's messages go to the document's silent host meanwhile.
    if (doc_.globalPaletteMode == GlobalPaletteMode::Fixed) {
        doc_.setHost(nullptr);
        const bool loaded = !saved.fixedPalName.isEmpty() && QFileInfo::exists(saved.fixedPalName) &&
                            loadPalette(doc_, doc_.fixedPaletteName).loaded;
        doc_.setHost(&host_);
        if (!loaded) doc_.globalPaletteMode = GlobalPaletteMode::Automatic;
    }
    doc_.openDir = saved.openDir.toStdString();
    doc_.saveDir = saved.saveDir.toStdString();
    doc_.relink();
    doc_.optionsEdited();
    showPaletteWindow(view_.showPaletteWindow);
    updateCommandStates();
    viewport()->update();
}

// --- The command map ---

void TBmpViewWindow::command(CommandId id) {
    if (busy_) return;
    const auto folder = [this](const std::string& dir) { return QString::fromStdString(dir); };
    switch (id) {
    // File
    case C::New: newDocument(doc_); break;
    case C::Open: {
        playback_->stop();
        if (!askSave(doc_)) break;
        const QStringList files = chooseFilesToOpen(window(), folder(doc_.openDir));
        if (!files.isEmpty())
            reading([&] { openFiles(doc_, toPaths(files), live_, UnsavedChanges::AlreadyAsked); });
        break;
    }
    case C::AppendFrames:
    case C::InsertFrames: {
        playback_->stop();
        const QStringList files = chooseFilesToOpen(window(), folder(doc_.openDir));
        if (files.isEmpty()) break;
        if (id == C::AppendFrames) reading([&] { appendFiles(doc_, toPaths(files), live_); });
        else reading([&] { insertFiles(doc_, toPaths(files), live_); });
        break;
    }
    case C::RecentFile1:
    case C::RecentFile2:
    case C::RecentFile3:
    case C::RecentFile4: {
        const QStringList recent = frame_.recentFiles();
        const int k = int(id) - int(C::RecentFile1);
        if (k < recent.size()) openPath(recent[k]);
        break;
    }
    case C::Revert: reading([&] { revert(doc_, live_); }); break;
    case C::Save: save(doc_); break;
    case C::SaveAs:
    case C::SaveOptimizedAs: {
        if (doc_.frameList.empty()) break;
        playback_->stop();
        const QString path = chooseGifSavePath(window(), folder(doc_.saveDir.empty() ? doc_.openDir : doc_.saveDir),
                                               QString::fromStdString(doc_.fileName),
                                               id == C::SaveAs ? QStringLiteral("Save As")
                                                               : QStringLiteral("Save Optimized As"));
        if (!path.isEmpty()) saveAs(doc_, path.toStdString(), id == C::SaveOptimizedAs);
        break;
    }
    case C::SaveFrames: {
        playback_->stop();
        const QString path = chooseGifSavePath(window(), folder(doc_.saveDir), QString::fromStdString(doc_.fileName),
                                               QStringLiteral("Save Frames"));
        if (!path.isEmpty()) saveFrames(doc_, path.toStdString());
        break;
    }
    case C::Preview:
        playback_->stop();
        browserServices_->preview(doc_);
        break;
    case C::HtmlCode:
        playback_->stop();
        browserServices_->htmlCode(window(), doc_);
        break;
    case C::Exit: frame_.close(); break;

    // Edit
    case C::Undo: undo(doc_); break;
    case C::Redo: redo(doc_); break;
    case C::Cut: clipboard_->cut(doc_); break;
    case C::Copy: clipboard_->copy(doc_); break;
    case C::Paste: clipboard_->paste(doc_, PastePlace::BeforeSelected); break;
    case C::PasteAppend: clipboard_->paste(doc_, PastePlace::AtEnd); break;
    case C::Delete: deleteFrame(doc_); break;

    // Animation
    case C::Play: playback_->play(); break;
    case C::Stop: playback_->stop(); break;
    case C::NextFrame: nextFrame(); break;
    case C::PrevFrame: prevFrame(); break;
    case C::TransparentColor:
        beginTransparentPick(doc_);
        enterPickMode(int(PickMode::Transparent));
        break;
    case C::BackgroundColor: enterPickMode(int(PickMode::Background)); break;
    case C::InsertSolidColor: enterPickMode(int(PickMode::SolidColor)); break;
    case C::MergeBackground: mergeBackground(doc_); break;
    case C::MergeForeground: mergeForeground(doc_); break;
    case C::Unoptimize: unoptimize(doc_); break;

    // View
    case C::ShowDirtyRect:
    case C::ShowDirtyOnly:
    case C::ShowAsBrowsers:
    case C::ShowFrameList:
    case C::ShowPalette: toggleViewOption(id); break;
    case C::ZoomIn: zoomTo(zoomedIn(view_.zoom)); break;
    case C::ZoomOut: zoomTo(zoomedOut(view_.zoom)); break;
    case C::Zoom1to1: zoomTo(1); break;

    // Palettes
    case C::LoadPalette:
    case C::StorePalette:
    case C::GlobalFixed:
    case C::ReduceColorDepth:
    case C::PaletteAdd:
    case C::PaletteDelete:
    case C::PaletteModify: paletteCommand(id); break;

    // Help
    case C::HelpEnglish:
    case C::HelpFrench:
    case C::HelpSpanish: browserServices_->help(doc_.host(), id); break;
    case C::HowToUseHelp: browserServices_->howToUseHelp(doc_.host()); break;
    case C::About: browserServices_->about(window()); break;

    default:
        if (!applyOption(doc_, id) && !runDialogCommand(*this, id)) notYetAvailable(id);
        break;
    }
    updateCommandStates();
}

}  // namespace movigram
