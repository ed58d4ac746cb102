#pragma once
// Shared pieces of the corpus tests: the corpus's GIF files, a block-level
// walk of a GIF that keeps what the reader converts away (each image's
// disposal method and the colour tables as stored), a compositor that shows
// a file the way web browsers do, taken straight from that walk, and saving
// a read animation the way the editor saves it.
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "commands/SaveCommands.h"
#include "document/FrameList.h"
#include "document/GifReader.h"
#include "document/ViewerCanvas.h"

namespace movigram::test {

std::vector<uint8_t> loadFile(const std::filesystem::path& path);
// The path relative to the corpus folder, for messages.
std::string corpusName(const std::filesystem::path& path);
// Every .gif file of the corpus, all folders, sorted.
std::vector<std::filesystem::path> corpusGifFiles();

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// One image descriptor as stored in the file, with the graphic control
// extension that applies to it.
struct ScannedImage {
    TRect rect;
    bool hasLocalTable = false;
    std::vector<Rgb> localTable;
    bool hasControl = false;
    int disposal = 0;  // 0..7 as stored
    int delayCs = 0;
    int transparent = -1;
    int minCodeSize = 0;
    bool complete = false;  // false: the data ends inside this image
};

// What a walk over the blocks finds.  The walk reads the block structure
// only (a graphic control block has size 4, bytes between blocks are
// skipped, the end of the data ends the file) and stops at the first block
// it cannot walk; it does not judge image contents.  The images the reader
// decodes are therefore the first ones listed here, in the same order.
struct ScannedGif {
    bool signature = false;
    int width = 0, height = 0;
    std::vector<Rgb> globalTable;  // empty when the file has none
    std::vector<ScannedImage> images;
    std::vector<std::string> applications;  // application identifiers as stored
    bool netscapeLoop = false;              // a looping block the reader recognises
    int plainTexts = 0;
    std::string end;  // how the walk ended: "trailer" or what stopped it
};

ScannedGif scanGif(std::span<const uint8_t> data);

// Why the reader stopped after `images` images, in words, from its result
// and the block walk: the image whose data it refused, or where the walk
// itself stopped.
std::string whyReadingStopped(const ScannedGif& gif, size_t images, int result);

// The first frame the writer cannot place as it is: GIF coordinates stop at
// 65535, so a frame reaching past them is cut or left out.  -1 when none.
int frameBeyondGifCoordinates(const FrameChain& frames);

// Reads a GIF and also keeps a copy of every image frame exactly as decoded,
// before the reader rewrites "restore to previous" frames.
struct DecodedGif {
    GifReadOutput read;
    FrameChain decoded;  // image frames only, in file order
};
DecodedGif readKeepingDecoded(std::span<const uint8_t> data, const std::string& name);

// The screens a web browser shows for a GIF, built from the stored bytes
// alone: a transparent canvas of the logical screen, each image drawn with
// its own colour table (local, else global; an index past the table is
// opaque black) and its transparent index, then disposed of by its stored
// method: 2 clears the image's rectangle to transparent, 3 puts back the
// canvas as it was before the image was drawn, anything else keeps it.
class BrowserCompositor {
public:
    BrowserCompositor(const ScannedGif& gif, int width, int height);
    // Draws image k (pixels as decoded, top row first) and returns the screen.
    const std::vector<Rgba>& show(size_t k, const TDib256& pixels);
    // Applies image k's disposal method.
    void dispose(size_t k);

private:
    const ScannedGif& gif_;
    int width_, height_;
    std::vector<Rgba> canvas_, saved_;
};

// The first value or transparent index of a GIF that lies past the colour
// table written with its image (or why the file does not read), in words;
// empty when there is none.
std::string indexPastTable(std::span<const uint8_t> bytes);

// Makes the list's frames an animation the way the editor does before a
// save, and writes it with the program's writer (no cropping) into memory.
std::vector<uint8_t> saveList(const FrameList& list, bool loop, const TMyPalette& global,
                              int32_t loopCount);

// "x,y,w,h"-style text of a rectangle for messages.
std::string rectText(const TRect& r);

// The levels the editor saves at, from the plain save to maximum compression.
struct SaveLevel {
    const char* name;
    bool optimize, splitAndMask, maximum;
};
inline constexpr SaveLevel saveLevels[] = {{"plain", false, false, false},
                                           {"optimize", true, false, false},
                                           {"-O", true, true, false},
                                           {"-O3", true, true, true}};
// Saves the document at the level to out as the editor does; false when
// nothing was written.
inline bool saveAtLevel(Document& doc, const SaveLevel& level, const std::string& out) {
    doc.splitDirty = doc.transparentMaskOption = level.splitAndMask;
    doc.maxCompression = level.maximum;
    return writePreparedCopy(doc, out, level.optimize, false).ok;
}

}  // namespace movigram::test
