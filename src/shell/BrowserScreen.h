#pragma once
// The screen as web browsers show the animation, for View > "Show as
// browsers do": true colour with alpha, where an area restored to the
// background lets the page show through.  Stepping to the next frame draws
// one frame; any other jump replays from the nearest kept screen, one kept
// every few dozen frames, so that a jump stays quick in a long animation.
#include <QImage>
#include <map>
#include <memory>

#include "document/Document.h"
#include "document/ViewerCanvas.h"

namespace movigram {

class BrowserScreen {
public:
    // The screen while the frame at list position index is shown.
    const QImage& pictureAt(const Document& doc, int index);
    // The frames changed: everything kept is stale.
    void invalidate();

private:
    static constexpr int keepEvery = 32;
    std::unique_ptr<ViewerCanvas> canvas_;  // after frame at_ was shown and disposed of
    int at_ = -1;
    std::map<int, ViewerCanvas> kept_;  // likewise, after frame k
    QImage picture_;
    int pictureIndex_ = -1;
};

}  // namespace movigram
