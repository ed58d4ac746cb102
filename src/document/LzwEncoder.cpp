#include "LzwEncoder.h"

#include <algorithm>

namespace movigram {

LzwEncoder::LzwEncoder() : slots_(slotCount, emptySlot) {}

void LzwEncoder::encode(const uint8_t* firstRow, std::ptrdiff_t rowStep, uint32_t width,
                        uint32_t height, int minCodeSize, ByteSink& out) {
    const uint32_t clearCode = 1u << minCodeSize;
    const uint32_t endCode = clearCode + 1;
    uint32_t codeSize = minCodeSize + 1;
    uint32_t maxCode = 1u << codeSize;
    uint32_t nextFree = clearCode + 2;

    data_.clear();
    data_.reserve(size_t(width) * height / 2 + 64);
    uint64_t acc = 0;
    uint32_t bits = 0;
    auto emit = [&](uint32_t code) {
        acc |= uint64_t(code) << bits;
        bits += codeSize;
        while (bits >= 8) {
            data_.push_back(uint8_t(acc));
            acc >>= 8;
            bits -= 8;
        }
    };
    auto resetTable = [&] {
        std::fill(slots_.begin(), slots_.end(), emptySlot);
        codeSize = minCodeSize + 1;
        maxCode = 1u << codeSize;
        nextFree = clearCode + 2;
    };

    out.put(uint8_t(minCodeSize));
    resetTable();
    emit(clearCode);

    if (width > 0 && height > 0) {
        uint32_t prefix = firstRow[0];
        for (uint32_t y = 0; y < height; ++y) {
            const uint8_t* row = firstRow + std::ptrdiff_t(y) * rowStep;
            for (uint32_t x = y == 0 ? 1 : 0; x < width; ++x) {
                const uint32_t c = row[x];
                const uint32_t key = prefix << 8 | c;
                uint32_t h = (key * 2654435761u) >> (32 - slotBits);
                uint32_t slot;
                while ((slot = slots_[h]) != emptySlot && slot >> 12 != key) h = (h + 1) & (slotCount - 1);
                if (slot != emptySlot) {
                    prefix = slot & 0xFFF;
                    continue;
                }
                emit(prefix);
                // Code 4096 is assigned only to be thrown away with the table.
                if (nextFree < 4096) slots_[h] = key << 12 | nextFree;
                ++nextFree;
                if (nextFree == maxCode + 1) {
                    if (codeSize > 11) {
                        emit(clearCode);
                        resetTable();
                    } else {
                        ++codeSize;
                        maxCode = 1u << codeSize;
                    }
                }
                prefix = c;
            }
        }
        emit(prefix);
    }
    emit(endCode);
    if (bits > 0) data_.push_back(uint8_t(acc));

    for (size_t at = 0; at < data_.size(); at += 255) {
        const size_t n = std::min<size_t>(255, data_.size() - at);
        out.put(uint8_t(n));
        out.write(data_.data() + at, n);
    }
    out.put(0);
}

}  // namespace movigram
