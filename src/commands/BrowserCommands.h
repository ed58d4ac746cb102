#pragma once
// Preview, the help pages and the note on using help: documents handed to
// the desktop's programs (the web browser for pages, a text editor for
// text), which run on their own; nothing waits for them.
#include <cstdint>
#include <string>

#include "ProgramDocuments.h"
#include "document/Document.h"

namespace movigram {

// Hands a document to the program the desktop has for it; false when no
// program could be started.  The editor opens files through the desktop,
// tests record what would have been opened.
class DocumentLauncher {
public:
    virtual ~DocumentLauncher() = default;
    virtual bool open(const std::string& path) = 0;
};

// A page in the web browser.  A missing page is reported as "Cannot open
// file \"%s\""; when no browser starts, "Cannot locate your Internet
// browser" is shown and the note on using help opens instead.
bool showInBrowser(Host& host, DocumentLauncher& launcher, const std::string& page, const ProgramDocuments& docs);
// How to use help: "usehelp.txt" in the desktop's text editor.
bool showUseHelp(Host& host, DocumentLauncher& launcher, const ProgramDocuments& docs);

// How long a web browser shows a frame meant for delayMs milliseconds:
// delays of 10 ms (one hundredth) or less as 100 ms, the rest as they are.
inline int64_t browserFrameDelay(int64_t delayMs) { return delayMs <= 10 ? 100 : delayMs; }

// The page Preview opens: the animation as a web page shows it, by the
// same image tag as the HTML code, with the GIF's address.
std::string previewPageText(const std::string& gifPath, const std::string& title, int width, int height);
// The file address of a path, with everything but unreserved characters
// and "/" percent-encoded.
std::string fileUrl(const std::string& path);

// The folder this process keeps its preview files in: made on first use in
// the temporary folder with a name of its own and mode 0700 (mkdtemp), so
// that no other user or editor can put, replace or link a file there; made
// again when it went away; removed with its files by removePreviewFolder
// and when the process ends.  Empty when it cannot be made.
std::string previewFolder();
void removePreviewFolder();

// Preview: the GIF to show (the saved file when it is up to date, else
// "$movigram-temp.gif" written from the document without changing it), a
// page "$movigram-temp.html" beside it in the preview folder that shows it,
// and that page in the browser.  A GIF handed to the desktop directly would
// open in its image viewer, not in a browser.
bool preview(Document& doc, DocumentLauncher& launcher, const ProgramDocuments& docs);

}  // namespace movigram
