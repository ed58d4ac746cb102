// The Open dialog: every kind the program reads under one filter, shown
// first and chosen, its long pattern list kept out of the filter's label;
// a picture with transparent pixels keeps them.
#include <QApplication>
#include <QFileDialog>
#include <fstream>

#include "EditorFixture.h"
#include "dialogs/DialogFixture.h"
#include "support/PngBuilder.h"

namespace movigram::test {
namespace {

using OpenDialog = Editor;

TEST_F(OpenDialog, AllSupportedFilesComesFirstAndOpensAPng) {
    // 2x1: a red pixel and a transparent one.
    const PngBytes png = rgbaPng(2, 1, {255, 0, 0, 255, 0, 0, 0, 0});
    const std::string path = (dir / "dot.png").string();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
    start();

    QStringList filters;
    QString chosen;
    bool detailsHidden = false;
    WhenOpen<QFileDialog> pick([&](QFileDialog& dialog) {
        filters = dialog.nameFilters();
        chosen = dialog.selectedNameFilter();
        detailsHidden = dialog.testOption(QFileDialog::HideNameFilterDetails);
    });
    trigger(C::Open);
    ASSERT_TRUE(pick.seen());
    ASSERT_FALSE(filters.isEmpty());
    // The filter chosen is the first, shown by its name alone.
    EXPECT_EQ(chosen, "All supported files");
    EXPECT_TRUE(filters.front().startsWith("All supported files ("));
    EXPECT_TRUE(detailsHidden);
    for (const char* pattern : {"*.gif", "*.png", "*.apng", "*.webp", "*.avif", "*.jpg", "*.mp4", "*.txt"})
        EXPECT_TRUE(filters.front().contains(QLatin1String(pattern))) << pattern;

    // (Opened by its path: a file picked in the dialog is found by a
    // folder listing that may still be running when the test accepts.)
    session().openPath(QString::fromStdString(path));

    ASSERT_EQ(doc().frameList.count(), 1);
    const TFrame& frame = *doc().frameList.frameAt(0);
    ASSERT_GE(frame.transparentIndex, 0);
    EXPECT_EQ(frame.image->pixel(1, 0), frame.transparentIndex);
    EXPECT_NE(frame.image->pixel(0, 0), frame.transparentIndex);
    // The canvas shows the picture as soon as it is read.
    QApplication::processEvents();
    EXPECT_EQ(view().viewport()->grab().toImage().pixel(0, 0), qRgb(255, 0, 0));
}

}  // namespace
}  // namespace movigram::test
