#include "PaletteWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QVBoxLayout>
#include <QWindow>

#include "ActionRegistry.h"
#include "ColorChooser.h"
#include "Icons.h"
#include "EditorSession.h"
#include "frameops/ColorCommands.h"

namespace movigram {

namespace {

const QString caption = QStringLiteral("Palette Window");

// The workspace gray of the canvas, under and around the swatches.
QColor workspaceColor() { return QColor(0x80, 0x80, 0x80); }

QColor colorOf(const PaletteEntry& e) { return QColor(e.red, e.green, e.blue); }

bool samePalette(const TMyPalette& a, const TMyPalette& b) {
    if (a.colorCount != b.colorCount) return false;
    for (int i = 0; i < a.colorCount; ++i)
        if (!(a.entry(i) == b.entry(i))) return false;
    return true;
}

}  // namespace

// --- The window ---

TPaletteWindow::TPaletteWindow(EditorSession& session, QWidget* parent)
    : QDockWidget(caption, parent), session_(session) {
    setObjectName(QStringLiteral("PaletteWindow"));
    setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    setFeatures(DockWidgetClosable | DockWidgetMovable | DockWidgetFloatable);

    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    messageBar_ = new QLabel(body);
    messageBar_->setObjectName(QStringLiteral("PaletteTitle"));
    messageBar_->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    messageBar_->setIndent(3);
    messageBar_->setMinimumWidth(16 * 3);
    messageBar_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    grid_ = new TPaletteGrid(*this);
    layout->addWidget(messageBar_);
    layout->addWidget(grid_, 1);
    setWidget(body);
    setFocusProxy(grid_);

    // The entry commands go to the main window, which acts on the entry
    // remembered when the menu opened.
    contextMenu_ = new QMenu(this);
    for (auto [id, text] : {std::pair{CommandId::PaletteAdd, "Add color"},
                            {CommandId::PaletteDelete, "Delete color"},
                            {CommandId::PaletteModify, "Modify color"}}) {
        QAction* item = contextMenu_->addAction(QString::fromLatin1(text));
        item->setData(int(id));
        connect(item, &QAction::triggered, this, [this, id = id] { session_.command(id); });
    }

    session_.document().addObserver(this);
    connect(&session_, &EditorSession::viewStateChanged, this, &TPaletteWindow::followSession);
    follow();
    followSession();
}

// A pick of the main window arms the window while it is shown; one that
// ends elsewhere is dropped here, and hiding the window drops any pick.
void TPaletteWindow::followSession() {
    const bool shown = session_.viewState().showPaletteWindow;
    const int pick = int(session_.pickMode());
    if (!shown && sessionShown_) arm(PalettePick::None);
    else if (shown && pick != 0 && (pick != sessionPick_ || !sessionShown_)) arm(PalettePick(pick));
    else if (shown && pick == 0 && sessionPick_ != 0) dropMainWindowPick();
    sessionShown_ = shown;
    sessionPick_ = pick;
}

TPaletteWindow::~TPaletteWindow() {
    restoreAfterPick();
    session_.document().removeObserver(this);
}

void TPaletteWindow::follow() {
    const Document& doc = session_.document();
    const TFrame* frame = doc.currentFrame;
    if (frame && frame->localPalette) refresh(*frame->localPalette, true, false);
    else if (doc.globalPalette) refresh(*doc.globalPalette, false, doc.globalPaletteMode == GlobalPaletteMode::Fixed);
    else refresh(TMyPalette(), false, doc.globalPaletteMode == GlobalPaletteMode::Fixed);
}

void TPaletteWindow::refresh(const TMyPalette& palette, bool isLocal, bool isFixed) {
    const bool sameTitle = isLocal == isLocal_ && isFixed == isFixed_ && palette.colorCount == shown_.colorCount;
    // Playback shows frame after frame on one palette: nothing to redo then.
    if (sameTitle && samePalette(palette, shown_) && !messageBar_->toolTip().isEmpty()) return;
    shown_ = palette;
    isLocal_ = isLocal;
    isFixed_ = isFixed;
    showTitleLine();
    // The caption describes the entry under the pointer as it is now.
    showCaption();
    grid_->update();
}

void TPaletteWindow::showTitleLine() {
    // A narrow window shows what fits, and the whole line as its tip.
    const QString line = titleLine();
    const int room = messageBar_->contentsRect().width() - messageBar_->indent() - 2;
    messageBar_->setText(messageBar_->fontMetrics().elidedText(line, Qt::ElideRight, std::max(room, 0)));
    messageBar_->setToolTip(line);
}

QString TPaletteWindow::titleLine() const {
    return QString::asprintf("%s%s palette, %d colors used", isFixed_ ? "Fixed " : "", isLocal_ ? "Local" : "Global",
                             shown_.colorCount);
}

// --- Picks ---

bool TPaletteWindow::arm(PalettePick pick) {
    const int remembered = menuIndex_;
    menuIndex_ = -1;
    if (remembered >= 0 && (pick == PalettePick::Modify || pick == PalettePick::Delete)) {
        if (pick == PalettePick::Modify) modifyEntry(remembered);
        else deleteEntry(remembered, true);
        return false;
    }
    endPick();
    pick_ = pick;
    if (pick != PalettePick::None) grid_->setCursor(pickCursor());
    return pick != PalettePick::None;
}

void TPaletteWindow::pickFor(QWidget* requester, std::function<void(int, QColor)> picked) {
    arm(PalettePick::Transparent);
    pickTarget_ = requester;
    pickedForTarget_ = std::move(picked);
    if (requester) requester->installEventFilter(this);
    if (!isVisible()) return;
    // A modal dialog blocks the other windows, except those it is a
    // transient parent of: the window becomes one for the time of the pick.
    if (QWidget* modal = QApplication::activeModalWidget(); modal && modal->windowHandle()) {
        if (!isFloating()) {
            floatedForPick_ = true;
            const QRect place(mapToGlobal(QPoint(0, 0)), size());
            setFloating(true);
            setGeometry(place);
        }
        if (QWindow* own = windowHandle()) {
            ownTransientParent_ = own->transientParent();
            own->setTransientParent(modal->windowHandle());
            raise();
        }
    }
    movePointerHere();
}

QColor TPaletteWindow::entryColor(int index) const { return colorOf(shown_.entry(std::clamp(index, 0, 255))); }

void TPaletteWindow::dropMainWindowPick() {
    if (!pickedForTarget_) endPick();
}

bool TPaletteWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == pickTarget_ && pickTarget_ && event->type() == QEvent::Hide) endPick();
    return QDockWidget::eventFilter(watched, event);
}

