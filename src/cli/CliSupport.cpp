#include "CliSupport.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>

#include "colour/QuantizeOptionText.h"

namespace movigram::cli {

namespace {

std::string& currentCommand() {
    static std::string name;
    return name;
}

// Length of the valid UTF-8 sequence at the start of s, 0 when there is none
// (overlong forms, surrogates and code points past U+10FFFF are not valid).
size_t utf8Length(std::string_view s) {
    const auto b = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char c = b(0);
    size_t n;
    uint32_t code;
    if (c >= 0xC2 && c <= 0xDF) n = 2, code = c & 0x1F;
    else if (c >= 0xE0 && c <= 0xEF) n = 3, code = c & 0x0F;
    else if (c >= 0xF0 && c <= 0xF4) n = 4, code = c & 0x07;
    else return 0;
    if (s.size() < n) return 0;
    for (size_t i = 1; i < n; ++i) {
        if ((b(i) & 0xC0) != 0x80) return 0;
        code = code << 6 | (b(i) & 0x3F);
    }
    if ((n == 3 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) || (n == 4 && (code < 0x10000 || code > 0x10FFFF)))
        return 0;
    return n;
}

void appendLatin1(std::string& out, unsigned char c) {
    out += char(0xC0 | c >> 6);
    out += char(0x80 | (c & 0x3F));
}

}  // namespace

void setCommandName(std::string name) { currentCommand() = std::move(name); }
const std::string& commandName() { return currentCommand(); }

std::string oneLine(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\n' && text[i] != '\r') {
            out += text[i];
            continue;
        }
        while (!out.empty() && out.back() == ' ') out.pop_back();
        while (i + 1 < text.size() && (text[i + 1] == ' ' || text[i + 1] == '\n' || text[i + 1] == '\r')) ++i;
        if (!out.empty() && i + 1 < text.size()) out += ' ';
    }
    return out;
}

void tell(const std::string& text) {
    const std::string& command = commandName();
    std::fprintf(stderr, "movigram-cli%s%s: %s\n", command.empty() ? "" : " ", command.c_str(), oneLine(text).c_str());
}

void warn(const std::string& text) { tell("warning: " + text); }

const std::string& optionValue(const Args& args, size_t& i, const char* meaning) {
    if (i + 1 >= args.size()) usageError(args[i] + " needs a value (" + meaning + ")");
    return args[++i];
}

void FileArguments::take(const Args& args, size_t& i) {
    const std::string& a = args[i];
    if (a == "-o" && takesOutput) out = optionValue(args, i, "the output file");
    else if (a == "--keep-partial") keepPartial = true;
    else if (a.starts_with("-") && a != "-") usageError("unknown option \"" + a + "\"");
    else if (inputs.size() < maxInputs) inputs.push_back(a);
    else usageError("unexpected argument \"" + a + "\"");
}

void FileArguments::require() const {
    if (inputs.empty()) usageError(takesOutput ? "no input file given" : "no file given");
    if (takesOutput && out.empty()) usageError("no output file given (-o OUT.gif)");
    if (takesOutput && !anyFormat) requireWritableOutput(out);
}

const std::vector<std::string> writableExtensions = {".gif"};

void requireWritableOutput(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    // A dot that starts the name (".gif", "..") begins no extension.
    if (dot == std::string::npos || dot == (slash == std::string::npos ? 0 : slash + 1) ||
        (slash != std::string::npos && dot < slash))
        return;
    std::string extension = path.substr(dot);
    for (char& c : extension) c = char(std::tolower(static_cast<unsigned char>(c)));
    if (std::find(writableExtensions.begin(), writableExtensions.end(), extension) != writableExtensions.end())
        return;
    std::string known;
    for (const std::string& e : writableExtensions) known += (known.empty() ? "" : ", ") + e;
    usageError("cannot write \"" + path + "\": the output is written as " + known + " only, not " +
               (extension == "." ? "a name ending in \".\"" : extension));
}

int64_t numberArgument(const std::string& text, const std::string& option, int64_t low, int64_t high) {
    int64_t value = 0;
    const char* begin = text.data() + (text.starts_with('+') ? 1 : 0);
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(begin, end, value);
    if (ec != std::errc() || ptr != end || begin == end || value < low || value > high)
        usageError(option + " takes a whole number from " + std::to_string(low) + " to " + std::to_string(high) +
                   ", not \"" + text + "\"");
    return value;
}

void usageError(const std::string& what) {
    const std::string command = commandName().empty() ? "" : commandName() + " ";
    throw CliError{what + " (see movigram-cli " + command + "--help)", ExitUsage};
}

bool takeQuantizeOption(const Args& args, size_t& i, QuantizeOptions& options) {
    const std::string& a = args[i];
    if (a == "--quantizer") {
        const std::string& v = optionValue(args, i, "median-cut or quality");
        const auto quantizer = parseQuantizer(v);
        if (!quantizer) usageError("--quantizer takes median-cut or quality, not \"" + v + "\"");
        options.quantizer = *quantizer;
        return true;
    }
    if (a == "--dither") {
        const std::string& v = optionValue(args, i, "none, ordered or diffusion[=STRENGTH]");
        if (parseDither(v, options)) return true;
        if (v.starts_with("diffusion="))
            usageError("--dither diffusion=STRENGTH takes a whole number of per cent from 1 to 100, not \"" +
                       v.substr(10) + "\"");
        usageError("--dither takes none, ordered, diffusion or diffusion=STRENGTH, not \"" + v + "\"");
    }
    return false;
}

std::string jsonString(std::string_view bytes) {
    std::string out = "\"";
    for (size_t i = 0; i < bytes.size();) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
            ++i;
        } else if (c < 0x20 || c == 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
            ++i;
        } else if (c < 0x80) {
            out += char(c);
            ++i;
        } else if (const size_t n = utf8Length(bytes.substr(i))) {
            out.append(bytes.substr(i, n));
            i += n;
        } else {
            appendLatin1(out, c);
            ++i;
        }
    }
    return out + "\"";
}

}  // namespace movigram::cli
