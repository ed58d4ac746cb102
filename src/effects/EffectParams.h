#pragma once
// The parameters of the transition generators, held by the editor while it
// runs and handed to the effects dialog and the generators.
#include <cstdint>

namespace movigram {

struct EffectParams {
    int32_t solidColor = 0x212121;  // RGB, red in the low byte, then green, then blue
    int32_t solidIndex = 0;         // palette index of the solid colour; -1 when an RGB value was chosen
    int32_t msPerFrame = 100;       // frameTime of every generated frame
    int32_t frameCount = 5;
    int32_t cellWidth = 3;  // dissolve cells
    int32_t cellHeight = 3;
    int32_t firstEffect = 0;  // the range the command offers
    int32_t lastEffect = 1;
    int32_t effect = 0;
    int32_t firstDirection = 0;
    int32_t lastDirection = 0;
    int32_t direction = 0;
};

inline int32_t rgbValue(int red, int green, int blue) {
    return int32_t(uint32_t(red & 0xFF) | uint32_t(green & 0xFF) << 8 | uint32_t(blue & 0xFF) << 16);
}
inline int redOf(int32_t rgb) { return rgb & 0xFF; }
inline int greenOf(int32_t rgb) { return (rgb >> 8) & 0xFF; }
inline int blueOf(int32_t rgb) { return (rgb >> 16) & 0xFF; }

}  // namespace movigram
