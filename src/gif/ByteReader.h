#pragma once
// A bounds-checked cursor over bytes in memory.  Every read says whether the
// bytes were there; nothing is read past the end.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace movigram {

class ByteReader {
public:
    explicit ByteReader(std::span<const uint8_t> data) : data_(data) {}

    size_t position() const { return pos_; }
    size_t size() const { return data_.size(); }
    size_t remaining() const { return data_.size() - pos_; }
    bool atEnd() const { return pos_ >= data_.size(); }

    bool readByte(uint8_t& out) {
        if (pos_ >= data_.size()) return false;
        out = data_[pos_++];
        return true;
    }
    bool read(void* out, size_t n) {
        if (n > remaining()) return false;
        std::memcpy(out, data_.data() + pos_, n);
        pos_ += n;
        return true;
    }
    // A view of the next n bytes, consumed; empty span when fewer remain.
    std::span<const uint8_t> take(size_t n) {
        if (n > remaining()) return {};
        auto view = data_.subspan(pos_, n);
        pos_ += n;
        return view;
    }
    bool skip(size_t n) {
        if (n > remaining()) return false;
        pos_ += n;
        return true;
    }
    static uint16_t le16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }

private:
    std::span<const uint8_t> data_;
    size_t pos_ = 0;
};

}  // namespace movigram
