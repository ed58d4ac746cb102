// movigram-cli optimize IN.gif -o OUT.gif [options]: Open, then "Save
// optimized as", with the document's options starting from the program's
// defaults (crop to dirty rectangles on, comment frame on, the rest off).
// An output of another format is exported as it is read.
#include <string>

#include "CliDocument.h"

namespace movigram::cli {

int runOptimize(const Args& args) {
    FileArguments files{.anyFormat = true};
    OutputChoice output;
    bool crop = true, split = false, mask = false, pow2 = false, comment = true, maximum = false, previous = false;
    int lossy = 100;
    uint64_t maxSize = 0;
    for (size_t i = 0; i < args.size(); ++i) {
        if (output.take(args, i)) continue;
        const std::string& a = args[i];
        if (a == "--no-crop") crop = false;
        else if (a == "--split") split = true;
        else if (a == "--mask") mask = true;
        else if (a == "-O") split = mask = true;
        else if (a == "-O3") split = mask = maximum = true;
        else if (a == "--pow2-colors") pow2 = true;
        else if (a == "--restore-previous") previous = true;
        else if (a == "--no-comment") comment = false;
        else if (a == "--lossy") lossy = int(numberArgument(optionValue(args, i, "a quality level"), a, 0, 100));
        else if (a == "--max-size") maxSize = byteSizeArgument(optionValue(args, i, "a size"), a);
        else files.take(args, i);
    }
    files.require();
    const ExportFormat format = output.formatOf(files.out);
    StderrHost host;
    Document doc(&host);
    doc.cropToDirty = crop;
    doc.splitDirty = split;
    doc.transparentMaskOption = mask;
    doc.optimizeColors = pow2;
    doc.commentFrameOption = comment;
    doc.maxCompression = maximum;
    doc.restoreToPrevious = previous;
    doc.lossyQuality = lossy;
    openInput(doc, host, files.input(), files.keepPartial);
    if (format != ExportFormat::Gif) {
        exportOutput(doc, files.out, format, output);
        return ExitOk;
    }
    if (maxSize) saveWithin(doc, files.out, maxSize, lossy);
    else saveOutput(doc, files.out, true);
    return ExitOk;
}

}  // namespace movigram::cli
