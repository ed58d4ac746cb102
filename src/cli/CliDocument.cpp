#include "CliDocument.h"

#include <cstdio>
#include <utility>

#include "commands/ExportCommands.h"
#include "commands/SaveCommands.h"
#include "commands/SizeTarget.h"
#include "import/PaletteLoading.h"
#include "save/GifWriter.h"

namespace movigram::cli {

void StderrHost::showMessage(const std::string&, const std::string& text, MessageIcon) {
    const std::string line = file_.empty() || text.find(file_) != std::string::npos ? text : "\"" + file_ + "\": " + text;
    if (holding_) held_.push_back(oneLine(line));
    else tell(line);
}

std::vector<std::string> StderrHost::takeHeld() {
    holding_ = false;
    return std::exchange(held_, {});
}

void requireCleanInput(std::vector<std::string> told, const ReadOutcome& outcome, int framesRead, bool keepPartial) {
    // Some readers fail without a message of their own (a damaged JPEG or
    // PCX image): the user still learns which file it was.
    for (const ReadProblem& p : outcome.problems)
        if (p.message.empty()) told.push_back("File \"" + p.path + "\" could not be read: it is damaged or of an unknown kind");
    if (outcome.clean() || framesRead == 0) {
        for (const std::string& line : told) tell(line);
        if (outcome.clean()) return;
        throw CliError{""};
    }
    std::string last = told.empty() ? "the input was not read cleanly" : told.back();
    if (!told.empty()) told.pop_back();
    for (const std::string& line : told) tell(line);
    const std::string frames =
        framesRead == 1 ? "1 frame that was read" : std::to_string(framesRead) + " frames that were read";
    if (!keepPartial) throw CliError{last + "; nothing written (--keep-partial uses the " + frames + ")"};
    warn(last + "; going on with the " + frames + " (--keep-partial)");
}

void openInput(Document& doc, StderrHost& host, const std::string& path, bool keepPartial) {
    host.setFile(path);
    host.hold();
    const ReadOutcome outcome = openFiles(doc, {path});
    host.setFile({});
    requireCleanInput(host.takeHeld(), outcome, doc.frameList.count(), keepPartial);
    if (doc.frameList.empty()) throw CliError{"File \"" + path + "\" holds no frame"};
}

void loadFixedPalette(Document& doc, StderrHost& host, const std::string& path) {
    host.setFile(path);
    host.hold();
    const PaletteLoadResult loaded = loadPalette(doc, path);
    host.setFile({});
    std::vector<std::string> told = host.takeHeld();
    if (!loaded.loaded) {
        if (told.empty()) throw CliError{"no palette could be read from \"" + path + "\""};
        for (size_t i = 0; i + 1 < told.size(); ++i) tell(told[i]);
        throw CliError{told.back()};
    }
    for (const std::string& line : told) tell(line);
    // The editor turns such a file into black entries; a script asked for
    // these colours and would get a black animation without a word.
    if (loaded.colorsRead == 0) throw CliError{"\"" + path + "\" holds no colour to use as the fixed palette"};
    doc.globalPaletteMode = GlobalPaletteMode::Fixed;
}

void saveOutput(Document& doc, const std::string& path, bool optimize) {
    if (doc.frameList.empty()) throw CliError{"nothing to save: no frame is left"};
    // The document's host has told why a save failed.
    if (!saveAs(doc, path, optimize)) throw CliError{""};
    std::printf("wrote %s\n", path.c_str());
}

uint64_t byteSizeArgument(const std::string& value, const std::string& option) {
    const std::optional<uint64_t> bytes = parseByteSize(value);
    if (!bytes) usageError(option + " takes a size such as 8MB, 500KB or 1.5MiB, not \"" + value + "\"");
    return *bytes;
}

void saveWithin(Document& doc, const std::string& path, uint64_t maxBytes, int bestLossy) {
    if (doc.frameList.empty()) throw CliError{"nothing to save: no frame is left"};
    const FitResult fit = fitToSize(doc, maxBytes, bestLossy, &doc.host());
    if (!fit.fits) {
        if (fit.bytes == 0) throw CliError{"the file could not be made"};
        throw CliError{"no setting makes a file of at most " + describeSize(maxBytes) + ": the smallest (" +
                       describeSettings(fit.settings) + ") is " + describeSize(fit.bytes) + "; nothing was written"};
    }
    const GifWriteResult result = writeGifBytes(path, fit.file);
    if (!result.ok) throw CliError{gifWriteErrorMessage(result)};
    std::printf("%s: %s\nwrote %s\n", describeSettings(fit.settings).c_str(), describeSize(fit.bytes).c_str(),
                path.c_str());
}

bool OutputChoice::take(const Args& args, size_t& i) {
    const std::string& a = args[i];
    if (a == "--quality") {
        options.quality = int(numberArgument(optionValue(args, i, "a quality level"), a, 0, 100));
        return true;
    }
    // edit has a step of that name, which takes one palette index.
    if (a == "--background" && !(editSteps && (i + 1 >= args.size() || args[i + 1].find(',') == std::string::npos))) {
        const std::string& v = optionValue(args, i, "a colour R,G,B");
        int rgb[3] = {};
        size_t at = 0;
        for (int k = 0; k < 3; ++k) {
            const size_t end = k < 2 ? v.find(',', at) : v.size();
            if (end == std::string::npos) usageError("--background takes a colour R,G,B (each 0 to 255), not \"" + v + "\"");
            rgb[k] = int(numberArgument(v.substr(at, end - at), a, 0, 255));
            at = end + 1;
        }
        options.background = {uint8_t(rgb[0]), uint8_t(rgb[1]), uint8_t(rgb[2]), 255};
        backgroundGiven = true;
        return true;
    }
    static const char* const gifOnly[] = {"-O", "-O3", "--lossy", "--max-size", "--split", "--mask", "--no-crop",
                                          "--pow2-colors", "--restore-previous"};
    for (const char* option : gifOnly)
        if (a == option) gifOptions.push_back(a);
    return false;
}

ExportFormat OutputChoice::formatOf(const std::string& path) const {
    const std::optional<ExportFormat> format = exportFormatOfPath(path);
    if (!format) {
        const size_t dot = path.find_last_of('.');
        const std::string extension = path.substr(dot);
        usageError("cannot write \"" + path + "\": the output is written as .gif, .webp, .png (APNG), .mp4 or .webm, not " +
                   (extension == "." ? "a name ending in \".\"" : extension));
    }
    const std::string name = exportFormatName(*format);
    if (*format != ExportFormat::Gif && !gifOptions.empty())
        usageError(gifOptions.front() + " applies to GIF output only, not to " + name + " (\"" + path + "\")");
    if (options.quality && *format != ExportFormat::WebP)
        usageError("--quality applies to WebP output only, not to " + name + " (\"" + path + "\")");
    if (backgroundGiven && *format != ExportFormat::Mp4 && *format != ExportFormat::WebM)
        usageError("--background applies to MP4 and WebM output only, not to " + name + " (\"" + path + "\")");
    return *format;
}

void exportOutput(Document& doc, const std::string& path, ExportFormat format, OutputChoice choice) {
    if (doc.frameList.empty()) throw CliError{"nothing to save: no frame is left"};
    if (!anyFrameHasPixels(doc.frameList)) throw CliError{"nothing to save: no frame has an image"};
    if (!choice.backgroundGiven) choice.options.background = backgroundColourOf(doc);
    std::unique_ptr<Document> copy = copyForExport(doc);
    if (const std::string note = exportNoteOf(*copy, format, choice.options); !note.empty()) tell("note: " + note);
    const ExportResult result = exportCopy(*copy, format, path, choice.options);
    if (!result.ok) throw CliError{result.error.empty() ? "\"" + path + "\" was not written" : result.error};
    std::printf("wrote %s\n", path.c_str());
}

}  // namespace movigram::cli
