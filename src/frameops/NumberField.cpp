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
