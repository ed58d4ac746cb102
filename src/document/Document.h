#pragma once
// The animation document: its frames and the animation-wide values.  The
// editor's window owns one; the command-line tool makes its own.  Commands
// that change it live in the layers above; they tell the user through the
// host, and the document announces every change to its observers.
#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "DocumentObserver.h"
#include "FrameList.h"
#include "Host.h"
#include "QuantizeOptions.h"
#include "TMyPalette.h"
#include "UndoJournal.h"

namespace movigram {

enum class LocalPaletteMode { Merge = 0, Keep = 1, Create = 2 };
enum class GlobalPaletteMode { Fixed = 0, Cumulative = 1, Optimized = 2, Automatic = 3 };

// The document's values, apart from the machinery that announces changes.
struct DocumentFields {
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
    // "Maximum compression": an optimising save lays the file out for size
    // (MaxCompression.h) instead of optimising the frames, and never writes
    // more than the plain save or the optimising save with split and mask
    // would; the document keeps its frames.
    bool maxCompression = false;
    // Whether maximum compression may restore an image to the screen before
    // it (GIF disposal 3): smaller files, which some widely used decoders
    // show wrongly.
    bool restoreToPrevious = false;
    // An optimising save (maximum compression too) writes its images with
    // the lossy LZW encoder at this quality, 0-100; 100: lossless.
    int lossyQuality = 100;
    LocalPaletteMode localPaletteMode = LocalPaletteMode::Keep;
    GlobalPaletteMode globalPaletteMode = GlobalPaletteMode::Automatic;
    QuantizeOptions quantize;

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
};

// What a finished change touched besides the frames.
struct AlsoChanged {
    bool palette = false;  // the global palette, a local one, the transparent or background index
    bool title = false;    // the file name or sizes
};

struct Document : DocumentFields {
    explicit Document(Host* host = nullptr);
    ~Document();
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;
    // A moved document keeps its host and takes no observers with it.
    Document(Document&& other) noexcept;

    Host& host() { return host_ ? *host_ : quietHost_; }
    void setHost(Host* h) { host_ = h; }

    void addObserver(DocumentObserver* observer) { observers_.push_back(observer); }
    void removeObserver(DocumentObserver* observer) { std::erase(observers_, observer); }

    // Announcements of changes made to the fields directly.  While an
    // EditScope is open, the palette, the repaint and the title wait for it
    // to close, which announces each of them once.
    // An edit or a file command is about to change the document: playback stops.
    void startEdit() { notify(&DocumentObserver::editStarting); }
    // The change is finished: the palette when touched, a repaint, the title
    // when touched, in that order.
    void changed(AlsoChanged also = {});
    void paletteEdited();  // the global palette, a local one, the transparent or background index
    // Options, palette modes, quantizing: the menus' checks.
    void optionsEdited() { notify(&DocumentObserver::optionsChanged); }
    // The file name or sizes changed: the title.
    void titleEdited();
    // The undo journal's records or label changed: the Undo and Redo items.
    void undoLabelEdited() { notify(&DocumentObserver::undoLabelChanged); }

    // Relinks the frames in list order (circular when looping), renumbers
    // them, recomputes the screen size, makes every image frame's dirtyRect
    // its rect again and makes the selected frame current (frame 0 when
    // nothing is selected).
    void relink();

    // Setters that announce the change.
    void setModified(bool on);
    void setCurrentFrame(TFrame* frame);
    // Makes the frame at index current and selects it.
    void showFrameAt(int index);
    // A frame's fields or image were edited in place.
    void frameEdited(int index) { notify(&DocumentObserver::frameChanged, index); }
    void setFrameTiming(int index, int32_t frameTime, int32_t repeat);
    // Option setters that announce a change.
    void setQuantize(const QuantizeOptions& options);
    void setGlobalPaletteMode(GlobalPaletteMode mode);
    // Options > Enable undo; switching it off empties the journal.
    void setUndoEnabled(bool on);

private:
    friend class EditScope;
    // What open scopes hold back.
    struct Held {
        AlsoChanged also;
        bool repaint = false;
    };
    // A scope closes.  The outermost one takes what was held back; one that
    // was cancelled announces it (a change made before the cancel is still
    // a change).
    AlsoChanged closeScope(bool cancelled);

    // Calls the event on every observer, e.g. notify(&DocumentObserver::paletteChanged).
    template <typename... Params, typename... Args>
    void notify(void (DocumentObserver::*event)(Params...), Args&&... args) {
        for (DocumentObserver* observer : std::vector<DocumentObserver*>(observers_)) (observer->*event)(args...);
    }

    // Keeps the chain and currentFrame valid while the list changes and
    // passes the list's events on to the observers.
    class ListRelay : public FrameListObserver {
    public:
        explicit ListRelay(Document& doc) : doc_(doc) {}
        void itemsAboutToBeInserted(int first, int count) override;
        void itemsInserted(int first, int count) override;
        void itemsAboutToBeRemoved(int first, int count) override;
        void itemsRemoved(int first, int count) override;
        void itemsAboutToBeMoved(int first, int count, int destination) override;
        void itemsMoved(int first, int count, int destination) override;
        void aboutToReset() override;
        void listReset() override;
        void itemChanged(int index) override;
        void itemsSwapped(int a, int b) override;
        void selectionChanged(int index) override;

    private:
        Document& doc_;
        bool currentLeaving_ = false;  // the current frame is among those being removed
    };
    // Links the chain in list order and drops a currentFrame that left the list.
    void relinkChain();
    // Relinks and renumbers the frames at positions from to last, with the
    // one before them and the last frame of the list (which closes the
    // loop); the others are linked already.
    void relinkSpan(int from, int last);

    Host* host_ = nullptr;
    Host quietHost_;
    int openScopes_ = 0;
    Held held_;
    std::vector<DocumentObserver*> observers_;
    ListRelay relay_{*this};
};

}  // namespace movigram
