#pragma once
// Rectangles and sizes on the logical screen: (left, top, right, bottom) with
// right and bottom exclusive.
#include <algorithm>
#include <cstdint>

namespace movigram {

struct TSize {
    int32_t width = 0;
    int32_t height = 0;
    friend bool operator==(const TSize&, const TSize&) = default;
};

struct TPoint {
    int32_t x = 0;
    int32_t y = 0;
    friend bool operator==(const TPoint&, const TPoint&) = default;
};

struct TRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    int32_t width() const { return right - left; }
    int32_t height() const { return bottom - top; }
    bool isEmpty() const { return left >= right || top >= bottom; }
    bool isNull() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
    int64_t area() const { return isEmpty() ? 0 : int64_t(width()) * height(); }

    bool contains(const TRect& r) const {
        return r.left >= left && r.top >= top && r.right <= right && r.bottom <= bottom;
    }
    bool touches(const TRect& r) const { return !intersected(r).isEmpty(); }

    TRect intersected(const TRect& r) const {
        return {std::max(left, r.left), std::max(top, r.top), std::min(right, r.right),
                std::min(bottom, r.bottom)};
    }
    // Union in the sense of the smallest rectangle holding both; an empty
    // operand adds nothing.
    TRect united(const TRect& r) const {
        if (r.isEmpty()) return *this;
        if (isEmpty()) return r;
        return {std::min(left, r.left), std::min(top, r.top), std::max(right, r.right),
                std::max(bottom, r.bottom)};
    }
    TRect moved(int32_t dx, int32_t dy) const { return {left + dx, top + dy, right + dx, bottom + dy}; }

    friend bool operator==(const TRect&, const TRect&) = default;
};

}  // namespace movigram
