#include "Settings.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <array>
#include <QTextStream>
#include <algorithm>
#include <optional>

#include "colour/QuantizeOptionText.h"

namespace movigram {

namespace {

const QString options = QStringLiteral("Settings/Options");
const QString screenSize = QStringLiteral("Screen Settings/ScreenSize");
const QString winRect = QStringLiteral("Screen Settings/WinRect");
const QString frameListDocked = QStringLiteral("Screen Settings/FrameListDocked");
const QString paletteDocked = QStringLiteral("Screen Settings/PalWinDocked");
const QString maxCompressionKey = QStringLiteral("Settings/MaxCompression");
const QString undoMemoryKey = QStringLiteral("Settings/UndoMemory");
const QString shareTargetKey = QStringLiteral("Settings/ShareTarget");
const QString quantizerKey = QStringLiteral("Settings/Quantizer");
const QString ditherKey = QStringLiteral("Settings/Dither");

RecordChoice readRecordChoice(const QSettings& settings) {
    RecordChoice c;
    const QStringList region = settings.value(QStringLiteral("Recording/Region")).toString().split(QLatin1Char(','));
    QRect r;
    if (region.size() == 4) r = QRect(region[0].toInt(), region[1].toInt(), region[2].toInt(), region[3].toInt());
    if (settings.value(QStringLiteral("Recording/What")).toString() == QStringLiteral("region") && r.isValid()) {
        c.kind = RecordChoice::Region;
        c.region = r;
    }
    c.fps = std::clamp(settings.value(QStringLiteral("Recording/Fps"), c.fps).toInt(), RecordChoice::lowestFps,
                       RecordChoice::highestFps);
    c.pointer = settings.value(QStringLiteral("Recording/Pointer"), c.pointer ? 1 : 0).toInt() != 0;
    c.delaySeconds = std::clamp(settings.value(QStringLiteral("Recording/Delay"), 0).toInt(), 0, RecordChoice::longestDelay);
    c.insert = settings.value(QStringLiteral("Recording/Insert"), 0).toInt() != 0;
    return c;
}

void writeRecordChoice(QSettings& settings, const RecordChoice& c) {
    const bool region = c.kind != RecordChoice::WholeScreen && c.region.isValid();
    settings.setValue(QStringLiteral("Recording/What"), region ? QStringLiteral("region") : QStringLiteral("screen"));
    if (region)
        settings.setValue(QStringLiteral("Recording/Region"), QStringLiteral("%1,%2,%3,%4")
                                                                  .arg(c.region.x())
                                                                  .arg(c.region.y())
                                                                  .arg(c.region.width())
                                                                  .arg(c.region.height()));
    settings.setValue(QStringLiteral("Recording/Fps"), c.fps);
    settings.setValue(QStringLiteral("Recording/Pointer"), c.pointer ? 1 : 0);
    settings.setValue(QStringLiteral("Recording/Delay"), c.delaySeconds);
    settings.setValue(QStringLiteral("Recording/Insert"), c.insert ? 1 : 0);
}

// A value that would not come back as it is from a plain "Key=value" line
// (line breaks and other control characters, blanks at either end, a
// leading quote) is written between quotes with backslash escapes: \\ \"
// \n \r \t and \xHH.  Every other value is written as it stands, so the
// plain values of older files read as they always did.
bool needsQuotes(const QString& value) {
    if (value.isEmpty()) return false;
    if (value.front().isSpace() || value.back().isSpace() || value.front() == QLatin1Char('"')) return true;
    for (QChar c : value)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f) return true;
    return false;
}

QString quoted(const QString& value) {
    QString out = QStringLiteral("\"");
    for (QChar c : value) {
        switch (c.unicode()) {
        case '\\': out += QStringLiteral("\\\\"); break;
        case '"': out += QStringLiteral("\\\""); break;
        case '\n': out += QStringLiteral("\\n"); break;
        case '\r': out += QStringLiteral("\\r"); break;
        case '\t': out += QStringLiteral("\\t"); break;
        default:
            if (c.unicode() < 0x20 || c.unicode() == 0x7f) out += QString::asprintf("\\x%02x", c.unicode());
            else out += c;
        }
    }
    return out + QLatin1Char('"');
}

// The value of a quoted text; none when the text is not one (a plain value
// that happens to begin and end with a quote reads as it stands).
std::optional<QString> unquoted(const QString& text) {
    if (text.size() < 2 || text.front() != QLatin1Char('"') || text.back() != QLatin1Char('"')) return std::nullopt;
    QString out;
    for (qsizetype i = 1; i < text.size() - 1; ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('"')) return std::nullopt;
        if (c != QLatin1Char('\\')) {
            out += c;
            continue;
        }
        if (++i >= text.size() - 1) return std::nullopt;
        switch (text[i].unicode()) {
        case '\\': out += QLatin1Char('\\'); break;
        case '"': out += QLatin1Char('"'); break;
        case 'n': out += QLatin1Char('\n'); break;
        case 'r': out += QLatin1Char('\r'); break;
        case 't': out += QLatin1Char('\t'); break;
        case 'x': {
            bool ok = false;
            const int code = i + 2 < text.size() - 1 ? text.mid(i + 1, 2).toInt(&ok, 16) : 0;
            if (!ok) return std::nullopt;
            out += QChar(code);
            i += 2;
            break;
        }
        default: return std::nullopt;
        }
    }
    return out;
}

