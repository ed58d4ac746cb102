// Save for sharing: the dialog starts at the setting that fits its target,
// follows the levers, and writes the file it shows only on Save.
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <filesystem>

#include "DialogFixture.h"
#include "shell/dialogs/TShareDialog.h"
#include "support/CorpusPath.h"

namespace movigram::test {
namespace {

TEST_F(Dialogs, SaveForSharingFitsItsTargetAndWritesWhatItShows) {
    start();
    session().openPath(QString::fromStdString((sourceDir() / "resources/samples/bounce.gif").string()));
    const int frames = doc().frameList.count();
    const auto out = dir / "shared.gif";
    run<TShareDialog>(C::SaveForSharing, [&](TShareDialog& d) {
        // The remembered target: the whole file fits with maximum compression.
        EXPECT_EQ(d.targetBox().currentText(), "10 MB");
        QTRY_VERIFY_WITH_TIMEOUT(!d.isWorking(), 60000);
        EXPECT_EQ(d.settings(), ShareSettings{});
        const size_t whole = d.resultFile().size();
        ASSERT_GT(whole, 0u);

        d.targetBox().lineEdit()->setText(QString::number(whole * 6 / 10));
        QTest::keyClick(d.targetBox().lineEdit(), Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(!d.isWorking(), 60000);
        EXPECT_LE(d.resultFile().size(), whole * 6 / 10);
        EXPECT_NE(d.settings(), ShareSettings{});
        EXPECT_TRUE(d.estimateLabel().text().contains("within")) << d.estimateLabel().text().toStdString();

        // A lever moved by hand makes its own file.
        const ShareSettings fitted = d.settings();
        d.scaleBox().setValue(fitted.scalePercent / 2);
        QTRY_VERIFY_WITH_TIMEOUT(d.isWorking(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!d.isWorking(), 60000);
        EXPECT_EQ(d.settings().scalePercent, fitted.scalePercent / 2);
        EXPECT_LT(d.resultFile().size(), whole * 6 / 10);
        const std::vector<uint8_t> shown = d.resultFile();

        QTimer::singleShot(50, [&] {
            auto* files = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(files, nullptr);
            files->findChild<QLineEdit*>("fileNameEdit")->setText(QString::fromStdString(out.string()));
            static_cast<QDialog*>(files)->accept();
        });
        d.saveButton().click();
        EXPECT_EQ(std::filesystem::file_size(out), shown.size());
    });
    // Looking and writing a copy leave the document as it was.
    EXPECT_EQ(doc().frameList.count(), frames);
    EXPECT_FALSE(doc().undo.canUndo());
    EXPECT_NE(session().savedOptions().shareTarget, "10 MB");
}

}  // namespace
}  // namespace movigram::test
