#include "ProgramDocuments.h"

#include <cstdio>
#include <filesystem>

namespace movigram {

namespace fs = std::filesystem;

std::string findDataFolder(const std::string& programFolder) {
    const fs::path program(programFolder);
    const fs::path installed = (program / ".." / "share" / "movigram").lexically_normal();
    const fs::path buildTree = (program / ".." / ".." / "share" / "movigram").lexically_normal();
    std::error_code ec;
    if (fs::is_directory(installed, ec)) return installed.string();
    if (fs::is_directory(buildTree, ec)) return buildTree.string();
    return installed.string();
}

std::string ProgramDocuments::helpPage(CommandId id) const {
    const char* page = id == CommandId::HelpEnglish  ? "help.html"
                       : id == CommandId::HelpFrench  ? "help-fren.html"
                       : id == CommandId::HelpSpanish ? "help-span.html"
                                                      : nullptr;
    return page ? (fs::path(folder) / "help" / page).string() : std::string();
}

std::string ProgramDocuments::useHelp() const { return (fs::path(folder) / "usehelp.txt").string(); }

std::string ProgramDocuments::aboutPicture() const { return (fs::path(folder) / "movigram.pcx").string(); }

std::string htmlCode(const Document& doc) {
    char text[1024];
    std::snprintf(text, sizeof text, "<img src=\"%s\" width=%d height=%d>", doc.fileName.c_str(),
                  int(doc.screenWidth), int(doc.screenHeight));
    return text;
}

TRect picturePlace(TSize picture, TSize button) {
    if (picture.width <= 0 || picture.height <= 0) return {};
    TSize shown = picture;
    if (picture.width > button.width || picture.height > button.height) {
        // Divided by the larger ratio: width * button.width / picture.width
        // when the width ratio is the larger one, and so on.
        const bool byWidth = int64_t(picture.width) * button.height >= int64_t(picture.height) * button.width;
        shown = byWidth ? TSize{button.width, int32_t(int64_t(picture.height) * button.width / picture.width)}
                        : TSize{int32_t(int64_t(picture.width) * button.height / picture.height), button.height};
    }
    const int32_t left = (button.width - shown.width) / 2, top = (button.height - shown.height) / 2;
    return {left, top, left + shown.width, top + shown.height};
}

std::string versionText() {
    return std::string(MOVIGRAM_VERSION) + " (" + std::to_string(sizeof(void*) * 8) + " bit)";
}

std::string aboutCaption() {
    char text[256];
    std::snprintf(text, sizeof text, "%sVersion %s", "", versionText().c_str());
    return text;
}

}  // namespace movigram
