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
    std::string pattern = target_ + ".XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) return nullptr;
    temp_ = pattern;
    // Keep the permissions of the file being replaced; a new file gets the
    // usual ones.
    struct stat st;
    if (stat(target_.c_str(), &st) == 0) {
        ::fchmod(fd, st.st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    file_ = ::fdopen(fd, "wb");
    if (!file_) ::close(fd);
    return file_;
}

bool AtomicFile::close() {
    if (!file_) return false;
    bool ok = std::fflush(file_) == 0;
    ok = ::fsync(fileno(file_)) == 0 && ok;
    ok = std::fclose(file_) == 0 && ok;
    file_ = nullptr;
    return ok;
}

bool AtomicFile::commit() {
    if (file_ || temp_.empty()) return false;
    if (::rename(temp_.c_str(), target_.c_str()) != 0) return false;
    committed_ = true;
    return true;
}

}  // namespace movigram
