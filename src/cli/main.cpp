// movigram-cli: the editor's file operations from the command line.
#include <cstdio>
#include <cstring>
#include <string>

#include "CliSupport.h"

namespace {

const char usage[] =
    "usage: movigram-cli COMMAND [ARGS]\n"
    "\n"
    "  info [--json] FILE          screen, palettes, loop and one line per frame\n"
    "  copy IN OUT [--no-comment]  read a GIF and write it back without optimisation\n"
    "  optimize IN -o OUT [--no-crop] [--split] [--mask] [-O] [--pow2-colors] [--no-comment]\n"
    "                              open, then save optimised\n"
    "  convert FILE... -o OUT [--delay MS] [--loop N] [--local-palettes merge|keep|create]\n"
    "          [--global-palette cumulative|optimized|automatic|fixed=PALFILE] [-O] [--no-comment]\n"
    "                              read a batch of images, videos and text files as one animation\n"
    "  frames IN -o OUT            one file per frame: OUT-00.gif, OUT-01.gif, ...\n"
    "  reduce IN --colors N -o OUT [--no-comment]\n"
    "                              one optimised global palette of N (2..256) colours\n"
    "  edit IN -o OUT [-O] [--no-comment] STEP...\n"
    "                              frame operations, colours and effects, in order\n"
    "                              (movigram-cli edit --help lists the steps)\n"
    "\n"
    "Errors are reported on stderr with a non-zero exit status.\n";

}  // namespace

int main(int argc, char** argv) {
    using namespace movigram::cli;
    if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
        std::fputs(usage, argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    const std::string command = argv[1];
    const Args args(argv + 2, argv + argc);
    try {
        if (command == "info") return runInfo(args);
        if (command == "copy") return runCopy(args);
        if (command == "reduce") return runReduce(args);
        if (command == "optimize") return runOptimize(args);
        if (command == "convert") return runConvert(args);
        if (command == "frames") return runFrames(args);
        if (command == "edit") return runEdit(args);
        throw CliError{"unknown command \"" + command + "\" (see movigram-cli --help)", 2};
    } catch (const CliError& e) {
        std::fprintf(stderr, "movigram-cli: %s\n", e.message.c_str());
        return e.status;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "movigram-cli: %s\n", e.what());
        return 1;
    }
}
