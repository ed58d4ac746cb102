// movigram-cli reduce IN.gif --colors N -o OUT.gif: "Reduce color depth" on
// the opened document: one optimised global palette of N colours, local
// palettes collapsed into it, made by the quantiser and dithering asked for
// (which also reduce a deep input image while it is read).
#include <cstdio>
#include <string>

#include "CliDocument.h"
#include "colour/ColorReduction.h"

namespace movigram::cli {

int runReduce(const Args& args) {
    FileArguments files;
    int colors = 0;
    bool comment = true;
    QuantizeOptions quantize;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--colors") colors = int(numberArgument(optionValue(args, i, "a colour count"), a, 2, 256));
        else if (a == "--no-comment") comment = false;
        else if (!takeQuantizeOption(args, i, quantize)) files.take(args, i);
    }
    files.require();
    if (colors == 0) usageError("no colour count given (--colors N, 2 to 256)");

    StderrHost host;
    Document doc(&host);
    doc.commentFrameOption = comment;
    doc.quantize = quantize;
    openInput(doc, host, files.input(), files.keepPartial);
    if (!reduceColors(doc, colors, true)) throw CliError{"the animation has no image to take colours from"};
    std::printf("reduced to %d colors\n", doc.globalPalette ? doc.globalPalette->colorCount : 0);
    saveOutput(doc, files.out, false);
    return ExitOk;
}

}  // namespace movigram::cli
