#pragma once
// The canvas zoom: 1 is true size, 2 to 4 magnify by that factor, -2 to -4
// shrink by it; 0 and -1 never occur.
#include <QString>

namespace movigram {

inline int toWindow(int v, int zoom) { return zoom > 1 ? v * zoom : zoom < -1 ? v / -zoom : v; }
inline int toImage(int v, int zoom) { return zoom > 1 ? v / zoom : zoom < -1 ? v * -zoom : v; }

// Zoom in stops at 4; -2 goes to 1.  Zoom out stops at -4; 1 goes to -2.
inline int zoomedIn(int zoom) { return zoom > 3 ? zoom : zoom == -2 ? 1 : zoom + 1; }
inline int zoomedOut(int zoom) { return zoom < -3 ? zoom : zoom == 1 ? -2 : zoom - 1; }

// "1:2" for zoom 2, "3:1" for zoom -3.
inline QString ratioText(int zoom) {
    return zoom <= 0 ? QString::asprintf("%d:1", -zoom) : QString::asprintf("1:%d", zoom);
}

}  // namespace movigram
