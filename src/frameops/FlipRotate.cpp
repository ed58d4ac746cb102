#include "FlipRotate.h"

#include <algorithm>
#include <utility>

#include "document/EditScope.h"

namespace movigram {

const char* flipRotateOperationName(FlipRotateOperation operation) {
    static constexpr const char* names[] = {"Flip (vertical mirror)", "Mirror (horizontal)", "Rotate 90",
                                            "Rotate 180", "Rotate 270"};
    const int k = int(operation);
    return k >= 0 && k < 5 ? names[k] : "";
}

int rotationAngle(FlipRotateOperation operation, bool rotateLeft) {
    using enum FlipRotateOperation;
    if (operation < Rotate90 || operation > Rotate270) return 0;
    const int k = int(operation);
    return rotateLeft ? 450 - 90 * k : 90 * k - 90;
}

bool flipRotateFrames(Document& doc, FrameSelection selection, FlipRotateOperation operation, bool rotateLeft,
                      const std::string& label) {
    using enum FlipRotateOperation;
    if (operation < Flip || operation > Rotate270) return false;
    selection = normalizeSelection(doc.frameList, std::move(selection));
    const int degrees = rotationAngle(operation, rotateLeft);
    const UndoKind kind = operation == Flip     ? UndoKind::Flipped
                          : operation == Mirror ? UndoKind::Mirrored
                                                         : undoKindForRotation(degrees);
    EditScope edit(doc, TUndo::indexed(kind, doc.frameList, selection, label));
    for (int32_t i : selection) {
        TFrame& f = *doc.frameList.frameAt(i);
        if (operation == Flip) flipFrame(f);
        else if (operation == Mirror) mirrorFrame(f);
        else rotateFrame(f, degrees);
    }
    forgetFileSizes(doc);
    return true;
}

}  // namespace movigram
