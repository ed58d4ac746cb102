#pragma once
// Whole-file reading and the atomic save: a new file is written beside the
// target under a temporary name and renamed over it only when every byte
// reached the disk.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace movigram {

enum class ReadFileResult { Ok, CannotOpen, NoMemory };
ReadFileResult readWholeFile(const std::string& path, std::vector<uint8_t>& out);

// Size of a file in bytes, or -1 when it cannot be opened.
int64_t fileSizeOf(const std::string& path);

// A symbolic link is saved through: the file it leads to is replaced (its
// temporary file made in that file's folder) and the link stays.  The
// temporary file goes on every failure, a write stopped by the file-size
// limit included (SIGXFSZ is ignored once a save starts, so that such a
// write fails like any other instead of ending the program mid-save).
class AtomicFile {
public:
    explicit AtomicFile(std::string target);
    ~AtomicFile();  // discards the temporary file unless committed
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file; null when the folder is not writable or
    // the target is a folder.  A target that exists and is no regular file
    // (a device, a pipe) is written in place: a rename would replace the
    // device node itself.
    std::FILE* open();
    // Flushes, syncs and closes the temporary file; false on any error.
    bool close();
    // Renames the closed temporary file over the target.
    bool commit();
    // The system's error number of the step that failed (0 when none did).
    int error() const { return error_; }

private:
    bool fail() {
        if (!error_) error_ = errno;
        return false;
    }

    std::string target_;  // the file written: the path given, its links followed
    std::string temp_;
    std::FILE* file_ = nullptr;
    bool inPlace_ = false;
    bool committed_ = false;
    int error_ = 0;
};

}  // namespace movigram
