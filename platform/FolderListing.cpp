#include "platform/FolderListing.h"

#include <QFile>

#include <dirent.h>
#include <sys/stat.h>

namespace FolderListing {

bool List(const QString& folder, QStringList& folders, QStringList& files) {
    const QByteArray path = QFile::encodeName(folder);
    DIR* dir = opendir(path.constData());
    if (!dir)
        return false;
    while (const dirent* entry = readdir(dir)) {
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
            continue;
        bool isFolder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
            struct stat info;
            const QByteArray full = path + '/' + name;
            isFolder = ::stat(full.constData(), &info) == 0 && S_ISDIR(info.st_mode);
        }
        (isFolder ? folders : files) << QFile::decodeName(name);
    }
    closedir(dir);
    return true;
}

} // namespace FolderListing
