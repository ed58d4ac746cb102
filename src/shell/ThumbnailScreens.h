#pragma once
// The frame list's pictures, composed away from the window's thread.  A
// thumbnail shows the screen as browsers show it after its frame, at one
// point of the screen per thumbnail pixel (the grid).  The window's thread
// copies what the frames show at those points (FrameSamples) and hands the
// copies to the worker, which draws them over the points before them; the
// worker never reads a frame the person may be editing.
#include <QImage>
#include <QSize>
#include <cstdint>
#include <vector>

#include "document/TFrame.h"
#include "document/ViewerCanvas.h"

namespace movigram {

// The points of the screen each thumbnail pixel shows: the screen fitted
// into the box, at least one pixel each way.
struct SampleGrid {
    std::vector<int32_t> xs, ys;

    static SampleGrid fitting(TSize screen, QSize box);
    size_t size() const { return xs.size() * ys.size(); }
    friend bool operator==(const SampleGrid&, const SampleGrid&) = default;
};

// The grid's points, row by row; alpha 0 where nothing shows.
using ScreenPoints = std::vector<Rgba>;

// A frame at the grid's points: the block of points its image covers, in
// colour, alpha 0 where the frame is transparent.
struct FrameSamples {
    size_t left = 0, top = 0, right = 0, bottom = 0;  // grid columns and rows, right and bottom exclusive
    std::vector<Rgba> colors;
    bool clears = false;  // restored to the background after it is shown

    // Sampled with the colours browsers show (ViewerCanvas::colorOf).
    static FrameSamples of(const TFrame& frame, const TMyPalette* global, const SampleGrid& grid);
    // Sampled with the colours of the frame's own patch picture: its
    // palette's 256 entries, or its image's colour table without one.
    static FrameSamples patchOf(const TFrame& frame, const TMyPalette* global, const SampleGrid& grid);
};

// The frame drawn over the points, then, with dispose, what it leaves for
// the frame after it.
void showSamples(const FrameSamples& frame, const SampleGrid& grid, ScreenPoints& points, bool dispose);

// The finished pictures, box-sized with the grid in the middle: the screen
// with a checkerboard where nothing shows; a frame's own patch with a
// checkerboard where it is transparent and gray outside it.
QImage screenThumbnail(const ScreenPoints& points, const SampleGrid& grid, QSize box);
QImage patchThumbnail(const FrameSamples& frame, const SampleGrid& grid, QSize box);

}  // namespace movigram
