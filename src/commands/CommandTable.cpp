#include "CommandTable.h"

#include <algorithm>
#include <array>

#include "MenuRecords.h"
#include "OptionCommands.h"
#include "document/DecodeLimits.h"

namespace movigram {

namespace {

using C = CommandId;

constexpr CommandId separator{0};

constexpr std::array toolBar{
    C::New,  C::Open, C::RecordScreen, C::Save,      C::SaveAs, C::SaveOptimizedAs, separator,        C::Preview,
    C::HtmlCode,      separator,    C::Undo,   C::Redo,   C::Cut,             C::Copy,          C::Paste,
    separator,        C::Play,      C::Stop,   separator,          C::Loop,          C::TransparentColor,
    C::FrameRate,     C::ReduceColorDepth,     separator,          C::ZoomIn,        C::ZoomOut,
    C::Zoom1to1,      separator,    C::HelpEnglish,
};

constexpr std::array contextMenu{
    C::Play,      C::Stop,       separator,          C::Paste,      C::PasteAppend, C::DeleteFrames, separator,
    C::FrameRate, C::LoopCount,  C::SetRestoreMethod, C::Unoptimize, separator,      C::Save,
    C::SaveOptimizedAs,
};

// The records of all menus, in menu order.
const std::vector<CommandInfo>& allRecords() {
    static const std::vector<CommandInfo> all = [] {
        std::vector<CommandInfo> list;
        for (auto menu : {records::fileMenu, records::editMenu, records::animationMenu, records::framesMenu,
                          records::optionsMenu, records::viewMenu, records::effectsMenu, records::helpMenu}) {
            const std::span<const CommandInfo> part = menu();
            list.insert(list.end(), part.begin(), part.end());
        }
        return list;
    }();
    return all;
}

}  // namespace

namespace records {

bool hasFrame(const Document& doc, const ViewState&) { return doc.currentFrame != nullptr; }
bool hasImageFrame(const Document& doc, const ViewState&) {
    return doc.currentFrame && doc.currentFrame->hasImage();
}
bool animationHasImage(const Document& doc, const ViewState&) {
    for (int i = 0; i < doc.frameList.count(); ++i)
        if (doc.frameList.frameAt(i)->hasImage()) return true;
    return false;
}

StepOutcome outOfMemory() {
    const DecodeLimits limits = DecodeLimits::defaults();
    return failed("Failed to allocate memory (the result would pass " + std::to_string(limits.maxFrames) +
                  " frames or " + std::to_string(limits.maxTotalBytes >> 20) + " MiB of images)");
}

StepOutcome checkFrame(const Document& doc, int32_t n) {
    if (n < 0 || n >= doc.frameList.count())
        return failed("frame " + std::to_string(n) + " does not exist (the animation has " +
                      std::to_string(doc.frameList.count()) + " frames)");
    return {};
}

StepOutcome checkColorIndex(int32_t index) {
    if (index < 0 || index > 255) return failed("a palette index is 0 to 255");
    return {};
}

void makeCurrent(Document& doc, int32_t index) {
    doc.frameList.select(index);
    doc.relink();
}

uint64_t screenBytes(const Document& doc) {
    return (uint64_t(std::max(doc.screenWidth, 0)) + 3) / 4 * 4 * uint64_t(std::max(doc.screenHeight, 0));
}

}  // namespace records

std::span<const CommandInfo> commandTable() { return allRecords(); }

const CommandInfo* findCommand(CommandId id) {
    for (const CommandInfo& info : allRecords())
        if (info.id == id) return &info;
    return nullptr;
}

const CommandInfo* findCommand(int32_t id) { return findCommand(CommandId(id)); }

const char* undoLabelOf(CommandId id) {
    const CommandInfo* info = findCommand(id);
    return info && info->undoLabel ? info->undoLabel : "";
}

const char* undoLabelOfStep(const std::string& name) {
    for (const CommandInfo& info : allRecords())
        for (const CliStep& step : info.steps)
            if (name == step.name) return step.undoLabel ? step.undoLabel : undoLabelOf(info.id);
    return "";
}

std::string shortcutOf(const CommandInfo& info) {
    const std::string text = info.menuText;
    const size_t tab = text.find('\t');
    return tab == std::string::npos ? std::string() : text.substr(tab + 1);
}

std::vector<std::string> extraShortcuts(CommandId id) {
    if (id == C::Delete) return {"Ctrl+Delete"};
    if (id == C::Redo) return {"Ctrl+Shift+Z"};
    return {};
}

std::string menuTextOf(const CommandInfo& info, const Document& doc) {
    if (info.id == C::Save && doc.optimizeOnSave) return "&Save optimized\tCtrl+S";
    if (info.id == C::Undo) return doc.undo.menuText();
    if (info.id == C::Redo) return doc.undo.redoMenuText();
    return info.menuText;
}

bool isEnabled(CommandId id, const Document& doc, const ViewState& view) {
    const CommandInfo* info = findCommand(id);
    return info && (!info->enabled || info->enabled(doc, view));
}

bool isChecked(CommandId id, const Document& doc, const ViewState& view) {
    const CommandInfo* info = findCommand(id);
    return info && info->checked && info->checked(doc, view);
}

bool runCommand(Document& doc, CommandId id) {
    const CommandInfo* info = findCommand(id);
    if (!info || !info->run) return false;
    if (info->menu == Menu::Options) return applyOption(doc, id);
    info->run(doc);
    return true;
}

std::span<const CommandId> toolBarCommands() { return toolBar; }
std::span<const CommandId> contextMenuCommands() { return contextMenu; }

const char* contextMenuText(CommandId id) {
    const CommandInfo* info = findCommand(id);
    return info && info->contextText ? info->contextText : "";
}

const EffectFamily* familyOfCommand(CommandId id) {
    const CommandInfo* info = findCommand(id);
    return info && info->effectFamily ? &effectFamily(*info->effectFamily) : nullptr;
}

CommandId commandOfFamily(EffectFamilyId family) {
    for (const CommandInfo& info : allRecords())
        if (info.effectFamily == family) return info.id;
    return CommandId{0};
}

EffectResult runEffectCommand(Document& doc, CommandId id, const EffectParams& params,
                              std::optional<uint32_t> seed) {
    const EffectFamily* family = familyOfCommand(id);
    return family ? runEffectCommand(doc, *family, params, undoLabelOf(C::ReduceColorDepth), seed)
                  : EffectResult::InvalidParameters;
}

const CliStep* findStep(const std::string& name) {
    for (const CommandInfo& info : allRecords())
        for (const CliStep& step : info.steps)
            if (name == step.name) return &step;
    return effectOfCliName(name) >= 0 ? &records::effectStep : nullptr;
}

CommandId commandOfStep(const std::string& name) {
    for (const CommandInfo& info : allRecords())
        for (const CliStep& step : info.steps)
            if (name == step.name) return info.id;
    const EffectFamily* family = familyOfEffect(effectOfCliName(name));
    return family ? commandOfFamily(family->id) : CommandId{0};
}

std::vector<const CliStep*> stepsInHelpOrder() {
    std::vector<const CliStep*> steps;
    for (const CommandInfo& info : allRecords())
        for (const CliStep& step : info.steps) steps.push_back(&step);
    std::stable_sort(steps.begin(), steps.end(),
                     [](const CliStep* a, const CliStep* b) { return a->helpOrder < b->helpOrder; });
    return steps;
}

}  // namespace movigram
