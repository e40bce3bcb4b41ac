#include "platform/LnkRecentFolder.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <liblnk.h>
#include <unistd.h>

namespace {

// Frees liblnk's file and error objects however the reading ends.
class LnkReader {
public:
    LnkReader() {
        if (liblnk_file_initialize(&mFile, &mError) != 1)
            mFile = nullptr;
    }
    ~LnkReader() {
        if (mFile) {
            if (mOpen)
                liblnk_file_close(mFile, nullptr);
            liblnk_file_free(&mFile, nullptr);
        }
        if (mError)
            liblnk_error_free(&mError);
    }
    LnkReader(const LnkReader&) = delete;
    LnkReader& operator=(const LnkReader&) = delete;

    bool open(const QString& path) {
        if (!mFile)
            return false;
        // Narrow strings of a shortcut are in the ANSI code page of the machine that wrote it.
        liblnk_file_set_ascii_codepage(mFile, LIBLNK_CODEPAGE_WINDOWS_936, nullptr);
        const QByteArray name = QFile::encodeName(path);
        mOpen = liblnk_file_open(mFile, name.constData(), LIBLNK_OPEN_READ, &mError) == 1;
        return mOpen;
    }

    using SizeFn = int (*)(liblnk_file_t*, size_t*, liblnk_error_t**);
    using ValueFn = int (*)(liblnk_file_t*, uint8_t*, size_t, liblnk_error_t**);

    // A UTF-8 string of the shortcut; empty when the shortcut does not have it.
    QString string(SizeFn sizeOf, ValueFn valueOf) {
        size_t size = 0;
        if (sizeOf(mFile, &size, &mError) != 1 || size <= 1)
            return QString();
        QByteArray bytes(qsizetype(size), '\0');
        if (valueOf(mFile, reinterpret_cast<uint8_t*>(bytes.data()), size, &mError) != 1)
            return QString();
        return QString::fromUtf8(bytes.constData());
    }

private:
    liblnk_file_t* mFile = nullptr;
    liblnk_error_t* mError = nullptr;
    bool mOpen = false;
};

// Little-endian fields of a shortcut file, with bounds checks.
class Bytes {
public:
    explicit Bytes(const QByteArray& data) : mData(data) {}
    bool has(qint64 offset, qint64 size) const {
        return offset >= 0 && size >= 0 && offset + size <= mData.size();
    }
    quint32 u16(qint64 offset) const {
        const auto* p = reinterpret_cast<const uchar*>(mData.constData()) + offset;
        return quint32(p[0]) | quint32(p[1]) << 8;
    }
    quint32 u32(qint64 offset) const { return u16(offset) | u16(offset + 2) << 16; }
    qint64 size() const { return mData.size(); }
    const char* at(qint64 offset) const { return mData.constData() + offset; }

private:
    const QByteArray& mData;
};

// Shortcut files are small; a larger one goes to liblnk.
constexpr qint64 kQuickReadLimit = 64 * 1024;

// The whole file when it is no larger than the limit; empty otherwise.
QByteArray readSmallFile(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return QByteArray();
    QByteArray data(8192, Qt::Uninitialized);
    qint64 filled = 0;
    while (true) {
        if (filled == data.size()) {
            if (data.size() > kQuickReadLimit) {
                filled = 0;
                break;
            }
            data.resize(data.size() * 2);
        }
        const ssize_t got = ::read(fd, data.data() + filled, size_t(data.size() - filled));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            if (got < 0)
                filled = 0;
            break;
        }
        filled += got;
    }
    ::close(fd);
    data.truncate(filled);
    return data;
}

bool isDriveLetterPath(const QString& path) {
    return path.size() >= 2 && path.at(1) == QLatin1Char(':') && path.at(0).isLetter() &&
           path.at(0).unicode() < 128;
}

} // namespace

LnkRecentFolder::LnkRecentFolder(const QString& folder, const QString& winePrefix)
    : RecentShortcutFolder(folder, QStringLiteral(".lnk")), mWinePrefix(winePrefix) {}

