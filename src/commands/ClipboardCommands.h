#pragma once
// Cut, Copy, Paste, Paste Append and Delete of the Edit menu, one frame at a
// time.  The editor moves the bytes to and from the system clipboard; what
// goes there and what a paste makes of it is decided here.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "document/Document.h"

namespace movigram {

// What Cut and Copy put on the clipboard: an image frame as the program's
// own format and as a bitmap, a comment frame as plain text (comment frames
// are not held, so pasting them back makes a new comment from the text).
struct ClipboardContent {
    std::vector<uint8_t> heldFrame;
    std::vector<uint8_t> bitmap;  // a Windows bitmap file
    std::optional<std::string> text;
};

// What the clipboard offers to a paste, in the order of preference.
struct PasteSource {
    std::span<const uint8_t> heldFrame;
    std::span<const uint8_t> bitmap;  // an image as a Windows bitmap file
    std::optional<std::string> text;
};

enum class PastePlace { BeforeSelected, AtEnd };

// The current frame as it goes to the clipboard; nothing without one.
std::optional<ClipboardContent> copyFrame(const Document& doc);
// Copy, then the selected frame is removed (recorded under label); the frame
// that takes its place (or the new last one) is selected.  Nothing without a
// current frame and a selected one.
std::optional<ClipboardContent> cutFrame(Document& doc, const std::string& label);
// Removes the selected frame as Cut does, without touching the clipboard.
bool deleteFrame(Document& doc, const std::string& label);

// Paste (before the selected frame, or at the end when none is selected) and
// Paste Append.  The program's own format is preferred, then a bitmap, then
// text.  A bitmap is named "Clipboard %d" after pasteCounter, which then
// grows; a deep-colour bitmap is reduced to 256 colours first.  Colours
// enter the document by the paste rule of the reading policies.  Recorded
// under label with the global palette as it was; when the paste rebuilds one
// optimised palette for all frames, that rebuild is recorded after it as a
// step of Reduce color depth.  False when nothing was pasted.
bool pasteFrame(Document& doc, const PasteSource& source, PastePlace place, int32_t& pasteCounter,
                const std::string& label);

}  // namespace movigram
