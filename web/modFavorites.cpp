#include "web/modFavorites.h"

#include "controls/CommandBars.h"
#include "controls/IconStore.h"
#include "controls/TreeView.h"
#include "core/QvIds.h"
#include "core/cRegistry.h"
#include "core/modInitial.h"
#include "platform/AnsiCodec.h"
#include "platform/FolderListing.h"
#include "web/modSiteIcons.h"

#include <QCollator>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QTimer>

#include <algorithm>
#include <vector>

namespace modFavorites {
namespace {

const char* const kShellFoldersKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
const char* const kSection = "InternetShortcut";
const char* const kSuffix = ".url";
// A shortcut is a few lines; anything much larger is not one.
constexpr qint64 kMaxShortcutSize = 64 * 1024;

int& keyCounter() {
    static int counter = 0;
    return counter;
}

// By name without regard to case, as Windows lists a folder.
void sortNames(QStringList& names) {
    std::vector<std::pair<QString, QString>> keyed;
    keyed.reserve(names.size());
    for (const QString& name : std::as_const(names))
        keyed.emplace_back(name.toCaseFolded(), name);
    std::sort(keyed.begin(), keyed.end());
    for (qsizetype i = 0; i < names.size(); ++i)
        names[i] = keyed[size_t(i)].second;
}

QString decodeShortcutText(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    // Shortcuts written on Windows are in the ANSI code page.
    return AnsiCodec::toUnicode(bytes);
}

// Image numbers of site icons already put into the icon store, by the icon's cache key.
QHash<QString, int>& storedSiteIcons() {
    static QHash<QString, int> numbers;
    return numbers;
}

} // namespace

bool FavoritesFolder(QString& path) {
    cRegistry registry;
    registry.ClassKey = HKEY_CURRENT_USER;
    registry.SectionKey = QString::fromLatin1(kShellFoldersKey);
    registry.ValueKey = QStringLiteral("Favorites");
    QString folder = cRegistry::ExpandEnvironmentText(registry.Value().toString());
    if (const qsizetype zero = folder.indexOf(QChar(0)); zero >= 0)
        folder.truncate(zero);
    folder = folder.trimmed();
    if (!folder.isEmpty()) {
        path = QDir::cleanPath(folder);
        return QFileInfo(path).isDir();
    }
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty())
        return false;
    path = QDir::cleanPath(data + QStringLiteral("/Quorvel/Favorites"));
    return QDir().mkpath(path) && QFileInfo(path).isDir();
}

Shortcut ReadShortcut(const QString& file) {
    Shortcut shortcut;
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return shortcut;
    const QString text = decodeShortcutText(in.read(kMaxShortcutSize));
    bool inSection = false;
    bool haveUrl = false, haveIcon = false;
    for (QStringView line : QStringView(text).split(QLatin1Char('\n'))) {
        line = line.trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inSection = line.endsWith(QLatin1Char(']')) &&
                        line.mid(1, line.size() - 2)
                                .trimmed()
                                .compare(QLatin1String(kSection), Qt::CaseInsensitive) == 0;
            continue;
        }
        if (!inSection)
            continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals <= 0)
            continue;
        const QStringView key = line.left(equals).trimmed();
        QString value = line.mid(equals + 1).trimmed().toString();
        if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
            value = value.mid(1, value.size() - 2);
        value.truncate(MaxValueLength);
        // The first occurrence of a key counts, as the profile reader of Windows takes it.
        if (!haveUrl && key.compare(QLatin1String("URL"), Qt::CaseInsensitive) == 0) {
            shortcut.url = value;
            haveUrl = true;
        } else if (!haveIcon && key.compare(QLatin1String("IconFile"), Qt::CaseInsensitive) == 0) {
            shortcut.iconFile = value;
            haveIcon = true;
        }
    }
    return shortcut;
}

Listing ListFolder(const QString& folder) {
    Listing listing;
    QStringList files;
    if (folder.isEmpty() || !FolderListing::List(folder, listing.folders, files))
        return listing;
    for (const QString& name : std::as_const(files)) {
        if (name.size() > int(qstrlen(kSuffix)) && name.endsWith(QLatin1String(kSuffix), Qt::CaseInsensitive))
            listing.shortcuts << name;
    }
    sortNames(listing.folders);
    sortNames(listing.shortcuts);
    if (listing.folders.size() > MaxListed)
        listing.folders.resize(MaxListed);
    if (listing.shortcuts.size() > MaxListed)
        listing.shortcuts.resize(MaxListed);
    return listing;
}

