#pragma once
#include <QHash>
#include <QIcon>
#include <QString>

// The program-wide image store: images by number. The library file is a binary Qt resource
// holding one PNG per icon number under ":/icons/<number>.png". Icons fetched at run time
// (file and folder icons) are added under a fresh number that the caller keeps.
class IconStore {
public:
    IconStore() = default;
    ~IconStore();
    IconStore(const IconStore&) = delete;
    IconStore& operator=(const IconStore&) = delete;

    // Loads the library file; false when it cannot be read. Numbers loaded earlier stay.
    bool LoadLibrary(const QString& path);
    // The image of that number, or a null icon when there is none.
    QIcon icon(int number) const;
    bool contains(int number) const { return mIcons.contains(number) || mFiles.contains(number); }
    int count() const;
    QList<int> numbers() const;
    // Adds an image under a fresh number (above every library number) and returns it.
    int AddIcon(const QIcon& icon);
    // Adds or replaces the image of a given number.
    void SetIcon(int number, const QIcon& icon);

private:
    // The images made so far, and the library's files whose images are made when first asked
    // for (the window shows a small part of the library at start).
    mutable QHash<int, QIcon> mIcons;
    mutable QHash<int, QString> mFiles;
    QString mRegisteredFile;
    QString mRoot;
    int mNextFree = 1000000;
};