void TPaletteWindow::endPick() {
    if (pickTarget_) pickTarget_->removeEventFilter(this);
    pick_ = PalettePick::None;
    pickTarget_ = nullptr;
    pickedForTarget_ = nullptr;
    grid_->unsetCursor();
    restoreAfterPick();
}

void TPaletteWindow::restoreAfterPick() {
    if (QWindow* own = windowHandle(); own && ownTransientParent_) own->setTransientParent(ownTransientParent_);
    ownTransientParent_ = nullptr;
    if (floatedForPick_) {
        floatedForPick_ = false;
        setFloating(false);
    }
}

void TPaletteWindow::movePointerHere() {
    if (isVisible()) QCursor::setPos(grid_->mapToGlobal(grid_->rect().center()));
}

void TPaletteWindow::clicked(int entry) {
    if (pick_ == PalettePick::None || entry < 0) return;
    const PalettePick pick = pick_;
    const QPointer<QWidget> target = pickTarget_;
    const auto picked = std::move(pickedForTarget_);
    endPick();
    switch (pick) {
    case PalettePick::Modify: modifyEntry(entry); break;
    case PalettePick::Delete: deleteEntry(entry, true); break;
    case PalettePick::Transparent:
    case PalettePick::Background:
        if (picked) {
            if (target) picked(entry, colorOf(shown_.entry(entry)));
            break;
        }
        [[fallthrough]];
    case PalettePick::SolidColor: session_.picked(entry); break;
    case PalettePick::None: break;
    }
}

