#include "TExportDialog.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <atomic>
#include <thread>

#include "commands/ExportCommands.h"
#include "shell/EditorSession.h"
#include "shell/FileDialogs.h"
#include "shell/Playback.h"

namespace movigram {

namespace {

// The worker's progress, read by the progress bar; Cancel asks it to stop.
class ExportProgress : public Progress {
public:
    void setProgress(int percent) override { percent_.store(percent, std::memory_order_relaxed); }
    bool stopRequested() const override { return stop_.load(std::memory_order_relaxed); }
    int percent() const { return percent_.load(std::memory_order_relaxed); }
    void stop() { stop_.store(true, std::memory_order_relaxed); }

private:
    std::atomic<int> percent_{0};
    std::atomic<bool> stop_{false};
};

const ExportFormat formats[] = {ExportFormat::WebP, ExportFormat::Apng, ExportFormat::Mp4, ExportFormat::WebM};
const char* const formatTexts[] = {"Animated WebP", "APNG (animated PNG)", "MP4 video (H.264)", "WebM video (VP9)"};

}  // namespace

TExportDialog::TExportDialog(EditorSession& session) : QDialog(session.window()), session_(session) {
    setWindowTitle(QStringLiteral("Export As"));
    session.playback().stop();
    const Rgba b = backgroundColourOf(session.document());
    colour_ = QColor(b.r, b.g, b.b);

    format_ = new QComboBox(this);
    for (size_t i = 0; i < std::size(formats); ++i) format_->addItem(QString::fromLatin1(formatTexts[i]), int(formats[i]));
    lossless_ = new QCheckBox(QStringLiteral("&Lossless"), this);
    lossless_->setChecked(true);
    quality_ = new QSpinBox(this);
    quality_->setRange(0, 100);
    quality_->setValue(80);
    background_ = new QPushButton(this);
    background_->setAutoDefault(false);
    note_ = new QLabel(this);
    note_->setWordWrap(true);
    note_->setTextFormat(Qt::PlainText);
    note_->setMinimumWidth(360);

    auto* form = new QFormLayout;
    auto addRow = [&](const QString& text, QWidget* field) {
        auto* label = new QLabel(text, this);
        label->setBuddy(field);
        form->addRow(label, field);
    };
    addRow(QStringLiteral("&Format:"), format_);
    form->addRow(QString(), lossless_);
    addRow(QStringLiteral("&Quality:"), quality_);
    addRow(QStringLiteral("&Background:"), background_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    export_ = buttons->addButton(QStringLiteral("&Export..."), QDialogButtonBox::AcceptRole);
    export_->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &TExportDialog::exportChosen);
    connect(buttons, &QDialogButtonBox::rejected, this, &TExportDialog::reject);

    auto* main = new QVBoxLayout(this);
    main->addLayout(form);
    main->addWidget(note_);
    main->addWidget(buttons);

    connect(format_, &QComboBox::currentIndexChanged, this, &TExportDialog::formatChosen);
    connect(lossless_, &QCheckBox::toggled, this, &TExportDialog::formatChosen);
    connect(background_, &QPushButton::clicked, this, &TExportDialog::chooseBackground);
    showBackground();
    formatChosen();
}

ExportFormat TExportDialog::format() const { return ExportFormat(format_->currentData().toInt()); }

ExportOptions TExportDialog::options() const {
    ExportOptions o;
    if (format() == ExportFormat::WebP && !lossless_->isChecked()) o.quality = quality_->value();
    o.background = {uint8_t(colour_.red()), uint8_t(colour_.green()), uint8_t(colour_.blue()), 255};
    return o;
}

void TExportDialog::formatChosen() {
    const ExportFormat f = format();
    lossless_->setEnabled(f == ExportFormat::WebP);
    quality_->setEnabled(f == ExportFormat::WebP && !lossless_->isChecked());
    background_->setEnabled(f == ExportFormat::Mp4 || f == ExportFormat::WebM);
    const Document& doc = session_.document();
    note_->setText(QString::fromStdString(exportLimits(f, doc.screenWidth, doc.screenHeight)));
}

void TExportDialog::chooseBackground() {
    const QColor chosen = QColorDialog::getColor(colour_, this, QStringLiteral("Background"));
    if (!chosen.isValid()) return;
    colour_ = chosen;
    showBackground();
}

void TExportDialog::showBackground() {
    QPixmap swatch(24, 14);
    swatch.fill(colour_);
    background_->setIcon(QIcon(swatch));
    background_->setText(QStringLiteral("%1, %2, %3").arg(colour_.red()).arg(colour_.green()).arg(colour_.blue()));
}

void TExportDialog::exportChosen() {
    Document& doc = session_.document();
    const ExportFormat f = format();
    const QString path = chooseExportPath(this, QString::fromStdString(doc.saveDir.empty() ? doc.openDir : doc.saveDir),
                                          QString::fromStdString(doc.fileName), f);
    if (path.isEmpty()) return;
    // The worker reads its own copy; the document stays the editor's.
    std::shared_ptr<Document> copy = copyForExport(doc);
    const ExportOptions chosen = options();
    auto progress = std::make_shared<ExportProgress>();
    auto done = std::make_shared<std::atomic<bool>>(false);
    auto result = std::make_shared<ExportResult>();
    const std::string target = path.toStdString();
    std::thread worker([=] {
        *result = exportCopy(*copy, f, target, chosen, progress.get());
        done->store(true);
    });

    QProgressDialog bar(QStringLiteral("Exporting \"%1\"...").arg(QFileInfo(path).fileName()), QStringLiteral("Cancel"), 0,
                        100, this);
    bar.setWindowModality(Qt::WindowModal);
    bar.setMinimumDuration(400);
    bar.setAutoClose(false);
    bar.setAutoReset(false);
    QEventLoop wait;
    QTimer tick;
    tick.setInterval(30);
    connect(&tick, &QTimer::timeout, &wait, [&] {
        if (bar.wasCanceled()) progress->stop();
        if (done->load()) wait.quit();
        else bar.setValue(progress->percent());
    });
    tick.start();
    wait.exec();
    worker.join();
    bar.close();

    result_ = *result;
    if (progress->stopRequested()) return;  // cancelled: nothing was written
    if (!result_.ok) {
        QMessageBox::warning(this, windowTitle(), QString::fromStdString(result_.error));
        return;
    }
    accept();
}

}  // namespace movigram
