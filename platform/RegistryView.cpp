#include "platform/RegistryView.h"

#include "platform/AnsiCodec.h"
#include "platform/ShellService.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QTextStream>

#ifndef QV_ENGINE_VERSION
#define QV_ENGINE_VERSION "0"
#endif

namespace {

// ---- Key paths -------------------------------------------------------------------------------

// A key path in the form used for lookups: parts separated by single backslashes, no empty
// parts, case folded.
QString normalizeKeyPath(const QString& path) {
    return path.split(QLatin1Char('\\'), Qt::SkipEmptyParts).join(QLatin1Char('\\')).toCaseFolded();
}

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

const RegistryValue* findValue(const QList<RegistryValue>& values, const QString& name) {
    for (const RegistryValue& v : values) {
        if (sameName(v.name, name))
            return &v;
    }
    return nullptr;
}

// ---- Registry files --------------------------------------------------------------------------

using RegKeys = QHash<QString, QList<RegistryValue>>; // normalised key path -> values, in file order

std::optional<qint32> rootOfName(const QString& name) {
    if (sameName(name, QLatin1String("HKEY_LOCAL_MACHINE")) || sameName(name, QLatin1String("HKLM")))
        return HKEY_LOCAL_MACHINE;
    if (sameName(name, QLatin1String("HKEY_CURRENT_USER")) || sameName(name, QLatin1String("HKCU")))
        return HKEY_CURRENT_USER;
    return std::nullopt;
}

QString decodeRegText(const QByteArray& bytes) {
    if (bytes.startsWith("\xff\xfe"))
        return QStringDecoder(QStringDecoder::Utf16LE)(bytes.mid(2));
    if (bytes.startsWith("\xfe\xff"))
        return QStringDecoder(QStringDecoder::Utf16BE)(bytes.mid(2));
    if (bytes.startsWith("\xef\xbb\xbf"))
        return QString::fromUtf8(bytes.mid(3));
    // Without a byte-order mark the file is UTF-8 when it decodes as such, else ANSI.
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    return utf8.hasError() ? AnsiCodec::toUnicode(bytes) : text;
}

// Reads a quoted string starting at text[pos] == '"'; `pos` ends after the closing quote.
// Backslash escapes a quote or a backslash; any other backslash stands for itself.
std::optional<QString> readQuoted(const QString& text, qsizetype& pos) {
    QString out;
    for (qsizetype i = pos + 1; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('"')) {
            pos = i + 1;
            return out;
        }
        if (c == QLatin1Char('\\') && i + 1 < text.size() &&
            (text.at(i + 1) == QLatin1Char('\\') || text.at(i + 1) == QLatin1Char('"'))) {
            out += text.at(++i);
            continue;
        }
        out += c;
    }
    return std::nullopt;
}

std::optional<QByteArray> readHexBytes(const QString& list) {
    QByteArray bytes;
    for (const QString& piece : list.split(QLatin1Char(','))) {
        const QString hex = piece.trimmed();
        if (hex.isEmpty())
            continue;
        bool ok = false;
        const uint b = hex.toUInt(&ok, 16);
        if (!ok || hex.size() > 2)
            return std::nullopt;
        bytes.append(static_cast<char>(b));
    }
    return bytes;
}