QString ShortcutCaption(const QString& fileName) {
    return fileName.endsWith(QLatin1String(kSuffix), Qt::CaseInsensitive)
               ? fileName.left(fileName.size() - int(qstrlen(kSuffix)))
               : fileName;
}

int NextKeyNumber() {
    return ++keyCounter();
}

namespace {

// The shortcut file of a favorites node whose file has not been read yet.
constexpr int kPendingFileRole = Qt::UserRole + 20;
// Files read per turn of the event loop.
constexpr int kReadBatch = 64;

void readNode(QTreeWidgetItem* node) {
    const QString file = node->data(0, kPendingFileRole).toString();
    node->setData(0, kPendingFileRole, QVariant());
    const Shortcut shortcut = ReadShortcut(file);
    node->setData(0, TreeView::TagRole, shortcut.url);
    const QIcon icon = modSiteIcons::Lookup(shortcut.iconFile, shortcut.url);
    if (!icon.isNull())
        TreeView::SetNodeImage(node, icon);
}

// Reads the pending shortcuts among the children of `parent` (the top level when it is invalid),
// a batch per turn of the event loop, from child `next` on.
void readPending(QPointer<TreeView> tree, QPersistentModelIndex parent, bool topLevel, int next) {
    if (!tree)
        return;
    QTreeWidgetItem* folder = topLevel ? tree->invisibleRootItem() : tree->NodeAt(parent);
    if (!folder)
        return;
    int done = 0;
    for (; next < folder->childCount() && done < kReadBatch; ++next) {
        QTreeWidgetItem* node = folder->child(next);
        if (IsPending(node)) {
            readNode(node);
            ++done;
        }
    }
    if (next < folder->childCount())
        QTimer::singleShot(0, tree,
                           [tree, parent, topLevel, next] { readPending(tree, parent, topLevel, next); });
}

} // namespace

int FillTreeNode(const QString& folder, TreeView* tree, QTreeWidgetItem* node) {
    if (!tree)
        return 0;
    const Listing listing = ListFolder(folder);
    const QString base = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    QList<QTreeWidgetItem*> nodes;
    nodes.reserve(listing.folders.size() + listing.shortcuts.size());
    for (const QString& name : listing.folders)
        nodes << tree->NewNode(QLatin1Char('F') + QString::number(NextKeyNumber()), name, FolderIcon,
                               base + name);
    const qsizetype firstShortcut = nodes.size();
    for (const QString& name : listing.shortcuts) {
        QTreeWidgetItem* item = tree->NewNode(QLatin1Char('F') + QString::number(NextKeyNumber()),
                                              ShortcutCaption(name), SiteIcon, QString());
        item->setData(0, kPendingFileRole, base + name);
        nodes << item;
    }
    const int first = node ? node->childCount() : tree->topLevelItemCount();
    tree->AddNodes(node, nodes);
    if (firstShortcut < nodes.size()) {
        QPointer<TreeView> guard(tree);
        const QPersistentModelIndex parent = tree->PersistentIndex(node);
        const bool topLevel = node == nullptr;
        const int start = first + int(firstShortcut);
        QTimer::singleShot(0, tree,
                           [guard, parent, topLevel, start] { readPending(guard, parent, topLevel, start); });
    }
    return int(nodes.size());
}

bool IsPending(const QTreeWidgetItem* node) {
    return node && node->data(0, kPendingFileRole).isValid();
}

QString NodeAddress(QTreeWidgetItem* node) {
    if (!node)
        return QString();
    if (IsPending(node))
        readNode(node);
    return TreeView::Tag(node).toString();
}

