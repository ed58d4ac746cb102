// The Animation menu's handlers: playback and stepping, the colour picks,
// and the loop count, frame rate and scale dialogs.  The merges and Unoptimize run
// in the core.
#include "MenuHandlers.h"
#include "shell/EditorSession.h"
#include "shell/Playback.h"
#include "shell/dialogs/DialogCommands.h"
#include "shell/dialogs/TScaleDialog.h"
#include "shell/dialogs/TimingDialogs.h"
#include "frameops/ColorCommands.h"

namespace movigram {

namespace {

using C = CommandId;
using S = EditorSession;

constexpr MenuHandler handlers[] = {
    {C::Play, [](S& s) { s.playback().play(); }},
    {C::Stop, [](S& s) { s.playback().stop(); }},
    {C::NextFrame, [](S& s) { s.nextFrame(); }},
    {C::PrevFrame, [](S& s) { s.prevFrame(); }},
    {C::TransparentColor,
     [](S& s) {
         beginTransparentPick(s.document(), undoLabelOf(C::TransparentColor));
         s.enterPickMode(PickMode::Transparent);
     }},
    {C::BackgroundColor, [](S& s) { s.enterPickMode(PickMode::Background); }},
    {C::LoopCount,
     [](S& s) {
         if (!readyForFrameDialog(s)) return;
         TLoopDialog dialog(s);
         dialog.exec();
     }},
    {C::FrameRate, [](S& s) { runFrameDialog<TFrameRateDialog>(s); }},
    {C::Scale,
     [](S& s) {
         if (!readyForFrameDialog(s)) return;
         TScaleDialog dialog(s);
         dialog.exec();
     }},
};

}  // namespace

std::span<const MenuHandler> animationMenuHandlers() { return handlers; }

}  // namespace movigram
