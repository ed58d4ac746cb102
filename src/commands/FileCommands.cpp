#include "FileCommands.h"

#include "BrowserCommands.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "ImportDispatch.h"
#include "SaveCommands.h"
#include "document/Undo.h"
#include "colour/ReadingPolicy.h"
#include "document/FileIo.h"
#include "document/FrameChain.h"
#include "document/GifReader.h"
#include "save/GifWriter.h"
#include "save/Optimiser.h"

namespace movigram {

namespace {

const char programCaption[] = "Movigram GIF Animator";

std::string folderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// name with everything from its last "." replaced by replacement (appended
// when it has none).
std::string replaceExtension(const std::string& name, const std::string& replacement) {
    const size_t slash = name.find_last_of('/');
    const size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return name + replacement;
    return name.substr(0, dot) + replacement;
}

void updateTitle(Document& doc) { doc.titleEdited(); }

// Places read frames: appended, or inserted at a position that advances.
class Placement {
public:
    Placement(Document& doc, int position) : doc_(doc), at_(position) {}
    void add(std::string text, std::unique_ptr<TFrame> frame) {
        std::vector<FrameList::Entry> one;
        one.push_back({std::move(text), std::move(frame)});
        add(std::move(one));
    }
    // The frames of a file, in one step.
    void add(std::vector<FrameList::Entry> entries) {
        if (entries.empty()) return;
        const int n = int(entries.size());
        const int index = doc_.frameList.insertRange(at_ < 0 ? doc_.frameList.count() : at_, std::move(entries));
        if (at_ >= 0) at_ = index + n;
        if (firstFilled_ < 0) firstFilled_ = index;
    }
    int firstFilled() const { return firstFilled_; }

private:
    Document& doc_;
    int at_;
    int firstFilled_ = -1;
};

bool writeDocument(Document& doc, const std::string& path, bool optimize, GifWriteResult& result) {
    // Frames that were all cropped away or pushed off the screen would make
    // a file with nothing to show, which other programs refuse to open.
    if (!anyFrameHasPixels(doc.frameList)) {
        doc.host().showMessage("Error", "Nothing to save: no frame has any pixels left", MessageIcon::Stop);
        return false;
    }
    result = writePreparedCopy(doc, path, optimize, true);
    return result.ok;
}

}  // namespace

bool hasPixels(const TFrame& frame) {
    // GIF coordinates end at 65535: the writer leaves out what lies beyond.
    const TRect gifScreen{0, 0, 65535, 65535};
    return frame.image && !frame.isComment && frame.image->width() > 0 && frame.image->height() > 0 &&
           !frame.rect.intersected(gifScreen).isEmpty();
}

bool anyFrameHasPixels(const FrameList& list) {
    for (int i = 0; i < list.count(); ++i)
        if (hasPixels(*list.frameAt(i))) return true;
    return false;
}

std::string joinPath(const std::string& folder, const std::string& name) {
    if (folder.empty() || (!name.empty() && name.front() == '/')) return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

FileBatch batchFromPaths(const std::vector<std::string>& paths) {
    FileBatch batch;
    if (paths.empty()) return batch;
    auto fileName = [](const std::string& p) {
        const size_t slash = p.find_last_of('/');
        return slash == std::string::npos ? p : p.substr(slash + 1);
    };
    std::vector<std::string> sorted = paths;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [&](const std::string& a, const std::string& b) { return fileName(a) < fileName(b); });
    // The folder of the file that names the animation; files of other
    // folders keep their whole path.
    batch.folder = folderOf(sorted.front());
    for (const std::string& p : sorted)
        batch.names.push_back(folderOf(p) == batch.folder ? fileName(p) : std::filesystem::absolute(p).string());
    return batch;
}

std::string titleText(const Document& doc) {
    std::string title = "Movigram GIF - " + (doc.fileName.empty() ? std::string("(Untitled)") : doc.fileName);
    if (doc.fileSize > 0) {
        char buf[96];
        if (doc.previousFileSize <= 0 || doc.previousFileSize == doc.fileSize)
            std::snprintf(buf, sizeof buf, "  (%lld bytes)", static_cast<long long>(doc.fileSize));
        else
            std::snprintf(buf, sizeof buf, "  (%lld:%lld  %lld%% optimized)", static_cast<long long>(doc.previousFileSize),
                          static_cast<long long>(doc.fileSize),
                          static_cast<long long>((doc.previousFileSize - doc.fileSize) * 100 / doc.previousFileSize));
        title += buf;
    }
    return title;
}

void clearDocument(Document& doc) {
    doc.startEdit();
    doc.fileSize = doc.previousFileSize = -1;
    if (doc.globalPaletteMode != GlobalPaletteMode::Fixed && !doc.frameList.empty()) doc.globalPalette.reset();
    doc.firstFrame = doc.currentFrame = nullptr;
    doc.frameList.clear();
    doc.backgroundIndex = doc.transparentIndex = -1;
    doc.screenWidth = doc.screenHeight = 0;
    doc.setModified(false);
    doc.optimizable = false;
    doc.dirtyRectsUpToDate = true;
    doc.fileName.clear();
    clearUndo(doc);
    doc.changed({.palette = true, .title = true});
}

ReadOutcome readFiles(Document& doc, int position, const FileBatch& batch, const LiveView& live) {
    Host& host = doc.host();
    ReadOutcome outcome;
    if (!batch.names.empty()) {
        host.setWaitCursor(true);
        doc.fileSize = doc.previousFileSize = -1;
        doc.savedToSaveDir = false;
        if (position == ReplaceDocument) clearDocument(doc);
        doc.openDir = batch.folder;
        PaletteReadingBatch palettes(doc);
        Placement place(doc, position == ReplaceDocument ? AppendToDocument : position);
        bool loopFound = false, multiFrame = false;
        int fileNumber = 0;
        for (const std::string& name : batch.names) {
            StatusText status(host, "Reading \"" + name + "\"");
            const std::string path = joinPath(batch.folder, name);
            if (fileSizeOf(path) < 0 && !std::filesystem::exists(path)) {
                const std::string message = "File \"" + path + "\" not found";
                host.showMessage("File Error", message, MessageIcon::Stop);
                outcome.problems.push_back({path, message});
                continue;
            }
            if (fileNumber++ < 4) host.addRecentFile(path);
            if (doc.fileName.empty())
                doc.fileName = replaceExtension(std::filesystem::path(name).filename().string(), ".gif");

            ImportedFile imported = importFile(path, host, live, doc.quantize);
            if (imported.result != ImportOk) outcome.problems.push_back({path, imported.message});
            if (!imported.message.empty()) host.showMessage(imported.caption, imported.message, MessageIcon::Stop);
            if (imported.kind == ImportKind::Text) {
                if (imported.result != ImportOk) continue;
                auto comment = std::make_unique<TTextFrame>(host.textMeasurer(), imported.text);
                TFrame* frame = comment.get();
                place.add(name, std::move(comment));
                doc.currentFrame = frame;
                doc.changed();
                continue;
            }
            if (imported.multiFrameSource()) {
                if (imported.carriesLoopCount()) {
                    loopFound = imported.loopFound;
                    doc.loopCount = imported.loopCount;
                }
                if (batch.names.size() == 1) doc.fileSize = fileSizeOf(path);
                FrameChain& chain = imported.frames;
                // The file's background colour is kept with a single frame
                // too: it shows wherever the frame does not reach.
                if (imported.backgroundColor) palettes.setBackground(*imported.backgroundColor);
                if (chain.size() < 2) {
                    if (!chain.empty()) chain.front()->frameTime = doc.frameTime;
                } else {
                    multiFrame = true;
                    doc.backgroundIndex = chainBackground(chain.front().get());
                    host.setProgress(0);
                }
                std::optional<StatusText> processing;
                if (chain.size() >= 2) processing.emplace(host, "Processing frames");
                std::vector<FrameList::Entry> entries;
                entries.reserve(chain.size());
                for (size_t k = 0; k < chain.size(); ++k) {
                    palettes.acceptFrame(*chain[k]);
                    std::string text = chain[k]->name;
                    entries.push_back({std::move(text), std::move(chain[k])});
                    if (chain.size() >= 2) host.setProgress(int((k + 1) * 100 / chain.size()));
                }
                place.add(std::move(entries));
            } else if (imported.image) {
                auto frame = std::make_unique<TFrame>(path, std::move(imported.image));
                frame->frameTime = doc.frameTime;
                frame->transparentIndex = imported.transparentIndex;
                palettes.acceptImage(*frame);
                TFrame* added = frame.get();
                place.add(name, std::move(frame));
                doc.currentFrame = added;
                doc.changed();
            }
        }
        if (multiFrame && doc.loopOption != loopFound) {
            doc.loopOption = loopFound;
            doc.setModified(true);
        }
        doc.relink();
        setBackgroundAll(doc.firstFrame, doc.backgroundIndex);
        if (doc.firstFrame) doc.frameTime = normalizeFrameTimes(doc.firstFrame);
        palettes.finish();
        if (place.firstFilled() >= 0) {
            doc.frameList.select(place.firstFilled());
            doc.currentFrame = doc.frameList.frameAt(place.firstFilled());
        }
        doc.changed();
        host.setWaitCursor(false);
    }
    updateTitle(doc);
    if (!doc.frameList.empty()) {
        doc.transparentIndex = documentTransparent(doc.firstFrame);
        if (doc.globalPalette) doc.globalPalette->transparentIndex = doc.transparentIndex;
        doc.sameTransparent = sameTransparent(doc.firstFrame);
        doc.paletteEdited();
    }
    doc.setModified(position != ReplaceDocument);
    clearUndo(doc);
    host.setProgress(0);
    return outcome;
}

namespace {
// Yes to a question about unsaved changes: Save, or Save as for an untitled
// document.  A save that did not happen keeps the document, so nothing is
// lost: the caller abandons its command.
bool saveForQuestion(Document& doc) {
    // Without frames Save has nothing to write, and the command goes on.
    if (doc.frameList.empty()) return true;
    if (!doc.fileName.empty()) return save(doc);
    const auto path = doc.host().chooseSavePath(doc.saveDir.empty() ? doc.openDir : doc.saveDir, doc.fileName);
    return path && saveAs(doc, *path, false);
}
}  // namespace

bool askSave(Document& doc) {
    if (!doc.modified) return true;
    Host& host = doc.host();
    const std::string name = doc.fileName.empty() ? "(Untitled)" : doc.fileName;
    const Answer answer = host.ask(programCaption, "Save changes to \"" + name + "\"?", Buttons::YesNoCancel);
    if (answer == Answer::Cancel) return false;
    // No leaves the document modified: the changes are only gone once
    // something replaces it, and the user may still cancel the dialog that
    // would choose what.
    return answer == Answer::No || saveForQuestion(doc);
}

void newDocument(Document& doc) {
    doc.startEdit();
    if (askSave(doc)) clearDocument(doc);
}

ReadOutcome openFiles(Document& doc, const std::vector<std::string>& paths, const LiveView& live,
                      UnsavedChanges unsaved) {
    doc.startEdit();
    if (unsaved == UnsavedChanges::Ask && !askSave(doc)) return {};
    const ReadOutcome outcome = readFiles(doc, ReplaceDocument, batchFromPaths(paths), live);
    doc.optimizable = doc.cropToDirty;
    return outcome;
}

void appendFiles(Document& doc, const std::vector<std::string>& paths, const LiveView& live) {
    doc.startEdit();
    readFiles(doc, AppendToDocument, batchFromPaths(paths), live);
    doc.setModified(true);
}

void insertFiles(Document& doc, const std::vector<std::string>& paths, const LiveView& live) {
    doc.startEdit();
    const int at = doc.frameList.selectedIndex();
    readFiles(doc, at < 0 ? AppendToDocument : at, batchFromPaths(paths), live);
    doc.setModified(true);
}

void revert(Document& doc, const LiveView& live) {
    doc.startEdit();
    if (doc.fileName.empty()) return;
    Host& host = doc.host();
    const std::string path = joinPath(doc.openDir, doc.fileName);
    if (fileSizeOf(path) < 0) {
        host.showMessage("Error", "Cannot open file \"" + path + "\"", MessageIcon::Stop);
        return;
    }
    if (doc.modified) {
        if (host.ask(programCaption, "Discard changes to\n\"" + path + "\"?", Buttons::YesNo) != Answer::Yes) return;
        doc.setModified(false);
    }
    readFiles(doc, ReplaceDocument, batchFromPaths({path}), live);
    doc.optimizable = doc.cropToDirty;
}

bool save(Document& doc) {
    doc.startEdit();
    if (doc.frameList.empty() || doc.fileName.empty() || !(doc.modified || doc.optimizable)) return false;
    Host& host = doc.host();
    host.setWaitCursor(true);
    const std::string path = joinPath(doc.savedToSaveDir ? doc.saveDir : doc.openDir, doc.fileName);
    GifWriteResult result;
    const bool ok = writeDocument(doc, path, doc.optimizeOnSave, result);
    host.setWaitCursor(false);
    if (!ok) return false;
    doc.setModified(false);
    doc.optimizable = false;
    host.startGaugeReset();
    const int64_t before = doc.fileSize;
    doc.previousFileSize = doc.fileSize;
    doc.fileSize = fileSizeOf(result.path);
    clearUndo(doc);
    if (doc.fileSize != before) updateTitle(doc);
    return true;
}

bool saveAs(Document& doc, const std::string& path, bool optimize) {
    doc.startEdit();
    if (doc.frameList.empty()) return false;
    Host& host = doc.host();
    host.setWaitCursor(true);
    GifWriteResult result;
    const bool ok = writeDocument(doc, path, optimize, result);
    host.setWaitCursor(false);
    // A failed save leaves the document, and so its journal, as it was.
    if (!ok) return false;
    clearUndo(doc);
    host.addRecentFile(result.path);
    doc.setModified(false);
    doc.savedToSaveDir = true;
    doc.optimizable = false;
    host.startGaugeReset();
    doc.saveDir = folderOf(result.path);
    doc.fileName = baseNameOf(result.path);
    doc.previousFileSize = doc.fileSize;
    doc.fileSize = fileSizeOf(result.path);
    updateTitle(doc);
    return true;
}

std::vector<std::string> saveFrames(Document& doc, const std::string& path) {
    doc.startEdit();
    std::vector<std::string> written;
    Host& host = doc.host();
    StatusText status(host, "Saving frames...");
    const TMyPalette global = doc.globalPalette ? *doc.globalPalette : TMyPalette();
    const std::string title = baseNameOf(path);
    for (int i = 0; i < doc.frameList.count(); ++i) {
        TFrame& frame = *doc.frameList.frameAt(i);
        if (!hasPixels(frame)) continue;
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, "-%02d.gif", frame.index);
        StatusText saving(host, "Saving \"" + replaceExtension(title, suffix) + "\"");
        TFrame* next = frame.next;
        frame.next = nullptr;
        const GifWriteResult result = writeGif(replaceExtension(path, suffix), &frame, global, {});
        frame.next = next;
        if (!result.ok) {
            host.showMessage("Error", gifWriteErrorMessage(result), MessageIcon::Stop);
            break;
        }
        written.push_back(result.path);
    }
    return written;
}

