#pragma once
// Generated recordings the benches open and save, written as GIF files.
#include <functional>
#include <string>

#include "gif/ByteSink.h"

namespace movigram::bench {

// Writes to path what write puts in the sink; false when the file could
// not be written.
bool writeGifFile(const std::string& path, const std::function<void(ByteSink&)>& write);

// Many tiny frames: a 64 x 64 screen on a 16-colour palette, frame i a
// 4 x 4 square at a place and in a colour that change from frame to frame,
// as a recording of a moving pointer does.  Each frame is shown for 40 ms
// and left in place.
bool writeTinyRecording(const std::string& path, int frames);

// A 1920 x 1080 recording on a 64-colour palette.  Screen-like: the first
// frame whole, then an 800 x 450 window whose contents scroll.
// Full-motion: every frame whole, a blocky pattern moving across it.
// Full screens: the screen-like recording with every frame whole, as a
// recorder that does not crop writes it.
enum class HdKind { ScreenLike, FullMotion, FullScreens };
bool writeHdRecording(const std::string& path, int frames, HdKind kind);
const char* hdKindName(HdKind kind);

// An 800 x 600 screen on 256 colours; every frame whole, a pattern of bands
// and rings that moves and changes from frame to frame, as an exported
// video clip is.
bool writeLargeRecording(const std::string& path, int frames);

}  // namespace movigram::bench
