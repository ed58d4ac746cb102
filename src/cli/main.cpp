// movigram-cli: the editor's file operations from the command line.
#include "CliSupport.h"

int main(int argc, char** argv) {
    return movigram::cli::runCommandLine(movigram::cli::Args(argv + 1, argv + argc));
}