std::optional<QString> LnkRecentFolder::QuickLocalPath(const QByteArray& file) {
    const Bytes b(file);
    // ShellLinkHeader: size 0x4C, CLSID 00021401-0000-0000-C000-000000000046.
    static const unsigned char kClsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                             0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
    if (!b.has(0, 0x4C) || b.u32(0) != 0x4C || std::memcmp(b.at(4), kClsid, 16) != 0)
        return std::nullopt;
    const quint32 flags = b.u32(0x14);
    constexpr quint32 HasLinkTargetIDList = 0x1, HasLinkInfo = 0x2, IsUnicode = 0x80, ForceNoLinkInfo = 0x100;
    if (!(flags & HasLinkInfo) || (flags & ForceNoLinkInfo))
        return std::nullopt;
    qint64 pos = 0x4C;
    if (flags & HasLinkTargetIDList) {
        if (!b.has(pos, 2))
            return std::nullopt;
        pos += 2 + b.u16(pos);
    }
    // LinkInfo: its size, its header size, its flags and the offsets of its parts.
    const qint64 info = pos;
    if (!b.has(info, 0x1C))
        return std::nullopt;
    const qint64 infoSize = b.u32(info);
    const quint32 headerSize = b.u32(info + 4);
    const quint32 infoFlags = b.u32(info + 8);
    if (!b.has(info, infoSize) || headerSize < 0x1C || headerSize > infoSize || !(infoFlags & 0x1))
        return std::nullopt;
    const bool unicodeOffsets = headerSize >= 0x24 && b.has(info, 0x24);
    const quint32 localOffset = b.u32(info + 0x10);
    const quint32 suffixOffset = b.u32(info + 0x18);
    const quint32 localUnicodeOffset = unicodeOffsets ? b.u32(info + 0x1C) : 0;
    const quint32 suffixUnicodeOffset = unicodeOffsets ? b.u32(info + 0x20) : 0;
    // A NUL-terminated string inside the LinkInfo; nothing when it runs past it.
    const auto narrow = [&](quint32 offset) -> std::optional<QByteArray> {
        if (offset == 0 || offset >= infoSize)
            return std::nullopt;
        const char* start = b.at(info + offset);
        const void* end = std::memchr(start, 0, size_t(infoSize - offset));
        if (!end)
            return std::nullopt;
        return QByteArray(start, qsizetype(static_cast<const char*>(end) - start));
    };
    const auto wide = [&](quint32 offset) -> std::optional<QString> {
        if (offset == 0 || offset >= infoSize)
            return std::nullopt;
        QString text;
        for (qint64 p = info + offset; p + 2 <= info + infoSize; p += 2) {
            const quint32 c = b.u16(p);
            if (c == 0)
                return text;
            text.append(QChar(char16_t(c)));
        }
        return std::nullopt;
    };
    // With a common path suffix the target is made of two parts: left to liblnk.
    const std::optional<QByteArray> suffix = narrow(suffixOffset);
    if (!suffix || !suffix->isEmpty())
        return std::nullopt;
    std::optional<QString> local;
    if (localUnicodeOffset) {
        const std::optional<QString> suffixUnicode = wide(suffixUnicodeOffset);
        if (suffixUnicodeOffset && (!suffixUnicode || !suffixUnicode->isEmpty()))
            return std::nullopt;
        local = wide(localUnicodeOffset);
    } else if (const std::optional<QByteArray> ansi = narrow(localOffset)) {
        // Only ASCII here: other bytes are in the code page of the machine that wrote the file.
        if (std::any_of(ansi->cbegin(), ansi->cend(), [](char c) { return uchar(c) >= 0x80; }))
            return std::nullopt;
        local = QString::fromLatin1(*ansi);
    }
    if (!local || local->isEmpty())
        return std::nullopt;

    // The rest must be whole, as liblnk requires: the StringData strings, then the ExtraData
    // blocks up to the terminal block.
    pos = info + infoSize;
    for (quint32 bit = 0x4; bit <= 0x40; bit <<= 1) {
        if (!(flags & bit))
            continue;
        if (!b.has(pos, 2))
            return std::nullopt;
        pos += 2 + qint64(b.u16(pos)) * ((flags & IsUnicode) ? 2 : 1);
    }
    while (true) {
        if (!b.has(pos, 4))
            return std::nullopt;
        const quint32 blockSize = b.u32(pos);
        if (blockSize < 4)
            break;
        if (blockSize < 8 || !b.has(pos, blockSize))
            return std::nullopt;
        pos += blockSize;
    }
    return local;
}

std::optional<QString> LnkRecentFolder::ShortcutTarget(const QString& shortcutFile) {
    const QByteArray file = readSmallFile(shortcutFile);
    if (std::optional<QString> quick = QuickLocalPath(file))
        return quick;
    return LiblnkTarget(shortcutFile);
}

std::optional<QString> LnkRecentFolder::LiblnkTarget(const QString& shortcutFile) {
    LnkReader reader;
    if (!reader.open(shortcutFile))
        return std::nullopt;
    QString target = reader.string(liblnk_file_get_utf8_local_path_size, liblnk_file_get_utf8_local_path);
    if (target.isEmpty())
        target = reader.string(liblnk_file_get_utf8_network_path_size, liblnk_file_get_utf8_network_path);
    if (target.isEmpty())
        return std::nullopt;
    return target;
}

QString LnkRecentFolder::MapWinePath(const QString& windowsPath, const QString& winePrefix) {
    if (winePrefix.isEmpty() || !isDriveLetterPath(windowsPath))
        return windowsPath;
    const QString drive =
        winePrefix + QStringLiteral("/dosdevices/") + windowsPath.at(0).toLower() + QLatin1Char(':');
    const QString root = QFileInfo(drive).canonicalFilePath();
    if (root.isEmpty())
        return windowsPath;
    QString rest = windowsPath.mid(2);
    rest.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (rest.startsWith(QLatin1Char('/')))
        rest.remove(0, 1);
    if (rest.isEmpty())
        return root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/');
    return (root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/')) + rest;
}

std::optional<QString> LnkRecentFolder::readTarget(const QString& path) const {
    std::optional<QString> target = ShortcutTarget(path);
    if (target && !mWinePrefix.isEmpty())
        target = MapWinePath(*target, mWinePrefix);
    return target;
}
