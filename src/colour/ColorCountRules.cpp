#include "ColorCountRules.h"

#include <algorithm>
#include <cctype>

#include "document/FrameChain.h"

namespace movigram {

namespace {
constexpr int powers[] = {2, 4, 8, 16, 32, 64, 128, 256};
}

int proposedColorCount(const Document& doc) {
    bool anyLocal = false;
    for (int i = 0; i < doc.frameList.count(); ++i)
        if (doc.frameList.frameAt(i)->localPalette) anyLocal = true;
    if (anyLocal) return 512;
    return std::max(doc.globalPalette ? doc.globalPalette->colorCount : 256, 2);
}

int initialColorCount(int proposed) {
    if (proposed > 256) return 256;
    int result = 2;
    for (int p : powers)
        if (p < proposed) result = p;
    return result;
}

int stepPowerOfTwo(int value, int direction) {
    if (direction > 0) {
        for (int p : powers)
            if (p > value) return p;
        return 256;
    }
    if (direction < 0) {
        for (int i = 7; i >= 0; --i)
            if (powers[i] < value) return powers[i];
        return 2;
    }
    return std::clamp(value, 2, 256);
}

int parseColorCount(const std::string& typed) {
    std::string text = typed.substr(0, 29);
    if (text.find(',') != std::string::npos)
        text.erase(std::remove_if(text.begin(), text.end(), [](unsigned char c) { return !std::isdigit(c); }),
                   text.end());
    size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
    long value = 0;
    for (; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])); ++at)
        value = std::min(value * 10 + (text[at] - '0'), 100000L);
    return std::clamp(int(negative ? -value : value), 2, 256);
}

}  // namespace movigram
