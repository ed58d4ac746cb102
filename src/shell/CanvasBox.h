#pragma once
// A box drawn on the canvas with the mouse: dragging outside it draws a new
// one, dragging inside moves it, dragging one of its eight handles moves
// that edge or corner; arrow keys nudge it (Shift: by 10; with Ctrl the
// right and bottom edges, so the size changes).  It stays on the screen.
// Coordinates are the picture's; the canvas maps them to the window.  It
// starts empty (nothing drawn yet) unless given a box.
#include <QRect>
#include <functional>

#include "document/Geometry.h"

class QPainter;

namespace movigram {

// An outline of white under black dashes, which shows on any picture.
void drawDashedOutline(QPainter& painter, const QRect& r);

// What the box drawn on the canvas is for: the dialog Enter opens.
enum class BoxTool { None, Crop, Pixelate, Blur, Caption };

class CanvasBox {
public:
    CanvasBox(const TRect& box, TSize screen);

    const TRect& box() const { return box_; }
    void setBox(const TRect& box);

    // A press at p; reach is how far (in picture pixels) a handle catches.
    void press(TPoint p, int reach);
    // The mouse moved to p with the button held; true when the box changed.
    bool drag(TPoint p);
    void release() { grip_ = Grip::None; }
    bool dragging() const { return grip_ != Grip::None; }
    void nudge(int dx, int dy, bool resize);

    // Draws the box over the picture: the rest of the screen dimmed, the
    // outline in black and white dashes that show on any picture, the
    // handles and the size.  toWindow maps a picture rectangle to the window.
    void paint(QPainter& painter, const std::function<QRect(const TRect&)>& toWindow) const;

private:
    // What a drag moves: a new box, the whole box, or edges (a handle).
    enum class Grip { None, New, Move, Edges };
    TRect clamped(TRect r) const;

    TRect box_;
    TSize screen_;
    Grip grip_ = Grip::None;
    // For Edges: which edges follow the mouse.
    bool left_ = false, top_ = false, right_ = false, bottom_ = false;
    TPoint anchor_{0, 0};
    TRect start_;
};

}  // namespace movigram
