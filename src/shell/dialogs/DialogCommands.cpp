#include "DialogCommands.h"

#include <QInputDialog>
#include <QMessageBox>
#include <algorithm>

#include "TEffectsDialog.h"
#include "TFrameOffsetDialog.h"
#include "TimingDialogs.h"
#include "commands/CommandTable.h"
#include "effects/DoFade.h"
#include "effects/EffectTable.h"
#include "document/Undo.h"
#include "frameops/GrayScale.h"
#include "shell/Playback.h"
#include "shell/TBmpViewWindow.h"

namespace movigram {

namespace {

using C = CommandId;

std::optional<OffsetMode> offsetModeOf(CommandId id) {
    switch (id) {
    case C::Shift: return OffsetMode::Shift;
    case C::MovingSprite: return OffsetMode::MovingSprite;
    case C::Crop: return OffsetMode::Crop;
    case C::DeleteFrames: return OffsetMode::Delete;
    case C::Resize: return OffsetMode::Resize;
    default: return std::nullopt;
    }
}

// A frame dialog, then the canvas without the composed picture the dialog
// may have asked for.
template <typename Dialog, typename... Args>
bool runFrameDialog(TBmpViewWindow& view, Args&&... args) {
    Dialog dialog(view, std::forward<Args>(args)...);
    const bool ok = dialog.exec() == QDialog::Accepted;
    view.clearComposedBackground();
    return ok;
}

void runEffect(TBmpViewWindow& view, CommandId id) {
    const EffectFamily* family = familyOfCommand(id);
    if (!family) return;
    Document& doc = view.document();
    DialogMemory& memory = view.dialogMemory();
    EffectParams& params = memory.effects;
    selectFamily(params, *family);
    if (family->remembers)
        if (auto last = memory.effectChoice.find(id); last != memory.effectChoice.end())
            std::tie(params.effect, params.direction) = last->second;
    params.solidIndex = proposedSolidIndex(doc);

    TEffectsDialog dialog(view, params, family->dialogResource, view.palettePickSource());
    if (dialog.exec() != QDialog::Accepted) return;
    if (family->remembers) memory.effectChoice[id] = {params.effect, params.direction};
    if (runEffectCommand(doc, *family, params) == EffectResult::NoMemory)
        QMessageBox::warning(view.window(), QStringLiteral("Error"),
                             QStringLiteral("Failed to allocate memory: the new frames would not fit in an "
                                            "animation."));
}

// Options > Undo memory: the budget in MiB, with what the history holds now.
void chooseUndoMemory(TBmpViewWindow& view) {
    Document& doc = view.document();
    const int64_t mib = UndoJournal::mib;
    const int held = int((doc.undo.bytesHeld() + mib - 1) / mib);
    const int maximum = int(std::clamp<int64_t>(UndoJournal::defaultBudget() * 8 / mib, 256, 1 << 20));
    bool ok = false;
    const int chosen = QInputDialog::getInt(
        view.window(), QStringLiteral("Undo memory"),
        QStringLiteral("The undo history holds %1 MiB now.\nMemory it may keep, in MiB (the oldest steps are "
                       "forgotten beyond it):")
            .arg(held),
        int(std::min<int64_t>(doc.undo.budget() / mib, maximum)), 16, maximum, 16, &ok);
    if (ok) setUndoBudget(doc, chosen * mib);
}

}  // namespace

bool runDialogCommand(TBmpViewWindow& view, CommandId id) {
    Document& doc = view.document();
    if (id == C::UndoMemory) {
        chooseUndoMemory(view);
        return true;
    }
    const bool effect = familyOfCommand(id) != nullptr;
    const auto mode = offsetModeOf(id);
    const bool frameCommand = mode || id == C::Duplicate || id == C::SetRestoreMethod || id == C::ReverseOrder ||
                              id == C::FlipRotate || id == C::GrayScale || id == C::FrameRate || id == C::LoopCount;
    if (!effect && !frameCommand) return false;
    if (!doc.currentFrame || (effect && !doc.currentFrame->hasImage())) return true;
    view.playback().stop();

    if (effect) runEffect(view, id);
    else if (mode) runFrameDialog<TFrameOffsetDialog>(view, *mode);
    else if (id == C::Duplicate) runFrameDialog<TFrameDupDialog>(view);
    else if (id == C::SetRestoreMethod) runFrameDialog<TFrameEraseMethodDialog>(view);
    else if (id == C::ReverseOrder) runFrameDialog<TFrameReverseOrderDialog>(view);
    else if (id == C::FlipRotate) runFrameDialog<TFrameRotateDialog>(view, view.dialogMemory().rotate);
    else if (id == C::FrameRate) runFrameDialog<TFrameRateDialog>(view);
    else if (id == C::GrayScale) {
        recordGrayScale(doc);
        if (!runFrameDialog<TFrameGrayDialog>(view)) cancelGrayScale(doc);
    } else if (id == C::LoopCount) {
        TLoopDialog dialog(view);
        dialog.exec();
    }
    return true;
}

}  // namespace movigram
