#pragma once
// How the numeric fields of the frame and effect dialogs read their text,
// and the ranges the values they combine must keep.  A field reads any
// 32-bit number; what the dialogs make of several fields (a time times a
// repeat, a corner plus a size) is checked here in 64 bits before it is used.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "document/Document.h"

namespace movigram {

// The value of a numeric field: at most its first 30 characters are read,
// as a decimal integer after leading blanks and an optional sign, up to the
// first character that is not a digit.  A text holding a comma carries the
// thousands separators the arrows write ("2,500"): its characters other
// than digits are dropped first, except a leading minus sign.  No range is
// applied beyond that of int32_t; an empty or unreadable text reads 0.
int32_t readNumberField(std::string_view text);

// The longest a GIF shows a frame: 65535 hundredths of a second.
inline constexpr int64_t maxFrameDisplayMs = 655350;

// Why the frame rate dialog's values cannot be applied, or empty: the
// milliseconds per frame from 1 to maxFrameDisplayMs, no negative repeat,
// and no frame with an image shown longer than a GIF can say
// (milliseconds x repeat).  repeats: one per frame.
std::string frameRateProblem(const Document& doc, int32_t msPerFrame, const std::vector<int32_t>& repeats);

// The rectangle of the offset dialog's fields, its edges computed in 64 bits
// by the caller (left + width, or the edge kept).  None when an edge lies
// beyond what any frame operation can use (a GIF places frames from 0 to
// 65535; a shift moves them at most that far), so that the rectangle and the
// moves taken from it always fit in 32 bits.
std::optional<TRect> rectFromFields(int64_t left, int64_t top, int64_t right, int64_t bottom);

}  // namespace movigram
