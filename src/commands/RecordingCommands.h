#pragma once
// A finished screen recording enters the document the way a video file
// does: as a new document of its own, or inserted into the one open.  The
// recorder (a level above) makes the frames; only the thread that owns the
// document calls this.
#include <string>

#include "FileCommands.h"
#include "document/FrameChain.h"

namespace movigram {

// Places the recording's frames: position ReplaceDocument makes them the
// whole document, titled "<name>.gif", looping without end and marked
// modified (a recording has no file yet); AppendToDocument adds them after the last frame; any other
// position inserts them before that frame.  The frames go through the
// document's palette reading policy like the frames of a video.  Does
// nothing with an empty chain.
void placeRecording(Document& doc, int position, FrameChain frames, const std::string& name);

}  // namespace movigram
