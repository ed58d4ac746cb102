// The atomic save: what it writes through links, and what it leaves behind
// when the write fails.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "document/FileIo.h"

namespace movigram {
namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool save(const std::string& path, const std::string& text) {
    AtomicFile file(path);
    std::FILE* out = file.open();
    if (!out) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    return file.close() && written && file.commit();
}

class FileIo : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("movigram-fileio-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir / "real");
    }
    void TearDown() override { fs::remove_all(dir); }
    // Every file in the tree, links included, by path relative to dir.
    std::vector<std::string> files() const {
        std::vector<std::string> names;
        for (const auto& e : fs::recursive_directory_iterator(dir))
            if (!fs::is_directory(e.symlink_status())) names.push_back(e.path().lexically_relative(dir).string());
        std::sort(names.begin(), names.end());
        return names;
    }
    fs::path dir;
};

TEST_F(FileIo, SavingToALinkWritesItsTargetAndKeepsTheLink) {
    std::ofstream(dir / "real/anim.gif") << "old";
    fs::create_symlink("real/anim.gif", dir / "link.gif");  // relative to the link's folder
    fs::create_symlink(dir / "link.gif", dir / "chain.gif");
    fs::create_symlink("real/later.gif", dir / "ahead.gif");  // leads nowhere yet

    ASSERT_TRUE(save((dir / "chain.gif").string(), "new"));
    EXPECT_EQ(slurp(dir / "real/anim.gif"), "new");
    EXPECT_TRUE(fs::is_symlink(dir / "link.gif"));
    EXPECT_TRUE(fs::is_symlink(dir / "chain.gif"));

    ASSERT_TRUE(save((dir / "ahead.gif").string(), "made"));
    EXPECT_TRUE(fs::is_symlink(dir / "ahead.gif"));
    EXPECT_EQ(slurp(dir / "real/later.gif"), "made");
    // Links in a loop lead to no file: refused, the links stay.
    fs::create_symlink("round.gif", dir / "about.gif");
    fs::create_symlink("about.gif", dir / "round.gif");
    EXPECT_FALSE(save((dir / "round.gif").string(), "lost"));
    EXPECT_TRUE(fs::is_symlink(dir / "round.gif") && fs::is_symlink(dir / "about.gif"));
    // No temporary file left in either folder.
    EXPECT_EQ(files(), (std::vector<std::string>{"about.gif", "ahead.gif", "chain.gif", "link.gif", "real/anim.gif",
                                                 "real/later.gif", "round.gif"}));
}

// A save past the file-size limit, in a child process with the signal's
// default action (which ends a process that does not ignore it): the save
// fails, the old file stays and no temporary file is left.
TEST_F(FileIo, TheFileSizeLimitLeavesNoTemporaryFile) {
    std::ofstream(dir / "real/out.gif") << "old";
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_DFL);
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::_exit(save((dir / "real/out.gif").string(), std::string(1 << 16, 'x')) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(slurp(dir / "real/out.gif"), "old");
    EXPECT_EQ(files(), (std::vector<std::string>{"real/out.gif"}));
}

}  // namespace
}  // namespace movigram