// The data of one value line after the "=": string, dword:, hex:, hex(N):.
std::optional<RegistryValue> readData(const QString& data, bool ansiFile) {
    RegistryValue v;
    if (data.startsWith(QLatin1Char('"'))) {
        qsizetype pos = 0;
        const std::optional<QString> text = readQuoted(data, pos);
        if (!text)
            return std::nullopt;
        v.type = REG_SZ;
        v.data = RegistryView::textData(*text);
        return v;
    }
    if (data.startsWith(QLatin1String("dword:"), Qt::CaseInsensitive)) {
        const QString hex = data.mid(6).trimmed();
        bool ok = false;
        const uint n = hex.toUInt(&ok, 16);
        if (!ok || hex.size() > 8)
            return std::nullopt;
        v.type = REG_DWORD;
        for (int i = 0; i < 4; ++i)
            v.data.append(static_cast<char>((n >> (8 * i)) & 0xff));
        return v;
    }
    if (data.startsWith(QLatin1String("hex"), Qt::CaseInsensitive)) {
        qsizetype pos = 3;
        v.type = REG_BINARY;
        if (pos < data.size() && data.at(pos) == QLatin1Char('(')) {
            const qsizetype close = data.indexOf(QLatin1Char(')'), pos);
            if (close < 0)
                return std::nullopt;
            bool ok = false;
            v.type = static_cast<qint32>(data.mid(pos + 1, close - pos - 1).trimmed().toUInt(&ok, 16));
            if (!ok)
                return std::nullopt;
            pos = close + 1;
        }
        if (pos >= data.size() || data.at(pos) != QLatin1Char(':'))
            return std::nullopt;
        const std::optional<QByteArray> bytes = readHexBytes(data.mid(pos + 1));
        if (!bytes)
            return std::nullopt;
        v.data = *bytes;
        // The older format writes the texts of hex(1), hex(2) and hex(7) in the ANSI code page.
        if (ansiFile && (v.type == REG_SZ || v.type == REG_EXPAND_SZ || v.type == REG_MULTI_SZ)) {
            const QString text = AnsiCodec::toUnicode(v.data);
            v.data = QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
        }
        return v;
    }
    return std::nullopt;
}

void putValue(QList<RegistryValue>& values, RegistryValue value) {
    for (RegistryValue& existing : values) {
        if (sameName(existing.name, value.name)) {
            existing = std::move(value);
            return;
        }
    }
    values.append(std::move(value));
}

void removeValue(QList<RegistryValue>& values, const QString& name) {
    values.removeIf([&](const RegistryValue& v) { return sameName(v.name, name); });
}

// Reads a file in the registry editor's export format, keeping the keys below `root`.
// Keys of other roots, deleted keys ("[-...]") and lines that are not understood are passed over.
RegKeys parseRegFile(const QByteArray& bytes, qint32 root) {
    RegKeys keys;
    const QStringList lines = decodeRegText(bytes).split(QLatin1Char('\n'));

    qsizetype i = 0;
    auto nextContentLine = [&]() -> std::optional<QString> {
        while (i < lines.size()) {
            const QString line = lines.at(i++).trimmed();
            if (!line.isEmpty())
                return line;
        }
        return std::nullopt;
    };

    const std::optional<QString> header = nextContentLine();
    if (!header)
        return keys;
    bool ansiFile = false;
    if (*header == QLatin1String("REGEDIT4"))
        ansiFile = true;
    else if (*header != QLatin1String("Windows Registry Editor Version 5.00"))
        return keys;

    QList<RegistryValue>* current = nullptr;
    while (std::optional<QString> next = nextContentLine()) {
        QString line = *next;
        if (line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            current = nullptr;
            const QString path = line.mid(1, line.size() - 2).trimmed();
            if (path.startsWith(QLatin1Char('-')))
                continue;
            const qsizetype slash = path.indexOf(QLatin1Char('\\'));
            const std::optional<qint32> keyRoot = rootOfName(slash < 0 ? path : path.left(slash));
            if (keyRoot != root)
                continue;
            current = &keys[normalizeKeyPath(slash < 0 ? QString() : path.mid(slash + 1))];
            continue;
        }
        // Long hex data goes on over several lines, each but the last ending in a backslash.
        while (line.endsWith(QLatin1Char('\\')) && i < lines.size()) {
            line.chop(1);
            line += lines.at(i++).trimmed();
        }
        if (!current)
            continue;

        QString name;
        qsizetype pos = 0;
        if (line.startsWith(QLatin1Char('@'))) {
            pos = 1;
        } else if (line.startsWith(QLatin1Char('"'))) {
            const std::optional<QString> quoted = readQuoted(line, pos);
            if (!quoted)
                continue;
            name = *quoted;
        } else {
            continue;
        }
        const QString rest = line.mid(pos).trimmed();
        if (!rest.startsWith(QLatin1Char('=')))
            continue;
        const QString data = rest.mid(1).trimmed();
        if (data == QLatin1String("-")) {
            removeValue(*current, name);
            continue;
        }
        std::optional<RegistryValue> value = readData(data, ansiFile);
        if (!value)
            continue;
        value->name = name;
        putValue(*current, std::move(*value));
    }
    return keys;
}

