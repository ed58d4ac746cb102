#include "FlipRotate.h"

#include <algorithm>
#include <utility>

#include "document/EditScope.h"
#include "document/Optimiser.h"

namespace movigram {

const char* flipRotateOperationName(int operation) {
    static constexpr const char* names[] = {"Flip (vertical mirror)", "Mirror (horizontal)", "Rotate 90",
                                            "Rotate 180", "Rotate 270"};
    return operation >= 0 && operation < 5 ? names[operation] : "";
}

int rotationAngle(int operation, bool rotateLeft) {
    if (operation < Rotate90 || operation > Rotate270) return 0;
    return rotateLeft ? 450 - 90 * operation : 90 * operation - 90;
}

bool flipRotateFrames(Document& doc, FrameSelection selection, int operation, bool rotateLeft) {
    if (operation < FlipOperation || operation > Rotate270) return false;
    selection = normalizeSelection(doc.frameList, std::move(selection));
    const int degrees = rotationAngle(operation, rotateLeft);
    const UndoKind kind = operation == FlipOperation     ? UndoKind::Flipped
                          : operation == MirrorOperation ? UndoKind::Mirrored
                                                         : undoKindForRotation(degrees);
    const char* label = operation == FlipOperation     ? "flip frames"
                        : operation == MirrorOperation ? "mirror frames"
                                                       : "rotate frames";
    EditScope edit(doc, TUndo::indexed(kind, doc.frameList, selection, label));
    for (int32_t i : selection) {
        TFrame& f = *doc.frameList.frameAt(i);
        if (operation == FlipOperation) flipFrame(f);
        else if (operation == MirrorOperation) mirrorFrame(f);
        else rotateFrame(f, degrees);
    }
    forgetFileSizes(doc);
    return true;
}

}  // namespace movigram
