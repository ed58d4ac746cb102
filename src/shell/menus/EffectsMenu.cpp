// The Effects menu's handlers: each effect command opens the effects
// dialog on its family, which remembers the last choice of the family.
#include <QMessageBox>

#include "MenuHandlers.h"
#include "shell/EditorSession.h"
#include "shell/dialogs/DialogCommands.h"
#include "shell/dialogs/TEffectsDialog.h"
#include "effects/DoFade.h"
#include "effects/EffectTable.h"

namespace movigram {

namespace {

using C = CommandId;
using S = EditorSession;

template <CommandId id>
void runEffect(S& s) {
    const EffectFamily* family = familyOfCommand(id);
    if (!family || !readyForFrameDialog(s, true)) return;
    Document& doc = s.document();
    DialogMemory& memory = s.dialogMemory();
    EffectParams& params = memory.effects;
    selectFamily(params, *family);
    if (family->remembers)
        if (auto last = memory.effectChoice.find(id); last != memory.effectChoice.end())
            std::tie(params.effect, params.direction) = last->second;
    params.solidIndex = proposedSolidIndex(doc);

    TEffectsDialog dialog(s, params, family->dialogResource, s.palettePickSource());
    if (dialog.exec() != QDialog::Accepted) return;
    if (family->remembers) memory.effectChoice[id] = {params.effect, params.direction};
    if (runEffectCommand(doc, id, params) == EffectResult::NoMemory)
        QMessageBox::warning(s.window(), QStringLiteral("Error"),
                             QStringLiteral("Failed to allocate memory: the new frames would not fit in an "
                                            "animation."));
}

constexpr MenuHandler handlers[] = {
    {C::FadeIn, runEffect<C::FadeIn>},   {C::FadeOut, runEffect<C::FadeOut>}, {C::Dissolve, runEffect<C::Dissolve>},
    {C::BannerScroll, runEffect<C::BannerScroll>}, {C::Wipe, runEffect<C::Wipe>},
    {C::Spiral, runEffect<C::Spiral>},   {C::Blind, runEffect<C::Blind>},
};

}  // namespace

std::span<const MenuHandler> effectsMenuHandlers() { return handlers; }

}  // namespace movigram
