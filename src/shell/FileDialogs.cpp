#include "FileDialogs.h"

#include <QDir>
#include <QFileDialog>

namespace movigram {

namespace {

// "GIF Files (*.GIF)" listing both spellings of each pattern, since file
// names on Linux keep their case.
QString filter(const char* name, std::initializer_list<const char*> extensions) {
    QStringList patterns;
    for (const char* e : extensions) patterns << QStringLiteral("*.%1").arg(QLatin1String(e));
    for (const char* e : extensions) patterns << QStringLiteral("*.%1").arg(QLatin1String(e).toString().toUpper());
    return QStringLiteral("%1 (%2)").arg(QLatin1String(name), patterns.join(QLatin1Char(' ')));
}

}  // namespace

QString gifFilter() { return filter("GIF Files", {"gif"}); }

QStringList openFilters() {
    return {
        gifFilter(),
        filter("PCX Files", {"pcx"}),
        filter("Windows BMP Files", {"bmp"}),
        filter("JPEG Files", {"jpg", "jpeg"}),
        filter("Video Files", {"avi"}),
        filter("Text files", {"txt"}),
        filter("MP4, WebM, MOV and MKV Videos", {"mp4", "m4v", "webm", "mov", "mkv"}),
        filter("All supported files", {"gif", "pcx", "qcx", "bmp", "jpg", "jpeg", "avi", "mp4", "m4v", "webm", "mov",
                                       "mkv", "mpg", "mpeg", "wmv", "flv", "ogv", "txt"}),
    };
}

QStringList chooseFilesToOpen(QWidget* parent, const QString& folder) {
    QFileDialog dialog(parent, QStringLiteral("Open"), folder);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setNameFilters(openFilters());
    dialog.setDefaultSuffix(QStringLiteral("gif"));
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles();
}

QString chooseGifSavePath(QWidget* parent, const QString& folder, const QString& name, const QString& caption) {
    QFileDialog dialog(parent, caption, QDir(folder.isEmpty() ? QDir::homePath() : folder).filePath(name));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(gifFilter());
    dialog.setDefaultSuffix(QStringLiteral("gif"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().front();
}

}  // namespace movigram
