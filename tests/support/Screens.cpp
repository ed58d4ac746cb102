#include "Screens.h"

#include <cstdlib>

#include "document/Compose.h"
#include "document/FrameChain.h"

namespace movigram::test {

std::vector<Screen> screensOf(TFrame* first, const TMyPalette* global, TSize size, Semantics semantics) {
    ViewerCanvas canvas(size.width, size.height);
    // The program starts from a filled screen; a viewer from an empty one.
    if (semantics == Semantics::Program) canvas.clear({0, 0, size.width, size.height});
    std::vector<Screen> raw;
    forEachInChain(first, [&](TFrame& frame) {
        if (!frame.image) return;
        canvas.draw(frame, global);
        raw.push_back({canvas.pixels(), int64_t(frame.frameTime) * frame.repeat});
        if (!frame.restoreToBackground) return;
        if (semantics == Semantics::Viewer) {
            canvas.clear(frame.rect);
            return;
        }
        const Rgba fill = ViewerCanvas::colorOf(frame, global, uint8_t(fillColorOf(frame)));
        const TRect r = frame.rect.intersected({0, 0, size.width, size.height});
        for (int32_t y = r.top; y < r.bottom; ++y)
            for (int32_t x = r.left; x < r.right; ++x) canvas.at(x, y) = fill;
    });
    return settledScreens(std::move(raw));
}

std::vector<Screen> settledScreens(std::vector<Screen> drawn) {
    std::vector<Screen> screens;
    for (Screen& s : drawn) {
        if (s.ms == 0) continue;
        if (!screens.empty() && screens.back().pixels == s.pixels) screens.back().ms += s.ms;
        else screens.push_back(std::move(s));
    }
    return screens;
}

std::string compareScreens(const std::vector<Screen>& want, const std::vector<Screen>& got, int32_t width) {
    if (want.size() != got.size())
        return "screen count " + std::to_string(got.size()) + ", expected " + std::to_string(want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        if (want[i].ms != got[i].ms)
            return "screen " + std::to_string(i) + " lasts " + std::to_string(got[i].ms) + " ms, expected " +
                   std::to_string(want[i].ms);
        for (size_t p = 0; p < want[i].pixels.size(); ++p)
            if (want[i].pixels[p] != got[i].pixels[p]) {
                const Rgba &a = want[i].pixels[p], &b = got[i].pixels[p];
                return "screen " + std::to_string(i) + " differs at (" + std::to_string(int32_t(p) % width) + "," +
                       std::to_string(int32_t(p) / width) + "): " + std::to_string(b.r) + "," + std::to_string(b.g) +
                       "," + std::to_string(b.b) + "," + std::to_string(b.a) + " expected " + std::to_string(a.r) +
                       "," + std::to_string(a.g) + "," + std::to_string(a.b) + "," + std::to_string(a.a);
            }
    }
    return {};
}

std::string pythonWithPillow() {
    for (const char* candidate : {"/usr/bin/python3", "python3"})
        if (std::system((std::string(candidate) + " -c 'import PIL' >/dev/null 2>&1").c_str()) == 0) return candidate;
    return {};
}

}  // namespace movigram::test
