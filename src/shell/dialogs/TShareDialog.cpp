#include "TShareDialog.h"

#include <QBuffer>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMovie>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "commands/SaveCommands.h"
#include "save/GifWriter.h"
#include "shell/EditorSession.h"
#include "shell/FileDialogs.h"
#include "shell/Playback.h"

namespace movigram {

// Makes files from the copy of the document, one request at a time, on a
// thread of its own.  A request for the levers' file or a fit replaces one
// of those that has not started, and stops the one under way.
class ShareWorker {
public:
    // A job works on the copy, and gives up when its host asks.
    using Job = std::function<void(Document&, Host&)>;

    explicit ShareWorker(std::unique_ptr<Document> base) : base_(std::move(base)), thread_([this] { work(); }) {}
    ~ShareWorker() {
        {
            std::lock_guard lock(mutex_);
            quit_ = true;
            jobs_.clear();
            if (running_) running_->requestStop();
        }
        wake_.notify_one();
        thread_.join();
    }
    void post(Job job, bool replaceable) {
        {
            std::lock_guard lock(mutex_);
            if (replaceable) {
                std::erase_if(jobs_, [](const auto& queued) { return queued.second; });
                if (running_ && runningReplaceable_) running_->requestStop();
            }
            jobs_.emplace_back(std::move(job), replaceable);
        }
        wake_.notify_one();
    }

private:
    void work() {
        while (true) {
            Job job;
            StopToken* stop = nullptr;
            {
                std::unique_lock lock(mutex_);
                running_.reset();
                wake_.wait(lock, [this] { return quit_ || !jobs_.empty(); });
                if (quit_) return;
                job = std::move(jobs_.front().first);
                runningReplaceable_ = jobs_.front().second;
                jobs_.pop_front();
                running_ = std::make_unique<StopToken>();
                stop = running_.get();
            }
            QuietHost host(stop);
            job(*base_, host);
        }
    }

    std::unique_ptr<Document> base_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::pair<Job, bool>> jobs_;
    std::unique_ptr<StopToken> running_;  // the job under way's
    bool runningReplaceable_ = false;
    bool quit_ = false;
    std::thread thread_;  // last: it starts once the rest is made
};

// A file played in a label.
struct TShareDialog::Player {
    QGroupBox* box = nullptr;
    QString title;
    QLabel* view = nullptr;
    QByteArray bytes;
    QBuffer buffer;
    std::unique_ptr<QMovie> movie;

