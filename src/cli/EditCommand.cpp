// movigram-cli edit IN.gif -o OUT.gif [-O] [-O3] [--no-comment] STEP...: the frame
// operations, colour commands and effects of the editor, applied in order to
// the opened animation through the functions their command records name,
// then "Save as" (or "Save optimized as" with -O), or an export in the
// format OUT's extension names.
#include <cstdint>
#include <cstdio>
#include <string>

#include "CliDocument.h"
#include "EditScript.h"
#include "commands/CommandTable.h"

namespace movigram::cli {

namespace {

[[noreturn]] void fail(const EditStep& step, const std::string& message) {
    throw CliError{"--" + step.name + ": " + message};
}

// Runs a step through the function of its command record.
void applyStep(Document& doc, const EditStep& step) {
    StepArguments arguments{step.name, step.frames.has_value(), {}, step.values, step.word, step.options};
    std::string error;
    if (step.frames && !step.frames->resolve(doc.frameList.count(), arguments.frames, error)) fail(step, error);
    const CliStep* form = findStep(step.name);
    if (!form) fail(step, "not an operation");
    const StepOutcome outcome = form->run(doc, arguments);
    if (outcome.usage) throw CliError{"--" + step.name + ": " + outcome.error, ExitUsage};
    if (!outcome.error.empty()) fail(step, outcome.error);
}

}  // namespace

int runEdit(const Args& args) {
    if (args.empty() || args[0].starts_with("-")) usageError("no input file given");
    const std::string in = args[0];
    std::string out;
    bool optimize = false, comment = true, keepPartial = false, maximum = false;
    int lossy = 100;
    uint64_t maxSize = 0;
    std::vector<std::string> stepArgs;
    OutputChoice output{.editSteps = true};
    for (size_t i = 1; i < args.size(); ++i) {
        if (output.take(args, i)) continue;
        if (args[i] == "-o") out = optionValue(args, i, "the output file");
        else if (args[i] == "-O") optimize = true;
        else if (args[i] == "-O3") optimize = maximum = true;
        else if (args[i] == "--no-comment") comment = false;
        else if (args[i] == "--keep-partial") keepPartial = true;
        else if (args[i] == "--lossy")
            lossy = int(numberArgument(optionValue(args, i, "a quality level"), args[i], 0, 100));
        else if (args[i] == "--max-size")
            maxSize = byteSizeArgument(optionValue(args, i, "a size"), args[i]);
        else stepArgs.push_back(args[i]);
    }
    if (out.empty()) usageError("no output file given (-o OUT.gif)");
    const ExportFormat format = output.formatOf(out);
    const EditScript script = parseEditScript(stepArgs);
    if (!script.error.empty()) usageError(script.error);

    StderrHost host;
    Document doc(&host);
    doc.commentFrameOption = comment;
    doc.maxCompression = maximum;
    doc.lossyQuality = lossy;
    openInput(doc, host, in, keepPartial);
    for (const EditStep& step : script.steps) {
        applyStep(doc, step);
        if (doc.frameList.empty()) fail(step, "no frame is left to save");
    }
    std::printf("%zu step%s applied, %d frames\n", script.steps.size(), script.steps.size() == 1 ? "" : "s",
                doc.frameList.count());
    if (format != ExportFormat::Gif) {
        exportOutput(doc, out, format, output);
        return ExitOk;
    }
    // Lossy compression is a way of the optimising save.
    if (maxSize) saveWithin(doc, out, maxSize, lossy);
    else saveOutput(doc, out, optimize || lossy < 100);
    return ExitOk;
}

}  // namespace movigram::cli