void TPaletteWindow::doubleClicked(int entry) {
    if (entry >= 0) modifyEntry(entry);
}

void TPaletteWindow::contextMenuAt(int entry, QPoint globalPos) {
    menuIndex_ = entry;
    const Document& doc = session_.document();
    const ViewState& state = session_.viewState();
    for (QAction* item : contextMenu_->actions()) item->setEnabled(movigram::isEnabled(CommandId(item->data().toInt()), doc, state));
    contextMenu_->exec(globalPos);
    // The command chosen has run by now; the entry is not kept for later.
    menuIndex_ = -1;
}

void TPaletteWindow::pointerAt(int entry) {
    pointed_ = entry;
    showCaption();
}

void TPaletteWindow::showCaption() {
    if (pointed_ < 0 || pointed_ >= shown_.colorCount) {
        setWindowTitle(caption);
        return;
    }
    const PaletteEntry& e = shown_.entry(pointed_);
    setWindowTitle(QString::asprintf("[%d] R:%d, G:%d, B:%d (#%02x%02x%02x) ", pointed_, e.red, e.green, e.blue,
                                     e.red, e.green, e.blue));
}

// --- Entries ---

bool TPaletteWindow::modifyEntry(int index) {
    if (index < 0 || index >= shown_.colorCount || session_.isBusy()) return false;
    const std::optional<QColor> chosen =
        chooseColor(window(), colorOf(shown_.entry(index)), QStringLiteral("Palette entry #%1").arg(index));
    if (!chosen) return false;
    std::array<PaletteEntry, 256> entries;
    for (int i = 0; i < 256; ++i) entries[size_t(i)] = shown_.entry(i);
    entries[size_t(index)] = {uint8_t(chosen->red()), uint8_t(chosen->green()), uint8_t(chosen->blue()), 0};
    replacePaletteEntries(session_.document(), entries);
    return true;
}

void TPaletteWindow::deleteEntry(int index, bool confirm) {
    Document& doc = session_.document();
    if (session_.isBusy() || !canDeletePaletteEntry(doc, index)) return;
    if (confirm) {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Delete color"),
                        QString::asprintf("Delete palette entry #%d?", index), QMessageBox::Ok | QMessageBox::Cancel,
                        window());
        box.setDefaultButton(QMessageBox::Ok);
        if (box.exec() != QMessageBox::Ok) return;
    }
    deletePaletteEntry(doc, index, undoLabelOf(CommandId::PaletteDelete));
}

void TPaletteWindow::closeEvent(QCloseEvent* event) {
    QDockWidget::closeEvent(event);
    if (!event->isAccepted()) return;
    endPick();
    emit closed();
}

// --- The swatches ---

TPaletteGrid::TPaletteGrid(TPaletteWindow& window) : QWidget(&window), window_(window) {
    setObjectName(QStringLiteral("PaletteGrid"));
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

int TPaletteGrid::entryAt(QPoint p) const {
    if (p.x() < 0 || p.y() < 0) return -1;
    const int column = p.x() / cellWidth_, row = p.y() / cellHeight_;
    if (column >= 16) return -1;
    const int entry = column + row * 16;
    return entry < window_.shown_.colorCount ? entry : -1;
}

QPoint TPaletteGrid::centreOf(int entry) const { return cellRect(entry).center(); }

QRect TPaletteGrid::cellRect(int entry) const {
    return {(entry % 16) * cellWidth_, (entry / 16) * cellHeight_, cellWidth_, cellHeight_};
}

void TPaletteGrid::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    cellWidth_ = std::max(width() / 16, 1);
    cellHeight_ = std::max(height() / 16, 1);
    window_.showTitleLine();
}

