#include "update/modUpdateFiles.h"

#include "core/QvError.h"
#include "core/modTools.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <limits>

namespace modUpdateFiles {

namespace {

// Windows names of the programs and this build's names for them.
const std::pair<const char*, const char*> kProgramNames[] = {
    {"QV.exe", MainProgram},
    {"QVUpdate.exe", UpdaterProgram},
    {"qvdata.exe", "qvdata"},
};

[[noreturn]] void refuse(const QString& what, const QString& value) {
    throw QvError(QvErrors::InvalidArgument, QStringLiteral("更新列表中的%1不安全: \"%2\"").arg(what, value));
}

bool hasControlCharacter(const QString& text) {
    for (QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return true;
    }
    return false;
}

// A servername becomes part of a file name in Temp: a plain name, nothing more.
void requirePlainName(const QString& name) {
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") ||
        name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) ||
        name.contains(QLatin1Char(':')) || hasControlCharacter(name))
        refuse(QStringLiteral("服务器文件名"), name);
}

bool isProgramName(const QString& fileName) {
    for (const auto& [windows, local] : kProgramNames) {
        if (fileName == QLatin1String(local))
            return true;
    }
    return false;
}

bool isInside(const QString& canonicalPath, const QString& canonicalFolder) {
    return canonicalPath == canonicalFolder || canonicalPath.startsWith(canonicalFolder + QLatin1Char('/'));
}

quint64 readUnsigned(const QByteArray& bytes, qsizetype at, int width, bool bigEndian) {
    if (at < 0 || at + width > bytes.size())
        return std::numeric_limits<quint64>::max();
    const auto* p = reinterpret_cast<const uchar*>(bytes.constData() + at);
    switch (width) {
    case 2:
        return bigEndian ? qFromBigEndian<quint16>(p) : qFromLittleEndian<quint16>(p);
    case 4:
        return bigEndian ? qFromBigEndian<quint32>(p) : qFromLittleEndian<quint32>(p);
    default:
        return bigEndian ? qFromBigEndian<quint64>(p) : qFromLittleEndian<quint64>(p);
    }
}

// The descriptor of the first note of `owner` and `type` in a block of ELF notes.
QString findNote(const QByteArray& notes, bool bigEndian, const QByteArray& owner, quint32 type) {
    qsizetype pos = 0;
    auto aligned = [](quint64 n) { return (n + 3) & ~quint64(3); };
    while (pos + 12 <= notes.size()) {
        const quint64 nameSize = readUnsigned(notes, pos, 4, bigEndian);
        const quint64 descSize = readUnsigned(notes, pos + 4, 4, bigEndian);
        const quint64 noteType = readUnsigned(notes, pos + 8, 4, bigEndian);
        const quint64 nameAt = quint64(pos) + 12;
        const quint64 descAt = nameAt + aligned(nameSize);
        if (descAt + descSize > quint64(notes.size()))
            return QString();
        const QByteArray name = notes.mid(qsizetype(nameAt), qsizetype(nameSize));
        if (noteType == type && name == owner + '\0') {
            QByteArray desc = notes.mid(qsizetype(descAt), qsizetype(descSize));
            if (const qsizetype nul = desc.indexOf('\0'); nul >= 0)
                desc.truncate(nul);
            return QString::fromLatin1(desc);
        }
        pos = qsizetype(descAt + aligned(descSize));
    }
    return QString();
}

} // namespace

bool IsMainProgramEntry(const QString& filename) {
    return filename == QLatin1String("QV.exe") || filename == QLatin1String(MainProgram);
}

bool IsUpdaterEntry(const QString& filename) {
    return filename == QLatin1String("QVUpdate.exe") || filename == QLatin1String(UpdaterProgram);
}

QString ProgramFileName(const QString& name) {
    for (const auto& [windows, local] : kProgramNames) {
        if (name.compare(QLatin1String(windows), Qt::CaseInsensitive) == 0)
            return QString::fromLatin1(local);
    }
    return name;
}

