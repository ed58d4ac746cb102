#include "FileIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <new>

namespace movigram {

ReadFileResult readWholeFile(const std::string& path, std::vector<uint8_t>& out) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return ReadFileResult::CannotOpen;
    struct stat st;
    if (fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode)) {
        std::fclose(f);
        return ReadFileResult::CannotOpen;
    }
    try {
        out.resize(size_t(st.st_size));
    } catch (const std::bad_alloc&) {
        std::fclose(f);
        return ReadFileResult::NoMemory;
    }
    const size_t got = std::fread(out.data(), 1, out.size(), f);
    out.resize(got);
    std::fclose(f);
    return ReadFileResult::Ok;
}

int64_t fileSizeOf(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
    return int64_t(st.st_size);
}

AtomicFile::AtomicFile(std::string target) : target_(std::move(target)) {}

AtomicFile::~AtomicFile() {
    if (file_) std::fclose(file_);
    if (!temp_.empty() && !committed_) ::unlink(temp_.c_str());
}

std::FILE* AtomicFile::open() {
    struct stat st;
    const bool exists = stat(target_.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) {
        error_ = EISDIR;
        return nullptr;
    }
    if (exists && !S_ISREG(st.st_mode)) {
        inPlace_ = true;
        file_ = std::fopen(target_.c_str(), "wb");
        if (!file_) fail();
        return file_;
    }
    std::string pattern = target_ + ".XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        fail();
        return nullptr;
    }
    temp_ = pattern;
    // Keep the permissions of the file being replaced; a new file gets the
    // usual ones.
    if (exists) {
        ::fchmod(fd, st.st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    file_ = ::fdopen(fd, "wb");
    if (!file_) {
        fail();
        ::close(fd);
    }
    return file_;
}

bool AtomicFile::close() {
    if (!file_) return false;
    bool ok = std::fflush(file_) == 0 || fail();
    // A pipe or a terminal cannot be synced, and need not be.
    if (!inPlace_) ok = (::fsync(fileno(file_)) == 0 || fail()) && ok;
    ok = (std::fclose(file_) == 0 || fail()) && ok;
    file_ = nullptr;
    return ok;
}

bool AtomicFile::commit() {
    if (file_ || (temp_.empty() && !inPlace_)) return false;
    if (!inPlace_ && ::rename(temp_.c_str(), target_.c_str()) != 0) return fail();
    committed_ = true;
    return true;
}

}  // namespace movigram
