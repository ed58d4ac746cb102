#include "NumberField.h"

#include <algorithm>
#include <limits>
#include <string>

namespace movigram {

int32_t readNumberField(std::string_view text) {
    text = text.substr(0, std::min<size_t>(text.size(), 30));
    std::string kept;
    if (text.find(',') != std::string_view::npos) {
        // A minus typed before a separated number belongs to it ("-1,000").
        const size_t start = text.find_first_not_of(" \t");
        if (start != std::string_view::npos && text[start] == '-') kept.push_back('-');
        for (char c : text)
            if (c >= '0' && c <= '9') kept.push_back(c);
    } else {
        kept.assign(text.begin(), text.end());
    }
    size_t i = kept.find_first_not_of(" \t");
    if (i == std::string::npos) return 0;
    bool negative = false;
    if (kept[i] == '+' || kept[i] == '-') negative = kept[i++] == '-';
    int64_t value = 0;
    constexpr int64_t limit = int64_t(std::numeric_limits<int32_t>::max()) + 1;
    for (; i < kept.size() && kept[i] >= '0' && kept[i] <= '9'; ++i)
        value = std::min(value * 10 + (kept[i] - '0'), limit);
    if (negative) return int32_t(-value);
    return int32_t(std::min<int64_t>(value, std::numeric_limits<int32_t>::max()));
}

}  // namespace movigram

namespace movigram {

namespace {

// "1,234,000"
std::string withSeparators(int64_t value) {
    std::string digits = std::to_string(value < 0 ? -value : value);
    for (int i = int(digits.size()) - 3; i > 0; i -= 3) digits.insert(size_t(i), ",");
    return value < 0 ? "-" + digits : digits;
}

}  // namespace

std::string frameRateProblem(const Document& doc, int32_t msPerFrame, const std::vector<int32_t>& repeats) {
    if (msPerFrame < 1 || msPerFrame > maxFrameDisplayMs)
        return "The milliseconds per frame must be from 1 to " + withSeparators(maxFrameDisplayMs) + ".";
    const FrameList& list = doc.frameList;
    for (size_t i = 0; i < repeats.size(); ++i) {
        if (repeats[i] < 0) return "A repeat count cannot be negative.";
        const TFrame* frame = int(i) < list.count() ? list.frameAt(int(i)) : nullptr;
        const int64_t shown = int64_t(msPerFrame) * repeats[i];
        if (frame && frame->hasImage() && shown > maxFrameDisplayMs)
            return "\"" + list.textAt(int(i)) + "\" would be shown for " + withSeparators(shown) +
                   " milliseconds; a GIF shows a frame for at most " + withSeparators(maxFrameDisplayMs) + ".";
    }
    return {};
}

std::optional<TRect> rectFromFields(int64_t left, int64_t top, int64_t right, int64_t bottom) {
    constexpr int64_t reach = 2 * 65535;
    for (int64_t edge : {left, top, right, bottom})
        if (edge < -reach || edge > reach) return std::nullopt;
    return TRect{int32_t(left), int32_t(top), int32_t(right), int32_t(bottom)};
}

}  // namespace movigram
