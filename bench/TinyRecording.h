#pragma once
// A generated recording of many tiny frames: a 64 x 64 screen on a
// 16-colour palette, frame i a 4 x 4 square at a place and in a colour that
// change from frame to frame, as a recording of a moving pointer does.
// Each frame is shown for 40 ms and left in place.
#include <string>

namespace movigram::bench {

bool writeTinyRecording(const std::string& path, int frames);

}  // namespace movigram::bench