// The INI file as the program has always written it: "[Section]" lines and
// "Key=value" lines, values taken as they stand unless quoted (above).
bool readIni(QIODevice& device, QSettings::SettingsMap& map) {
    QTextStream in(&device);
    QString section;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';'))) continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            section = line.mid(1, line.size() - 2).trimmed();
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0) continue;
        const QString key = line.left(eq).trimmed();
        const QString value = line.mid(eq + 1).trimmed();
        map.insert(section.isEmpty() ? key : section + QLatin1Char('/') + key, unquoted(value).value_or(value));
    }
    return true;
}

bool writeIni(QIODevice& device, const QSettings::SettingsMap& map) {
    QTextStream out(&device);
    QString section;
    bool first = true;
    for (auto it = map.begin(); it != map.end(); ++it) {
        const qsizetype slash = it.key().indexOf(QLatin1Char('/'));
        const QString keySection = slash < 0 ? QString() : it.key().left(slash);
        if (first || keySection != section) {
            if (!first) out << "\n";
            if (!keySection.isEmpty()) out << "[" << keySection << "]\n";
            section = keySection;
            first = false;
        }
        const QString value = it.value().toString();
        out << it.key().mid(slash + 1) << "=" << (needsQuotes(value) ? quoted(value) : value) << "\n";
    }
    return true;
}

QSettings::Format iniFormat() {
    static const QSettings::Format format =
        QSettings::registerFormat(QStringLiteral("ini"), readIni, writeIni, Qt::CaseSensitive);
    return format;
}

// "%d %d ..." read scanf-style into the numbers given: blanks of any kind
// (spaces, tabs) before each number, an optional sign, digits; the first
// word that is not a number, or a number out of range, ends the reading.
template <size_t N>
void parseNumbers(const QString& text, std::array<int, N>& values) {
    qsizetype at = 0;
    for (size_t i = 0; i < N; ++i) {
        while (at < text.size() && text[at].isSpace()) ++at;
        const qsizetype start = at;
        if (at < text.size() && (text[at] == QLatin1Char('-') || text[at] == QLatin1Char('+'))) ++at;
        const qsizetype digits = at;
        while (at < text.size() && text[at] >= QLatin1Char('0') && text[at] <= QLatin1Char('9')) ++at;
        if (at == digits) return;
        bool ok = false;
        const int v = text.mid(start, at - start).toInt(&ok);
        if (!ok) return;
        values[i] = v;
    }
}

QRect rectOf(const std::array<int, 4>& v) {
    if (v[0] == 0 && v[1] == 0 && v[2] == 0 && v[3] == 0) return {};
    return QRect(QPoint(v[0], v[1]), QPoint(v[2] - 1, v[3] - 1));
}

QString rectText(const QRect& r) {
    if (r.isNull()) return QStringLiteral("0 0 0 0");
    return QString::asprintf("%d %d %d %d", r.left(), r.top(), r.left() + r.width(), r.top() + r.height());
}

bool insideScreen(const std::array<int, 4>& v, QSize screen) {
    return v[0] >= 0 && v[1] >= 0 && v[2] <= screen.width() && v[3] <= screen.height();
}

}  // namespace

namespace {

// The members of OptionFlags in the order of the file.
constexpr std::array<int OptionFlags::*, 13> optionOrder{
    &OptionFlags::showDirtyRect,   &OptionFlags::showDirtyOnly,     &OptionFlags::showPaletteWindow,
    &OptionFlags::loop,            &OptionFlags::cropToDirty,       &OptionFlags::splitDirty,
    &OptionFlags::localPaletteMode, &OptionFlags::globalPaletteMode, &OptionFlags::commentFrame,
    &OptionFlags::optimizeColors,  &OptionFlags::transparentMask,   &OptionFlags::optimizeOnSave,
    &OptionFlags::undoEnabled};

std::array<int, 13> valuesOf(const OptionFlags& flags) {
    std::array<int, 13> v{};
    for (size_t i = 0; i < v.size(); ++i) v[i] = flags.*optionOrder[i];
    return v;
}

}  // namespace

QString formatOptions(const OptionFlags& flags) {
    const std::array<int, 13> v = valuesOf(flags);
    return QString::asprintf("%d %d %d %d   %d %d %d %d   %d %d %d %d   %d", v[0], v[1], v[2], v[3], v[4], v[5],
                             v[6], v[7], v[8], v[9], v[10], v[11], v[12]);
}

void parseOptions(const QString& text, OptionFlags& flags) {
    std::array<int, 13> v = valuesOf(flags);
    parseNumbers(text, v);
    for (size_t i = 0; i < v.size(); ++i) flags.*optionOrder[i] = v[i];
}

QString Settings::defaultPath() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation))
        .filePath(QStringLiteral("movigram.ini"));
}

Settings::Settings(const QString& path) : settings_(path, iniFormat()) {}

