#include "app/commandline.h"

#include "core/numbertext.h"
#include "platform/folders.h"

#include <array>

namespace mixgen {

namespace {

constexpr std::array<QStringView, 12> kSwitches = {
    u"/P:", u"/O:", u"/N:", u"/A", u"/E", u"/Y", u"/LOADER", u"/S",
    // The playlist style's switches end a "/P:" value like the others.
    u"/T:", u"/B", u"/X", u"/R"};

// Upper-cases ASCII letters only, so every position in the copy is the same as in the
// original and values can be cut from the original text.
QString upperAscii(const QString& text) {
    QString upper = text;
    for (QChar& c : upper)
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - (u'a' - u'A'));
    return upper;
}

bool isValueSwitch(QStringView name) {
    return name.endsWith(u':');
}

// The first position at or after from where name stands as a switch in upper, or -1. Linux
// paths are full of "/", so a "/" inside a name ("/music/o:x") must not count as a switch.
qsizetype findSwitch(const QString& upper, QStringView name, qsizetype from = 0) {
    for (qsizetype p = upper.indexOf(name, from); p >= 0; p = upper.indexOf(name, p + 1)) {
        if (p > 0 && upper.at(p - 1) != u' ')
            continue;
        const qsizetype end = p + name.size();
        if (!isValueSwitch(name) && end < upper.size() && upper.at(end) != u' ' &&
            upper.at(end) != u'/')
            continue;
        return p;
    }
    return -1;
}

// The first switch of any kind that starts at or after from, or -1.
qsizetype findNextSwitch(const QString& upper, qsizetype from) {
    qsizetype next = -1;
    for (QStringView name : kSwitches) {
        const qsizetype p = findSwitch(upper, name, from);
        if (p >= 0 && (next < 0 || p < next))
            next = p;
    }
    return next;
}

QString cutValue(const QString& text, const QString& upper, QStringView name) {
    const qsizetype p = findSwitch(upper, name);
    if (p < 0)
        return {};
    const qsizetype start = p + name.size();
    qsizetype end = -1;
    if (name == u"/P:") {
        // Up to the next switch, dropping the blank that separates it from the value.
        const qsizetype next = findNextSwitch(upper, start);
        if (next >= 0)
            end = next - 1;
    } else {
        end = upper.indexOf(u' ', start);
    }
    if (end < 0)
        end = text.size();
    return text.mid(start, qMax<qsizetype>(0, end - start));
}

} // namespace

QString joinCommandLine(const QStringList& arguments) {
    return arguments.join(u' ');
}

bool hasSwitch(const QString& commandLine, const QString& flagSwitch) {
    const QString name = upperAscii(flagSwitch);
    if (name.isEmpty())
        return false;
    return findSwitch(upperAscii(commandLine), name) >= 0;
}

QString switchValue(const QString& commandLine, const QString& valueSwitch) {
    return cutValue(commandLine, upperAscii(commandLine), upperAscii(valueSwitch));
}

QString completeOutputName(const QString& outputValue, const QString& pathValue) {
    QString name = outputValue.isEmpty() ? QStringLiteral("MIXGEN") : outputValue;
    if (!name.startsWith(u'/'))
        name = (pathValue.isEmpty() ? QStringLiteral("/") : withTrailingSlash(pathValue)) + name;
    if (!name.endsWith(u".m3u", Qt::CaseInsensitive) && !hasM3u8Ending(name))
        name += QStringLiteral(".M3U");
    return name;
}

bool hasM3u8Ending(const QString& name) {
    return name.endsWith(u".m3u8", Qt::CaseInsensitive);
}

QString numberOfSongsText(const QString& numberValue) {
    const double value = leadingNumericValue(numberValue);
    return value > 0 ? numberToText(value) : QStringLiteral("1000");
}

CommandLine parseCommandLine(const QString& commandLine) {
    CommandLine result;
    result.text = commandLine;
    result.empty = commandLine.trimmed().isEmpty();
    if (result.empty)
        return result;

    const QString upper = upperAscii(commandLine);
    result.help = upper.contains(u'?');
    result.loader = findSwitch(upper, u"/LOADER") >= 0;
    result.hasPath = findSwitch(upper, u"/P:") >= 0;
    result.path = cutValue(commandLine, upper, u"/P:");
    // On the loader path the folders come from every instance, so no single one of them is
    // the output's folder.
    result.output = completeOutputName(cutValue(commandLine, upper, u"/O:"),
                                       result.loader ? QString() : result.path);
    result.number = numberOfSongsText(cutValue(commandLine, upper, u"/N:"));
    return result;
}

} // namespace mixgen