void TPaletteGrid::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), workspaceColor());
    const TMyPalette& palette = window_.shown_;
    // Outlined cells share their borders: each is one pixel wider and higher
    // than the step between them.
    const bool outlined = cellWidth_ >= 5 && cellHeight_ >= 5;
    QPen outline(Qt::black, 1);
    outline.setCosmetic(true);
    painter.setPen(outlined ? outline : QPen(Qt::NoPen));
    for (int i = 0; i < palette.colorCount; ++i) {
        const QRect cell = cellRect(i).adjusted(0, 0, 1, 1);
        if (!cell.intersects(event->rect())) continue;
        const QColor color = colorOf(palette.entry(i));
        if (outlined) {
            painter.setBrush(color);
            painter.drawRect(cell.adjusted(0, 0, -1, -1));
        } else {
            painter.fillRect(cell, color);
        }
    }
    if (hasFocus() && focusEntry_ < palette.colorCount) {
        // Dots of black over white, which show on any colour.
        const QRect r = cellRect(focusEntry_).adjusted(1, 1, -1, -1);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(Qt::white, 1));
        painter.drawRect(r.adjusted(0, 0, -1, -1));
        QPen dots(Qt::black, 1, Qt::DotLine);
        dots.setCosmetic(true);
        painter.setPen(dots);
        painter.drawRect(r.adjusted(0, 0, -1, -1));
    }
}

void TPaletteGrid::mouseMoveEvent(QMouseEvent* event) {
    window_.pointerAt(entryAt(event->position().toPoint()));
}

void TPaletteGrid::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    window_.pointerAt(-1);
}

void TPaletteGrid::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) window_.clicked(entryAt(event->position().toPoint()));
    else QWidget::mousePressEvent(event);
}

void TPaletteGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) window_.doubleClicked(entryAt(event->position().toPoint()));
}

void TPaletteGrid::contextMenuEvent(QContextMenuEvent* event) {
    if (event->reason() == QContextMenuEvent::Mouse) {
        window_.contextMenuAt(entryAt(event->pos()), event->globalPos());
        return;
    }
    const bool valid = focusEntry_ < window_.shown_.colorCount;
    window_.contextMenuAt(valid ? focusEntry_ : -1, mapToGlobal(valid ? centreOf(focusEntry_) : QPoint(0, 0)));
}

void TPaletteGrid::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
}

void TPaletteGrid::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}

void TPaletteGrid::moveFocusTo(int entry) {
    const int count = window_.shown_.colorCount;
    if (count == 0) return;
    focusEntry_ = std::clamp(entry, 0, count - 1);
    window_.pointerAt(focusEntry_);
    update();
}

void TPaletteGrid::keyPressEvent(QKeyEvent* event) {
    const bool valid = focusEntry_ < window_.shown_.colorCount;
    switch (event->key()) {
    case Qt::Key_Escape:
        if (window_.pendingPick() == PalettePick::None) {
            QWidget::keyPressEvent(event);
            return;
        }
        window_.session_.cancelPick();
        window_.endPick();
        break;
    case Qt::Key_Left: moveFocusTo(focusEntry_ - 1); break;
    case Qt::Key_Right: moveFocusTo(focusEntry_ + 1); break;
    case Qt::Key_Up: moveFocusTo(focusEntry_ >= 16 ? focusEntry_ - 16 : focusEntry_); break;
    case Qt::Key_Down: moveFocusTo(focusEntry_ + 16 < window_.shown_.colorCount ? focusEntry_ + 16 : focusEntry_); break;
    case Qt::Key_Home: moveFocusTo(0); break;
    case Qt::Key_End: moveFocusTo(window_.shown_.colorCount - 1); break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (!valid) break;
        if (window_.pendingPick() != PalettePick::None) window_.clicked(focusEntry_);
        else window_.modifyEntry(focusEntry_);
        break;
    case Qt::Key_Delete:
        if (valid) window_.deleteEntry(focusEntry_, true);
        break;
    default: QWidget::keyPressEvent(event); return;
    }
    event->accept();
}

}  // namespace movigram