// The parsed registry file, read again only when the file has changed.
RegKeys loadRegFile(const QString& path, qint32 root) {
    struct Cached {
        QDateTime modified;
        qint64 size = -1;
        qint32 root = 0;
        RegKeys keys;
    };
    static QHash<QString, Cached> cache;

    const QFileInfo info(path);
    if (path.isEmpty() || !info.isFile()) {
        cache.remove(path);
        return {};
    }
    auto it = cache.find(path);
    if (it != cache.end() && it->modified == info.lastModified() && it->size == info.size() &&
        it->root == root)
        return it->keys;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    Cached entry{info.lastModified(), info.size(), root, parseRegFile(f.readAll(), root)};
    cache.insert(path, entry);
    return entry.keys;
}

// ---- Desktop facts ---------------------------------------------------------------------------

const QString kAppPathsKey = QStringLiteral("software\\microsoft\\windows\\currentversion\\app paths");
const QString kBrowserKey = QStringLiteral("software\\microsoft\\internet explorer");
const QString kTypedUrlsKey = QStringLiteral("software\\microsoft\\internet explorer\\typedurls");

QString envOr(const char* name, const QString& fallback) {
    const QString value = qEnvironmentVariable(name);
    return value.isEmpty() ? fallback : value;
}

QStringList xdgDirs(const char* name, const QString& fallback) {
    return envOr(name, fallback).split(QLatin1Char(':'), Qt::SkipEmptyParts);
}

QString xdgConfigHome() {
    return envOr("XDG_CONFIG_HOME", QDir::homePath() + QStringLiteral("/.config"));
}
QString xdgDataHome() {
    return envOr("XDG_DATA_HOME", QDir::homePath() + QStringLiteral("/.local/share"));
}

// The mimeapps.list files in the order the desktop consults them.
QStringList mimeAppsFiles() {
    QStringList desktops;
    for (const QString& d :
         qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QLatin1Char(':'), Qt::SkipEmptyParts))
        desktops << d.toLower();
    QStringList folders{xdgConfigHome()};
    folders << xdgDirs("XDG_CONFIG_DIRS", QStringLiteral("/etc/xdg"));
    folders << xdgDataHome() + QStringLiteral("/applications");
    for (const QString& d : xdgDirs("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share")))
        folders << d + QStringLiteral("/applications");
    QStringList files;
    for (const QString& folder : folders) {
        for (const QString& desktop : desktops)
            files << folder + QLatin1Char('/') + desktop + QStringLiteral("-mimeapps.list");
        files << folder + QStringLiteral("/mimeapps.list");
    }
    return files;
}

// The desktop-entry ids registered as default handlers of `mimeType`, most preferred first.
QStringList defaultHandlers(const QString& mimeType) {
    QStringList ids;
    for (const QString& file : mimeAppsFiles()) {
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
            continue;
        QTextStream in(&f);
        in.setEncoding(QStringConverter::Utf8);
        bool inDefaults = false;
        while (!in.atEnd()) {
            const QString line = in.readLine().trimmed();
            if (line.startsWith(QLatin1Char('['))) {
                inDefaults = line == QLatin1String("[Default Applications]");
                continue;
            }
            const qsizetype eq = line.indexOf(QLatin1Char('='));
            if (!inDefaults || eq <= 0 || line.left(eq).trimmed() != mimeType)
                continue;
            for (const QString& id : line.mid(eq + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts))
                ids << id.trimmed();
        }
    }
    return ids;
}

