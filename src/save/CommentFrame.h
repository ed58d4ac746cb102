#pragma once
// The comment that a saved animation carries in front of its frames.
#include <string>
#include <string_view>

#include "document/FrameList.h"

namespace movigram {

// The program's comment text (at most 193 characters).
std::string_view programComment();

// Puts a comment frame with the program's comment at list position 0 when the
// animation has more than one frame and does not already start with one (a
// comment agreeing up to and including "GIF V" counts as the program's).
// Relinks the frames; returns true when a frame was inserted.
bool ensureCommentFrame(FrameList& list, bool loop);

}  // namespace movigram
