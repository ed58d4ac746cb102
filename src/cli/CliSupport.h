#pragma once
// Shared pieces of the command-line tool: errors and messages on stderr,
// argument handling and the JSON text writer.
//
// Every message is one line on stderr, "movigram-cli COMMAND: text".  The
// exit status is 0 on success, 1 when the input could not be read cleanly
// or the work or the write failed (nothing is written then), 2 for wrong
// arguments.  --keep-partial turns an input read only in part into a
// success: what was read is used, with a warning.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "document/QuantizeOptions.h"

namespace movigram::cli {

enum ExitStatus : int { ExitOk = 0, ExitFailed = 1, ExitUsage = 2 };

// A failure reported as one line on stderr with a non-zero exit status.  An
// empty message means it was reported already.
struct CliError {
    std::string message;
    int status = ExitFailed;
};

using Args = std::vector<std::string>;

// The subcommand running, named in every message.
void setCommandName(std::string name);
const std::string& commandName();

// Text made one line: each line break and the blanks around it become one
// space.
std::string oneLine(std::string_view text);
// "movigram-cli COMMAND: text" on stderr.
void tell(const std::string& text);
void warn(const std::string& text);

// The value of the option at args[i], which moves past it; a usage error
// naming the option when the arguments end there.
const std::string& optionValue(const Args& args, size_t& i, const char* meaning);
// A whole number from low to high; a usage error naming the option and the
// range for anything else.
int64_t numberArgument(const std::string& text, const std::string& option, int64_t low, int64_t high);
// A usage error: what is wrong, then how the command is used.
[[noreturn]] void usageError(const std::string& what);

// The file arguments of the commands that read files: the inputs, "-o OUT"
// and --keep-partial.
struct FileArguments {
    // At most this many inputs; "-o" only where the command writes.
    size_t maxInputs = 1;
    bool takesOutput = true;
    // The output may be of any format the tool writes (OutputChoice); else
    // GIF only.
    bool anyFormat = false;

    std::vector<std::string> inputs;
    std::string out;
    bool keepPartial = false;

    const std::string& input() const { return inputs.front(); }
    // Takes args[i] (moving past a value) for whatever a command's own
    // options did not take; any other option and one input too many are
    // usage errors.
    void take(const Args& args, size_t& i);
    // Usage errors for no input, and for no output where one is written.
    void require() const;
};

// The extensions of the files copy, frames and reduce write (".gif"),
// compared without regard to case.  An output named with any other extension is a usage
// error rather than a GIF under a name that promises something else; a name
// without an extension is written as GIF.
extern const std::vector<std::string> writableExtensions;
void requireWritableOutput(const std::string& path);

// --quantizer median-cut|quality and --dither none|ordered|diffusion[=STRENGTH]
// at args[i] (which moves past the value) into options; false when args[i]
// is neither option.  A bad value is a usage error.
bool takeQuantizeOption(const Args& args, size_t& i, QuantizeOptions& options);

// JSON string literal: valid UTF-8 is kept as it is (control characters
// escaped), and every byte that is not part of valid UTF-8 is taken as the
// Latin-1 character of that value, so the output is always valid UTF-8 JSON.
std::string jsonString(std::string_view bytes);

int runInfo(const Args& args);
int runCopy(const Args& args);
int runReduce(const Args& args);
int runOptimize(const Args& args);
int runConvert(const Args& args);
int runFrames(const Args& args);
int runEdit(const Args& args);
int runRecord(const Args& args);

// What `COMMAND --help` prints; empty for an unknown command.
std::string usageOf(const std::string& command);
// Runs one command line (without the program's name): messages on stderr,
// output on stdout, the exit status returned.
int runCommandLine(const Args& commandLine);

}  // namespace movigram::cli
