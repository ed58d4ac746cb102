#pragma once
// The animation document: its frames and the animation-wide values.  The
// editor's window owns one; the command-line tool makes its own.  Commands
// that change it live in the layers above and tell the user through host.
#include <memory>
#include <string>

#include "FrameList.h"
#include "Host.h"
#include "TMyPalette.h"
#include "UndoJournal.h"

namespace movigram {

enum class LocalPaletteMode { Merge = 0, Keep = 1, Create = 2 };
enum class GlobalPaletteMode { Fixed = 0, Cumulative = 1, Optimized = 2, Automatic = 3 };

struct Document {
    explicit Document(Host* host = nullptr);

    Host& host() { return host_ ? *host_ : quietHost_; }
    void setHost(Host* h) { host_ = h; }

    // Relinks the frames in list order and recomputes the screen size.
    void relink();

    FrameList frameList;
    TFrame* firstFrame = nullptr;
    TFrame* currentFrame = nullptr;
    int32_t screenWidth = 0;
    int32_t screenHeight = 0;
    std::unique_ptr<TMyPalette> globalPalette;
    int32_t backgroundIndex = -1;
    int32_t transparentIndex = -1;
    bool sameTransparent = true;
    int32_t frameTime = 250;
    bool loopOption = true;
    int32_t loopCount = 0;

    bool showDirtyRect = false;
    bool cropToDirty = true;
    bool optimizeOnSave = false;
    bool splitDirty = false;
    bool optimizeColors = false;
    bool commentFrameOption = true;
    bool transparentMaskOption = false;
    LocalPaletteMode localPaletteMode = LocalPaletteMode::Keep;
    GlobalPaletteMode globalPaletteMode = GlobalPaletteMode::Automatic;

    std::string fileName;  // no folder; empty for an untitled document
    std::string openDir;
    std::string saveDir;
    std::string paletteDir;        // where the palette dialogs start
    std::string fixedPaletteName;  // the palette file of the Fixed global palette mode
    bool savedToSaveDir = false;  // the file was last written to saveDir
    int64_t fileSize = -1;
    int64_t previousFileSize = -1;
    bool modified = false;
    bool optimizable = true;
    bool dirtyRectsUpToDate = true;

    UndoJournal undo;

private:
    Host* host_ = nullptr;
    Host quietHost_;
};

}  // namespace movigram
