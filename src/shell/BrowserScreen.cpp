#include "BrowserScreen.h"

#include "FramePainter.h"

namespace movigram {

void BrowserScreen::invalidate() {
    canvas_.reset();
    at_ = -1;
    kept_.clear();
    pictureIndex_ = -1;
}

const QImage& BrowserScreen::pictureAt(const Document& doc, int index) {
    if (index == pictureIndex_ && !picture_.isNull()) return picture_;
    const TSize size = screenSizeOf(doc);
    if (canvas_ && (canvas_->width() != size.width || canvas_->height() != size.height)) invalidate();
    if (!canvas_ || at_ >= index) {
        auto before = kept_.lower_bound(index);
        if (before != kept_.begin()) {
            --before;
            canvas_ = std::make_unique<ViewerCanvas>(before->second);
            at_ = before->first;
        } else {
            canvas_ = std::make_unique<ViewerCanvas>(size.width, size.height);
            at_ = -1;
        }
    }
    const TMyPalette* global = doc.globalPalette.get();
    for (int i = at_ + 1; i <= index && i < doc.frameList.count(); ++i) {
        const TFrame& frame = *doc.frameList.frameAt(i);
        if (frame.image) {
            const Disposal disposal = frame.restoreToBackground ? Disposal::Background : Disposal::Keep;
            canvas_->step(frame, global, disposal, [&](const ViewerCanvas& screen) {
                if (i != index) return;
                picture_ = QImage(reinterpret_cast<const uchar*>(screen.pixels().data()), screen.width(),
                                  screen.height(), screen.width() * 4, QImage::Format_RGBA8888)
                               .copy();
            });
        }
        at_ = i;
        if (i % keepEvery == keepEvery - 1) kept_.insert_or_assign(i, *canvas_);
    }
    pictureIndex_ = index;
    return picture_;
}

}  // namespace movigram