    void play(const std::vector<uint8_t>& file) {
        if (movie) movie->stop();
        movie.reset();
        buffer.close();
        box->setTitle(file.empty() ? title
                                   : QStringLiteral("%1, %2").arg(title, QString::fromStdString(describeSize(file.size()))));
        bytes = QByteArray(reinterpret_cast<const char*>(file.data()), qsizetype(file.size()));
        buffer.setBuffer(&bytes);
        if (file.empty()) {
            view->setMovie(nullptr);
            return;
        }
        buffer.open(QIODevice::ReadOnly);
        movie = std::make_unique<QMovie>(&buffer, QByteArray("gif"));
        movie->setCacheMode(QMovie::CacheAll);
        movie->jumpToFrame(0);
        const QSize size = movie->currentImage().size();
        const QSize box = view->minimumSize();
        if (!size.isEmpty() && (size.width() > box.width() || size.height() > box.height()))
            movie->setScaledSize(size.scaled(box, Qt::KeepAspectRatio));
        view->setMovie(movie.get());
        movie->start();
    }
};

namespace {

const int colourChoices[] = {0, 256, 128, 64, 32, 16, 8};
// Frames kept of every so many: 100 * kept + step.
const int frameSteps[] = {101, 304, 203, 102, 103, 104};

}  // namespace

TShareDialog::TShareDialog(EditorSession& session)
    : QDialog(session.window()), session_(session), original_(std::make_unique<Player>()),
      preview_(std::make_unique<Player>()) {
    setWindowTitle(QStringLiteral("Save for Sharing"));
    session.playback().stop();

    target_ = new QComboBox(this);
    target_->setEditable(true);
    target_->addItems({QStringLiteral("10 MB"), QStringLiteral("15 MB"), QStringLiteral("5 MB"), QStringLiteral("256 KB")});
    target_->setCurrentText(QString::fromStdString(session.dialogMemory().shareTarget));
    target_->setToolTip(QStringLiteral("The largest file wanted: 10 MB, 500 KB, 1.5 MiB or a number of bytes"));
    auto* fit = new QPushButton(QStringLiteral("&Fit"), this);
    fit->setAutoDefault(false);
    auto* targetRow = new QHBoxLayout;
    targetRow->addWidget(target_, 1);
    targetRow->addWidget(fit);

    lossy_ = new QSlider(Qt::Horizontal, this);
    lossy_->setRange(0, 100);
    lossy_->setValue(100);
    lossyValue_ = new QLabel(this);
    lossyValue_->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("Lossless")));
    auto* lossyRow = new QHBoxLayout;
    lossyRow->addWidget(lossy_, 1);
    lossyRow->addWidget(lossyValue_);
    colors_ = new QComboBox(this);
    for (int c : colourChoices)
        colors_->addItem(c ? QString::number(c) : QStringLiteral("As they are"), c);
    frameRate_ = new QComboBox(this);
    for (int choice : frameSteps) {
        const int kept = choice / 100, step = choice % 100;
        frameRate_->addItem(step == 1 ? QStringLiteral("Every frame")
                            : kept == 1 ? QStringLiteral("One frame in %1").arg(step)
                                        : QStringLiteral("%1 frames in %2").arg(kept).arg(step),
                            choice);
    }
    scale_ = new QSpinBox(this);
    scale_->setRange(1, 100);
    scale_->setValue(100);
    scale_->setSuffix(QStringLiteral(" %"));
    estimate_ = new QLabel(this);
    estimate_->setTextFormat(Qt::PlainText);

    auto* form = new QFormLayout;
    auto addRow = [&](const QString& text, QWidget* field, QLayout* row = nullptr) {
        auto* label = new QLabel(text, this);
        label->setBuddy(field);
        if (row) form->addRow(label, row);
        else form->addRow(label, field);
    };
    addRow(QStringLiteral("&Target size:"), target_, targetRow);
    addRow(QStringLiteral("&Lossy quality:"), lossy_, lossyRow);
    addRow(QStringLiteral("&Colours:"), colors_);
    addRow(QStringLiteral("F&rame rate:"), frameRate_);
    addRow(QStringLiteral("&Scale:"), scale_);
    form->addRow(QStringLiteral("File size:"), estimate_);

    auto framed = [&](const QString& title, Player& player) {
        auto* box = new QGroupBox(title, this);
        player.box = box;
        player.title = title;
        player.view = new QLabel(box);
        player.view->setAlignment(Qt::AlignCenter);
        player.view->setMinimumSize(280, 210);
        auto* layout = new QVBoxLayout(box);
        layout->addWidget(player.view);
        return box;
    };
    auto* players = new QHBoxLayout;
    players->addWidget(framed(QStringLiteral("Original"), *original_));
    players->addWidget(framed(QStringLiteral("Result"), *preview_));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    save_ = buttons->addButton(QStringLiteral("&Save..."), QDialogButtonBox::AcceptRole);
    save_->setEnabled(false);
    connect(buttons, &QDialogButtonBox::accepted, this, &TShareDialog::saveResult);
    connect(buttons, &QDialogButtonBox::rejected, this, &TShareDialog::reject);

    auto* main = new QVBoxLayout(this);
    main->addLayout(form);
    main->addLayout(players, 1);
    main->addWidget(buttons);

    // The levers' file is made a moment after they stop moving.
    auto* settle = new QTimer(this);
    settle->setSingleShot(true);
    settle->setInterval(250);
    connect(settle, &QTimer::timeout, this, &TShareDialog::leversMoved);
    auto moved = [this, settle] {
        lossyValue_->setText(lossy_->value() == 100 ? QStringLiteral("Lossless") : QString::number(lossy_->value()));
        if (!showing_) settle->start();
    };
    connect(lossy_, &QSlider::valueChanged, this, moved);
    connect(colors_, &QComboBox::currentIndexChanged, this, moved);
    connect(frameRate_, &QComboBox::currentIndexChanged, this, moved);
    connect(scale_, &QSpinBox::valueChanged, this, moved);
    connect(target_, &QComboBox::activated, this, &TShareDialog::targetChosen);
    connect(target_->lineEdit(), &QLineEdit::returnPressed, this, &TShareDialog::targetChosen);
    connect(fit, &QPushButton::clicked, this, &TShareDialog::targetChosen);
    moved();
    settle->stop();

    worker_ = std::make_unique<ShareWorker>(copyForSave(session.document()));
    worker_->post(
        [this](Document& base, Host& host) {
            std::vector<uint8_t> file = savedBytes(base, false, &host);
            QMetaObject::invokeMethod(this, [this, file = std::move(file)] { original_->play(file); },
                                      Qt::QueuedConnection);
        },
        false);
    targetChosen();
}

