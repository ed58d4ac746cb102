#include "EditScript.h"

#include <charconv>
#include <climits>

#include "commands/CommandTable.h"

namespace movigram::cli {

namespace {

using Form = StepForm;

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + 1)
        parts.push_back(text.substr(start, at - start));
    parts.push_back(text.substr(start));
    return parts;
}

std::optional<int64_t> parseInt(const std::string& text) {
    int64_t value = 0;
    const char* end = text.data() + text.size();
    const char* begin = text.data();
    if (begin != end && *begin == '+') ++begin;
    const auto [ptr, ec] = std::from_chars(begin, end, value);
    if (ec != std::errc() || ptr != end || begin == end) return std::nullopt;
    return value;
}

// A whole number of the range; a text that is one but lies outside (however
// many digits it has) is told apart from one that is no number.
std::string parseValue(const std::string& text, ValueRange range, int32_t& value) {
    const bool digits = !text.empty() && text.find_first_not_of("+-0123456789") == std::string::npos &&
                        text.find_first_of("0123456789") != std::string::npos;
    const auto v = parseInt(text);
    if (!v && !digits) return "\"" + text + "\" is not a number";
    if (!v || *v < range.low || *v > range.high)
        return "\"" + text + "\" is out of range (" + std::to_string(range.low) + " to " + std::to_string(range.high) +
               ")";
    value = int32_t(*v);
    return {};
}

bool wordAllowed(const char* words, const std::string& word) {
    if (!words) return false;
    for (const std::string& w : split(words, '|'))
        if (w == word) return true;
    return false;
}

// Values separated by commas; words allowed by the form go to step.word.
std::string parseValues(const std::string& text, const CliStep& form, EditStep& step) {
    if (text.empty()) return "missing value";
    for (const std::string& part : split(text, ',')) {
        if (step.word.empty() && wordAllowed(form.words, part)) {
            step.word = part;
            continue;
        }
        int32_t value = 0;
        if (std::string e = parseValue(part, step.values.empty() ? form.first : form.rest, value); !e.empty())
            return form.words && e.ends_with("not a number") ? e + " or " + form.words : e;
        step.values.push_back(value);
    }
    const int n = int(step.values.size());
    if (n < form.minValues || n > form.maxValues) {
        return "takes " +
               (form.minValues == form.maxValues ? std::to_string(form.minValues)
                                                 : std::to_string(form.minValues) + " or " +
                                                       std::to_string(form.maxValues)) +
               (form.maxValues == 1 ? " value" : " values");
    }
    return {};
}

// "FRAMES:REST": the frame part, which must be there.
std::string splitFrames(const std::string& argument, EditStep& step, std::string& rest) {
    const size_t colon = argument.find(':');
    const std::string frames = argument.substr(0, colon);
    step.frames = parseFrameSpec(frames);
    if (!step.frames) return "\"" + frames + "\" is not a frame selection (all, 3, 0-4, 1,5-7)";
    rest = colon == std::string::npos ? std::string() : argument.substr(colon + 1);
    return {};
}

