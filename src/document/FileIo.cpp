#include "FileIo.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
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

namespace {

// The path a chain of symbolic links ends at (the path itself when it is no
// link); a link leading nowhere yet gives the file it names, which the save
// then creates.  A loop is left as it is, and the save refuses it.
std::string followLinks(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        std::string target(size_t(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
        const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        if (n <= 0 || size_t(n) >= target.size()) return path;
        target.resize(size_t(n));
        const size_t slash = path.find_last_of('/');
        path = target.front() == '/' || slash == std::string::npos ? target : path.substr(0, slash + 1) + target;
    }
    return path;
}

// Past the file-size limit the system stops the process with SIGXFSZ unless
// the signal is ignored; ignored, the write fails with EFBIG and the save
// cleans up.  A handler someone installed is left alone.
void ignoreFileSizeSignal() {
    struct sigaction current{};
    if (::sigaction(SIGXFSZ, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) std::signal(SIGXFSZ, SIG_IGN);
}

}  // namespace

AtomicFile::AtomicFile(std::string target) : target_(followLinks(std::move(target))) {}

AtomicFile::~AtomicFile() {
    if (file_) std::fclose(file_);
    if (!temp_.empty() && !committed_) ::unlink(temp_.c_str());
}

std::FILE* AtomicFile::open() {
    ignoreFileSizeSignal();
    struct stat st;
    const bool exists = stat(target_.c_str(), &st) == 0;
    // Links in a loop: the rename would replace the last link by a file.
    if (!exists && errno == ELOOP) {
        error_ = ELOOP;
        return nullptr;
    }
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
