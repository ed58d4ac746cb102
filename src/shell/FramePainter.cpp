#include "FramePainter.h"

#include <cstring>

#include "document/Compose.h"

namespace movigram {

TSize screenSizeOf(const Document& doc) {
    if (doc.screenWidth > 0 && doc.screenHeight > 0) return {doc.screenWidth, doc.screenHeight};
    const TSize extent = boundingSize(doc.firstFrame);
    if (extent.width > 0 && extent.height > 0) return extent;
    return {1, 1};
}

namespace {

// The colour of a screen no frame has drawn on yet.
uint8_t screenFill(const Document& doc) {
    for (int i = 0; i < doc.frameList.count(); ++i)
        if (const TFrame* f = doc.frameList.frameAt(i); f->image) return uint8_t(fillColorOf(*f));
    return 0;
}

}  // namespace

bool FramePainter::fitScreen(const Document& doc) {
    const TSize size = screenSizeOf(doc);
    if (work_ && work_->width() == size.width && work_->height() == size.height) return false;
    work_ = std::make_unique<TDib256>(size.width, size.height);
    work_->fill(screenFill(doc));
    const QList<QRgb> colors = picture_.colorTable();
    picture_ = QImage(size.width, size.height, QImage::Format_Indexed8);
    picture_.setColorTable(colors.size() == 256 ? colors : QList<QRgb>(256, workspace_));
    mirror(work_->bounds());
    return true;
}

void FramePainter::mirror(const TRect& area) {
    const TRect r = area.intersected(work_->bounds());
    for (int32_t y = r.top; y < r.bottom; ++y)
        std::memcpy(picture_.scanLine(y) + r.left, work_->row(y) + r.left, size_t(r.width()));
}

void FramePainter::setColorTable(const Document& doc) {
    const TFrame* frame = doc.currentFrame;
    const TMyPalette* palette = frame && frame->localPalette ? frame->localPalette.get() : doc.globalPalette.get();
    QList<QRgb> colors(256, qRgb(0, 0, 0));
    if (palette)
        for (int i = 0; i < 256; ++i) {
            const PaletteEntry& e = palette->entry(i);
            colors[i] = qRgb(e.red, e.green, e.blue);
        }
    const int transparent = frame ? frame->transparentIndex : doc.transparentIndex;
    if (doc.sameTransparent && transparent >= 0 && transparent < 256) colors[transparent] = workspace_;
    if (picture_.isNull()) picture_ = QImage(1, 1, QImage::Format_Indexed8);
    picture_.setColorTable(colors);
}

TRect FramePainter::paintFrame(const Document& doc, const TFrame* previous, bool fullRepaint) {
    const TFrame* frame = doc.currentFrame;
    if (!frame) return {};
    TRect changed;
    if (fitScreen(doc)) changed = work_->bounds();
    if (!frame->image || !doc.globalPalette) return changed;

    TRect area = frame->dirtyRect;
    if (previous && previous != frame && previous->image && previous->restoreToBackground) {
        area = area.united(previous->rect);
        work_->fillRect(previous->rect, uint8_t(fillColorOf(*previous)));
    }
    const bool opaque = !previous || frame->transparentIndex < 0 || fullRepaint;
    work_->blit(frame->rect.left, frame->rect.top, *frame->image, opaque ? -1 : frame->transparentIndex);
    area = area.intersected(work_->bounds());
    mirror(area);
    return changed.united(area);
}

void FramePainter::recompose(const Document& doc, int index) {
    fitScreen(doc);
    while (index >= 0 && !doc.frameList.frameAt(index)->image) --index;
    std::unique_ptr<TFrame> composed;
    if (index >= 0) {
        const TMyPalette none;
        composed = compositeAt(doc.frameList, index, {}, {work_->width(), work_->height()},
                               doc.globalPalette ? *doc.globalPalette : none);
    }
    if (composed && composed->image) work_->blit(0, 0, *composed->image, -1);
    else work_->fill(screenFill(doc));
    mirror(work_->bounds());
}

void FramePainter::clear() {
    work_.reset();
    picture_ = QImage();
}

}  // namespace movigram
