#pragma once
// The canvas's work bitmap: an 8-bit picture of the logical screen that keeps
// what has been drawn so far, so that each frame is drawn over what the
// frames before it left.  Frames are drawn with the core's bitmaps; the
// picture the canvas paints is a QImage (Format_Indexed8) with the colour
// table of the palette in use.
#include <QColor>
#include <QImage>
#include <memory>

#include "document/Document.h"

namespace movigram {

class FramePainter {
public:
    // workspace: the colour the canvas shows where the transparent colour is.
    explicit FramePainter(QColor workspace) : workspace_(workspace.rgb()) {}

    const QImage& picture() const { return picture_; }
    bool isEmpty() const { return !work_; }

    // Draws the current frame into the work bitmap over what is there: the
    // area the previous frame restores to the background is filled first; the
    // frame is drawn opaque on a full repaint, when there is no previous
    // frame or when it has no transparent colour, else without its
    // transparent pixels.  Returns the area of the screen that changed.
    TRect paintFrame(const Document& doc, const TFrame* previous, bool fullRepaint);
    // The work bitmap shows the animation composed up to the frame at list
    // position index (-1: the empty screen), when what was drawn before no
    // longer holds: after a read or an edit, or before a frame that does not
    // follow the one shown.
    void recompose(const Document& doc, int index);
    // The palette in use: the current frame's local palette, else the global
    // one; while all frames share a transparent index that entry shows the
    // workspace colour.
    void setColorTable(const Document& doc);
    void clear();

private:
    // Makes the work bitmap the size of the logical screen; true when made anew.
    bool fitScreen(const Document& doc);
    void mirror(const TRect& area);

    std::unique_ptr<TDib256> work_;
    QImage picture_;
    QRgb workspace_;
};

// The logical screen size, or the extent of the frames while it is 0 x 0
// (1 x 1 without frames).
TSize screenSizeOf(const Document& doc);

}  // namespace movigram
