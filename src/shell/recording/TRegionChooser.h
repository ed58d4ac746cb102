#pragma once
// Choosing what to record: a dimmed picture of the screen covers the whole
// screen; dragging a rectangle chooses a region, a click chooses the window
// under the pointer (outlined while the pointer moves), Enter chooses the
// whole screen and Escape gives up.  The chosen part is shown bright, with
// an outline of two-colour dashes that stays visible on any picture and its
// size beside it.
#include <QImage>
#include <QRect>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <vector>

namespace movigram {

struct PickableWindow {
    uint32_t id = 0;
    QRect rect;  // in the picture's pixels
    QString title;
};

// What was chosen, in the picture's (the screen's) pixels.
struct ScreenChoice {
    enum Kind { Region, Window, WholeScreen } kind = WholeScreen;
    QRect rect;
    uint32_t windowId = 0;
    QString title;
};

class TRegionChooser : public QWidget {
    Q_OBJECT
public:
    // picture: the screen as it is now.  windows: the windows that can be
    // picked, topmost first.
    TRegionChooser(QImage picture, std::vector<PickableWindow> windows, QWidget* parent = nullptr);

    // Shows the chooser over the whole screen.
    void start();

signals:
    void chosen(const movigram::ScreenChoice& choice);
    void cancelled();

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void keyPressEvent(QKeyEvent*) override;

private:
    QPoint toPicture(QPointF widgetPoint) const;
    QRect toWidget(const QRect& pictureRect) const;
    const PickableWindow* windowAt(QPoint picturePoint) const;
    void finish(const ScreenChoice& choice);

    QImage picture_;
    std::vector<PickableWindow> windows_;
    bool pressed_ = false;
    bool dragging_ = false;
    QPoint anchor_;      // where the button went down, picture pixels
    QRect dragged_;      // the rectangle being drawn
    const PickableWindow* hovered_ = nullptr;
};

}  // namespace movigram
