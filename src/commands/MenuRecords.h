#pragma once
// What the record files of the menus share: the enabling rules most
// commands use, the ranges of step values, and the step outcomes.
#include <climits>
#include <span>
#include <string>

#include "CommandTable.h"

namespace movigram::records {

std::span<const CommandInfo> fileMenu();
std::span<const CommandInfo> editMenu();
std::span<const CommandInfo> animationMenu();
std::span<const CommandInfo> framesMenu();
std::span<const CommandInfo> optionsMenu();
std::span<const CommandInfo> viewMenu();
std::span<const CommandInfo> effectsMenu();
std::span<const CommandInfo> helpMenu();

// The step of every effect of the effect table (StepForm::Effect).
extern const CliStep effectStep;

bool hasFrame(const Document& doc, const ViewState& view);
bool hasImageFrame(const Document& doc, const ViewState& view);
// Some frame of the animation has an image (whichever frame is current).
bool animationHasImage(const Document& doc, const ViewState& view);

// The values steps accept.
constexpr ValueRange offset{-65535, 65535};  // a move on the screen
constexpr ValueRange coordinate{0, 65535};   // a point of the screen
constexpr ValueRange extent{1, 65535};       // a width or height
constexpr ValueRange paletteIndex{0, 255};
constexpr ValueRange framePosition{0, INT32_MAX};
// Counts of new frames are checked against the memory they would take when
// the step runs.
constexpr ValueRange frameCount{1, INT32_MAX};
constexpr ValueRange degrees{-270, 270};
constexpr ValueRange loopCount{0, 65535};
constexpr ValueRange milliseconds{1, 655350};  // a GIF delay holds up to 655.35 s
constexpr ValueRange repeats{0, 65535};

inline StepOutcome failed(std::string message) { return {std::move(message), false}; }
inline StepOutcome wrongArgument(std::string message) { return {std::move(message), true}; }
// The program's message for an operation refused before it would pass the
// decoding limits.
StepOutcome outOfMemory();
// A frame position the document must have.
StepOutcome checkFrame(const Document& doc, int32_t n);
// A palette index of a step's first value.
StepOutcome checkColorIndex(int32_t index);
// Makes frame `index` current (where insertions happen).
void makeCurrent(Document& doc, int32_t index);
// Bytes of one full-screen frame.
uint64_t screenBytes(const Document& doc);

}  // namespace movigram::records
