#include "Document.h"

#include "FrameChain.h"

namespace movigram {

Document::Document(Host* host) : host_(host) {}

void Document::relink() {
    firstFrame = threadFrames(frameList, loopOption);
    const TSize size = boundingSize(firstFrame);
    screenWidth = size.width;
    screenHeight = size.height;
    if (frameList.selectedIndex() < 0 && !frameList.empty()) frameList.select(0);
    currentFrame = frameList.frameAt(frameList.selectedIndex());
}

}  // namespace movigram