TShareDialog::~TShareDialog() {
    worker_.reset();  // before the players and levers it reports to
}

ShareSettings TShareDialog::settings() const {
    const int frames = frameRate_->currentData().toInt();
    return {lossy_->value(), colors_->currentData().toInt(), frames % 100, scale_->value(), frames / 100};
}

void TShareDialog::targetChosen() {
    const std::optional<uint64_t> bytes = parseByteSize(target_->currentText().toStdString());
    if (!bytes) {
        estimate_->setText(QStringLiteral("The target is a size such as 10 MB, 500 KB or 1.5 MiB."));
        return;
    }
    targetBytes_ = *bytes;
    session_.dialogMemory().shareTarget = target_->currentText().trimmed().toStdString();
    const uint64_t generation = ++generation_;
    estimate_->setText(QStringLiteral("Finding the best setting under %1...")
                           .arg(QString::fromStdString(describeSize(targetBytes_))));
    save_->setEnabled(false);
    const uint64_t target = targetBytes_;
    worker_->post(
        [this, generation, target](Document& base, Host& host) {
            FitResult fit = fitToSize(base, target, 100, &host);
            QMetaObject::invokeMethod(this, [this, generation, fit = std::move(fit)] { fitFound(generation, fit); },
                                      Qt::QueuedConnection);
        },
        true);
}

void TShareDialog::leversMoved() {
    const uint64_t generation = ++generation_;
    estimate_->setText(QStringLiteral("Estimating..."));
    save_->setEnabled(false);
    const ShareSettings chosen = settings();
    worker_->post(
        [this, generation, chosen](Document& base, Host& host) {
            std::vector<uint8_t> file = sharedFile(base, chosen, &host);
            QMetaObject::invokeMethod(
                this, [this, generation, file = std::move(file)]() mutable { fileMade(generation, std::move(file)); },
                Qt::QueuedConnection);
        },
        true);
}

void TShareDialog::fitFound(uint64_t generation, const FitResult& fit) {
    if (generation != generation_) return;
    showSettings(fit.settings);
    if (fit.fits) {
        fileMade(generation, fit.file);
        return;
    }
    shown_ = generation;
    result_.clear();
    preview_->play(result_);
    estimate_->setText(fit.bytes ? QStringLiteral("No setting reaches %1: the smallest, %2, is %3.")
                                       .arg(QString::fromStdString(describeSize(targetBytes_)),
                                            QString::fromStdString(describeSettings(fit.settings)),
                                            QString::fromStdString(describeSize(fit.bytes)))
                                 : QStringLiteral("The file could not be made."));
}

void TShareDialog::fileMade(uint64_t generation, std::vector<uint8_t> file) {
    if (generation != generation_) return;
    shown_ = generation;
    result_ = std::move(file);
    showResult();
}

void TShareDialog::showSettings(const ShareSettings& s) {
    showing_ = true;
    lossy_->setValue(s.lossy);
    colors_->setCurrentIndex(std::max(0, colors_->findData(s.colors)));
    frameRate_->setCurrentIndex(std::max(0, frameRate_->findData(100 * s.framesKept + s.frameStep)));
    scale_->setValue(s.scalePercent);
    showing_ = false;
}

void TShareDialog::showResult() {
    preview_->play(result_);
    save_->setEnabled(!result_.empty());
    if (result_.empty()) {
        estimate_->setText(QStringLiteral("The file could not be made with these settings."));
        return;
    }
    const QString size = QString::fromStdString(describeSize(result_.size()));
    const QString target = QString::fromStdString(describeSize(targetBytes_));
    estimate_->setText(result_.size() <= targetBytes_ ? QStringLiteral("%1, within %2").arg(size, target)
                                                      : QStringLiteral("%1, over %2").arg(size, target));
}

void TShareDialog::saveResult() {
    if (result_.empty()) return;
    const Document& doc = session_.document();
    const QString path = chooseGifSavePath(this, QString::fromStdString(doc.saveDir.empty() ? doc.openDir : doc.saveDir),
                                           QString::fromStdString(doc.fileName), QStringLiteral("Save for Sharing"));
    if (path.isEmpty()) return;
    const GifWriteResult written = writeGifBytes(path.toStdString(), result_);
    if (!written.ok) {
        QMessageBox::warning(this, windowTitle(), QString::fromStdString(gifWriteErrorMessage(written)));
        return;
    }
    accept();
}

}  // namespace movigram
