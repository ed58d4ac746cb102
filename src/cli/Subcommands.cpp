// The subcommands of movigram-cli, their usage texts and the one place where
// a command's errors become a message and an exit status.
#include <cstdio>
#include <new>
#include <string>

#include "CliSupport.h"
#include "EditScript.h"

namespace movigram::cli {

namespace {

// How true colour becomes few colours, for reduce and convert.
#define QUANTIZE_HELP                                                                               \
    "  --quantizer  median-cut (the default) or quality (slower, closer colours)\n"                  \
    "  --dither     none (the default), ordered (a fixed pattern), or diffusion, which passes\n"       \
    "               STRENGTH per cent (1 to 100, default 100) of each pixel's error on; pixels that\n" \
    "               do not change from frame to frame keep their colour\n"

// Lossy compression, for optimize, convert and edit.
#define LOSSY_HELP                                                                                    \
    "  --lossy N    quality 0 to 100 (100, the default: lossless): below 100 the LZW encoder may\n"    \
    "               write a pixel in a close colour where that makes longer strings, and close\n"     \
    "               shades merge into one; pixels left transparent or unchanged from the screen\n"    \
    "               before stay as they were; saves optimised\n"

// A size target, for optimize, convert and edit.
#define MAX_SIZE_HELP                                                                                 \
    "  --max-size S the best-looking file no larger than S (8MB, 500KB, 1.5MiB or bytes): maximum\n"   \
    "               compression, then lossy levels, fewer colours, a lower frame rate and a smaller\n" \
    "               scale, least visible first; tells what it chose, and exits 1 writing nothing\n"   \
    "               when even the smallest setting is over\n"

// The formats an output may have, for optimize, convert and edit.
#define EXPORT_HELP                                                                                   \
    "  OUT          .gif, or .webp (animated WebP), .png or .apng (APNG, lossless), .mp4 (H.264),\n"   \
    "               .webm (VP9); delays, loop count and transparency are kept where the format\n"    \
    "               has them; -O, -O3, --lossy, --max-size and the other GIF options are GIF's\n"     \
    "  --quality Q  WebP: lossy at quality 0 to 100 (without: lossless)\n"                           \
    "  --background R,G,B  MP4 (and WebM without alpha): the colour transparent pixels show\n"       \
    "               (each 0 to 255; without: the animation's background colour); said on stderr\n"

struct Command {
    const char* name;
    int (*run)(const Args&);
    const char* usage;  // the synopsis line, then the options
};

const Command commands[] = {
    {"info", runInfo,
     "info [--json] [--keep-partial] FILE\n"
     "  screen, palettes, loop and one line per frame (--json: one JSON object)\n"},
    {"copy", runCopy,
     "copy IN OUT [--no-comment] [--keep-partial]\n"
     "  read a GIF and write it back without optimisation; the program's comment\n"
     "  goes first unless --no-comment\n"},
    {"optimize", runOptimize,
     "optimize IN -o OUT [--no-crop] [--split] [--mask] [-O] [-O3] [--restore-previous] [--pow2-colors]\n"
     "         [--lossy N] [--max-size S] [--no-comment] [--keep-partial] [--quality Q] [--background R,G,B]\n"
     "  open, then save optimised; -O is --split --mask; -O3 is maximum compression, never\n"
     "  larger than the copy or -O; --restore-previous lets -O3 restore images to the\n"
     "  screen before them (smaller, but some widely used decoders show it wrongly)\n"
     LOSSY_HELP MAX_SIZE_HELP EXPORT_HELP},
    {"convert", runConvert,
     "convert FILE... -o OUT [--delay MS] [--loop N] [--local-palettes merge|keep|create]\n"
     "        [--global-palette cumulative|optimized|automatic|fixed=PALFILE] [-O] [-O3] [--lossy N] [--max-size S]\n"
     "        [--no-comment] [--keep-partial] [--quantizer median-cut|quality] [--dither none|ordered|diffusion[=STRENGTH]]\n"
     "        [--quality Q] [--background R,G,B]\n"
     "  read a batch of images, videos and text files as one animation\n"
     "  --delay MS   0 to 655350 milliseconds per frame of a still image\n"
     "  --loop N     0 (without end) to 65535\n"
     QUANTIZE_HELP LOSSY_HELP MAX_SIZE_HELP EXPORT_HELP},
    {"frames", runFrames,
     "frames IN -o OUT [--keep-partial]\n"
     "  one file per image frame: OUT-00.gif, OUT-01.gif, ... numbered by frame\n"},
    {"reduce", runReduce,
     "reduce IN --colors N -o OUT [--no-comment] [--keep-partial]\n"
     "        [--quantizer median-cut|quality] [--dither none|ordered|diffusion[=STRENGTH]]\n"
     "  one optimised global palette of N (2 to 256) colours\n"
     QUANTIZE_HELP},
    {"edit", runEdit,
     "edit IN -o OUT [-O] [-O3] [--lossy N] [--max-size S] [--no-comment] [--keep-partial]\n"
     "     [--quality Q] [--background R,G,B] STEP...\n"
     "  frame operations, colours and effects, in order (edit --help lists the steps)\n"
     "  -O            save optimised (dirty rectangles, as \"Save optimized as\")\n"
     "  -O3           save with maximum compression\n"
     "  --no-comment  do not put the program's comment in front\n"
     LOSSY_HELP MAX_SIZE_HELP EXPORT_HELP},
    {"record", runRecord,
     "record --region X,Y,W,H|--window ID|--screen --duration S -o OUT [--fps N] [--delay S] [--pointer]\n"
     "       [-O] [-O3] [--lossy N] [--max-size S] [--no-comment] [--quantizer ...] [--dither ...]\n"
     "  record the X display named by $DISPLAY and save the recording optimised: a region\n"
     "  (clipped to the screen), the area a window covers, or the whole screen\n"
     "  --duration S seconds to record (0.1 to 3600); Ctrl+C ends it sooner, keeping what was recorded\n"
     "  --fps N      pictures per second, 5 to 30 (default 15); equal pictures make one frame\n"
     "               and every frame lasts as long as its pictures were on the screen\n"
     "  --delay S    wait S seconds before recording\n"
     "  --pointer    draw the mouse pointer into the recording\n"
     "  The colours come from the first picture; a recording that reaches the memory budget\n"
     "  stops early, warns and saves what it has\n"
     QUANTIZE_HELP LOSSY_HELP MAX_SIZE_HELP EXPORT_HELP},
};

const char rules[] =
    "Input files are recognised by their first bytes (GIF, BMP, PCX, JPEG, AVI and other\n"
    "video), else by their extension (.txt files become comments).  Outputs are written to\n"
    "exactly the path given: GIF files, or for convert, optimize and edit WebP, APNG, MP4 or\n"
    "WebM by the extension (.webp, .png or .apng, .mp4, .webm); any other extension is\n"
    "refused.\n"
    "\n"
    "Exit status: 0 on success; 1 when an input could not be read cleanly (nothing is\n"
    "written then, unless --keep-partial, which uses the frames that were read, warns and\n"
    "exits 0), or when the work or the write failed; 2 for wrong arguments.  Every error\n"
    "is one line on stderr: \"movigram-cli COMMAND: message\".\n";

const Command* find(const std::string& name) {
    for (const Command& c : commands)
        if (name == c.name) return &c;
    return nullptr;
}

void printUsage(std::FILE* out) {
    std::fputs("usage: movigram-cli COMMAND [ARGS]   (movigram-cli COMMAND --help for one command)\n\n", out);
    for (const Command& c : commands) std::fprintf(out, "  %s", c.usage);
    std::fputs("\n", out);
    std::fputs(rules, out);
}

}  // namespace

std::string usageOf(const std::string& command) {
    const Command* c = find(command);
    if (!c) return {};
    std::string text = std::string("usage: movigram-cli ") + c->usage;
    if (command == "edit") text += std::string("\n") + editScriptHelp();
    return text + "\n" + rules;
}

int runCommandLine(const Args& commandLine) {
    if (commandLine.empty()) {
        printUsage(stderr);
        return ExitUsage;
    }
    const std::string& command = commandLine[0];
    if (command == "--help" || command == "-h") {
        printUsage(stdout);
        return ExitOk;
    }
    if (command == "--version") {
        std::printf("movigram-cli %s\n", MOVIGRAM_VERSION);
        return ExitOk;
    }
    const Args args(commandLine.begin() + 1, commandLine.end());
    const Command* c = find(command);
    if (!c) {
        tell("unknown command \"" + command + "\" (see movigram-cli --help)");
        return ExitUsage;
    }
    setCommandName(command);
    for (const std::string& a : args)
        if (a == "--help" || a == "-h") {
            std::fputs(usageOf(command).c_str(), stdout);
            return ExitOk;
        }
    try {
        return c->run(args);
    } catch (const CliError& e) {
        if (!e.message.empty()) tell(e.message);
        return e.status;
    } catch (const std::bad_alloc&) {
        tell("Failed to allocate memory");
    } catch (const std::exception& e) {
        tell(e.what());
    }
    return ExitFailed;
}

}  // namespace movigram::cli
