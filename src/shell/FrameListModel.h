#pragma once
// The frame list as Qt sees it: a list model over the document's FrameList,
// fed by the document's change events, one row per frame with the frame's
// place, name, time and size, and a small thumbnail of the screen after the
// frame.  A line's picture is asked for when the line is first painted and
// made on a worker thread from copies of what the frames show (see
// ThumbnailScreens.h); the line shows a placeholder until it arrives.  A
// changed frame drops its own picture and those after it (whose screens it
// reaches), an edit, a read or an undo all of them; a picture made from
// frames that changed meanwhile never reaches its line.
#include <QAbstractListModel>
#include <QPixmap>
#include <cstdint>
#include <deque>
#include <memory>
#include <utility>
#include <vector>

#include "ThumbnailScreens.h"
#include "document/Document.h"

namespace movigram {

class FrameListModel : public QAbstractListModel, public DocumentObserver {
    Q_OBJECT
public:
    // The drag format of lines moved within the list: the list's own token,
    // the first row and the count.
    static constexpr const char* rowsMimeType = "application/x-movigram-frame-rows";
    static constexpr QSize thumbnailSize{40, 30};

    FrameListModel(Document& doc, QObject* parent);
    ~FrameListModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // The edit role is the frame's delay in ms; an edit only asks for it.
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDropActions() const override { return Qt::MoveAction | Qt::CopyAction; }

    // Lines dragged from this list: their first row and count.
    bool draggedRows(const QMimeData* data, int& first, int& count) const;

    // True while the rows change; a view's own reactions to the change
    // (such as a selection moving off a removed row) are not the user's.
    bool isChanging() const { return changing_ > 0; }
    // Pictures of each frame's own patch rather than of the screen after it.
    void setShowPatches(bool patches);
    bool showsPatches() const { return patches_; }
    // Thumbnails made so far, and those asked for and not arrived yet, for
    // tests and the benchmark.
    int thumbnailsMade() const { return thumbnailsMade_; }
    int thumbnailsWaiting() const;
    // Returns when the worker has made every picture handed to it; they
    // reach their lines with the events that follow.
    void waitForWorker();

signals:
    // The document selected a line (-1 for none).
    void lineSelected(int row);
    // The person typed a new delay on a line.
    void delayEdited(int row, int ms);
    // A line's picture arrived.  Not announced as a change of the line's
    // data: a list view lays all its lines out again after any such change,
    // which a long list cannot afford for every picture.
    void pictureArrived(int row);

private:
    void framesAboutToBeInserted(int first, int count) override;
    void framesInserted(int first, int count) override;
    void framesAboutToBeRemoved(int first, int count) override;
    void framesRemoved(int first, int count) override;
    void framesAboutToBeMoved(int first, int count, int destination) override;
    void framesMoved(int first, int count, int destination) override;
    void framesAboutToBeReset() override;
    void framesReset() override;
    void frameChanged(int index) override;
    void selectionChanged(int index) override;
    void paletteChanged() override;
    void documentChanged() override;

    // The line's picture, asked for when there is none yet.
    QPixmap thumbnail(int row);
    void ask(int row);
    // A line's picture from the checkpoint before it, which is made.
    void postScreen(int row, uint64_t id);
    const FrameSamples& samplesOf(int row);
    // Asks the worker for the next checkpoints the waiting lines need.
    void extendScreens();
    void screensMade(uint64_t epoch, size_t from, std::vector<std::shared_ptr<const ScreenPoints>> made);
    void pictureMade(int row, uint64_t id, const QImage& image);
    // The lines in [first, last) stop waiting for the pictures asked for.
    void forgetAsks(int first, int last);
    // The checkpoints that frames from `first` on no longer describe go.
    void dropScreensFrom(int first);
    // The grid fitted to the screen's size; the checkpoints go when it changes.
    void fitGrid();
    void screensChangedFrom(int first);
    // "3  name" over "70 ms · 96 × 64": the frame's place, its name, how
    // long it is shown and its size.
    QString lineText(int row) const;
    // The lines from `first` on changed their numbers.
    void renumberFrom(int first);
    QString dragToken() const;
    void dropThumbnails();

    Document& doc_;
    struct Line {
        QPixmap picture;    // null until made
        uint64_t asked = 0;  // the picture on its way, 0 for none
        // The frame at the grid's points, kept for the pictures after it:
        // a parked frame is decoded for them once, not once for each.
        std::shared_ptr<const FrameSamples> samples;
        uint64_t samplesGrid = 0;  // the grid's number when they were taken
    };
    std::vector<Line> lines_;
    QPixmap placeholder_, commentPicture_;
    uint64_t lastAsk_ = 0;
    std::deque<std::pair<int, uint64_t>> asks_;      // line and picture, in the order asked
    std::vector<std::pair<int, uint64_t>> waiting_;  // those whose checkpoint is not made yet

    // The screens at the grid's points before frames 0, step, 2 step...,
    // so that a picture far down a long list costs at most `step` frames
    // more than the one before it.  The epoch changes whenever some go.
    static constexpr int step = 32;
    TSize gridScreen_{};
    std::shared_ptr<const SampleGrid> grid_;
    uint64_t gridNumber_ = 0;  // counts the grids fitted
    std::vector<std::shared_ptr<const ScreenPoints>> checkpoints_;
    uint64_t screensEpoch_ = 0;
    bool extending_ = false;  // checkpoints on their way
    int thumbnailsMade_ = 0;
    int changing_ = 0;
    bool moveStarted_ = false;
    bool patches_ = false;
    std::unique_ptr<class ThumbnailWorker> worker_;  // last, so that it stops first
};

}  // namespace movigram
