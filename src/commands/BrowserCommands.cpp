#include "BrowserCommands.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "FileCommands.h"

namespace movigram {

namespace {

namespace fs = std::filesystem;

bool exists(const std::string& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

void cannotOpen(Host& host, const std::string& path) {
    host.showMessage("File Error", "Cannot open file \"" + path + "\"", MessageIcon::None);
}

std::string escapeHtml(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

// A file made anew: an older one of that name goes first, and the new one
// is created exclusively without following a link, readable by its owner only.
bool writeNewFile(const std::string& path, const std::string& text) {
    ::unlink(path.c_str());
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += size_t(n);
    }
    return ::close(fd) == 0 && done == text.size();
}

std::string& previewFolderPath() {
    static std::string path;
    return path;
}

// Ours still: a real folder (not a link) of this user that only this user can enter.
bool isPrivateFolder(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & 077) == 0;
}

// The folder goes when the process ends normally.
struct PreviewFolderRemover {
    ~PreviewFolderRemover() { removePreviewFolder(); }
};

}  // namespace

std::string previewFolder() {
    std::string& path = previewFolderPath();  // made before the remover, so it outlives it
    static PreviewFolderRemover remover;
    if (!path.empty() && isPrivateFolder(path)) return path;
    path.clear();
    std::error_code ec;
    const fs::path temp = fs::temp_directory_path(ec);
    if (ec) return {};
    std::string pattern = (temp / "movigram-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) return {};
    path = pattern;
    return path;
}

void removePreviewFolder() {
    std::string& path = previewFolderPath();
    if (path.empty()) return;
    std::error_code ec;
    if (isPrivateFolder(path)) fs::remove_all(path, ec);
    path.clear();
}

bool showInBrowser(Host& host, DocumentLauncher& launcher, const std::string& page, const ProgramDocuments& docs) {
    if (!exists(page)) {
        cannotOpen(host, page);
        return false;
    }
    if (launcher.open(page)) return true;
    host.showMessage("Error", "Cannot locate your Internet browser", MessageIcon::Stop);
    showUseHelp(host, launcher, docs);
    return false;
}

bool showUseHelp(Host& host, DocumentLauncher& launcher, const ProgramDocuments& docs) {
    const std::string note = docs.useHelp();
    if (!exists(note)) {
        cannotOpen(host, note);
        return false;
    }
    if (launcher.open(note)) return true;
    host.showMessage("Error", "Failed to execute\n" + note, MessageIcon::Stop);
    return false;
}

std::string fileUrl(const std::string& path) {
    static const char hex[] = "0123456789ABCDEF";
    std::string url = "file://";
    for (unsigned char c : path) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                           c == '_' || c == '.' || c == '~' || c == '/';
        if (plain) {
            url += char(c);
        } else {
            url += '%';
            url += hex[c >> 4];
            url += hex[c & 15];
        }
    }
    return url;
}

std::string previewPageText(const std::string& gifPath, const std::string& title, int width, int height) {
    char tag[1024];
    std::snprintf(tag, sizeof tag, "<img src=\"%s\" width=%d height=%d>", fileUrl(gifPath).c_str(), width, height);
    return "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>" + escapeHtml(title) +
           " - Movigram preview</title>\n</head>\n<body>\n" + tag + "\n</body>\n</html>\n";
}

bool preview(Document& doc, DocumentLauncher& launcher, const ProgramDocuments& docs) {
    const std::optional<std::string> gif = previewFile(doc);
    if (!gif) return false;
    const std::string folder = previewFolder();
    if (folder.empty()) {
        std::error_code ec;
        doc.host().showMessage("File Error", "Failed to create directory\n" + fs::temp_directory_path(ec).string(),
                               MessageIcon::Stop);
        return false;
    }
    const std::string page = (fs::path(folder) / "$movigram-temp.html").string();
    const std::string text = previewPageText(fs::absolute(*gif).string(),
                                             doc.fileName.empty() ? "(Untitled)" : doc.fileName, doc.screenWidth,
                                             doc.screenHeight);
    if (!writeNewFile(page, text)) {
        doc.host().showMessage("File Error", "Cannot create file \"" + page + "\"", MessageIcon::Stop);
        return false;
    }
    return showInBrowser(doc.host(), launcher, page, docs);
}

}  // namespace movigram
