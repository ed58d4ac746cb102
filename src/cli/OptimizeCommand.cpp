// movigram-cli optimize IN.gif -o OUT.gif [options]: Open, then "Save
// optimized as", with the document's options starting from the program's
// defaults (crop to dirty rectangles on, comment frame on, the rest off).
#include <string>

#include "CliDocument.h"

namespace movigram::cli {

int runOptimize(const Args& args) {
    std::string in, out;
    bool crop = true, split = false, mask = false, pow2 = false, comment = true, keepPartial = false, maximum = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-o") out = optionValue(args, i, "the output file");
        else if (a == "--no-crop") crop = false;
        else if (a == "--split") split = true;
        else if (a == "--mask") mask = true;
        else if (a == "-O") split = mask = true;
        else if (a == "-O3") split = mask = maximum = true;
        else if (a == "--pow2-colors") pow2 = true;
        else if (a == "--no-comment") comment = false;
        else if (a == "--keep-partial") keepPartial = true;
        else if (a.starts_with("-") && a != "-") usageError("unknown option \"" + a + "\"");
        else if (in.empty()) in = a;
        else usageError("unexpected argument \"" + a + "\"");
    }
    if (in.empty()) usageError("no input file given");
    if (out.empty()) usageError("no output file given (-o OUT.gif)");
    StderrHost host;
    Document doc(&host);
    doc.cropToDirty = crop;
    doc.splitDirty = split;
    doc.transparentMaskOption = mask;
    doc.optimizeColors = pow2;
    doc.commentFrameOption = comment;
    doc.maxCompression = maximum;
    openInput(doc, host, in, keepPartial);
    saveOutput(doc, out, true);
    return ExitOk;
}

}  // namespace movigram::cli
