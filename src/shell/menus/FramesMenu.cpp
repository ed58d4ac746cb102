// The Frames menu's handlers: the frame dialogs, and the solid colour that
// is picked on the picture or in the palette window.
#include "MenuHandlers.h"
#include "shell/EditorSession.h"
#include "shell/dialogs/DialogCommands.h"
#include "shell/dialogs/FrameDialogs.h"
#include "shell/dialogs/PictureEditDialogs.h"
#include "shell/dialogs/TFrameOffsetDialog.h"
#include "shell/dialogs/TimingEditDialogs.h"
#include "frameops/GrayScale.h"

namespace movigram {

namespace {

using C = CommandId;
using S = EditorSession;

void grayScale(S& s) {
    if (!readyForFrameDialog(s)) return;
    recordGrayScale(s.document(), undoLabelOf(C::GrayScale));
    if (!runFrameDialog<TFrameGrayDialog>(s)) cancelGrayScale(s.document());
}

constexpr MenuHandler handlers[] = {
    {C::Shift, [](S& s) { runFrameDialog<TFrameOffsetDialog>(s, OffsetMode::Shift); }},
    {C::MovingSprite, [](S& s) { runFrameDialog<TFrameOffsetDialog>(s, OffsetMode::MovingSprite); }},
    {C::Crop, [](S& s) { runFrameDialog<TFrameOffsetDialog>(s, OffsetMode::Crop); }},
    {C::DeleteFrames, [](S& s) { runFrameDialog<TFrameOffsetDialog>(s, OffsetMode::Delete); }},
    {C::Resize, [](S& s) { runFrameDialog<TFrameOffsetDialog>(s, OffsetMode::Resize); }},
    {C::Duplicate, [](S& s) { runFrameDialog<TFrameDupDialog>(s); }},
    {C::SetRestoreMethod, [](S& s) { runFrameDialog<TFrameEraseMethodDialog>(s); }},
    {C::ReverseOrder, [](S& s) { runFrameDialog<TFrameReverseOrderDialog>(s); }},
    {C::FlipRotate, [](S& s) { runFrameDialog<TFrameRotateDialog>(s, s.dialogMemory().rotate); }},
    {C::GrayScale, grayScale},
    {C::Speed, [](S& s) { runFrameDialog<TFrameSpeedDialog>(s); }},
    {C::CapPauses,
     [](S& s) {
         TCapPausesDialog dialog(s);
         dialog.exec();
     }},
    // These draw their place on the canvas first; Enter opens the dialog.
    {C::Caption, [](S& s) { s.startBoxTool(BoxTool::Caption); }},
    {C::Pixelate, [](S& s) { s.startBoxTool(BoxTool::Pixelate); }},
    {C::Blur, [](S& s) { s.startBoxTool(BoxTool::Blur); }},
    {C::InsertSolidColor, [](S& s) { s.enterPickMode(PickMode::SolidColor); }},
    {C::CropTool, [](S& s) { s.startBoxTool(BoxTool::Crop); }},
};

}  // namespace

std::optional<TRect> runBoxDialog(EditorSession& session, BoxTool tool, const TRect& box) {
    if (!readyForFrameDialog(session)) return box;
    FrameSelection frames = session.listSelection();
    if (frames.size() <= 1) frames = selectAll(session.document().frameList);
    switch (tool) {
    case BoxTool::Crop: {
        TFrameOffsetDialog dialog(session, OffsetMode::Crop);
        dialog.startWith(frames, box);
        const bool cropped = dialog.exec() == QDialog::Accepted;
        session.clearComposedBackground();
        if (cropped) return std::nullopt;
        return dialog.currentRect();
    }
    case BoxTool::Pixelate:
    case BoxTool::Blur: {
        TRedactDialog dialog(session, tool == BoxTool::Blur ? RedactMode::Blur : RedactMode::Pixelate);
        dialog.setArea(QRect(box.left, box.top, box.width(), box.height()));
        if (dialog.exec() == QDialog::Accepted) return std::nullopt;
        const QRect area = dialog.area();
        return TRect{area.left(), area.top(), area.left() + area.width(), area.top() + area.height()};
    }
    case BoxTool::Caption: {
        // Without a box the caption goes to the bottom, centred.
        TCaptionDialog dialog(session);
        if (!box.isEmpty()) dialog.setPosition(QPoint(box.left, box.top));
        if (dialog.exec() == QDialog::Accepted) return std::nullopt;
        return box;
    }
    case BoxTool::None: break;
    }
    return std::nullopt;
}

std::span<const MenuHandler> framesMenuHandlers() { return handlers; }

}  // namespace movigram
