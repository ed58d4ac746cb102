// movigram-cli convert FILE... -o OUT.gif: a batch of images, videos and
// text files read as one document (as Open reads a multiple selection) and
// saved.  movigram-cli frames IN -o OUT.gif: "Save frames".
#include <cstdio>
#include <string>
#include <vector>

#include "CliDocument.h"
#include "colour/ColorReduction.h"
#include "commands/FileCommands.h"

namespace movigram::cli {

namespace {

int toInt(const std::string& text, const char* what) {
    try {
        size_t used = 0;
        const int v = std::stoi(text, &used);
        if (used == text.size()) return v;
    } catch (const std::exception&) {
    }
    throw CliError{std::string("convert: ") + what + " must be a number, not \"" + text + "\"", 2};
}

}  // namespace

int runConvert(const Args& args) {
    std::vector<std::string> inputs;
    std::string out, fixedPalette;
    StderrHost host;
    Document doc(&host);
    bool optimize = false;
    std::optional<int> loop;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) throw CliError{"convert: " + a + " needs a value", 2};
            return args[++i];
        };
        if (a == "-o") out = value();
        else if (a == "--delay") doc.frameTime = std::max(toInt(value(), "--delay"), 0);
        else if (a == "--loop") loop = std::max(toInt(value(), "--loop"), 0);
        else if (a == "-O") optimize = true, doc.splitDirty = doc.transparentMaskOption = true;
        else if (a == "-O3") optimize = true, doc.splitDirty = doc.transparentMaskOption = doc.maxCompression = true;
        else if (a == "--no-comment") doc.commentFrameOption = false;
        else if (a == "--local-palettes") {
            const std::string& v = value();
            if (v == "merge") doc.localPaletteMode = LocalPaletteMode::Merge;
            else if (v == "keep") doc.localPaletteMode = LocalPaletteMode::Keep;
            else if (v == "create") doc.localPaletteMode = LocalPaletteMode::Create;
            else throw CliError{"convert: --local-palettes takes merge, keep or create", 2};
        } else if (a == "--global-palette") {
            const std::string& v = value();
            if (v == "cumulative") doc.globalPaletteMode = GlobalPaletteMode::Cumulative;
            else if (v == "optimized") doc.globalPaletteMode = GlobalPaletteMode::Optimized;
            else if (v == "automatic") doc.globalPaletteMode = GlobalPaletteMode::Automatic;
            else if (v.starts_with("fixed=")) fixedPalette = v.substr(6);
            else throw CliError{"convert: --global-palette takes cumulative, optimized, automatic or fixed=PALFILE", 2};
        } else if (a.starts_with("-") && a != "-") {
            throw CliError{"convert: unknown option \"" + a + "\"", 2};
        } else {
            inputs.push_back(a);
        }
    }
    if (inputs.empty() || out.empty())
        throw CliError{"convert: usage movigram-cli convert FILE... -o OUT.gif [--delay MS] [--loop N] "
                       "[--local-palettes merge|keep|create] [--global-palette cumulative|optimized|automatic|fixed=PALFILE] "
                       "[-O] [-O3] [--no-comment]",
                       2};
    if (!fixedPalette.empty()) loadFixedPalette(doc, fixedPalette);

    // Each file is read in its own folder, in the order given.
    for (const std::string& input : inputs) {
        const int before = doc.frameList.count();
        readFiles(doc, before == 0 ? ReplaceDocument : AppendToDocument, batchFromPaths({input}));
        if (doc.frameList.count() == before) std::fprintf(stderr, "movigram-cli: nothing read from %s\n", input.c_str());
    }
    if (doc.frameList.empty()) throw CliError{"convert: no frame could be read"};
    if (loop) {
        doc.loopOption = *loop != 1;
        doc.loopCount = *loop;
    }
    doc.cropToDirty = true;
    saveGifAs(doc, out, optimize);
    return 0;
}

int runFrames(const Args& args) {
    std::string in, out;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o" && i + 1 < args.size()) out = args[++i];
        else if (args[i].starts_with("-")) throw CliError{"frames: unknown option \"" + args[i] + "\"", 2};
        else if (in.empty()) in = args[i];
        else throw CliError{"frames: unexpected argument \"" + args[i] + "\"", 2};
    }
    if (in.empty() || out.empty()) throw CliError{"frames: usage movigram-cli frames IN -o OUT.gif", 2};
    StderrHost host;
    Document doc(&host);
    openFiles(doc, {in});
    if (doc.frameList.empty()) throw CliError{"frames: no frame could be read from " + in};
    const auto written = saveFrames(doc, out);
    for (const std::string& path : written) std::printf("wrote %s\n", path.c_str());
    return written.empty() ? 1 : 0;
}

}  // namespace movigram::cli