QString RelativeLocalPath(const QString& clientLocation) {
    QString path = clientLocation;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    // One leading separator means "below the program folder"; two would name a network share.
    if (path.startsWith(QLatin1String("//")))
        refuse(QStringLiteral("本地路径"), clientLocation);
    if (path.startsWith(QLatin1Char('/')))
        path.remove(0, 1);
    if (path.isEmpty() || path.endsWith(QLatin1Char('/')) || path.contains(QLatin1Char(':')) ||
        hasControlCharacter(path))
        refuse(QStringLiteral("本地路径"), clientLocation);
    QStringList parts = path.split(QLatin1Char('/'));
    for (const QString& part : parts) {
        if (part.isEmpty() || part == QLatin1String(".") || part == QLatin1String(".."))
            refuse(QStringLiteral("本地路径"), clientLocation);
    }
    // The programs live at the top of the program folder.
    if (parts.size() == 1)
        parts.first() = ProgramFileName(parts.first());
    return parts.join(QLatin1Char('/'));
}

void RequireInsideFolder(const QString& path, const QString& programFolder) {
    const QString folder = QFileInfo(programFolder).canonicalFilePath();
    if (folder.isEmpty())
        throw QvError(QvErrors::PathAccess, QStringLiteral("程序文件夹不存在: %1").arg(programFolder));
    const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    const QString lexicalFolder = QDir::cleanPath(QFileInfo(programFolder).absoluteFilePath());
    if (!isInside(absolute, lexicalFolder) && !isInside(absolute, folder))
        refuse(QStringLiteral("路径"), path);
    // The deepest part of the path that exists decides where the rest ends up.
    QString probe = absolute;
    for (;;) {
        const QFileInfo info(probe);
        if (info.isSymLink() && !info.exists())
            refuse(QStringLiteral("路径(断开的链接)"), path);
        if (info.exists()) {
            if (!isInside(info.canonicalFilePath(), folder))
                refuse(QStringLiteral("路径(链接到程序文件夹以外)"), path);
            return;
        }
        const QString parent = info.path();
        if (parent == probe)
            refuse(QStringLiteral("路径"), path);
        probe = parent;
    }
}

FileRecord ReadFileRecord(const XmlNode& file, const QString& programFolder, const QString& tempFolder) {
    FileRecord record;
    record.fileName = file.getAttribute(QStringLiteral("filename"));
    const QString clientLocation = file.getAttribute(QStringLiteral("clientlocation"));
    const QString serverName = file.getAttribute(QStringLiteral("servername"));
    record.localPath = programFolder + QLatin1Char('/') + RelativeLocalPath(clientLocation);
    requirePlainName(serverName);
    record.url = file.getAttribute(QStringLiteral("serverpath")) + serverName;
    const QString temp = tempFolder.isEmpty() ? programFolder + QStringLiteral("/Temp") : tempFolder;
    record.downloadPath = temp + QStringLiteral("/tupd") + serverName;
    RequireInsideFolder(record.localPath, programFolder);
    // The folder that holds Temp (the program folder, unless the downloads go elsewhere).
    RequireInsideFolder(record.downloadPath, QFileInfo(temp).path());

    const QString sizeText = file.getAttribute(QStringLiteral("size")).trimmed();
    bool ok = false;
    record.size = sizeText.toLongLong(&ok);
    if (!ok || record.size < 0 || record.size > std::numeric_limits<qint32>::max())
        throw QvError(QvErrors::TypeMismatch,
                      QStringLiteral("文件 %1 的大小不是数字: \"%2\"").arg(record.fileName, sizeText));
    const QString versionText = file.getAttribute(QStringLiteral("version")).trimmed();
    if (!versionText.isEmpty()) {
        record.version = versionText.toInt(&ok);
        if (!ok)
            throw QvError(QvErrors::TypeMismatch,
                          QStringLiteral("文件 %1 的版本不是数字: \"%2\"").arg(record.fileName, versionText));
    }
    const QString timeText = file.getAttribute(QStringLiteral("lastwritetime"));
    const std::optional<QDateTime> time = modTools::ParseDate(timeText);
    if (!time)
        throw QvError(QvErrors::TypeMismatch,
                      QStringLiteral("文件 %1 的修改时间不是日期: \"%2\"").arg(record.fileName, timeText));
    record.lastWriteTime = *time;
    record.compareMode = file.getAttribute(QStringLiteral("comparemode"));
    const QString compressed = file.getAttribute(QStringLiteral("iscompressed")).trimmed();
    record.compressed = compressed.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 ||
                        (compressed.toInt(&ok) != 0 && ok);
    return record;
}

