#pragma once
// How views follow a document: every change is announced once, by the core,
// to each registered observer.  List events come in pairs; the "about to"
// half arrives before the list changes (a list model's beginInsertRows), the
// other after it.  During every call the document is consistent: the list
// holds only live frames, the chain is linked in list order and
// currentFrame is a frame of the list or null.
namespace movigram {

class DocumentObserver {
public:
    virtual ~DocumentObserver() = default;

    // The frame list.  Rows are list positions; a move takes count rows from
    // first and puts them before the row that was at destination.
    virtual void framesAboutToBeInserted(int /*first*/, int /*count*/) {}
    virtual void framesInserted(int /*first*/, int /*count*/) {}
    virtual void framesAboutToBeRemoved(int /*first*/, int /*count*/) {}
    virtual void framesRemoved(int /*first*/, int /*count*/) {}
    virtual void framesAboutToBeMoved(int /*first*/, int /*count*/, int /*destination*/) {}
    virtual void framesMoved(int /*first*/, int /*count*/, int /*destination*/) {}
    virtual void framesAboutToBeReset() {}
    virtual void framesReset() {}
    // A frame's fields, name or image changed (its thumbnail is stale).
    virtual void frameChanged(int /*index*/) {}

    virtual void currentFrameChanged() {}
    virtual void selectionChanged(int /*index*/) {}
    // The global palette, the transparent or background index.
    virtual void paletteChanged() {}
    // Loop option, loop count, optimisation options, palette modes, undo switch.
    virtual void optionsChanged() {}
    virtual void modifiedChanged(bool /*modified*/) {}
    virtual void undoLabelChanged() {}
    // File name or sizes: the title.
    virtual void fileNameChanged() {}
    // An edit, an undo or a read finished: the animation may look different
    // anywhere, so views repaint.  Announced once per command.
    virtual void documentChanged() {}
    // An edit or a file command is about to change the document; playback stops.
    virtual void editStarting() {}
};

}  // namespace movigram