// The file of a desktop-entry id; "vendor-app.desktop" may also live as "vendor/app.desktop".
QString desktopEntryFile(const QString& id) {
    QStringList folders{xdgDataHome() + QStringLiteral("/applications")};
    for (const QString& d : xdgDirs("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share")))
        folders << d + QStringLiteral("/applications");
    QStringList names{id};
    QString nested = id;
    for (qsizetype dash = nested.indexOf(QLatin1Char('-')); dash > 0;
         dash = nested.indexOf(QLatin1Char('-'), dash)) {
        nested[dash] = QLatin1Char('/');
        names << nested;
    }
    for (const QString& folder : folders) {
        for (const QString& name : names) {
            const QString file = folder + QLatin1Char('/') + name;
            if (QFileInfo(file).isFile())
                return file;
        }
    }
    return {};
}

// The executable a desktop entry starts, found on PATH unless given with its folder.
QString desktopEntryProgram(const QString& id) {
    const QString file = desktopEntryFile(id);
    if (file.isEmpty())
        return {};
    QStringList command = DesktopShellService::desktopEntryCommand(file);
    // "env NAME=value program ..." starts program.
    if (!command.isEmpty() && command.constFirst() == QLatin1String("env")) {
        command.removeFirst();
        while (!command.isEmpty() && command.constFirst().contains(QLatin1Char('=')))
            command.removeFirst();
    }
    if (command.isEmpty())
        return {};
    const QString program = command.constFirst();
    if (program.contains(QLatin1Char('/'))) {
        const QFileInfo info(program);
        return info.isFile() && info.isExecutable() ? info.absoluteFilePath() : QString();
    }
    return QStandardPaths::findExecutable(program);
}

QString xdgSettingsBrowserId() {
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("xdg-settings"));
    if (tool.isEmpty())
        return {};
    QProcess process;
    process.start(tool, {QStringLiteral("get"), QStringLiteral("default-web-browser")});
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished(1000);
        return {};
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

QList<RegistryValue> programKeyValues(const QString& program) {
    return {RegistryValue{QString(), REG_SZ, RegistryView::textData(program)},
            RegistryValue{QStringLiteral("Path"), REG_SZ,
                          RegistryView::textData(QFileInfo(program).absolutePath() + QLatin1Char('/'))}};
}

} // namespace

RegistryView& RegistryView::instance() {
    static RegistryView view;
    return view;
}

QByteArray RegistryView::textData(const QString& text) {
    QByteArray data(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    data.append('\0').append('\0');
    return data;
}

// ---- Files and history -----------------------------------------------------------------------

void RegistryView::setRegistryFile(qint32 root, const QString& path) {
    if (root == HKEY_LOCAL_MACHINE)
        mHklmFile = path;
    else if (root == HKEY_CURRENT_USER)
        mHkcuFile = path;
}

QString RegistryView::registryFile(qint32 root) const {
    const QString& set = root == HKEY_LOCAL_MACHINE ? mHklmFile : mHkcuFile;
    return set.isEmpty() ? defaultRegistryFile(root) : set;
}

QString RegistryView::defaultRegistryFile(qint32 root) {
    if (root == HKEY_LOCAL_MACHINE)
        return QCoreApplication::applicationDirPath() +
               QStringLiteral("/Data/Registry/HKEY_LOCAL_MACHINE.reg");
    if (root == HKEY_CURRENT_USER)
        return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
               QStringLiteral("/Quorvel/HKEY_CURRENT_USER.reg");
    return {};
}

void RegistryView::setTypedUrlsFile(const QString& path) {
    mTypedUrlsFile = path;
}

QString RegistryView::typedUrlsFile() const {
    return mTypedUrlsFile.isEmpty() ? defaultTypedUrlsFile() : mTypedUrlsFile;
}

QString RegistryView::defaultTypedUrlsFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Quorvel/TypedURLs.txt");
}

QStringList RegistryView::typedUrls() const {
    QFile f(typedUrlsFile());
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList urls;
    for (const QString& line : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'))) {
        const QString url = line.trimmed();
        if (!url.isEmpty())
            urls << url;
    }
    return urls;
}

