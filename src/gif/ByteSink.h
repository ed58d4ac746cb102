#pragma once
// Buffered byte output, to a file, to memory, or only counted.  A failed
// file write is remembered; later writes are dropped.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <utility>
#include <vector>

namespace movigram {

struct CountOnly {};

class ByteSink {
public:
    // Collects everything in memory.
    ByteSink() = default;
    // Collects in memory, and fails once it holds more than limit bytes: a
    // writer that only competes on size gives up early.
    explicit ByteSink(size_t limit) : limit_(limit) {}
    // Writes through a buffer to an open file (not owned).
    explicit ByteSink(std::FILE* file) : file_(file), buffered_(file != nullptr) { buffer_.reserve(bufferSize); }
    // Keeps no bytes, only their count (size): what a write would take.
    explicit ByteSink(CountOnly) : buffered_(true) { buffer_.reserve(bufferSize); }
    ~ByteSink() = default;
    ByteSink(const ByteSink&) = delete;
    ByteSink& operator=(const ByteSink&) = delete;

    void put(uint8_t b) {
        if (buffered_ && buffer_.size() == bufferSize) flush();
        if (buffer_.size() >= limit_) return overLimit();
        buffer_.push_back(b);
    }
    void write(const uint8_t* p, size_t n) {
        if (buffered_ && buffer_.size() + n > bufferSize) flush();
        if (buffer_.size() + n > limit_) return overLimit();
        buffer_.insert(buffer_.end(), p, p + n);
    }
    void putLe16(uint32_t v) {
        put(uint8_t(v & 0xFF));
        put(uint8_t((v >> 8) & 0xFF));
    }
    // Hands the buffered bytes to the file (a counting sink counts them);
    // false once a write has failed.
    bool flush() {
        if (buffered_ && !file_) {
            handed_ += buffer_.size();
            buffer_.clear();
            return true;
        }
        if (!file_ || failed_) {
            if (file_) buffer_.clear();
            return !failed_;
        }
        if (!buffer_.empty() && std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) {
            failed_ = true;
            error_ = errno;
        }
        buffer_.clear();
        return !failed_;
    }
    bool failed() const { return failed_; }
    // The system's error number of the failed write.
    int error() const { return error_; }
    // The bytes collected by a memory sink.
    const std::vector<uint8_t>& bytes() const { return buffer_; }
    // The same, handed over: the sink is left empty.
    std::vector<uint8_t> take() { return std::move(buffer_); }
    // The bytes a counting sink was given.
    uint64_t size() const { return handed_ + buffer_.size(); }

private:
    void overLimit() {
        failed_ = true;
        buffer_.clear();
    }

    static constexpr size_t bufferSize = 64 * 1024;
    size_t limit_ = SIZE_MAX;
    std::FILE* file_ = nullptr;
    bool buffered_ = false;  // a file's or a counting sink's buffer is emptied when full
    uint64_t handed_ = 0;    // bytes a counting sink has emptied
    std::vector<uint8_t> buffer_;
    bool failed_ = false;
    int error_ = 0;
};

}  // namespace movigram
