// HTML code, Preview, the help pages, How to use help and About, with a
// launcher that records what the desktop would have opened.
#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextDocument>
#include <QTimer>
#include <fstream>
#include <sstream>

#include "EditorFixture.h"
#include "commands/BrowserCommands.h"
#include "commands/ClipboardFormats.h"
#include "commands/CommandTable.h"
#include "shell/BrowserServices.h"
#include "shell/TAboutDialog.h"
#include "shell/THelpViewer.h"
#include "shell/THtmlDialog.h"
#include "shell/TQCXButton.h"

namespace movigram::test {
namespace {

using C = CommandId;

struct RecordingLauncher : DocumentLauncher {
    std::vector<std::string> opened;
    bool browserWorks = true;
    bool open(const std::string& path) override {
        if (!browserWorks && path.ends_with(".html")) return false;
        opened.push_back(path);
        return true;
    }
};

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs fn on the next modal dialog of type D once it is shown.
template <typename D, typename Fn>
void onDialog(Fn fn, int triesLeft = 300) {
    QTimer::singleShot(10, [fn, triesLeft] {
        if (auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget())) fn(*dialog);
        else if (triesLeft > 0) onDialog<D>(fn, triesLeft - 1);
    });
}

class Help : public Editor {
protected:
    void startWithLauncher() {
        start();
        session().browserServices().setLauncher(&launcher);
    }
    void open(const std::string& path) {
        session().openPath(QString::fromStdString(path));
        QApplication::processEvents();
    }
    RecordingLauncher launcher;
};

TEST_F(Help, HtmlCodeGivesTheImageTagOfTheSavedFileAndOkCopiesIt) {
    const std::string spin = writeGif("spin.gif", 3, 120, 80);
    startWithLauncher();
    EXPECT_FALSE(action(C::HtmlCode)->isEnabled());
    open(spin);
    ASSERT_TRUE(action(C::HtmlCode)->isEnabled());
    trigger(C::Copy);
    ASSERT_TRUE(QApplication::clipboard()->mimeData()->hasFormat(heldFrameMimeType));
    QString shown, title;
    onDialog<THtmlDialog>([&](THtmlDialog& d) {
        title = d.windowTitle();
        shown = d.edit().toPlainText();
        d.edit().setPlainText(shown + " <!-- mine -->");
        d.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    trigger(C::HtmlCode);
    EXPECT_EQ(title, "HTML code");
    EXPECT_EQ(shown, "<img src=\"spin.gif\" width=120 height=80>");
    EXPECT_EQ(QApplication::clipboard()->text(), "<img src=\"spin.gif\" width=120 height=80> <!-- mine -->");
    // The clipboard no longer holds the frame.
    EXPECT_FALSE(QApplication::clipboard()->mimeData()->hasFormat(heldFrameMimeType));
}

TEST_F(Help, PreviewShowsTheSavedFileUntilAnEditThenATemporaryCopy) {
    const std::string spin = writeGif("spin.gif", 3, 120, 80);
    startWithLauncher();
    open(spin);
    trigger(C::Preview);
    ASSERT_EQ(launcher.opened.size(), 1u);
    EXPECT_TRUE(launcher.opened[0].ends_with("$movigram-temp.html"));
    const std::string page = readText(launcher.opened[0]);
    EXPECT_NE(page.find("<img src=\"" + fileUrl(spin) + "\" width=120 height=80>"), std::string::npos) << page;

    session().listSelect(2);
    trigger(C::Delete);
    trigger(C::Preview);
    ASSERT_EQ(launcher.opened.size(), 2u);
    const std::string edited = readText(launcher.opened[1]);
    const std::filesystem::path folder = std::filesystem::path(launcher.opened[1]).parent_path();
    const std::string temp = (folder / "$movigram-temp.gif").string();
    EXPECT_NE(edited.find(fileUrl(temp)), std::string::npos) << edited;
    EXPECT_TRUE(std::filesystem::exists(temp));
    // Written from the document without changing it.
    EXPECT_EQ(doc().frameList.count(), 2);
    EXPECT_TRUE(doc().modified);
}

// The preview's files live in a folder of this editor's own that nobody
// else can enter, and go when the editor goes.
TEST_F(Help, PreviewFilesAreKeptPrivateAndRemovedWithTheEditor) {
    startWithLauncher();
    open(writeGif("spin.gif", 3));
    session().listSelect(2);
    trigger(C::Delete);
    // A file planted at the old shared place is left alone.
    const std::filesystem::path shared = std::filesystem::temp_directory_path() / "$movigram-temp.html";
    const bool planted = !std::filesystem::exists(shared);
    if (planted) std::ofstream(shared) << "planted";
    trigger(C::Preview);
    trigger(C::Preview);  // again, over its own files
    ASSERT_EQ(launcher.opened.size(), 2u);
    const std::filesystem::path page = launcher.opened[1], folder = page.parent_path();
    EXPECT_EQ(page.filename(), "$movigram-temp.html");
    EXPECT_NE(folder, std::filesystem::temp_directory_path());
    EXPECT_TRUE(std::filesystem::exists(folder / "$movigram-temp.gif"));
    EXPECT_EQ(std::filesystem::status(folder).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_all);
    if (planted) {
        EXPECT_EQ(readText(shared.string()), "planted");
        std::filesystem::remove(shared);
    }
    doc().setModified(false);
    window().close();
    TearDown();
    EXPECT_FALSE(std::filesystem::exists(folder));
}

TEST_F(Help, TheShippedPagesOpenInTheBrowserAndAMissingPageIsReported) {
    startWithLauncher();
    trigger(C::HelpEnglish);
    trigger(C::HelpFrench);
    trigger(C::HelpSpanish);
    trigger(C::HowToUseHelp);
    ASSERT_EQ(launcher.opened.size(), 4u);
    EXPECT_TRUE(launcher.opened[0].ends_with("help/help.html"));
    EXPECT_TRUE(launcher.opened[1].ends_with("help/help-fren.html"));
    EXPECT_TRUE(launcher.opened[2].ends_with("help/help-span.html"));
    EXPECT_TRUE(launcher.opened[3].ends_with("usehelp.txt"));
    for (const std::string& path : launcher.opened) EXPECT_TRUE(std::filesystem::exists(path)) << path;

    session().browserServices().setDocumentsFolder(QString::fromStdString(dir.string()));
    MessageBoxAnswer ok(QMessageBox::Ok);
    trigger(C::HelpFrench);
    EXPECT_TRUE(ok.seen());
    EXPECT_EQ(ok.caption(), "File Error");
    EXPECT_EQ(ok.text().toStdString(), "Cannot open file \"" + (dir / "help" / "help-fren.html").string() + "\"");
    EXPECT_EQ(launcher.opened.size(), 4u);
}

TEST_F(Help, WithoutABrowserTheNoteOnUsingHelpOpensInstead) {
    startWithLauncher();
    launcher.browserWorks = false;
    MessageBoxAnswer ok(QMessageBox::Ok);
    trigger(C::HelpEnglish);
    EXPECT_EQ(ok.caption(), "Error");
    EXPECT_EQ(ok.text(), "Cannot locate your Internet browser");
    ASSERT_EQ(launcher.opened.size(), 1u);
    EXPECT_TRUE(launcher.opened[0].ends_with("usehelp.txt"));
}

// The desktop's opener on PATH, or none; PATH comes back after the test.
class HelpOnThisDesktop : public Help {
protected:
    void SetUp() override {
        Help::SetUp();
        oldPath_ = qgetenv("PATH");
        std::filesystem::create_directories(dir / "bin");
        qputenv("PATH", QByteArray::fromStdString((dir / "bin").string()));
        // Every message box is noted and closed.
        QObject::connect(&closer_, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                boxes << box->text();
                box->reject();
            }
        });
        closer_.start(20);
    }
    void TearDown() override {
        qputenv("PATH", oldPath_);
        Help::TearDown();
    }
    // An xdg-open that notes the document and ends with code.
    void opener(int code) {
        const auto path = dir / "bin" / "xdg-open";
        std::ofstream(path) << "#!/bin/sh\necho \"$1\" > '" << (dir / "opened").string() << "'\nexit " << code << "\n";
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    }
    THelpViewer* viewer() { return session().browserServices().desktop().viewer(); }
    bool viewerShows(const std::string& ending) {
        return QTest::qWaitFor([&] { return viewer() && viewer()->isVisible() && viewer()->shownPath().endsWith(QString::fromStdString(ending)); });
    }

    QStringList boxes;

private:
    QByteArray oldPath_;
    QTimer closer_;
};

// Without a program to show them, the documents open in the editor's own viewer.
TEST_F(HelpOnThisDesktop, WithoutAnyOpenerHelpAndPreviewOpenInTheBuiltInViewer) {
    start();
    trigger(C::HelpEnglish);
    ASSERT_TRUE(viewerShows("help/help.html"));
    EXPECT_TRUE(viewer()->browser().toPlainText().contains("Movigram"));
    trigger(C::HowToUseHelp);
    ASSERT_TRUE(viewerShows("usehelp.txt"));
    EXPECT_EQ(viewer()->browser().toPlainText().toStdString(),
              readText(session().browserServices().documents().useHelp()));
    open(writeGif("spin.gif", 3));
    trigger(C::Preview);
    ASSERT_TRUE(viewerShows("$movigram-temp.html"));
    EXPECT_FALSE(viewer()->browser().document()->resource(QTextDocument::ImageResource,
                                                          QUrl(QString::fromStdString(fileUrl((dir / "spin.gif").string()))))
                     .isNull());
    EXPECT_EQ(boxes, QStringList());
}

// An opener that finds no program: the viewer, once it has said so.  One
// that hands the page on: nothing more.
TEST_F(HelpOnThisDesktop, TheViewerOpensOnlyWhenTheDesktopFindsNoProgram) {
    opener(3);
    start();
    trigger(C::HelpFrench);
    ASSERT_TRUE(viewerShows("help/help-fren.html"));
    viewer()->close();
    opener(0);
    trigger(C::HelpSpanish);
    ASSERT_TRUE(QTest::qWaitFor([&] { return readText((dir / "opened").string()).find("help-span.html") != std::string::npos; }));
    QTest::qWait(200);
    EXPECT_FALSE(viewer()->isVisible());
    EXPECT_EQ(boxes, QStringList());
}

// Each page names every command of the menus, so none goes undocumented.
TEST_F(Help, EveryPageDescribesEveryMenuCommand) {
    startWithLauncher();
    const ProgramDocuments& docs = session().browserServices().documents();
    for (C page : {C::HelpEnglish, C::HelpFrench, C::HelpSpanish}) {
        const std::string text = readText(docs.helpPage(page));
        ASSERT_FALSE(text.empty()) << docs.helpPage(page);
        for (const CommandInfo& info : commandTable()) {
            if (info.menu == Menu::None || (info.id >= C::RecentFile1 && info.id <= C::RecentFile4)) continue;
            std::string name = info.menuText;
            name = name.substr(0, name.find('\t'));
            std::erase(name, '&');
            if (name.ends_with("...")) name.resize(name.size() - 3);
            EXPECT_NE(text.find(name), std::string::npos) << docs.helpPage(page) << ": " << name;
        }
    }
}

TEST_F(Help, AboutShowsThePictureAndTheVersion) {
    startWithLauncher();
    QString caption;
    QSize picture;
    onDialog<TAboutDialog>([&](TAboutDialog& d) {
        caption = d.windowTitle();
        picture = d.pictureButton().picture().size();
        for (QPushButton* b : d.findChildren<QPushButton*>())
            if (b->text() == "Continue") b->click();
    });
    trigger(C::About);
    EXPECT_EQ(caption.toStdString(), "Version " + versionText());
    EXPECT_TRUE(caption.endsWith(" bit)"));
    EXPECT_FALSE(picture.isEmpty());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

// The desktop starts the editor with every file the user opened with it.
TEST_F(Help, TheEditorOpensEveryFileTheDesktopPasses) {
    const std::string a = writeGif("a.gif", 2), b = writeGif("b.gif", 3);
    TMyFrameWindow window(settingsPath);
    window.firstIdle({QString::fromStdString(a), QString::fromStdString((dir / "gone.gif").string()),
                      QString::fromStdString(b)});
    QApplication::processEvents();
    const FrameList& frames = window.session().document().frameList;
    ASSERT_EQ(frames.count(), 5);
    EXPECT_EQ(frames.textAt(0), "a.gif.000");
    EXPECT_EQ(frames.textAt(4), "b.gif.002");
    window.session().document().setModified(false);
}

}  // namespace
}  // namespace movigram::test
