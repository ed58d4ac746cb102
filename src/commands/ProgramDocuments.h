#pragma once
// The documents the program ships beside itself (the help pages in English,
// French and Spanish, the note on using help, the about picture), where they
// are found, and the short texts the Help and HTML commands show.
#include <string>

#include "CommandId.h"
#include "document/Document.h"

namespace movigram {

// The data folder for a program in programFolder: "share/movigram" beside
// the program's "bin" folder when installed, or "share/movigram" at the top
// of the build tree the program was built in.  When neither exists, the
// installed place, so that messages name where the files belong.
std::string findDataFolder(const std::string& programFolder);

struct ProgramDocuments {
    std::string folder;

    // "help/help.html", "help/help-fren.html", "help/help-span.html" for Help >
    // English, French and Spanish; empty for other commands.
    std::string helpPage(CommandId id) const;
    std::string useHelp() const;       // "usehelp.txt"
    std::string aboutPicture() const;  // "movigram.pcx"
};

// The HTML code command's text, "<img src=\"%s\" width=%d height=%d>" with the
// file name (no folder) and the screen size, at most 1023 characters.
std::string htmlCode(const Document& doc);

// Where the about box's picture button draws its picture: at its own size
// when it fits, else scaled down by the larger of the width and height
// ratios so that it fits with its proportions; centred either way (half the
// free room, rounded towards zero).
TRect picturePlace(TSize picture, TSize button);

// "1.22 (64 bit)": the release and the width of the machine's addresses.
std::string versionText();
// The about box's caption: "%sVersion %s" with an empty text and the version.
std::string aboutCaption();

}  // namespace movigram
