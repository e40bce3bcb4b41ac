#include "controls/IconStore.h"

#include <QDir>
#include <QFileInfo>
#include <QResource>
#include <QUuid>

IconStore::~IconStore() {
    if (!mRegisteredFile.isEmpty())
        QResource::unregisterResource(mRegisteredFile, mRoot);
}

bool IconStore::LoadLibrary(const QString& path) {
    if (!QFileInfo::exists(path))
        return false;
    // Each store mounts its library under a root of its own, so two stores never share names.
    const QString root = "/qvicons-" + QUuid::createUuid().toString(QUuid::Id128);
    if (!QResource::registerResource(path, root))
        return false;
    if (!mRegisteredFile.isEmpty())
        QResource::unregisterResource(mRegisteredFile, mRoot);
    mRegisteredFile = path;
    mRoot = root;
    // Numbers of the library replace what earlier libraries had under them.
    const QDir dir(":" + root + "/icons");
    const QStringList files = dir.entryList({"*.png"}, QDir::Files);
    for (const QString& file : files) {
        bool ok = false;
        const int number = QFileInfo(file).completeBaseName().toInt(&ok);
        if (!ok)
            continue;
        // The library stays mounted for the life of the store.
        mIcons.remove(number);
        mFiles.insert(number, dir.filePath(file));
        if (number >= mNextFree)
            mNextFree = number + 1;
    }
    return !mFiles.isEmpty();
}

QIcon IconStore::icon(int number) const {
    if (auto it = mIcons.constFind(number); it != mIcons.constEnd())
        return it.value();
    const auto file = mFiles.constFind(number);
    if (file == mFiles.constEnd())
        return QIcon();
    const QIcon made(file.value());
    mIcons.insert(number, made);
    mFiles.erase(file);
    return made;
}

int IconStore::count() const {
    return int(mIcons.size() + mFiles.size());
}

QList<int> IconStore::numbers() const {
    return mIcons.keys() + mFiles.keys();
}

int IconStore::AddIcon(const QIcon& icon) {
    const int number = mNextFree++;
    mIcons.insert(number, icon);
    return number;
}

void IconStore::SetIcon(int number, const QIcon& icon) {
    mFiles.remove(number);
    mIcons.insert(number, icon);
    if (number >= mNextFree)
        mNextFree = number + 1;
}
