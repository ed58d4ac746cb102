// The public test corpora: every "good" bitmap of the BMP suite against its
// reference picture, the "bad" and "questionable" ones read or refused
// cleanly, the PCX read tests against their PNGs, the JPEG test images
// against their PPM decodes, and a real AVI file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>

#include "ImportTestFiles.h"
#include "import/BmpReader.h"
#include "import/JpegReader.h"
#include "import/PcxImage.h"
#include "import/VideoReader.h"
#include "support/CorpusPath.h"

namespace movigram {
namespace {

using namespace test;
namespace fs = std::filesystem;

// The colour of a decoded pixel, whichever way the image came out.
Rgb8 decodedColor(const DecodedImage& d, int x, int y) {
    return d.indexed ? colorAt(*d.indexed, x, y) : d.trueColor->rgbAt(x, y);
}
int decodedWidth(const DecodedImage& d) { return d.indexed ? d.indexed->width() : d.trueColor->width(); }
int decodedHeight(const DecodedImage& d) { return d.indexed ? d.indexed->height() : d.trueColor->height(); }

// Number of pixels whose colour differs from the reference (all of them
// when the sizes differ).
size_t mismatches(const DecodedImage& d, const RgbPicture& ref) {
    if (decodedWidth(d) != ref.width || decodedHeight(d) != ref.height) return ref.pixels.size() + 1;
    size_t bad = 0;
    for (int y = 0; y < ref.height; ++y)
        for (int x = 0; x < ref.width; ++x) bad += !(decodedColor(d, x, y) == ref.at(x, y));
    return bad;
}

struct ReferenceRow {
    std::string file;
    std::vector<std::string> references;  // empty for "N/A"
};

std::vector<ReferenceRow> bmpReferenceMap() {
    std::vector<ReferenceRow> rows;
    std::ifstream in(corpusDir() / "bmpsuite" / "reference-map.tsv");
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string file, version, refs;
        std::getline(fields, file, '\t');
        std::getline(fields, version, '\t');
        std::getline(fields, refs, '\t');
        ReferenceRow row{file, {}};
        std::istringstream list(refs);
        for (std::string ref; std::getline(list, ref, ',');)
            if (ref != "N/A") row.references.push_back(ref);
        rows.push_back(row);
    }
    return rows;
}

// True when the decode matches one of the row's reference pictures exactly.
bool matchesReference(const DecodedImage& decoded, const ReferenceRow& row, std::string& detail) {
    for (const std::string& ref : row.references) {
        RgbPicture picture;
        if (!readPng((corpusDir() / "bmpsuite" / "html" / ref).string(), picture)) continue;
        const size_t bad = mismatches(decoded, picture);
        if (bad == 0) return true;
        detail += ref + ": " + std::to_string(bad) + " pixels differ; ";
    }
    return false;
}

TEST(CorpusBmp, GoodFilesMatchTheirReferences) {
    MOVIGRAM_REQUIRE_CORPUS();
    int checked = 0;
    for (const ReferenceRow& row : bmpReferenceMap()) {
        if (row.file.rfind("g/", 0) != 0) continue;
        ++checked;
        const DecodedImage decoded = decodeBmp(fileBytes(corpusDir() / "bmpsuite" / row.file));
        ASSERT_TRUE(decoded) << row.file;
        std::string detail;
        EXPECT_TRUE(matchesReference(decoded, row, detail)) << row.file << ": " << detail;
        // The true-colour ones must also survive the reduction.
        if (decoded.trueColor) {
            EXPECT_TRUE(reduceTo256(*decoded.trueColor)) << row.file;
        }
    }
    EXPECT_EQ(checked, 27);
    std::cout << "bmpsuite g/: " << checked << " files compared with their references" << std::endl;
}

// "Bad" and "questionable" files: each is refused or read; a crash or a
// sanitizer report fails the test.  Those that have a reference and are
// read are counted when they match it.
TEST(CorpusBmp, OtherFilesAreReadOrRefusedCleanly) {
    MOVIGRAM_REQUIRE_CORPUS();
    std::map<std::string, ReferenceRow> rows;
    for (const ReferenceRow& row : bmpReferenceMap()) rows[row.file] = row;
    for (const char* folder : {"b", "q", "x"}) {
        int read = 0, refused = 0, matching = 0, withReference = 0;
        for (const fs::path& path : corpusFiles(std::string("bmpsuite/") + folder, {".bmp"})) {
            const DecodedImage decoded = decodeBmp(fileBytes(path));
            if (!decoded) {
                ++refused;
                continue;
            }
            ++read;
            if (decoded.trueColor) reduceTo256(*decoded.trueColor);
            const auto row = rows.find(std::string(folder) + "/" + path.filename().string());
            if (row == rows.end() || row->second.references.empty()) continue;
            ++withReference;
            std::string detail;
            matching += matchesReference(decoded, row->second, detail);
        }
        std::cout << "bmpsuite " << folder << "/: " << read << " read (" << matching << " of " << withReference
                  << " with a reference match it), " << refused << " refused" << std::endl;
        EXPECT_GT(read + refused, 0);
    }
}

TEST(CorpusPcx, ReadTestsMatchTheirPngs) {
    MOVIGRAM_REQUIRE_CORPUS();
    int matched = 0, refused = 0;
    for (const fs::path& path : corpusFiles("kimageformats-pcx", {".pcx"})) {
        const std::string name = path.stem().string();
        PCXImage pcx;
        const Bytes bytes = fileBytes(path);
        const bool ok = pcx.read(std::span<const uint8_t>(bytes));
        if (name == "dice_rgba") {
            // Four planes of 8 bits make 32-bit pixels, which PCX reading
            // does not know.
            EXPECT_FALSE(ok);
            ++refused;
            continue;
        }
        ASSERT_TRUE(ok) << name;
        RgbPicture ref;
        ASSERT_TRUE(readPng(fs::path(path).replace_extension(".png").string(), ref)) << name;
        const DecodedImage decoded = pcx.takeImage();
        EXPECT_EQ(mismatches(decoded, ref), 0u) << name;
        ++matched;
    }
    EXPECT_EQ(matched, 8);
    std::cout << "kimageformats PCX: " << matched << " match their PNGs, " << refused << " refused" << std::endl;
}

struct Difference {
    int max = 0;
    double mean = 0;
};

Difference compare(const TrueColorImage& image, const RgbPicture& ref) {
    Difference d;
    uint64_t sum = 0;
    for (int y = 0; y < ref.height; ++y)
        for (int x = 0; x < ref.width; ++x) {
            const Rgb8 a = image.rgbAt(x, y), b = ref.at(x, y);
            for (int delta : {a.red - b.red, a.green - b.green, a.blue - b.blue}) {
                d.max = std::max(d.max, std::abs(delta));
                sum += uint64_t(std::abs(delta));
            }
        }
    d.mean = double(sum) / double(ref.pixels.size() * 3);
    return d;
}

// testorig.ppm was decoded with the float DCT and the library's default
// (fancy) upsampling; this reader uses the default integer DCT, so the same
// coefficients come out a few levels apart at most.  testimgint.jpg is a
// second encoding of the same photo and lands further away, but still about
// half a level on average.  testimgari.ppm was decoded with plain
// upsampling, which moves colour edges by a pixel: a larger gap there.  A
// wrong colour conversion or row order is far beyond all of these.
TEST(CorpusJpeg, TestImagesMatchTheirReferenceDecodes) {
    MOVIGRAM_REQUIRE_CORPUS();
    const fs::path dir = corpusDir() / "libjpeg-turbo" / "testimages";
    struct Case {
        const char* jpeg;
        const char* ppm;
        int maxDifference;
        double meanDifference;
    };
    const Case cases[] = {{"testorig.jpg", "testorig.ppm", 4, 0.5},
                          {"testimgint.jpg", "testorig.ppm", 24, 1.0},
                          {"testimgari.jpg", "testimgari.ppm", 40, 2.5}};
    for (const Case& c : cases) {
        const auto image = readJpeg((dir / c.jpeg).string());
        ASSERT_TRUE(image) << c.jpeg;
        RgbPicture ref;
        ASSERT_TRUE(readPpm((dir / c.ppm).string(), ref));
        ASSERT_EQ(image->width(), ref.width);
        ASSERT_EQ(image->height(), ref.height);
        const Difference d = compare(*image, ref);
        std::cout << c.jpeg << " vs " << c.ppm << ": max " << d.max << ", mean " << d.mean << std::endl;
        EXPECT_LE(d.max, c.maxDifference) << c.jpeg;
        EXPECT_LT(d.mean, c.meanDifference) << c.jpeg;
    }

    // The same coefficients, Huffman-coded, arithmetic-coded and progressive:
    // the pictures are identical.
    const auto huffman = readJpeg((dir / "testimgint.jpg").string());
    ASSERT_TRUE(huffman);
    for (const char* other : {"testimgari.jpg", "testimgp.jpg"}) {
        const auto image = readJpeg((dir / other).string());
        ASSERT_TRUE(image) << other;
        int differing = 0;
        for (int y = 0; y < image->height(); ++y)
            for (int x = 0; x < image->width(); ++x) differing += !(image->rgbAt(x, y) == huffman->rgbAt(x, y));
        EXPECT_EQ(differing, 0) << other;
    }

    const auto gray = readJpeg((dir / "testimggray.jpg").string());
    ASSERT_TRUE(gray);
    EXPECT_EQ(gray->width(), 227);
    for (int y = 0; y < gray->height(); y += 3)
        for (int x = 0; x < gray->width(); x += 3) {
            const Rgb8 c = gray->rgbAt(x, y);
            ASSERT_TRUE(c.red == c.green && c.green == c.blue);
        }
    const auto crop = readJpeg((dir / "testimgcrop.jpg").string());
    ASSERT_TRUE(crop);
    EXPECT_EQ(crop->width(), 124);
    EXPECT_EQ(crop->height(), 92);
    // 12-bit precision: refused by an 8-bit build, or read; never a crash.
    const auto monkey = readJpeg((dir / "monkey12.jpg").string());
    std::cout << "monkey12.jpg (12-bit): " << (monkey ? "read" : "refused") << std::endl;

    const DecodedImage bmp = decodeBmp(fileBytes(dir / "testimg.bmp"));
    ASSERT_TRUE(bmp.indexed);
    EXPECT_EQ(bmp.indexed->width(), 227);
    EXPECT_EQ(bmp.indexed->height(), 149);
}

TEST(CorpusVideo, MotionJpegAviGivesTwentyFrames) {
    MOVIGRAM_REQUIRE_CORPUS();
    const std::string path = (corpusDir() / "riffparse-avi" / "tests" / "test.avi").string();
    const VideoReadOutput out = readVideo(path);
    ASSERT_EQ(out.result, VideoOk);
    ASSERT_EQ(out.frames.size(), 20u);
    EXPECT_EQ(out.frameTime, 50);
    for (const auto& f : out.frames) {
        ASSERT_TRUE(f->image);
        EXPECT_EQ(f->image->width(), 32);
        EXPECT_EQ(f->image->height(), 24);
    }
    EXPECT_EQ(out.frames[19]->name, path + ".019");
}

}  // namespace
}  // namespace movigram
