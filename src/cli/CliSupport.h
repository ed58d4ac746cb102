#pragma once
// Shared pieces of the command-line tool: argument handling, errors and the
// JSON text writer.
#include <string>
#include <string_view>
#include <vector>

namespace movigram::cli {

// A failure reported as one line on stderr with a non-zero exit status.
struct CliError {
    std::string message;
    int status = 1;
};

using Args = std::vector<std::string>;

// JSON string literal for arbitrary bytes: ASCII kept, everything else escaped
// as the Latin-1 code point so that the output is always valid JSON.
std::string jsonString(std::string_view bytes);

int runInfo(const Args& args);
int runCopy(const Args& args);
int runReduce(const Args& args);
int runOptimize(const Args& args);
int runConvert(const Args& args);
int runFrames(const Args& args);
int runEdit(const Args& args);

}  // namespace movigram::cli
