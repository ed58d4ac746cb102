#include "FileDialogs.h"

#include <QDir>
#include <QFileDialog>

namespace movigram {

QString fileFilter(const char* name, std::initializer_list<const char*> extensions) {
    QStringList patterns;
    for (const char* e : extensions) patterns << QStringLiteral("*.%1").arg(QLatin1String(e));
    for (const char* e : extensions) patterns << QStringLiteral("*.%1").arg(QLatin1String(e).toString().toUpper());
    return QStringLiteral("%1 (%2)").arg(QLatin1String(name), patterns.join(QLatin1Char(' ')));
}

QString gifFilter() { return fileFilter("GIF Files", {"gif"}); }

QStringList openFilters() {
    return {
        fileFilter("All supported files", {"gif", "png", "apng", "webp", "avif", "jpg", "jpeg", "bmp", "pcx", "qcx",
                                           "avi", "mp4", "m4v", "webm", "mov", "mkv", "mpg", "mpeg", "wmv", "flv",
                                           "ogv", "txt"}),
        gifFilter(),
        fileFilter("PNG and APNG Files", {"png", "apng"}),
        fileFilter("WebP Files", {"webp"}),
        fileFilter("AVIF Files", {"avif"}),
        fileFilter("PCX Files", {"pcx"}),
        fileFilter("Windows BMP Files", {"bmp"}),
        fileFilter("JPEG Files", {"jpg", "jpeg"}),
        fileFilter("Video Files", {"avi"}),
        fileFilter("Text files", {"txt"}),
        fileFilter("MP4, WebM, MOV and MKV Videos", {"mp4", "m4v", "webm", "mov", "mkv"}),
    };
}

QStringList chooseFilesToOpen(QWidget* parent, const QString& folder) {
    QFileDialog dialog(parent, QStringLiteral("Open"), folder);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    // The filters show their names only: the patterns of "All supported
    // files" would make the dialog as wide as the screen.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    const QStringList filters = openFilters();
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.front());
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

QString chooseExportPath(QWidget* parent, const QString& folder, const QString& name, ExportFormat format) {
    const QString extension = QString::fromLatin1(exportFormatExtension(format)).mid(1);
    QString file = name;
    if (const qsizetype dot = file.lastIndexOf(QLatin1Char('.')); dot > 0) file.truncate(dot);
    if (!file.isEmpty()) file += QLatin1Char('.') + extension;
    QFileDialog dialog(parent, QStringLiteral("Export As"), QDir(folder.isEmpty() ? QDir::homePath() : folder).filePath(file));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    const QByteArray title = QByteArray(exportFormatName(format)) + " Files";
    if (format == ExportFormat::Apng) dialog.setNameFilter(fileFilter(title.constData(), {"png", "apng"}));
    else dialog.setNameFilter(fileFilter(title.constData(), {extension.toLatin1().constData()}));
    dialog.setDefaultSuffix(extension);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().front();
}

}  // namespace movigram
