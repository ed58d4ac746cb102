// movigram-cli reduce IN.gif --colors N -o OUT.gif: "Reduce color depth" on
// the opened document: one optimised global palette of N colours, local
// palettes collapsed into it.
#include <cstdio>
#include <string>

#include "CliDocument.h"
#include "colour/ColorCountRules.h"
#include "colour/ColorReduction.h"

namespace movigram::cli {

int runReduce(const Args& args) {
    std::string in, out, colors;
    bool comment = true;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if ((a == "--colors" || a == "-o") && i + 1 < args.size()) {
            (a == "-o" ? out : colors) = args[++i];
        } else if (a == "--no-comment") {
            comment = false;
        } else if (a.starts_with("-")) {
            throw CliError{"reduce: unknown option \"" + a + "\"", 2};
        } else if (in.empty()) {
            in = a;
        } else {
            throw CliError{"reduce: unexpected argument \"" + a + "\"", 2};
        }
    }
    if (in.empty() || out.empty() || colors.empty())
        throw CliError{"reduce: usage movigram-cli reduce IN.gif --colors N -o OUT.gif", 2};

    StderrHost host;
    Document doc(&host);
    doc.commentFrameOption = comment;
    openGif(doc, in);
    const int n = parseColorCount(colors);
    if (!reduceColors(doc, n, true)) throw CliError{"reduce: the document has no image to take colours from"};
    std::printf("reduced to %d colors\n", doc.globalPalette ? doc.globalPalette->colorCount : 0);
    saveGifAs(doc, out, false);
    return 0;
}

}  // namespace movigram::cli
