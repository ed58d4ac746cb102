#pragma once
// The status bar's gadgets beside the message area: the progress gauge, the
// view text (zoom and screen size) and the colour text with its swatch.
#include <QColor>
#include <QLabel>
#include <QWidget>
#include <optional>

namespace movigram {

class TMyPalette;

// A bar from 0 to 100 per cent in dark blue, 120 pixels wide.
class TGaugeGadget : public QWidget {
    Q_OBJECT
public:
    explicit TGaugeGadget(QWidget* parent = nullptr);
    int value() const { return value_; }
    // Clamped to 0..100; a new value is painted at once.
    void setValue(int percent);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    int value_ = 0;
};

// A sunken text field, used for the view text.
class TTextGadget : public QLabel {
    Q_OBJECT
public:
    // sample: the longest text it is expected to show, which sizes it.
    TTextGadget(const QString& sample, QWidget* parent = nullptr);
};

// "No transparent color" or "Transp. color [%d]", with a swatch of that
// palette entry at its right end.
class TColorGadget : public QWidget {
    Q_OBJECT
public:
    explicit TColorGadget(QWidget* parent = nullptr);
    void setColor(int index, const TMyPalette* palette);
    QString text() const { return text_; }
    int index() const { return index_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    int index_ = -1;
    std::optional<QColor> swatch_;
    QString text_;
};

}  // namespace movigram
