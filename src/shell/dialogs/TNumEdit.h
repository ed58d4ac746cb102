#pragma once
// The numeric field of the frame and effect dialogs: an edit with arrows.
// The text is what counts: it is read as the core reads a numeric field
// (thousands separators allowed, no range applied), so a value typed beyond
// the arrows' range is used as typed.  The arrows step within the range and,
// where the dialog asks for it, take longer steps while they are held.
#include <QAbstractSpinBox>
#include <QElapsedTimer>
#include <vector>

namespace movigram {

class TNumEdit : public QAbstractSpinBox {
    Q_OBJECT
public:
    explicit TNumEdit(QWidget* parent = nullptr);

    void setRange(int minimum, int maximum);
    int minimum() const { return minimum_; }
    int maximum() const { return maximum_; }
    // The value of the text as it stands.
    int value() const;
    // Writes the value (with thousands separators) without announcing it.
    void setValue(int value);

    // After holding an arrow for afterMs milliseconds, steps of step.
    struct Acceleration {
        int afterMs;
        int step;
    };
    void setAcceleration(std::vector<Acceleration> steps) { acceleration_ = std::move(steps); }

    void stepBy(int steps) override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // "1,500": the text the arrows write.
    static QString textOf(int value);

signals:
    // The person typed in the field or stepped it.
    void edited(int value);

protected:
    StepEnabled stepEnabled() const override;
    QValidator::State validate(QString& input, int& pos) const override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int stepSize() const;

    int minimum_ = 0;
    int maximum_ = 32767;
    std::vector<Acceleration> acceleration_;
    QElapsedTimer held_;  // valid while an arrow (or arrow key) is held
};

}  // namespace movigram