std::string parseArgument(const CliStep& form, const std::string& argument, EditStep& step) {
    std::string rest;
    switch (form.form) {
    case Form::None: return {};
    case Form::Frames:
        if (argument.find(':') != std::string::npos) return "takes only a frame selection";
        return splitFrames(argument, step, rest);
    case Form::FramesValues:
    case Form::FramesWord: {
        if (argument.find(':') == std::string::npos) return "needs FRAMES:VALUES";
        if (std::string e = splitFrames(argument, step, rest); !e.empty()) return e;
        if (form.form == Form::FramesWord) {
            if (!wordAllowed(form.words, rest)) return std::string("needs FRAMES:") + form.words;
            step.word = rest;
            return {};
        }
        return parseValues(rest, form, step);
    }
    case Form::Value: return parseValues(argument, form, step);
    case Form::Text:
        step.word = argument;
        return {};
    case Form::FramesText:
        if (argument.find(':') == std::string::npos) return "needs FRAMES:VALUE";
        if (std::string e = splitFrames(argument, step, rest); !e.empty()) return e;
        step.word = rest;
        return {};
    case Form::ValueOrNone:
        if (argument == "none") {
            step.word = argument;
            return {};
        }
        return parseValues(argument, form, step);
    case Form::FrameRate:
        if (argument.find(':') == std::string::npos) {
            if (std::string e = parseValues(argument, form, step); !e.empty()) return e;
            return step.values.size() == 1 ? std::string() : "takes MS or FRAMES:MS,REPEAT";
        }
        if (std::string e = splitFrames(argument, step, rest); !e.empty()) return e;
        if (std::string e = parseValues(rest, form, step); !e.empty()) return e;
        return step.values.size() == 2 ? std::string() : "takes MS or FRAMES:MS,REPEAT";
    case Form::Effect: {
        std::string body = argument;
        if (const size_t colon = body.find(':'); colon != std::string::npos) {
            const auto frame = parseInt(body.substr(0, colon));
            if (!frame || *frame < 0 || *frame > INT32_MAX)
                return "\"" + body.substr(0, colon) + "\" is not a frame position";
            step.frames = FrameSpec{false, {{int32_t(*frame), int32_t(*frame)}}};
            body = body.substr(colon + 1);
        }
        const std::vector<std::string> parts = split(body, ',');
        if (!parseInt(parts[0]) && parts[0].find_first_not_of("+-0123456789") != std::string::npos)
            return "needs [FRAME:]COUNT[,key=value...]";
        int32_t count = 0;
        if (std::string e = parseValue(parts[0], form.first, count); !e.empty()) return e;
        step.values.push_back(count);
        for (size_t i = 1; i < parts.size(); ++i) {
            const size_t eq = parts[i].find('=');
            if (eq == std::string::npos || eq == 0) return "\"" + parts[i] + "\" is not key=value";
            const std::string key = parts[i].substr(0, eq);
            if (key != "ms" && key != "index" && key != "color" && key != "dir" && key != "cell" && key != "seed")
                return "unknown option \"" + key + "\" (ms, index, color, dir, cell, seed)";
            step.options[key] = parts[i].substr(eq + 1);
        }
        return {};
    }
    }
    return {};
}

}  // namespace

std::optional<FrameSpec> parseFrameSpec(const std::string& text) {
    FrameSpec selection;
    if (text == "all") {
        selection.all = true;
        return selection;
    }
    if (text.empty()) return std::nullopt;
    for (const std::string& part : split(text, ',')) {
        const size_t dash = part.find('-', 1);
        const auto first = parseInt(part.substr(0, dash));
        const auto last = dash == std::string::npos ? first : parseInt(part.substr(dash + 1));
        if (!first || !last || *first < 0 || *last < *first || *last > INT32_MAX) return std::nullopt;
        selection.ranges.emplace_back(int32_t(*first), int32_t(*last));
    }
    return selection;
}

bool FrameSpec::resolve(int32_t count, FrameSelection& selection, std::string& error) const {
    selection.clear();
    if (all) {
        for (int32_t i = 0; i < count; ++i) selection.push_back(i);
        return true;
    }
    for (const auto& [first, last] : ranges) {
        if (last >= count) {
            error = "frame " + std::to_string(last) + " does not exist (the animation has " + std::to_string(count) +
                    (count == 1 ? " frame)" : " frames)");
            return false;
        }
        for (int32_t i = first; i <= last; ++i) selection.push_back(i);
    }
    return true;
}

EditScript parseEditScript(const std::vector<std::string>& args) {
    EditScript script;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        if (!option.starts_with("--") || option.size() < 3) {
            script.error = "\"" + option + "\" is not a step (steps start with --)";
            return script;
        }
        EditStep step;
        step.name = option.substr(2);
        const CliStep* form = findStep(step.name);
        if (!form) {
            script.error = "unknown step \"" + option + "\"";
            return script;
        }
        if (form->form != Form::None) {
            if (i + 1 >= args.size()) {
                script.error = option + " needs an argument";
                return script;
            }
            if (std::string e = parseArgument(*form, args[++i], step); !e.empty()) {
                script.error = option + " " + args[i] + ": " + e;
                return script;
            }
        }
        script.steps.push_back(std::move(step));
    }
    return script;
}

std::string editScriptHelp() {
    std::string text =
        "Steps run in order on the opened animation.  FRAMES is all, or positions and\n"
        "ranges counted from 0 when the step runs: 3, 0-4, 1,5-7.  Offsets DX,DY are\n"
        "-65535 to 65535 and the corners of a rectangle 0 to 65535 (a GIF's coordinates);\n"
        "INDEX is a palette index, 0 to 255.\n"
        "\n";
    for (const CliStep* step : stepsInHelpOrder()) text += step->help;
    return text + "\n" + effectStepsHelp();
}

}  // namespace movigram::cli
