#pragma once
// The steps every command with a frame dialog takes: it needs a current
// frame, stops playback, runs its dialog, and leaves the canvas without the
// composed picture the dialog may have asked for.  The dialog itself calls
// the core operation.
#include <QDialog>
#include <utility>

#include "shell/EditorSession.h"
#include "shell/Playback.h"

namespace movigram {

// False when there is no current frame (or, with needsImage, the current
// frame has no image) and the command does nothing; otherwise playback has
// stopped.
inline bool readyForFrameDialog(EditorSession& session, bool needsImage = false) {
    const TFrame* current = session.document().currentFrame;
    if (!current || (needsImage && !current->hasImage())) return false;
    session.playback().stop();
    return true;
}

// Runs the dialog; true when it was accepted.
template <typename Dialog, typename... Args>
bool runFrameDialog(EditorSession& session, Args&&... args) {
    if (!readyForFrameDialog(session)) return false;
    Dialog dialog(session, std::forward<Args>(args)...);
    const bool ok = dialog.exec() == QDialog::Accepted;
    session.clearComposedBackground();
    return ok;
}

}  // namespace movigram
