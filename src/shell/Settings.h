#pragma once
// The settings file "movigram.ini" in the user's configuration folder: the
// options, the last folders, the four most recent files and the window
// positions.  It is a plain INI file whose sections, keys and value texts
// are written exactly as given (QSettings with a format of our own, since
// Qt's own INI format would escape the blank in "Screen Settings"); only a
// value that a plain line cannot hold, such as a file name with a line break
// or with blanks at its ends, is written quoted with backslash escapes.
#include <QRect>
#include <QSettings>
#include <QSize>
#include <QStringList>

#include "document/QuantizeOptions.h"
#include "recording/RecordChoice.h"

namespace movigram {

// The 13 numbers of "Options", named; the file keeps them in this order.
struct OptionFlags {
    int showDirtyRect = 0;
    int showDirtyOnly = 0;
    int showPaletteWindow = 1;
    int loop = 1;
    int cropToDirty = 1;
    int splitDirty = 0;
    int localPaletteMode = 1;   // LocalPaletteMode
    int globalPaletteMode = 3;  // GlobalPaletteMode
    int commentFrame = 1;
    int optimizeColors = 0;
    int transparentMask = 0;
    int optimizeOnSave = 0;
    int undoEnabled = 1;
};
// "%d %d %d %d   %d %d %d %d   %d %d %d %d   %d"
QString formatOptions(const OptionFlags& flags);
// Reads numbers from the front of text into flags, in file order,
// scanf-style (any blanks between them): the first one that does not parse
// ends the reading and leaves the rest as they were.
void parseOptions(const QString& text, OptionFlags& flags);

// Rectangles are (left, top, right, bottom) in the file, right and bottom
// exclusive; a rectangle of four zeros means none was saved (a null QRect).
struct WindowPlaces {
    QRect main;
    bool maximised = false;
    QRect palette;
    QRect frames;
    bool framesDocked = false;
    bool paletteDocked = false;
};

// Beside "Options", keys of their own in [Settings], so that the numbers
// keep their format: MaxCompression=0|1, Quantizer=median-cut|quality,
// Dither=none|ordered|diffusion[=STRENGTH].  A missing or unreadable value
// keeps the built-in one.
struct SavedOptions {
    OptionFlags options;
    bool maxCompression = false;
    QuantizeOptions quantize;
    QString fixedPalName, openDir, saveDir;
    QStringList recentFiles;  // "File1" first, empty entries left out
    // "UndoMemory", in MiB: the undo budget the user chose; 0 (or no key)
    // for the built-in one, which follows the machine's memory.
    int undoMemoryMiB = 0;
    // "ShareTarget": Save for sharing's target size as typed ("10 MB");
    // empty when there is none.
    QString shareTarget;
    // [Recording] What=screen|region, Region=X,Y,W,H, Fps, Pointer=0|1,
    // Delay (seconds), Insert=0|1: what File > Record screen... recorded
    // last and how.  A window is kept as the region it covered.
    RecordChoice record;
};

class Settings {
public:
    static QString defaultPath();
    explicit Settings(const QString& path = defaultPath());
    QString path() const { return settings_.fileName(); }

    // While the main window is made: positions that fit the screen they were
    // saved on; "ScreenSize" is written at once.
    WindowPlaces readWindowPlaces(QSize screen);
    // At the first idle moment.  The table of built-in values keeps the last
    // values read, so that an older file of 12 numbers leaves the 13th as it was.
    SavedOptions readOptions();

    // When the application closes.  A recent file that is missing writes
    // nothing, so an older key of that number stays.
    void writeOptions(const SavedOptions& saved);
    void writeRect(const char* key, const QRect& rect);
    void writeFrameListDocked(bool docked);
    void writePaletteDocked(bool docked);
    void writeMainWindow(const QRect& rect, bool maximised);
    void sync() { settings_.sync(); }

    // A value as the file holds it, for tests.
    QString text(const QString& key) const { return settings_.value(key).toString(); }

private:
    QSettings settings_;
    OptionFlags table_;
};

}  // namespace movigram