WindowPlaces Settings::readWindowPlaces(QSize screen) {
    WindowPlaces places;
    std::array<int, 2> saved{0, 0};
    parseNumbers(settings_.value(screenSize, QStringLiteral("0 0")).toString(), saved);
    if (saved[0] == screen.width() && saved[1] == screen.height()) {
        std::array<int, 5> win{0, 0, 0, 0, 0};
        parseNumbers(settings_.value(winRect, QStringLiteral("0 0 0 0 0")).toString(), win);
        const std::array<int, 4> w{win[0], win[1], win[2], win[3]};
        const int64_t area = int64_t(w[2] - w[0]) * (w[3] - w[1]);
        if (area >= 10000 && insideScreen(w, screen)) places.main = rectOf(w);
        places.maximised = win[4] == 1;
        for (auto [key, rect] : {std::pair{"PalWinRect", &places.palette}, {"FramesWinRect", &places.frames}}) {
            std::array<int, 4> v{0, 0, 0, 0};
            parseNumbers(settings_.value(QStringLiteral("Screen Settings/") + QLatin1String(key),
                                         QStringLiteral("0 0 0 0"))
                             .toString(),
                         v);
            if (insideScreen(v, screen)) *rect = rectOf(v);
        }
        places.framesDocked = settings_.value(frameListDocked).toString() == QStringLiteral("1");
        places.paletteDocked = settings_.value(paletteDocked).toString() == QStringLiteral("1");
    }
    settings_.setValue(screenSize, QString::asprintf("%d %d", screen.width(), screen.height()));
    return places;
}

SavedOptions Settings::readOptions() {
    SavedOptions saved;
    QString fallback;
    const std::array<int, 13> built = valuesOf(table_);
    for (size_t i = 0; i < 12; ++i) fallback += (i ? QStringLiteral(" ") : QString()) + QString::number(built[i]);
    parseOptions(settings_.value(options, fallback).toString(), table_);
    saved.options = table_;
    saved.maxCompression = settings_.value(maxCompressionKey).toString() == QStringLiteral("1");
    if (const auto q = parseQuantizer(settings_.value(quantizerKey).toString().toStdString()))
        saved.quantize.quantizer = *q;
    parseDither(settings_.value(ditherKey).toString().toStdString(), saved.quantize);
    saved.undoMemoryMiB = std::max(0, settings_.value(undoMemoryKey).toString().toInt());
    saved.shareTarget = settings_.value(shareTargetKey).toString();
    saved.record = readRecordChoice(settings_);
    saved.fixedPalName = settings_.value(QStringLiteral("Settings/FixedPalName")).toString();
    saved.openDir = settings_.value(QStringLiteral("Settings/OpenDirName")).toString();
    saved.saveDir = settings_.value(QStringLiteral("Settings/SaveDirName")).toString();
    for (int i = 1; i <= 4; ++i) {
        const QString file = settings_.value(QStringLiteral("Settings/File%1").arg(i)).toString();
        if (!file.isEmpty()) saved.recentFiles << file;
    }
    return saved;
}

void Settings::writeOptions(const SavedOptions& saved) {
    settings_.setValue(options, formatOptions(saved.options));
    settings_.setValue(maxCompressionKey, saved.maxCompression ? QStringLiteral("1") : QStringLiteral("0"));
    settings_.setValue(quantizerKey, QString::fromStdString(quantizerText(saved.quantize.quantizer)));
    settings_.setValue(ditherKey, QString::fromStdString(ditherText(saved.quantize)));
    if (!saved.shareTarget.isEmpty()) settings_.setValue(shareTargetKey, saved.shareTarget);
    writeRecordChoice(settings_, saved.record);
    if (saved.undoMemoryMiB > 0) settings_.setValue(undoMemoryKey, QString::number(saved.undoMemoryMiB));
    else settings_.remove(undoMemoryKey);
    settings_.setValue(QStringLiteral("Settings/FixedPalName"), saved.fixedPalName);
    settings_.setValue(QStringLiteral("Settings/OpenDirName"), saved.openDir);
    settings_.setValue(QStringLiteral("Settings/SaveDirName"), saved.saveDir);
    for (int i = 0; i < saved.recentFiles.size() && i < 4; ++i)
        settings_.setValue(QStringLiteral("Settings/File%1").arg(i + 1), saved.recentFiles[i]);
}

void Settings::writeRect(const char* key, const QRect& rect) {
    settings_.setValue(QStringLiteral("Screen Settings/") + QLatin1String(key), rectText(rect));
}

void Settings::writeFrameListDocked(bool docked) {
    settings_.setValue(frameListDocked, docked ? QStringLiteral("1") : QStringLiteral("0"));
}

void Settings::writePaletteDocked(bool docked) {
    settings_.setValue(paletteDocked, docked ? QStringLiteral("1") : QStringLiteral("0"));
}

void Settings::writeMainWindow(const QRect& rect, bool maximised) {
    const QString r = rectText(rect);
    settings_.setValue(winRect, r + (maximised ? QStringLiteral(" 1") : QStringLiteral(" 0")));
}

}  // namespace movigram
