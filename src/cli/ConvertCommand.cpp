// movigram-cli convert FILE... -o OUT: a batch of images, videos and text
// files read as one document (as Open reads a multiple selection) and saved
// as GIF, or exported in the format OUT's extension names.  movigram-cli frames IN -o OUT.gif: "Save frames".
#include <cstdio>
#include <string>
#include <vector>

#include "CliDocument.h"

namespace movigram::cli {

int runConvert(const Args& args) {
    FileArguments files{.maxInputs = args.size(), .anyFormat = true};
    OutputChoice output;
    std::optional<std::string> fixedPalette;
    StderrHost host;
    Document doc(&host);
    bool optimize = false;
    std::optional<int> loop;
    uint64_t maxSize = 0;
    for (size_t i = 0; i < args.size(); ++i) {
        if (output.take(args, i)) continue;
        const std::string& a = args[i];
        if (a == "--delay") {
            // A GIF delay holds up to 655.35 s.
            doc.frameTime = int32_t(numberArgument(optionValue(args, i, "milliseconds"), a, 0, 655350));
        } else if (a == "--loop") {
            loop = int(numberArgument(optionValue(args, i, "a loop count"), a, 0, 65535));
        } else if (a == "-O") {
            optimize = true;
            doc.splitDirty = doc.transparentMaskOption = true;
        } else if (a == "-O3") {
            optimize = true;
            doc.splitDirty = doc.transparentMaskOption = doc.maxCompression = true;
        } else if (a == "--no-comment") {
            doc.commentFrameOption = false;
        } else if (a == "--lossy") {
            doc.lossyQuality = int(numberArgument(optionValue(args, i, "a quality level"), a, 0, 100));
        } else if (a == "--max-size") {
            maxSize = byteSizeArgument(optionValue(args, i, "a size"), a);
        } else if (a == "--local-palettes") {
            const std::string& v = optionValue(args, i, "merge, keep or create");
            if (v == "merge") doc.localPaletteMode = LocalPaletteMode::Merge;
            else if (v == "keep") doc.localPaletteMode = LocalPaletteMode::Keep;
            else if (v == "create") doc.localPaletteMode = LocalPaletteMode::Create;
            else usageError("--local-palettes takes merge, keep or create, not \"" + v + "\"");
        } else if (a == "--global-palette") {
            const std::string& v = optionValue(args, i, "cumulative, optimized, automatic or fixed=PALFILE");
            if (v == "cumulative") doc.globalPaletteMode = GlobalPaletteMode::Cumulative;
            else if (v == "optimized") doc.globalPaletteMode = GlobalPaletteMode::Optimized;
            else if (v == "automatic") doc.globalPaletteMode = GlobalPaletteMode::Automatic;
            else if (v.starts_with("fixed=") && v.size() > 6) fixedPalette = v.substr(6);
            else if (v == "fixed=") usageError("--global-palette fixed= needs a palette file after the =");
            else usageError("--global-palette takes cumulative, optimized, automatic or fixed=PALFILE, not \"" + v + "\"");
        } else if (!takeQuantizeOption(args, i, doc.quantize)) {
            files.take(args, i);
        }
    }
    files.require();
    const ExportFormat format = output.formatOf(files.out);
    if (fixedPalette) loadFixedPalette(doc, host, *fixedPalette);

    // Each file is read in its own folder, in the order given.
    ReadOutcome outcome;
    host.hold();
    for (const std::string& input : files.inputs) {
        host.setFile(input);
        const ReadOutcome read = readFiles(doc, doc.frameList.empty() ? ReplaceDocument : AppendToDocument,
                                           batchFromPaths({input}));
        outcome.problems.insert(outcome.problems.end(), read.problems.begin(), read.problems.end());
    }
    host.setFile({});
    requireCleanInput(host.takeHeld(), outcome, doc.frameList.count(), files.keepPartial);
    if (doc.frameList.empty()) throw CliError{"no frame could be read"};
    if (loop) {
        doc.loopOption = *loop != 1;
        doc.loopCount = *loop;
    }
    if (format != ExportFormat::Gif) {
        exportOutput(doc, files.out, format, output);
        return ExitOk;
    }
    doc.cropToDirty = true;
    // Lossy compression is a way of the optimising save.
    if (maxSize) saveWithin(doc, files.out, maxSize, doc.lossyQuality);
    else saveOutput(doc, files.out, optimize || doc.lossyQuality < 100);
    return ExitOk;
}

int runFrames(const Args& args) {
    FileArguments files;
    for (size_t i = 0; i < args.size(); ++i) files.take(args, i);
    files.require();
    StderrHost host;
    Document doc(&host);
    openInput(doc, host, files.input(), files.keepPartial);
    if (!anyFrameHasPixels(doc.frameList))
        throw CliError{"nothing to save: \"" + files.input() + "\" holds no image, only comments"};
    const auto written = saveFrames(doc, files.out);
    for (const std::string& path : written) std::printf("wrote %s\n", path.c_str());
    size_t images = 0;
    for (int i = 0; i < doc.frameList.count(); ++i) images += hasPixels(*doc.frameList.frameAt(i));
    // A failed write was told by the host; the files written before it stay.
    return written.size() == images ? ExitOk : ExitFailed;
}

}  // namespace movigram::cli
