#include "FrameTiming.h"

#include <cstdio>

#include "document/EditScope.h"
#include "document/FrameChain.h"
#include "NumberField.h"

namespace movigram {

std::vector<int32_t> restoreWorkingValues(const Document& doc) {
    std::vector<int32_t> values;
    for (int i = 0; i < doc.frameList.count(); ++i) {
        const TFrame& f = *doc.frameList.frameAt(i);
        values.push_back(f.hasImage() ? (f.restoreToBackground ? 1 : 0) : -1);
    }
    return values;
}

bool applyRestoreMethods(Document& doc, const std::vector<int32_t>& values, const std::string& label) {
    FrameList& list = doc.frameList;
    if (int(values.size()) != list.count() || list.empty()) return false;
    EditScope edit(doc, TUndo::indexed(UndoKind::WholeChanged, list, selectAll(list), label, false));
    for (int i = 0; i < list.count(); ++i) {
        TFrame& f = *list.frameAt(i);
        if (!f.hasImage()) continue;
        f.restoreToBackground = values[size_t(i)] == 1;
        if (!f.restoreToBackground && f.transparentIndex >= 0) f.overlay = true;
    }
    return true;
}

bool setRestoreMethod(Document& doc, FrameSelection selection, bool restoreToBackground,
                      const std::string& label) {
    std::vector<int32_t> values = restoreWorkingValues(doc);
    for (int32_t i : normalizeSelection(doc.frameList, std::move(selection)))
        values[size_t(i)] = restoreToBackground ? 1 : 0;
    return applyRestoreMethods(doc, values, label);
}

bool applyFrameRate(Document& doc, int32_t msPerFrame, const std::vector<int32_t>& repeats,
                    const std::string& label) {
    FrameList& list = doc.frameList;
    if (int(repeats.size()) != list.count() || list.empty() || !frameRateProblem(doc, msPerFrame, repeats).empty())
        return false;
    EditScope edit(doc, TUndo::timing(list, doc.frameTime, label));
    doc.frameTime = msPerFrame;
    // Comment frames are not shown and keep no time.
    for (int i = 0; i < list.count(); ++i)
        if (list.frameAt(i)->hasImage()) doc.setFrameTiming(i, msPerFrame, repeats[size_t(i)]);
    return true;
}

bool setFrameRate(Document& doc, int32_t msPerFrame, const std::string& label, FrameSelection selection,
                  std::optional<int32_t> repeat) {
    std::vector<int32_t> repeats;
    for (int i = 0; i < doc.frameList.count(); ++i) repeats.push_back(doc.frameList.frameAt(i)->repeat);
    if (repeat)
        for (int32_t i : normalizeSelection(doc.frameList, std::move(selection))) repeats[size_t(i)] = *repeat;
    return applyFrameRate(doc, msPerFrame, repeats, label);
}

std::string formatMilliseconds(int64_t ms) {
    char text[32];
    if (ms >= 1000) std::snprintf(text, sizeof text, "%lld,%03d", static_cast<long long>(ms / 1000), int(ms % 1000));
    else std::snprintf(text, sizeof text, "%lld", static_cast<long long>(ms));
    return text;
}

std::string formatFramesPerSecond(int32_t msPerFrame) {
    if (msPerFrame == 0) return {};
    char text[32];
    std::snprintf(text, sizeof text, "%0.2f", 1000.0 / msPerFrame);
    return text;
}

bool setLoopCount(Document& doc, int32_t count) {
    if (count < 0 || count > 65535) return false;
    doc.loopCount = count;
    doc.setModified(true);
    if (count != 1 && !doc.loopOption) {
        doc.loopOption = true;
        doc.relink();
        doc.changed();
    }
    doc.optionsEdited();
    return true;
}

}  // namespace movigram
