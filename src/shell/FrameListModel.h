#pragma once
// The frame list as Qt sees it: a list model over the document's FrameList,
// fed by the document's change events, one row per frame with the frame's
// place, name, time and size, and a small thumbnail of the screen after the
// frame.  Thumbnails are made when a row is first shown and kept; a changed
// frame drops its own and those after it (whose screens it reaches), an
// edit, a read or an undo all of them.
#include <QAbstractListModel>
#include <QPixmap>
#include <memory>
#include <vector>

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
    // Thumbnails made so far, for tests and the benchmark.
    int thumbnailsMade() const { return thumbnailsMade_; }

signals:
    // The document selected a line (-1 for none).
    void lineSelected(int row);
    // The person typed a new delay on a line.
    void delayEdited(int row, int ms);

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

    QPixmap thumbnail(int row) const;
    void screensChangedFrom(int first);
    // "3  name" over "70 ms · 96 × 64": the frame's place, its name, how
    // long it is shown and its size.
    QString lineText(int row) const;
    // The lines from `first` on changed their numbers.
    void renumberFrom(int first);
    QString dragToken() const;
    void dropThumbnails();

    Document& doc_;
    mutable std::vector<QPixmap> thumbnails_;  // null until made
    class ThumbnailScreens;
    std::unique_ptr<ThumbnailScreens> screens_;
    mutable int thumbnailsMade_ = 0;
    int changing_ = 0;
    bool moveStarted_ = false;
    bool patches_ = false;
};

// A picture of the frame at its place on the screen, fitted into size:
// transparent pixels as a checkerboard, the rest of the screen gray.
QImage frameThumbnail(const Document& doc, const TFrame& frame, QSize size);

}  // namespace movigram
