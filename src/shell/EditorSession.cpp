#include "EditorSession.h"

#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>

#include "ActionRegistry.h"
#include "BrowserServices.h"
#include "EditClipboard.h"
#include "PaletteWindow.h"
#include "Playback.h"
#include "TMyFrameWindow.h"
#include "commands/FileCommands.h"
#include "commands/CommandTable.h"
#include "document/FrameCache.h"
#include "document/FrameChain.h"
#include "frameops/FrameOffset.h"
#include "frameops/FrameOrder.h"
#include "frameops/TimingEdits.h"
#include "import/PaletteLoading.h"
#include "menus/MenuHandlers.h"
#include "recording/ScreenRecording.h"

namespace movigram {

namespace {

std::vector<std::string> toPaths(const QStringList& files) {
    std::vector<std::string> paths;
    for (const QString& f : files) paths.push_back(f.toStdString());
    return paths;
}

}  // namespace

EditorSession::EditorSession(TMyFrameWindow& window)
    : QObject(&window), window_(window), host_(*this, window), doc_(&host_) {
    doc_.addObserver(this);
    actions_ = new ActionRegistry(this);
    connect(actions_, &ActionRegistry::triggered, this, &EditorSession::command);
    playback_ = std::make_unique<Playback>(*this);
    clipboard_ = std::make_unique<EditClipboard>();
    browserServices_ = std::make_unique<BrowserServices>();
    screenRecording_ = std::make_unique<ScreenRecording>(*this);
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, &EditorSession::clipboardChanged);
    view_.clipboardHasData = EditClipboard::offersPaste();

    // Frames read faster than a screen shows them are not all painted: a
    // long recording would spend more time painting than reading.
    live_.paint = [this](const TFrame& read) {
        if (!livePaint_.isValid() || livePaint_.elapsed() >= livePaintMs) {
            emit frameRead(read);
            livePaint_.start();
        }
        host_.keepAlive();
    };
    live_.preview = [this](const TrueColorImage& image) {
        emit previewRead(image);
        host_.keepAlive();
    };

    commandUpdate_.setSingleShot(true);
    commandUpdate_.setInterval(0);
    connect(&commandUpdate_, &QTimer::timeout, this, &EditorSession::updateCommandStates);
    updateCommandStates();
}

namespace {

// Counts a command running for as long as it lives.
class Running {
public:
    explicit Running(int& depth) : depth_(depth) { ++depth_; }
    ~Running() { --depth_; }
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;

private:
    int& depth_;
};

}  // namespace

EditorSession::~EditorSession() {
    playback_->stop();
    doc_.removeObserver(this);
}

QWidget* EditorSession::window() const { return &window_; }

// --- Commands ---

void EditorSession::command(CommandId id) {
    if (busy_) return;
    {
        const Running running(commandDepth_);
        if (const MenuHandler* handler = findMenuHandler(id)) handler->run(*this);
        else runCommand(doc_, id);
    }
    // The menus and the tool bar show the outcome at once, not after the
    // next turn of the event loop.
    updateCommandStates();
    letIdleFramesGo();
}

// Between commands nobody holds a pointer into a frame's pixels, so the
// frames decoded for a command or for showing them may be parked again.
// A step taken while a command runs (playback under a dialog) waits for
// the command to end; a step that decoded nothing has nothing to let go.
void EditorSession::letIdleFramesGo(bool stepped) {
    if (commandDepth_ != 0 || busy_) return;
    const uint64_t decoded = TDib256::decodedCount();
    if (stepped && decoded == decodedAtTrim_) return;
    decodedAtTrim_ = decoded;
    parkIdleFrames(doc_.frameList);
}

bool EditorSession::canClose() {
    if (busy_) return false;
    playback_->stop();
    return askSave(doc_);
}

void EditorSession::reading(const std::function<void(const LiveView&)>& fn) {
    reading_ = true;
    emit readingChanged(true);
    {
        const Running running(commandDepth_);
        fn(live_);
    }
    reading_ = false;
    emit readingChanged(false);
    updateCommandStates();
    letIdleFramesGo();
}

void EditorSession::openPaths(const QStringList& paths) {
    if (!paths.isEmpty()) reading([&](const LiveView& live) { openFiles(doc_, toPaths(paths), live); });
}

void EditorSession::dropFiles(int line, const QStringList& paths) {
    if (busy_ || paths.isEmpty()) return;
    reading([&](const LiveView& live) { movigram::dropFiles(doc_, line, toPaths(paths), live); });
}

void EditorSession::moveFrames(int first, int count, int destination) {
    if (!busy_) movigram::moveFrames(doc_, first, count, destination);
    letIdleFramesGo();
}

// --- Stepping ---