void FillMenu(const QString& folder, CommandBar* menu) {
    if (!menu)
        return;
    const Listing listing = ListFolder(folder);
    const QDir dir(folder);
    auto caption = [](QString text) { return text.replace(QLatin1Char('&'), QLatin1String("&&")); };
    for (const QString& name : listing.folders) {
        CommandBarControl* sub = menu->Add(CommandBarControl::Popup, Cmd::FavoriteFolder, caption(name));
        sub->setParameter(dir.filePath(name));
    }
    for (const QString& name : listing.shortcuts) {
        const Shortcut shortcut = ReadShortcut(dir.filePath(name));
        CommandBarControl* entry =
            menu->Add(CommandBarControl::Button, Cmd::FavoriteEntry, caption(ShortcutCaption(name)));
        entry->setParameter(shortcut.url);
        if (!modInitial::gIconStore)
            continue;
        const QIcon icon = modSiteIcons::Lookup(shortcut.iconFile, shortcut.url);
        if (icon.isNull())
            continue;
        // Menu entries show store images: each site icon goes into the store once.
        const qint64 key = icon.cacheKey();
        int& number = storedSiteIcons()[QString::number(key)];
        if (number == 0)
            number = modInitial::gIconStore->AddIcon(icon);
        entry->setIconId(number);
    }
}

bool IsValidShortcutName(const QString& name, QString* why) {
    auto refuse = [why](const QString& reason) {
        if (why)
            *why = reason;
        return false;
    };
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty())
        return refuse(QStringLiteral("请输入名称。"));
    if (trimmed == QLatin1String(".") || trimmed == QLatin1String(".."))
        return refuse(QStringLiteral("名称不能是“.”或“..”。"));
    for (const QChar c : trimmed) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\'))
            return refuse(QStringLiteral("名称不能包含“/”或“\\”。"));
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return refuse(QStringLiteral("名称不能包含控制字符。"));
    }
    // File names are at most 255 bytes, the suffix included.
    if (trimmed.toUtf8().size() + int(qstrlen(kSuffix)) > 255)
        return refuse(QStringLiteral("名称太长。"));
    return true;
}

QString ShortcutNameFromTitle(const QString& title) {
    QString name;
    for (const QChar c : title.trimmed()) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.unicode() < 0x20 || c.unicode() == 0x7f)
            name += QLatin1Char('_');
        else
            name += c;
    }
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        name = QStringLiteral("_");
    // Keep whole characters within the file-name limit.
    while (name.toUtf8().size() + int(qstrlen(kSuffix)) > 255)
        name.chop(1);
    return name;
}

WriteResult WriteShortcut(const QString& favoritesRoot, const QString& folder, const QString& name,
                          const QString& url, bool replace, QString* writtenPath) {
    QString base = name.trimmed();
    if (base.endsWith(QLatin1String(kSuffix), Qt::CaseInsensitive))
        base.chop(int(qstrlen(kSuffix)));
    if (!IsValidShortcutName(base))
        return WriteResult::InvalidName;
    const QString root = QFileInfo(favoritesRoot).canonicalFilePath();
    const QString target = QFileInfo(folder).canonicalFilePath();
    if (root.isEmpty() || target.isEmpty() || (target != root && !target.startsWith(root + QLatin1Char('/'))))
        return WriteResult::OutsideFolder;
    const QString file = QDir(target).filePath(base + QLatin1String(kSuffix));
    const QFileInfo existing(file);
    if (existing.exists() || existing.isSymLink()) {
        if (!replace)
            return WriteResult::Exists;
        // Only a shortcut file is ever replaced, never a folder or what a link points to.
        if (!existing.isFile() || existing.isSymLink())
            return WriteResult::Failed;
    }
    QString address = url;
    address.remove(QLatin1Char('\r'));
    address.remove(QLatin1Char('\n'));
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return WriteResult::Failed;
    out.write(QByteArrayLiteral("[InternetShortcut]\r\nURL=") + address.toUtf8() + QByteArrayLiteral("\r\n"));
    if (!out.commit())
        return WriteResult::Failed;
    if (writtenPath)
        *writtenPath = file;
    return WriteResult::Written;
}

QStringList SubfolderTree(const QString& favoritesRoot) {
    QStringList folders{QString()};
    const QDir root(favoritesRoot);
    QDirIterator it(favoritesRoot, QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks | QDir::Hidden,
                    QDirIterator::Subdirectories);
    QStringList found;
    while (it.hasNext() && found.size() < MaxListed) {
        it.next();
        found << root.relativeFilePath(it.filePath());
    }
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(found.begin(), found.end(),
              [&collator](const QString& a, const QString& b) { return collator.compare(a, b) < 0; });
    return folders + found;
}

} // namespace modFavorites
