#pragma once
// What the last recording recorded and how; kept with the settings.
#include <QRect>
#include <QString>
#include <cstdint>

namespace movigram {

struct RecordChoice {
    enum Kind { Region, Window, WholeScreen } kind = WholeScreen;
    QRect region;           // Region; and the window's rectangle when chosen
    uint32_t windowId = 0;  // Window (not kept across runs: ids change)
    QString windowTitle;
    int fps = 15;           // 5..30
    bool pointer = true;
    int delaySeconds = 0;   // 0..10
    bool insert = false;    // at the current frame, instead of a new animation

    static constexpr int lowestFps = 5;
    static constexpr int highestFps = 30;
    static constexpr int longestDelay = 10;
};

}  // namespace movigram
