#pragma once
// The file commands of the editor: New, Open, the recent files, Append and
// Insert frames, Revert, Save, Save as, Save optimized as, Save frames, the
// preview file and dropped files.  The editor runs the file dialogs and hands
// the chosen paths here.
#include <optional>
#include <string>
#include <vector>

#include "ImportDispatch.h"
#include "document/Document.h"

namespace movigram {

// Where a batch of files goes.
constexpr int ReplaceDocument = -2;
constexpr int AppendToDocument = -1;

// A folder and the names of files in it, sorted by name; a file of another
// folder has its whole path for a name.
struct FileBatch {
    std::string folder;
    std::vector<std::string> names;
};
// The batch of dropped or chosen files: the folder of the first one by
// name, then every file's name, without folder where it is in that one.
FileBatch batchFromPaths(const std::vector<std::string>& paths);
std::string joinPath(const std::string& folder, const std::string& name);

// "Movigram GIF - name  (12345 bytes)" and the optimised-size variant.
std::string titleText(const Document& doc);

void clearDocument(Document& doc);

// What reading a batch came to.  Every problem was also shown through the
// host where the user is told of it; a file read in part keeps the frames
// read before its error.
struct ReadProblem {
    std::string path;
    std::string message;  // as shown, empty where nothing is shown
};
struct ReadOutcome {
    std::vector<ReadProblem> problems;  // files missing, unreadable or read in part
    bool clean() const { return problems.empty(); }
};

// Reads the batch into the document: replacing it, appending, or inserting
// before the list position.  live shows frames as they are read.
ReadOutcome readFiles(Document& doc, int position, const FileBatch& batch, const LiveView& live = {});

// The question about unsaved changes; false when the user cancelled.  The
// document stays modified until something replaces it.
bool askSave(Document& doc);
// Whether Open asks about unsaved changes, or the caller already did (before
// its file dialog).
enum class UnsavedChanges { Ask, AlreadyAsked };

void newDocument(Document& doc);
// Open: the one way a file becomes the document, for the editor and the
// command-line tool alike.  Nothing is read when the user cancels the
// question about unsaved changes.
ReadOutcome openFiles(Document& doc, const std::vector<std::string>& paths, const LiveView& live = {},
                      UnsavedChanges unsaved = UnsavedChanges::Ask);
void appendFiles(Document& doc, const std::vector<std::string>& paths, const LiveView& live = {});
void insertFiles(Document& doc, const std::vector<std::string>& paths, const LiveView& live = {});
void revert(Document& doc, const LiveView& live = {});
// A frame with pixels to show: an image of at least 1 x 1 placed where a GIF
// can place it.  A save is refused when no frame has any, since the file
// would hold nothing other programs can show.
bool hasPixels(const TFrame& frame);
bool anyFrameHasPixels(const FrameList& list);

// Save: only a titled document with changes (or one worth optimising).
bool save(Document& doc);
// Save as (optimize false) and Save optimized as (optimize true).
bool saveAs(Document& doc, const std::string& path, bool optimize);
// One file per image frame: path with "-%02d.gif" in place of its extension.
// Returns the files written.
std::vector<std::string> saveFrames(Document& doc, const std::string& path);
// The GIF the preview shows: the saved file when it is up to date, else the
// animation written to "$movigram-temp.gif" in the preview folder.
std::optional<std::string> previewFile(Document& doc);
// Dropped files: position < 0 replaces the document, past the last frame
// appends, otherwise inserts before that frame.
void dropFiles(Document& doc, int position, const std::vector<std::string>& paths, const LiveView& live = {});

}  // namespace movigram