void EditorSession::nextFrame() {
    const TFrame* frame = doc_.currentFrame;
    if (frame && frame->next) doc_.showFrameAt(doc_.frameList.placeOf(*frame->next));
    letIdleFramesGo(true);
}

// The chain runs in list order, so the frame before the current one is the
// line before it, or the last line when the chain loops back to the first:
// a step back costs no walk through the chain.
void EditorSession::prevFrame() {
    const TFrame* current = doc_.currentFrame;
    if (!current) return;
    const int at = doc_.frameList.placeOf(*current);
    const int before = at > 0 ? at - 1 : doc_.frameList.count() - 1;
    if (before != at && doc_.frameList.frameAt(before)->next == current) doc_.showFrameAt(before);
    letIdleFramesGo(true);
}

void EditorSession::showFirstFrame() {
    if (doc_.firstFrame) doc_.showFrameAt(doc_.frameList.placeOf(*doc_.firstFrame));
    letIdleFramesGo(true);
}

void EditorSession::showLastFrame() {
    if (doc_.firstFrame) doc_.showFrameAt(doc_.frameList.count() - 1);
    letIdleFramesGo(true);
}

void EditorSession::listSelect(int index, bool keepFocus) {
    if (index < 0 || busy_) return;
    doc_.showFrameAt(index);
    if (!keepFocus) emit canvasFocusWanted();
    letIdleFramesGo(true);
}

FrameSelection EditorSession::listSelection() const {
    FrameSelection rows = listSelection_ ? normalizeSelection(doc_.frameList, listSelection_()) : FrameSelection{};
    if (rows.empty() && doc_.currentFrame) rows.push_back(doc_.frameList.placeOf(*doc_.currentFrame));
    return rows;
}

void EditorSession::deleteListSelection() {
    if (busy_ || reading_) return;
    const FrameSelection rows = listSelection();
    if (rows.empty()) return;
    playback_->stop();
    deleteFrames(doc_, rows, undoLabelOf(CommandId::DeleteFrames));
}

void EditorSession::setDelays(const FrameSelection& frames, int ms) {
    if (busy_ || reading_) return;
    playback_->stop();
    movigram::setDelays(doc_, frames, ms, delayEditLabel);
}

void EditorSession::showPlaybackFrame(TFrame* frame) {
    playbackStep_ = true;
    doc_.setCurrentFrame(frame);
    playbackStep_ = false;
    emit playbackFrameShown();
    letIdleFramesGo(true);
}

// --- View state ---

void EditorSession::changeView(const std::function<void(ViewState&)>& change) {
    change(view_);
    emit viewStateChanged();
    scheduleCommandUpdate();
}

void EditorSession::setZoom(int zoom) {
    if (zoom != view_.zoom) changeView([&](ViewState& v) { v.zoom = zoom; });
}

void EditorSession::setFrameListShown(bool on) {
    changeView([&](ViewState& v) { v.showFrameList = on; });
}

void EditorSession::setPaletteShown(bool on) {
    changeView([&](ViewState& v) { v.showPaletteWindow = v.paletteWindowExists = on; });
}

void EditorSession::toggleDirtyRect() {
    doc_.showDirtyRect = !doc_.showDirtyRect;
    changeView([&](ViewState& v) { v.showDirtyOnly = v.showDirtyOnly && !doc_.showDirtyRect; });
}

void EditorSession::toggleDirtyOnly() {
    changeView([&](ViewState& v) {
        v.showDirtyOnly = !v.showDirtyOnly;
        doc_.showDirtyRect = doc_.showDirtyRect && !v.showDirtyOnly;
    });
}

void EditorSession::toggleFramePatches() {
    changeView([&](ViewState& v) { v.showFramePatches = !v.showFramePatches; });
}

void EditorSession::toggleBrowserView() {
    changeView([&](ViewState& v) { v.showAsBrowsers = !v.showAsBrowsers; });
    playback_->setBrowserTiming(view_.showAsBrowsers);
}

void EditorSession::startBoxTool(BoxTool tool) {
    if (busy_ || reading_ || doc_.frameList.empty()) return;
    playback_->stop();
    cancelPick();
    boxTool_ = tool;
    changeView([](ViewState&) {});
}

void EditorSession::endBoxTool() {
    if (boxTool_ == BoxTool::None) return;
    boxTool_ = BoxTool::None;
    changeView([](ViewState&) {});
}

void EditorSession::boxChosen(const TRect& box) {
    if (busy_ || boxTool_ == BoxTool::None || (box.isEmpty() && boxTool_ != BoxTool::Caption)) return;
    if (const std::optional<TRect> left = runBoxDialog(*this, boxTool_, box)) emit boxSet(*left);
    else endBoxTool();
}

void EditorSession::enterPickMode(PickMode mode) {
    pickMode_ = mode;
    changeView([](ViewState&) {});
}

