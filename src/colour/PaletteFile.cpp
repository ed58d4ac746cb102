#include "PaletteFile.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <fstream>
#include <iterator>

#include "document/FileIo.h"

namespace movigram {
namespace {

// Only the first 99 characters of a line count.  The rest is skipped
// without being kept, so a file with no line breaks (a picture named .pal,
// say) takes no more memory than a short line.
constexpr size_t lineLimit = 99;

bool nextLine(std::istream& in, std::string& line) {
    line.clear();
    std::istreambuf_iterator<char> at(in), end;
    if (at == end) return false;
    for (; at != end && *at != '\n'; ++at)
        if (line.size() < lineLimit) line.push_back(*at);
    if (at != end) ++at;
    return true;
}

// A decimal integer at pos after blanks, with an optional sign, as the C
// library's conversions read one.  Digits beyond what 32 bits hold wrap, which
// leaves the low 8 bits of the written number intact.
bool scanInt(const std::string& s, size_t& pos, int32_t& out) {
    while (pos < s.size() && std::isspace(static_cast<unsigned char>(s[pos]))) ++pos;
    bool negative = false;
    if (pos < s.size() && (s[pos] == '+' || s[pos] == '-')) negative = s[pos++] == '-';
    const size_t first = pos;
    uint32_t value = 0;
    while (pos < s.size() && std::isdigit(static_cast<unsigned char>(s[pos])))
        value = value * 10 + uint32_t(s[pos++] - '0');
    if (pos == first) return false;
    out = int32_t(negative ? 0u - value : value);
    return true;
}

// The count line: like atoi, but a number too large for an int saturates.
long countOf(const std::string& line) {
    size_t pos = 0;
    while (pos < line.size() && std::isspace(static_cast<unsigned char>(line[pos]))) ++pos;
    bool negative = false;
    if (pos < line.size() && (line[pos] == '+' || line[pos] == '-')) negative = line[pos++] == '-';
    long value = 0;
    while (pos < line.size() && std::isdigit(static_cast<unsigned char>(line[pos])))
        value = std::min<long>(value * 10 + (line[pos++] - '0'), INT_MAX);
    return negative ? -value : value;
}

}  // namespace

TMyPalette readPaletteFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return in ? readPaletteText(in) : TMyPalette();
}

TMyPalette readPaletteText(std::istream& in) {
    TMyPalette palette;
    std::string line;
    // The header and version lines are not checked.
    if (!nextLine(in, line) || !nextLine(in, line) || !nextLine(in, line)) return palette;
    const long count = std::min<long>(countOf(line), 256);
    // A line with fewer than three numbers keeps the previous line's values
    // for the channels it lacks.
    int32_t rgb[3] = {0, 0, 0};
    int used = 0;
    for (long i = 0; i < count && nextLine(in, line); ++i) {
        size_t pos = 0;
        for (int32_t& channel : rgb)
            if (!scanInt(line, pos, channel)) break;
        const PaletteEntry entry{uint8_t(rgb[0]), uint8_t(rgb[1]), uint8_t(rgb[2]), 0};
        const auto begin = palette.entries().begin();
        if (std::find(begin, begin + used, entry) == begin + used) palette.setEntry(used++, entry);
    }
    palette.colorCount = used;
    return palette;
}

bool storePalette(const TMyPalette& palette, const std::string& path) {
    AtomicFile file(path);
    std::FILE* out = file.open();
    if (!out) return false;
    const int count = std::clamp(palette.colorCount, 0, 256);
    bool ok = std::fprintf(out, "MVGR-PAL\r\n0100\r\n%d\r\n", count) > 0;
    for (int i = 0; i < count && ok; ++i) {
        const PaletteEntry& e = palette.entry(i);
        ok = std::fprintf(out, "%d %d %d\r\n", e.red, e.green, e.blue) > 0;
    }
    return file.close() && ok && file.commit();
}

}  // namespace movigram
