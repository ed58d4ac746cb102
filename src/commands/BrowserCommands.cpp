#include "BrowserCommands.h"

#include <filesystem>
#include <fstream>

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

}  // namespace

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
    std::error_code ec;
    const fs::path temp = fs::temp_directory_path(ec);
    if (ec) {
        doc.host().showMessage("File Error", "Failed to create directory\n" + temp.string(), MessageIcon::Stop);
        return false;
    }
    const std::string page = (temp / "$movigram-temp.html").string();
    {
        std::ofstream out(page, std::ios::binary | std::ios::trunc);
        out << previewPageText(fs::absolute(*gif).string(), doc.fileName.empty() ? "(Untitled)" : doc.fileName,
                               doc.screenWidth, doc.screenHeight);
        if (!out.flush()) {
            doc.host().showMessage("File Error", "Cannot create file \"" + page + "\"", MessageIcon::Stop);
            return false;
        }
    }
    return showInBrowser(doc.host(), launcher, page, docs);
}

}  // namespace movigram
