#include "platform/LnkRecentFolder.h"

#include <QFile>
#include <QFileInfo>
#include <liblnk.h>

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

bool isDriveLetterPath(const QString& path) {
    return path.size() >= 2 && path.at(1) == QLatin1Char(':') && path.at(0).isLetter() &&
           path.at(0).unicode() < 128;
}

} // namespace

LnkRecentFolder::LnkRecentFolder(const QString& folder, const QString& winePrefix)
    : RecentShortcutFolder(folder, QStringLiteral(".lnk")), mWinePrefix(winePrefix) {}

std::optional<QString> LnkRecentFolder::ShortcutTarget(const QString& shortcutFile) {
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