std::optional<std::string> previewFile(Document& doc) {
    doc.startEdit();
    Host& host = doc.host();
    if (!doc.fileName.empty() && !doc.modified) {
        const std::string saved = joinPath(doc.savedToSaveDir ? doc.saveDir : doc.openDir, doc.fileName);
        if (fileSizeOf(saved) >= 0) return saved;
    }
    // In the editor's own folder: another user or editor can neither read
    // nor replace it there.
    const std::string folder = previewFolder();
    if (folder.empty()) {
        std::error_code ec;
        host.showMessage("File Error", "Failed to create directory\n" + std::filesystem::temp_directory_path(ec).string(),
                         MessageIcon::Stop);
        return std::nullopt;
    }
    if (doc.frameList.empty()) return std::nullopt;
    // Written from a copy: the comment frame goes into the file, not into the
    // document.
    const GifWriteResult result = writePreparedCopy(doc, joinPath(folder, "$movigram-temp.gif"), false, false);
    if (!result.ok) return std::nullopt;
    host.startGaugeReset();
    return result.path;
}

void dropFiles(Document& doc, int position, const std::vector<std::string>& paths, const LiveView& live) {
    doc.startEdit();
    Host& host = doc.host();
    int where;
    if (position < 0) {
        where = ReplaceDocument;
        if (doc.modified) {
            const Answer answer = host.ask(doc.fileName, "Save current changes?", Buttons::YesNoCancel);
            if (answer == Answer::Cancel) return;
            if (answer == Answer::Yes && !saveForQuestion(doc)) return;
        }
    } else if (position >= doc.frameList.count()) {
        where = AppendToDocument;
    } else {
        doc.frameList.select(position);
        where = position;
    }
    readFiles(doc, where, batchFromPaths(paths), live);
    doc.optimizable = doc.cropToDirty;
}

}  // namespace movigram