QString VersionNumberOf(const QString& versionText) {
    const QStringList parts = versionText.trimmed().split(QLatin1Char('.'));
    if (parts.size() < 3)
        return QString();
    for (int i = 0; i < 3; ++i) {
        bool ok = false;
        const int n = parts[i].trimmed().toInt(&ok);
        if (!ok || n < 0)
            return QString();
    }
    const QString joined = modTools::JoinVersion(parts[0].trimmed(), parts[1].trimmed(), parts[2].trimmed());
    bool fits = false;
    joined.toInt(&fits);
    return fits ? joined : QString();
}

QString GetFileVersionText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    const qint64 fileSize = file.size();
    const QByteArray header = file.read(64);
    if (header.size() < 52 || !header.startsWith("\x7f"
                                                 "ELF"))
        return QString();
    const bool is64 = header.at(4) == 2;
    const bool bigEndian = header.at(5) == 2;
    if ((!is64 && header.at(4) != 1) || (!bigEndian && header.at(5) != 1) || (is64 && header.size() < 64))
        return QString();
    const int word = is64 ? 8 : 4;
    const quint64 sectionsAt = readUnsigned(header, is64 ? 0x28 : 0x20, word, bigEndian);
    const quint64 entrySize = readUnsigned(header, is64 ? 0x3a : 0x2e, 2, bigEndian);
    const quint64 count = readUnsigned(header, is64 ? 0x3c : 0x30, 2, bigEndian);
    const quint64 minimumEntry = is64 ? 64 : 40;
    if (sectionsAt == 0 || count == 0 || entrySize < minimumEntry || entrySize > 256 ||
        sectionsAt > quint64(fileSize) || count * entrySize > quint64(fileSize) - sectionsAt)
        return QString();
    if (!file.seek(qint64(sectionsAt)))
        return QString();
    const QByteArray sections = file.read(qint64(count * entrySize));
    if (quint64(sections.size()) != count * entrySize)
        return QString();

    constexpr quint64 kNoteType = 7;
    constexpr quint64 kLargestNoteBlock = 64 * 1024;
    for (quint64 i = 0; i < count; ++i) {
        const qsizetype entry = qsizetype(i * entrySize);
        if (readUnsigned(sections, entry + 4, 4, bigEndian) != kNoteType)
            continue;
        const quint64 offset = readUnsigned(sections, entry + (is64 ? 0x18 : 0x10), word, bigEndian);
        const quint64 size = readUnsigned(sections, entry + (is64 ? 0x20 : 0x14), word, bigEndian);
        if (size > kLargestNoteBlock || offset > quint64(fileSize) || size > quint64(fileSize) - offset)
            continue;
        if (!file.seek(qint64(offset)))
            continue;
        const QString version = findNote(file.read(qint64(size)), bigEndian, "Quorvel", 1);
        if (!version.isEmpty())
            return version;
    }
    return QString();
}

QString GetFileVersionNumber(const QString& path) {
    return VersionNumberOf(GetFileVersionText(path));
}

void CarryExecutePermission(const QString& newFile, const QString& targetPath) {
    constexpr QFile::Permissions kExecute =
        QFile::ExeOwner | QFile::ExeUser | QFile::ExeGroup | QFile::ExeOther;
    QFile::Permissions execute;
    if (QFileInfo::exists(targetPath))
        execute = QFile::permissions(targetPath) & kExecute;
    else if (isProgramName(QFileInfo(targetPath).fileName()))
        execute = kExecute;
    if (execute)
        QFile::setPermissions(newFile, QFile::permissions(newFile) | execute);
}

} // namespace modUpdateFiles
