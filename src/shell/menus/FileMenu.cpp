// The File menu's handlers: the file choosers of Open, Append, Insert and
// the saves, the recent files, Preview, Html code and Exit.
#include <QWidget>

#include "MenuHandlers.h"
#include "shell/BrowserServices.h"
#include "shell/EditorSession.h"
#include "shell/FileDialogs.h"
#include "shell/Playback.h"
#include "shell/dialogs/TExportDialog.h"
#include "shell/dialogs/TShareDialog.h"
#include "shell/recording/ScreenRecording.h"
#include "commands/FileCommands.h"

namespace movigram {

namespace {

using C = CommandId;
using S = EditorSession;

QString folder(const std::string& dir) { return QString::fromStdString(dir); }

std::vector<std::string> toPaths(const QStringList& files) {
    std::vector<std::string> paths;
    for (const QString& f : files) paths.push_back(f.toStdString());
    return paths;
}

void open(S& s) {
    Document& doc = s.document();
    s.playback().stop();
    if (!askSave(doc)) return;
    const QStringList files = chooseFilesToOpen(s.window(), folder(doc.openDir));
    if (!files.isEmpty())
        s.reading([&](const LiveView& live) { openFiles(doc, toPaths(files), live, UnsavedChanges::AlreadyAsked); });
}

void addFiles(S& s, bool append) {
    Document& doc = s.document();
    s.playback().stop();
    const QStringList files = chooseFilesToOpen(s.window(), folder(doc.openDir));
    if (files.isEmpty()) return;
    s.reading([&](const LiveView& live) {
        if (append) appendFiles(doc, toPaths(files), live);
        else insertFiles(doc, toPaths(files), live);
    });
}

void saveWithName(S& s, bool optimized) {
    Document& doc = s.document();
    if (doc.frameList.empty()) return;
    s.playback().stop();
    const QString path = chooseGifSavePath(s.window(), folder(doc.saveDir.empty() ? doc.openDir : doc.saveDir),
                                           QString::fromStdString(doc.fileName),
                                           optimized ? QStringLiteral("Save Optimized As") : QStringLiteral("Save As"));
    if (!path.isEmpty()) saveAs(doc, path.toStdString(), optimized);
}

void saveEachFrame(S& s) {
    Document& doc = s.document();
    s.playback().stop();
    const QString path = chooseGifSavePath(s.window(), folder(doc.saveDir), QString::fromStdString(doc.fileName),
                                           QStringLiteral("Save Frames"));
    if (!path.isEmpty()) saveFrames(doc, path.toStdString());
}

template <int k>
void openRecent(S& s) {
    const QStringList recent = s.recentFiles();
    if (k < recent.size()) s.openPath(recent[k]);
}

constexpr MenuHandler handlers[] = {
    {C::New, [](S& s) { newDocument(s.document()); }},
    {C::Open, open},
    {C::RecordScreen, [](S& s) { s.screenRecording().begin(); }},
    {C::AppendFrames, [](S& s) { addFiles(s, true); }},
    {C::InsertFrames, [](S& s) { addFiles(s, false); }},
    {C::RecentFile1, openRecent<0>},
    {C::RecentFile2, openRecent<1>},
    {C::RecentFile3, openRecent<2>},
    {C::RecentFile4, openRecent<3>},
    {C::Revert, [](S& s) { s.reading([&](const LiveView& live) { revert(s.document(), live); }); }},
    {C::Save, [](S& s) { save(s.document()); }},
    {C::SaveAs, [](S& s) { saveWithName(s, false); }},
    {C::SaveOptimizedAs, [](S& s) { saveWithName(s, true); }},
    {C::SaveForSharing,
     [](S& s) {
         TShareDialog dialog(s);
         dialog.exec();
     }},
    {C::ExportAs,
     [](S& s) {
         TExportDialog dialog(s);
         dialog.exec();
     }},
    {C::SaveFrames, saveEachFrame},
    {C::Preview,
     [](S& s) {
         s.playback().stop();
         s.browserServices().preview(s.document());
     }},
    {C::HtmlCode,
     [](S& s) {
         s.playback().stop();
         s.browserServices().htmlCode(s.window(), s.document());
     }},
    {C::Exit, [](S& s) { s.window()->close(); }},
};

}  // namespace

std::span<const MenuHandler> fileMenuHandlers() { return handlers; }

}  // namespace movigram
