// Every file of the corpus, GIF or not, well-formed, broken or fuzzed, goes
// through the reader: it must come back with a clean result and a consistent
// chain of frames, never crash, never stall (a stall shows as a test time-out,
// an out-of-bounds access under the sanitizer build).
#include <gtest/gtest.h>

#include <cstdio>
#include <map>

#include "CorpusGif.h"
#include "document/GifReader.h"
#include "support/CorpusPath.h"

namespace movigram::test {
namespace {

// What is wrong with a read result, or empty when it is consistent.
std::string chainProblem(const GifReadOutput& out) {
    if (out.result != GifOk && out.result != GifNoMemory && out.result != GifCorrupt && out.result != GifOutsideScreen)
        return "result " + std::to_string(out.result);
    for (size_t i = 0; i < out.frames.size(); ++i) {
        const TFrame& f = *out.frames[i];
        const TFrame* next = i + 1 < out.frames.size() ? out.frames[i + 1].get() : nullptr;
        const std::string at = "frame " + std::to_string(i) + ": ";
        if (f.next != next) return at + "not linked to the following frame";
        if (f.isComment) {
            if (f.image) return at + "comment frame with an image";
            continue;
        }
        if (!f.image) return at + "image frame without an image";
        if (f.rect.width() != f.image->width() || f.rect.height() != f.image->height())
            return at + "rect " + rectText(f.rect) + " does not match its image";
        if (f.rect.left < 0 || f.rect.top < 0 || f.rect.isEmpty()) return at + "bad rect " + rectText(f.rect);
        if (f.transparentIndex < -1 || f.transparentIndex > 255) return at + "transparent index out of range";
        if (f.image->colorsUsed < 0 || f.image->colorsUsed > 256) return at + "colour count out of range";
        if (f.localPalette && (f.localPalette->colorCount < 2 || f.localPalette->colorCount > 256))
            return at + "local palette size out of range";
        if (f.frameTime < 0 || f.repeat < 0) return at + "negative time";
    }
    if (out.globalPalette && (out.globalPalette->colorCount < 2 || out.globalPalette->colorCount > 256))
        return "global palette size out of range";
    return {};
}

TEST(CorpusRead, EveryCorpusFileIsReadOrRejectedCleanly) {
    MOVIGRAM_REQUIRE_CORPUS();
    const auto files = corpusFiles("", {});
    // The files kept for crashes and stalls of other readers must be among
    // them; a renamed folder would silently drop them.
    ASSERT_FALSE(corpusFiles("image-gif/crashtest", {".gif"}).empty());
    ASSERT_FALSE(corpusFiles("image-gif/stall", {".gif"}).empty());
    ASSERT_GT(corpusFiles("libnsgif/test/ns-afl-gif", {".gif"}).size(), 200u);

    std::map<std::string, std::map<int, int>> byFolder;  // folder -> result -> files
    int withSignature = 0, notGif = 0;
    for (const auto& path : files) {
        const std::string name = corpusName(path);
        const std::vector<uint8_t> bytes = loadFile(path);
        const GifReadOutput out = readGifMemory(bytes, path.filename().string());
        const std::string problem = chainProblem(out);
        EXPECT_TRUE(problem.empty()) << name << ": " << problem;

        const bool signature = bytes.size() >= 3 && bytes[0] == 'G' && bytes[1] == 'I' && bytes[2] == 'F';
        if (signature) {
            ++withSignature;
        } else {
            ++notGif;
            EXPECT_EQ(out.result, GifCorrupt) << name << ": not a GIF but not rejected";
            EXPECT_TRUE(out.frames.empty()) << name << ": frames read from a file that is not a GIF";
        }
        const std::string folder = name.find('/') == std::string::npos ? "." : name.substr(0, name.find('/'));
        ++byFolder[folder][out.result];
    }

    std::printf("read %zu corpus files (%d with the GIF signature, %d others)\n", files.size(), withSignature, notGif);
    for (const auto& [folder, results] : byFolder) {
        std::printf("  %-28s", folder.c_str());
        for (const auto& [result, count] : results) std::printf("  result %d: %d", result, count);
        std::printf("\n");
    }
}

}  // namespace
}  // namespace movigram::test
