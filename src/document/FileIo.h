#pragma once
// Whole-file reading and the atomic save: a new file is written beside the
// target under a temporary name and renamed over it only when every byte
// reached the disk.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace movigram {

enum class ReadFileResult { Ok, CannotOpen, NoMemory };
ReadFileResult readWholeFile(const std::string& path, std::vector<uint8_t>& out);

// Size of a file in bytes, or -1 when it cannot be opened.
int64_t fileSizeOf(const std::string& path);

class AtomicFile {
public:
    explicit AtomicFile(std::string target);
    ~AtomicFile();  // discards the temporary file unless committed
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file; null when the folder is not writable.
    std::FILE* open();
    // Flushes, syncs and closes the temporary file; false on any error.
    bool close();
    // Renames the closed temporary file over the target.
    bool commit();

private:
    std::string target_;
    std::string temp_;
    std::FILE* file_ = nullptr;
    bool committed_ = false;
};

}  // namespace movigram
