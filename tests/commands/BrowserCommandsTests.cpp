// Preview's private folder and page, and the timing web browsers use.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "commands/BrowserCommands.h"
#include "commands/FileCommands.h"
#include "support/GifBuilder.h"
#include "support/RecordingHost.h"

namespace movigram {
namespace {

namespace fs = std::filesystem;

struct RecordingLauncher : DocumentLauncher {
    std::vector<std::string> opened;
    bool open(const std::string& path) override {
        opened.push_back(path);
        return true;
    }
};

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(BrowserTiming, DelaysOfOneHundredthOrLessPlayAsATenth) {
    for (auto [delay, shown] : {std::pair{0, 100}, {10, 100}, {11, 11}, {20, 20}, {100, 100}, {655350, 655350}})
        EXPECT_EQ(browserFrameDelay(delay), shown) << delay;
}

// The folder is this user's alone, comes back when it went, and goes when
// asked; the page in it is made anew, never written through a link.
TEST(PreviewFolder, PrivateMadeAgainWhenGoneAndThePageFollowsNoLink) {
    const fs::path dir = fs::temp_directory_path() / ("movigram-browser-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    test::GifBuilder gif(8, 6, 4);
    gif.control(10).image(0, 0, 8, 6, std::vector<uint8_t>(48, 1)).trailer();
    const fs::path file = dir / "a.gif";
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(gif.bytes().data()), std::streamsize(gif.bytes().size()));
    test::RecordingHost host;
    Document doc(&host);
    openFiles(doc, {file.string()});
    doc.modified = true;  // so that the GIF is written too

    const std::string folder = previewFolder();
    ASSERT_FALSE(folder.empty());
    struct stat st;
    ASSERT_EQ(::lstat(folder.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(fs::path(folder).parent_path(), fs::temp_directory_path());

    // A link where the page goes: the page replaces the link, the target stays.
    const fs::path target = dir / "target.txt";
    std::ofstream(target) << "mine";
    fs::create_symlink(target, fs::path(folder) / "$movigram-temp.html");
    RecordingLauncher launcher;
    ASSERT_TRUE(preview(doc, launcher, ProgramDocuments{dir.string()}));
    ASSERT_EQ(launcher.opened.size(), 1u);
    EXPECT_EQ(launcher.opened[0], (fs::path(folder) / "$movigram-temp.html").string());
    EXPECT_FALSE(fs::is_symlink(launcher.opened[0]));
    EXPECT_EQ(readText(target), "mine");
    EXPECT_NE(readText(launcher.opened[0]).find(fileUrl((fs::path(folder) / "$movigram-temp.gif").string())),
              std::string::npos);

    removePreviewFolder();
    EXPECT_FALSE(fs::exists(folder));
    const std::string again = previewFolder();
    EXPECT_TRUE(fs::is_directory(again));
    removePreviewFolder();
    fs::remove_all(dir);
}

}  // namespace
}  // namespace movigram