void EditorSession::cancelPick() {
    if (pickMode_ == PickMode::None) return;
    pickMode_ = PickMode::None;
    changeView([](ViewState&) {});
}

void EditorSession::picked(int32_t index) {
    const PickMode mode = pickMode_;
    cancelPick();
    if (busy_) return;
    switch (mode) {
    case PickMode::Transparent:
    case PickMode::Background: setPickedColor(doc_, mode, index); break;
    case PickMode::SolidColor: insertSolidColor(doc_, index, undoLabelOf(CommandId::InsertSolidColor)); break;
    case PickMode::None: break;
    }
}

void EditorSession::clipboardChanged() {
    changeView([](ViewState& v) { v.clipboardHasData = EditClipboard::offersPaste(); });
}

// --- Following the document ---

void EditorSession::fileNameChanged() {
    emit titleChanged(QString::fromStdString(titleText(doc_)));
    scheduleCommandUpdate();
}

void EditorSession::editStarting() {
    if (playback_->isPlaying()) playback_->stop();
}

void EditorSession::scheduleCommandUpdate() {
    if (!commandUpdate_.isActive()) commandUpdate_.start();
}

void EditorSession::updateCommandStates() {
    commandUpdate_.stop();
    actions_->update(doc_, view_);
}

// --- Settings and recent files ---

void EditorSession::addRecentFile(const QString& path) {
    if (!recent_.isEmpty() && recent_.front() == path) return;
    recent_.removeAll(path);
    if (recent_.size() == 4) recent_.removeLast();
    recent_.prepend(path);
    emit recentFilesChanged();
}

SavedOptions EditorSession::savedOptions() const {
    SavedOptions saved;
    OptionFlags& o = saved.options;
    o.showDirtyRect = doc_.showDirtyRect;
    o.showDirtyOnly = view_.showDirtyOnly;
    o.showPaletteWindow = view_.showPaletteWindow;
    o.loop = doc_.loopOption;
    o.cropToDirty = doc_.cropToDirty;
    o.splitDirty = doc_.splitDirty;
    o.localPaletteMode = int(doc_.localPaletteMode);
    o.globalPaletteMode = int(doc_.globalPaletteMode);
    o.commentFrame = doc_.commentFrameOption;
    o.optimizeColors = doc_.optimizeColors;
    o.transparentMask = doc_.transparentMaskOption;
    o.optimizeOnSave = doc_.optimizeOnSave;
    o.undoEnabled = doc_.undo.enabled();
    saved.maxCompression = doc_.maxCompression;
    saved.shareTarget = QString::fromStdString(dialogMemory_.shareTarget);
    saved.record = dialogMemory_.record;
    if (doc_.undo.budget() != UndoJournal::defaultBudget()) saved.undoMemoryMiB = int(doc_.undo.budget() / UndoJournal::mib);
    saved.quantize = doc_.quantize;
    saved.fixedPalName = QString::fromStdString(doc_.fixedPaletteName);
    saved.openDir = QString::fromStdString(doc_.openDir);
    saved.saveDir = QString::fromStdString(doc_.saveDir);
    saved.recentFiles = recent_;
    return saved;
}

void EditorSession::applySavedOptions(const SavedOptions& saved) {
    const OptionFlags& o = saved.options;
    doc_.showDirtyRect = o.showDirtyRect != 0;
    doc_.loopOption = o.loop != 0;
    doc_.cropToDirty = o.cropToDirty != 0;
    doc_.splitDirty = o.splitDirty != 0;
    doc_.localPaletteMode = LocalPaletteMode(std::clamp(o.localPaletteMode, 0, 2));
    doc_.globalPaletteMode = GlobalPaletteMode(std::clamp(o.globalPaletteMode, 0, 3));
    doc_.commentFrameOption = o.commentFrame != 0;
    doc_.optimizeColors = o.optimizeColors != 0;
    doc_.transparentMaskOption = o.transparentMask != 0;
    doc_.optimizeOnSave = o.optimizeOnSave != 0;
    if (doc_.undo.enabled() != (o.undoEnabled != 0)) doc_.undo.setEnabled(o.undoEnabled != 0);
    doc_.maxCompression = saved.maxCompression;
    if (!saved.shareTarget.isEmpty()) dialogMemory_.shareTarget = saved.shareTarget.toStdString();
    dialogMemory_.record = saved.record;
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
    for (auto it = saved.recentFiles.rbegin(); it != saved.recentFiles.rend(); ++it) addRecentFile(*it);
    doc_.relink();
    doc_.optionsEdited();
    changeView([&](ViewState& v) {
        v.showDirtyOnly = o.showDirtyOnly != 0;
        v.showPaletteWindow = v.paletteWindowExists = o.showPaletteWindow != 0;
    });
    updateCommandStates();
}

}  // namespace movigram
