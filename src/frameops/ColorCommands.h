#pragma once
// The colour commands of the Animation menu and the palette entry commands:
// picking the transparent and background colours, merging frames with the
// frames around them, building every frame to the full screen, and adding,
// changing and deleting palette entries.
#include <array>
#include <cstdint>
#include <string>

#include "document/Document.h"

namespace movigram {

// What a click on the image or on a palette swatch is for.
enum class PickMode : int32_t { None = 0, Transparent = 1, Background = 2, SolidColor = 5 };

// Transparent color: records the whole animation under label as the pick
// begins; the record stays even when the pick is abandoned.
void beginTransparentPick(Document& doc, const std::string& label);
// The palette index under an image point of the current frame, or -1 when
// the point lies outside it (which picks "no transparent colour").
int32_t pickedIndexAt(const Document& doc, TPoint point);
// Applies a picked index (-1..255) to the pending pick and rebuilds the
// chain.  Transparent: the current frame alone when it has a local palette,
// else the document and every frame on the global palette.  Background: the
// document and every frame with an image.  False for other modes or indices.
bool setPickedColor(Document& doc, PickMode mode, int32_t index);

// Merge background: the current frame becomes opaque and fills the
// transparent pixels of the transparent frames that follow it.  False when
// the current frame has no image.
bool mergeBackground(Document& doc, const std::string& label);
// Merge foreground: the current frame's opaque pixels are stamped onto every
// frame before it.  False when it has no image or no transparent index.
bool mergeForeground(Document& doc, const std::string& label);
// Every frame on the global palette becomes a full-screen picture of what
// the screen shows after it.
bool unoptimize(Document& doc, const std::string& label);

// The per-frame steps of the two merges, for any placement of the frames.
// Fills frame's transparent pixels that lie over background with its pixels;
// the frame turns opaque when none is left transparent.
void mergeUnderPlaced(TFrame& frame, const TFrame& background);
// Draws the opaque pixels of frame over background where they overlap.
void stampOver(TFrame& background, const TFrame& frame);

// The palette the palette window shows: the current frame's local palette,
// else the global palette (made when there is none).
TMyPalette& shownPalette(Document& doc);
// Add: appends a colour to the shown palette; its index, or -1 when the
// palette is full.  removeAddedEntry takes it back (the colour edit was
// cancelled).
int addPaletteEntry(Document& doc, PaletteEntry color = {});
void removeAddedEntry(Document& doc, int index);
// An edited entry: the shown palette takes all 256 entries; pixel values
// stay, so every pixel of a changed entry changes colour.
void replacePaletteEntries(Document& doc, const std::array<PaletteEntry, 256>& entries);
// Whether Delete can take the entry out: an index inside the shown palette
// and two colours left afterwards, since fixed mapping needs two.
bool canDeletePaletteEntry(const Document& doc, int index);
// Delete: the entry leaves the shown palette and the frames on it are mapped
// onto the rest, its pixels taking the nearest remaining colour.  False for
// an index outside the palette or a palette of two colours or fewer.
bool deletePaletteEntry(Document& doc, int index, const std::string& label);

}  // namespace movigram
