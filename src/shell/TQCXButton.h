#pragma once
// A push button that shows a picture instead of a text: the about box's
// picture, read from a PCX file by the program's own reader.
#include <QImage>
#include <QPushButton>

namespace movigram {

class TQCXButton : public QPushButton {
    Q_OBJECT
public:
    explicit TQCXButton(QWidget* parent = nullptr);

    // False, leaving no picture, when the file cannot be read as a PCX image.
    bool loadPicture(const QString& path);
    const QImage& picture() const { return picture_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage picture_;
};

}  // namespace movigram
