// Export as: the dialog offers what each format can hold, and writes the
// chosen format from a copy of the document on a worker thread.
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <filesystem>
#include <fstream>

#include "DialogFixture.h"
#include "shell/dialogs/TExportDialog.h"
#include "support/CorpusPath.h"

namespace movigram::test {
namespace {

TEST_F(Dialogs, ExportAsOffersEachFormatsSettingsAndWritesACopy) {
    start();
    session().openPath(QString::fromStdString((sourceDir() / "resources/samples/bounce.gif").string()));
    const int frames = doc().frameList.count();
    const auto out = dir / "exported.webp";
    run<TExportDialog>(C::ExportAs, [&](TExportDialog& d) {
        d.formatBox().setCurrentIndex(d.formatBox().findData(int(ExportFormat::Mp4)));
        EXPECT_TRUE(d.backgroundButton().isEnabled());
        EXPECT_FALSE(d.losslessBox().isEnabled());
        EXPECT_TRUE(d.noteLabel().text().contains("no transparency")) << d.noteLabel().text().toStdString();

        d.formatBox().setCurrentIndex(d.formatBox().findData(int(ExportFormat::WebP)));
        EXPECT_FALSE(d.backgroundButton().isEnabled());
        EXPECT_FALSE(d.qualityBox().isEnabled());
        EXPECT_FALSE(d.options().quality.has_value());
        d.losslessBox().click();
        EXPECT_TRUE(d.qualityBox().isEnabled());
        d.qualityBox().setValue(60);
        EXPECT_EQ(d.options().quality, 60);

        QTimer::singleShot(50, [&] {
            auto* files = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(files, nullptr);
            EXPECT_TRUE(files->nameFilters().join(" ").contains("*.webp"));
            files->findChild<QLineEdit*>("fileNameEdit")->setText(QString::fromStdString(out.string()));
            static_cast<QDialog*>(files)->accept();
        });
        d.exportButton().click();
        EXPECT_TRUE(d.lastResult().ok) << d.lastResult().error;
        EXPECT_FALSE(d.isVisible());
    });
    std::ifstream in(out, std::ios::binary);
    char head[12] = {};
    in.read(head, sizeof head);
    EXPECT_EQ(std::string(head + 8, 4), "WEBP");
    // Exporting reads the document and leaves it as it was.
    EXPECT_EQ(doc().frameList.count(), frames);
    EXPECT_FALSE(doc().modified);
    EXPECT_FALSE(doc().undo.canUndo());
}

}  // namespace
}  // namespace movigram::test
