#include "PictureEditDialogs.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QFontComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>

#include "commands/CommandTable.h"
#include "frameops/Caption.h"
#include "frameops/Redact.h"
#include "shell/EditorSession.h"

namespace movigram {

namespace {

QSpinBox* spinBox(QWidget* parent, int low, int high, int value, const QString& suffix = {}) {
    auto* box = new QSpinBox(parent);
    box->setRange(low, high);
    box->setValue(value);
    box->setSuffix(suffix);
    return box;
}

// Room for `lines` lines kept from the start, so that a note does not
// squeeze the controls above it.
QLabel* statusLine(QWidget* parent, int lines) {
    auto* label = new QLabel(parent);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setMinimumHeight(label->fontMetrics().lineSpacing() * lines);
    return label;
}

Rgb8 rgbOf(QColor c) { return {uint8_t(c.red()), uint8_t(c.green()), uint8_t(c.blue())}; }

}  // namespace

TCaptionDialog::TCaptionDialog(EditorSession& session)
    : TFrameDialog(session, QStringLiteral("Text"),
                   QStringLiteral("The text is drawn into the selected frames with the colours of their palettes.")) {
    auto* form = new QFormLayout;
    text_ = new QPlainTextEdit(this);
    text_->setTabChangesFocus(true);
    text_->setFixedHeight(text_->fontMetrics().lineSpacing() * 3 + 12);
    form->addRow(QStringLiteral("Te&xt:"), text_);
    font_ = new QFontComboBox(this);
    font_->setCurrentFont(QFont(QString::fromStdString(CaptionStyle{}.font)));
    form->addRow(QStringLiteral("&Font:"), font_);
    size_ = spinBox(this, smallestCaptionSize, largestCaptionSize, defaultCaptionSize(document().screenHeight),
                    QStringLiteral(" pt"));
    form->addRow(QStringLiteral("&Size:"), size_);
    colorButton_ = colorButton(color_);
    form->addRow(QStringLiteral("&Colour:"), colorButton_);
    auto* outlineRow = new QHBoxLayout;
    outline_ = spinBox(this, 0, largestOutline, CaptionStyle{}.outline, QStringLiteral(" px"));
    outline_->setSpecialValueText(QStringLiteral("none"));
    outlineColorButton_ = colorButton(outlineColor_);
    outlineRow->addWidget(outline_);
    outlineRow->addWidget(outlineColorButton_);
    auto* outlineLabel = new QLabel(QStringLiteral("&Outline:"), this);
    outlineLabel->setBuddy(outline_);
    form->addRow(outlineLabel, outlineRow);
    centred_ = new QCheckBox(QStringLiteral("Centred at the &bottom"), this);
    centred_->setChecked(true);
    form->addRow(QString(), centred_);
    auto* place = new QHBoxLayout;
    x_ = spinBox(this, -65535, 65535, 0);
    y_ = spinBox(this, -65535, 65535, 0);
    place->addWidget(new QLabel(QStringLiteral("X:"), this));
    place->addWidget(x_);
    place->addWidget(new QLabel(QStringLiteral("Y:"), this));
    place->addWidget(y_);
    form->addRow(QStringLiteral("Top left:"), place);
    auto followCentred = [this](bool on) {
        x_->setEnabled(!on);
        y_->setEnabled(!on);
    };
    connect(centred_, &QCheckBox::toggled, this, followCentred);
    connect(outline_, &QSpinBox::valueChanged, this, &TCaptionDialog::noteDistantColors);
    followCentred(true);
    status_ = statusLine(this, 4);
    form->addRow(status_);
    controls().addLayout(form);
}

QPushButton* TCaptionDialog::colorButton(QColor& color) {
    auto* button = new QPushButton(this);
    showColor(*button, color);
    connect(button, &QPushButton::clicked, this, [this, button, &color] {
        const QColor chosen = QColorDialog::getColor(color, this);
        if (!chosen.isValid()) return;
        color = chosen;
        showColor(*button, color);
        noteDistantColors();
    });
    return button;
}

void TCaptionDialog::showColor(QPushButton& button, QColor color) {
    QPixmap swatch(24, 14);
    swatch.fill(color);
    button.setIcon(QIcon(swatch));
    button.setText(color.name());
}

void TCaptionDialog::setColors(QColor text, QColor outline) {
    color_ = text;
    outlineColor_ = outline;
    showColor(*colorButton_, color_);
    showColor(*outlineColorButton_, outlineColor_);    noteDistantColors();
}

// The current frame's palette may lack the colours chosen: the status line
// says which colour the letters will take instead.
void TCaptionDialog::noteDistantColors() {
    const TFrame* frame = document().currentFrame;
    const TMyPalette* palette =
        frame && frame->localPalette ? frame->localPalette.get() : document().globalPalette.get();
    struct Part {
        QColor color;
        const char* takes;
        bool drawn;
    };
    const Part parts[] = {{color_, "the letters take", true},
                          {outlineColor_, "the outline takes", outline_->value() > 0}};
    QStringList notes;
    for (const Part& part : parts) {
        const auto nearest = part.drawn && palette ? distantNearest(*palette, rgbOf(part.color)) : std::nullopt;
        if (nearest)
            notes << QStringLiteral("No colour near %1 in the palette: %2 %3.")
                         .arg(part.color.name(), QLatin1String(part.takes),
                              QColor(nearest->red, nearest->green, nearest->blue).name());
    }
    status_->setText(notes.join(QLatin1Char('\n')));
}

void TCaptionDialog::setPosition(QPoint point) {
    centred_->setChecked(false);
    x_->setValue(point.x());
    y_->setValue(point.y());
}

void TCaptionDialog::startUp() {
    if (session_.listSelection().size() <= 1) frameList().selectAll();
    noteDistantColors();
}

void TCaptionDialog::showEvent(QShowEvent* event) {
    TFrameDialog::showEvent(event);
    text_->setFocus();  // the frames are all selected: the text comes first
}

bool TCaptionDialog::apply() {
    CaptionStyle style;
    style.font = font_->currentFont().family().toStdString();
    style.size = size_->value();
    style.color = rgbOf(color_);
    style.outlineColor = rgbOf(outlineColor_);
    style.outline = outline_->value();
    if (!centred_->isChecked()) {
        style.left = x_->value();
        style.top = y_->value();
    }
    const std::string error =
        drawCaption(document(), selection(), text_->toPlainText().toStdString(), style, undoLabelOf(CommandId::Caption));
    if (error.empty()) return true;
    QString message = QString::fromStdString(error);
    message[0] = message[0].toUpper();
    status_->setText(message + QLatin1Char('.'));
    return false;
}

TRedactDialog::TRedactDialog(EditorSession& session, RedactMode mode)
    : TFrameDialog(session, mode == RedactMode::Blur ? QStringLiteral("Blur") : QStringLiteral("Pixelate"),
                   QStringLiteral("The rectangle is hidden the same way on every selected frame, so the frames "
                                  "still share what they showed alike.")),
      mode_(mode) {
    auto* grid = new QGridLayout;
    const QString names[4] = {QStringLiteral("&Left:"), QStringLiteral("&Top:"), QStringLiteral("&Right:"),
                              QStringLiteral("B&ottom:")};
    for (int k = 0; k < 4; ++k) {
        edges_[k] = spinBox(this, 0, 65535, 0);
        auto* label = new QLabel(names[k], this);
        label->setBuddy(edges_[k]);
        grid->addWidget(label, k / 2, (k % 2) * 2);
        grid->addWidget(edges_[k], k / 2, (k % 2) * 2 + 1);
    }
    controls().addLayout(grid);
    auto* form = new QFormLayout;
    if (mode == RedactMode::Blur) {
        strength_ = spinBox(this, smallestBlurRadius, largestBlurRadius, 4, QStringLiteral(" px"));
        form->addRow(QStringLiteral("Ra&dius:"), strength_);
    } else {
        strength_ = spinBox(this, smallestCell, largestCell, 8, QStringLiteral(" px"));
        form->addRow(QStringLiteral("&Cell size:"), strength_);
    }
    status_ = statusLine(this, 2);
    form->addRow(status_);
    controls().addLayout(form);
    // The middle of the screen until the person or the canvas says otherwise.
    const Document& doc = document();
    setArea(QRect(doc.screenWidth / 4, doc.screenHeight / 4, std::max(doc.screenWidth / 2, 1),
                  std::max(doc.screenHeight / 2, 1)));
}

void TRedactDialog::setArea(QRect area) {
    const int values[4] = {area.left(), area.top(), area.left() + area.width(), area.top() + area.height()};
    for (int k = 0; k < 4; ++k) edges_[k]->setValue(values[k]);
}

TRedactDialog::~TRedactDialog() { session_.markRect({}); }

void TRedactDialog::showArea() {
    const TRect r{edges_[0]->value(), edges_[1]->value(), edges_[2]->value(), edges_[3]->value()};
    if (!r.isEmpty()) session_.markRect(r);
}

QRect TRedactDialog::area() const {
    return QRect(QPoint(edges_[0]->value(), edges_[1]->value()), QSize(edges_[2]->value() - edges_[0]->value(),
                                                                       edges_[3]->value() - edges_[1]->value()));
}

void TRedactDialog::startUp() {
    // All frames, unless the frame list selects several.
    if (session_.listSelection().size() <= 1) frameList().selectAll();
    showArea();
    for (QSpinBox* edge : edges_) connect(edge, &QSpinBox::valueChanged, this, &TRedactDialog::showArea);
}

bool TRedactDialog::apply() {
    const TRect r{edges_[0]->value(), edges_[1]->value(), edges_[2]->value(), edges_[3]->value()};
    if (r.isEmpty()) {
        status_->setText(QStringLiteral("Right must be past left, and bottom below top."));
        return false;
    }
    const bool done = mode_ == RedactMode::Blur
                          ? blurArea(document(), selection(), r, strength_->value(), undoLabelOf(CommandId::Blur))
                          : pixelateArea(document(), selection(), r, strength_->value(), undoLabelOf(CommandId::Pixelate));
    if (!done) {
        status_->setText(QStringLiteral("The rectangle misses every selected frame."));
    }
    return done;
}

}  // namespace movigram
