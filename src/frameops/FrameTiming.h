#pragma once
// Restore methods, frame rate and loop count.
#include <cstdint>
#include <optional>
#include <string>

#include "FrameSelection.h"

namespace movigram {

// The working values of the restore method dialog, one per frame: 1 restore
// to background, 0 do not restore, -1 a frame without image.
std::vector<int32_t> restoreWorkingValues(const Document& doc);
// OK of the dialog: records every frame under label, then every frame with an image
// restores to the background exactly when its value is 1; a transparent
// frame that does not restore becomes an overlay.  False when the values do
// not match the frames.
bool applyRestoreMethods(Document& doc, const std::vector<int32_t>& values, const std::string& label);
// The dialog's working values with the selected frames set to one method.
bool setRestoreMethod(Document& doc, FrameSelection selection, bool restoreToBackground,
                      const std::string& label);

// OK of the frame rate dialog: records the timing under label, gives every frame its
// repeat and every frame with an image msPerFrame.  False (nothing changed)
// when the values break a rule of frameRateProblem (NumberField.h) or the
// repeats do not match the frames.
bool applyFrameRate(Document& doc, int32_t msPerFrame, const std::vector<int32_t>& repeats,
                    const std::string& label);
// The same with the selected frames given one repeat and the others keeping
// theirs.
bool setFrameRate(Document& doc, int32_t msPerFrame, const std::string& label, FrameSelection selection = {},
                  std::optional<int32_t> repeat = std::nullopt);
// The read-outs of the dialog: "1,500" for 1500 ms, "14.29" frames per
// second for 70 ms.  The milliseconds of a frame are a time times a repeat,
// taken in 64 bits.
std::string formatMilliseconds(int64_t ms);
std::string formatFramesPerSecond(int32_t msPerFrame);

// Loop count (0 plays without end); a count other than 1 switches looping
// on.  False for a count outside 0..65535, which a GIF cannot hold.
bool setLoopCount(Document& doc, int32_t count);

}  // namespace movigram
