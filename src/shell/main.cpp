// movigram: the GIF animation editor.  movigram [FILE...]
#include <cstdio>
#include <cstring>

#include "TBmpViewApp.h"
#include "commands/ProgramDocuments.h"

namespace {

void printUsage() {
    std::printf(
        "Usage: movigram [FILE...]\n"
        "Movigram GIF Animator: edits animated GIF images frame by frame.\n"
        "\n"
        "The files named are opened together as one animation: GIF animations,\n"
        "still images, videos, and text files as comments.\n"
        "\n"
        "  -h, --help     print this help and exit\n"
        "      --version  print the version and exit\n"
        "\n"
        "Scripting the same edits without a window: movigram-cli --help\n");
}

}  // namespace

int main(int argc, char** argv) {
    // Answered before the application is made, so that they need no display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) break;
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            printUsage();
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("movigram %s\n", movigram::versionText().c_str());
            return 0;
        }
    }
    movigram::TBmpViewApp app(argc, argv);
    return app.run();
}
