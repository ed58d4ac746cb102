#pragma once
// The grammar of scripted edits, as the command-line tool takes them: a list
// of steps, each an operation name with a frame selection and parameters,
// applied in order to one document.
//
//   --NAME [FRAMES:]VALUES
//
// FRAMES is "all" or a comma-separated list of positions and ranges ("2",
// "0-3", "1,4,6-9"), counted from 0 when the step runs.  VALUES are
// comma-separated integers, each in the range its step allows (offsets and
// rectangles within the GIF's 16-bit coordinates, palette indices 0..255),
// with a few words where an operation takes one ("align", "background",
// "none").  Effects take "[FRAME:]COUNT" followed by ",key=value" options.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "frameops/FrameSelection.h"

namespace movigram::cli {

struct FrameSpec {
    bool all = false;
    std::vector<std::pair<int32_t, int32_t>> ranges;  // inclusive
    // The positions for a document of count frames; an error names a
    // position beyond the last frame.
    bool resolve(int32_t count, FrameSelection& selection, std::string& error) const;
};

struct EditStep {
    std::string name;  // without the leading "--"
    std::optional<FrameSpec> frames;
    std::vector<int32_t> values;
    std::string word;                            // the operation's keyword, when it took one
    std::map<std::string, std::string> options;  // effects: key=value
};

struct EditScript {
    std::vector<EditStep> steps;
    std::string error;  // empty when the whole script was understood
};

// Parses "--name argument" pairs (and the steps that take no argument).
EditScript parseEditScript(const std::vector<std::string>& args);
// Parses "all", "3", "0-4,7".
std::optional<FrameSpec> parseFrameSpec(const std::string& text);
// The steps and their arguments, for --help.
std::string editScriptHelp();

}  // namespace movigram::cli