bool RegistryView::addTypedUrl(const QString& url) {
    QString address = url;
    // A line break inside an address would split it into two history entries.
    address.remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
    address = address.trimmed();
    if (address.isEmpty())
        return true;
    QStringList urls = typedUrls();
    urls.removeAll(address);
    urls.prepend(address);
    while (urls.size() > MaxTypedUrls)
        urls.removeLast();

    const QString path = typedUrlsFile();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write((urls.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
    return f.commit();
}

// ---- Programs --------------------------------------------------------------------------------

QString RegistryView::findProgram(const QString& name) {
    QString program = name.trimmed();
    if (program.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive))
        program.chop(4);
    if (program.isEmpty() || program.contains(QLatin1Char('/')))
        return {};
    QString found = QStandardPaths::findExecutable(program);
    // Windows names are often upper case ("WINWORD.EXE"); Linux programs are lower case.
    if (found.isEmpty() && program != program.toLower())
        found = QStandardPaths::findExecutable(program.toLower());
    return found;
}

QString RegistryView::defaultWebBrowser() {
    for (const QString& id : defaultHandlers(QStringLiteral("x-scheme-handler/http"))) {
        const QString program = desktopEntryProgram(id);
        if (!program.isEmpty())
            return program;
    }
    const QString id = xdgSettingsBrowserId();
    if (!id.isEmpty()) {
        const QString program = desktopEntryProgram(id);
        if (!program.isEmpty())
            return program;
    }
    for (const char* name : {"firefox", "chromium", "google-chrome", "epiphany", "konqueror"}) {
        const QString program = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!program.isEmpty())
            return program;
    }
    return {};
}

// ---- Lookups ---------------------------------------------------------------------------------

std::optional<QList<RegistryValue>> RegistryView::fileValues(qint32 root, const QString& keyPath) const {
    if (root != HKEY_LOCAL_MACHINE && root != HKEY_CURRENT_USER)
        return std::nullopt;
    const RegKeys keys = loadRegFile(registryFile(root), root);
    auto it = keys.constFind(normalizeKeyPath(keyPath));
    if (it == keys.constEnd())
        return std::nullopt;
    return *it;
}

std::optional<QList<RegistryValue>> RegistryView::factValues(qint32 root, const QString& keyPath) const {
    const QString key = normalizeKeyPath(keyPath);
    if (root == HKEY_LOCAL_MACHINE) {
        if (key.startsWith(kAppPathsKey + QLatin1Char('\\'))) {
            const QStringList parts = keyPath.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
            if (parts.size() != kAppPathsKey.count(QLatin1Char('\\')) + 2)
                return std::nullopt;
            const QString name = parts.constLast();
            const QString program =
                sameName(name, QLatin1String("IEXPLORE.EXE")) ? defaultWebBrowser() : findProgram(name);
            if (program.isEmpty())
                return std::nullopt;
            return programKeyValues(program);
        }
        if (key == kBrowserKey)
            return QList<RegistryValue>{RegistryValue{QStringLiteral("Version"), REG_SZ,
                                                      textData(QStringLiteral(QV_ENGINE_VERSION))}};
    } else if (root == HKEY_CURRENT_USER && key == kTypedUrlsKey) {
        QList<RegistryValue> values;
        const QStringList urls = typedUrls();
        for (qsizetype n = 0; n < urls.size(); ++n)
            values.append(RegistryValue{QStringLiteral("url%1").arg(n + 1), REG_SZ, textData(urls.at(n))});
        return values;
    }
    return std::nullopt;
}

std::optional<RegistryValue> RegistryView::value(qint32 root, const QString& keyPath,
                                                 const QString& valueName) const {
    if (const auto fromFile = fileValues(root, keyPath)) {
        if (const RegistryValue* v = findValue(*fromFile, valueName))
            return *v;
    }
    if (const auto facts = factValues(root, keyPath)) {
        if (const RegistryValue* v = findValue(*facts, valueName))
            return *v;
    }
    return std::nullopt;
}

std::optional<QList<RegistryValue>> RegistryView::values(qint32 root, const QString& keyPath) const {
    std::optional<QList<RegistryValue>> fromFile = fileValues(root, keyPath);
    const std::optional<QList<RegistryValue>> facts = factValues(root, keyPath);
    if (!fromFile)
        return facts;
    if (facts) {
        for (const RegistryValue& v : *facts) {
            if (!findValue(*fromFile, v.name))
                fromFile->append(v);
        }
    }
    return fromFile;
}
