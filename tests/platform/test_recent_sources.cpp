#include "platform/KdeRecentFolder.h"
#include "platform/LnkRecentFolder.h"
#include "platform/XbelRecentList.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "ScopedEnv.h"
#include "ShellLinkWriter.h"
#include "TestSupport.h"

namespace {

const QDateTime kMonday(QDate(2024, 3, 4), QTime(9, 30, 15));

QString write(const QString& folder, const QString& name, const shelllink::Shortcut& link,
              const QDateTime& time = kMonday) {
    const QString path = folder + '/' + name;
    EXPECT_TRUE(shelllink::write(path, link, time)) << path.toStdString();
    return path;
}

QStringList targets(const QList<RecentEntry>& entries) {
    QStringList out;
    for (const RecentEntry& e : entries)
        out << e.target;
    return out;
}

const char* kXbel = R"(<?xml version="1.0" encoding="UTF-8"?>
<xbel version="1.0" xmlns:bookmark="http://www.freedesktop.org/standards/desktop-bookmarks"
      xmlns:mime="http://www.freedesktop.org/standards/shared-mime-info">
  <bookmark href="file:///home/u/%E6%96%87%E6%A1%A3/Plan%20B.odt" added="2024-03-01T08:00:00Z"
            modified="2024-03-02T10:00:00Z" visited="2024-03-03T11:00:00Z">
    <info><metadata owner="http://freedesktop.org"><mime:mime-type type="application/vnd.oasis.opendocument.text"/>
      <bookmark:applications><bookmark:application name="writer" exec="&apos;writer %u&apos;"
        modified="2024-03-02T10:00:00Z" count="2"/></bookmark:applications></metadata></info>
  </bookmark>
  <bookmark href="sftp://server/srv/report.pdf" added="2024-03-01T08:00:00Z" modified="2024-03-01T09:00:00Z"
            visited="2024-03-01T09:00:00Z">
    <info><metadata owner="http://freedesktop.org"><mime:mime-type type="application/pdf"/>
      <bookmark:applications><bookmark:application name="evince" exec="&apos;evince %u&apos;"
        modified="2024-03-01T09:00:00Z" count="1"/></bookmark:applications></metadata></info>
  </bookmark>
  <bookmark href="file:///home/u/Downloads" added="2024-02-01T08:00:00Z" modified="2024-02-01T08:00:00Z"
            visited="2024-02-01T08:00:00Z"/>
</xbel>
)";

} // namespace

// The folder lists the shortcuts whose names end in ".lnk" exactly, with the target each one
// stores (Unicode, ANSI in GBK, network share, folder with its final separator) and the file's
// time; shortcuts to virtual items and things that are no shortcut files are left out.
TEST(RecentSources, ShortcutFolderReadsTargetsOfRealShortcutFiles) {
    QTemporaryDir dir;
    const QString f = dir.path();
    write(f, "a.doc.lnk", shelllink::local("C:\\Users\\王\\文档\\a.doc"));
    write(f, "b.lnk", shelllink::local("D:\\资料\\预算.xls", false));
    write(f, "c.lnk", shelllink::network("\\\\server\\share", "team\\plan.ppt"));
    write(f, "d.lnk", shelllink::folder("C:\\Work\\"));
    write(f, "REPORT.LNK", shelllink::local("C:\\report.doc"));
    write(f, "e.lnk", shelllink::virtualItem());
    qvtest::writeFile(f + "/broken.lnk", "not a shortcut at all");
    qvtest::writeFile(f + "/notes.txt", "x");
    QDir(f).mkdir("folder.lnk");

    const QList<RecentEntry> entries = LnkRecentFolder(f).entries();
    EXPECT_EQ(targets(entries), QStringList({"C:\\Users\\王\\文档\\a.doc", "D:\\资料\\预算.xls",
                                             "\\\\server\\share\\team\\plan.ppt", "C:\\Work\\"}));
    ASSERT_EQ(entries.size(), 4);
    EXPECT_EQ(entries[0].name, f + "/a.doc.lnk");
    EXPECT_EQ(entries[0].lastUsed, kMonday.toSecsSinceEpoch());
    EXPECT_TRUE(LnkRecentFolder(f + "/missing").entries().isEmpty());
}

// A folder read again reads a shortcut again only when its file changed, however little: a
// shortcut written anew with another target and the very same time shows the new target.
TEST(RecentSources, ShortcutsWrittenAgainAreReadAgain) {
    QTemporaryDir dir;
    const QString f = dir.path();
    write(f, "a.lnk", shelllink::local("C:\\old.doc"));
    write(f, "b.lnk", shelllink::local("C:\\b.doc"));
    LnkRecentFolder folder(f);
    EXPECT_EQ(targets(folder.entries()), QStringList({"C:\\old.doc", "C:\\b.doc"}));

    write(f, "a.lnk", shelllink::local("C:\\new.doc"));
    QFile::remove(f + "/b.lnk");
    write(f, "c.lnk", shelllink::local("C:\\c.doc"));
    const QList<RecentEntry> again = folder.entries();
    EXPECT_EQ(targets(again), QStringList({"C:\\new.doc", "C:\\c.doc"}));
    EXPECT_EQ(again[0].lastUsed, kMonday.toSecsSinceEpoch());
}

// Under a Wine prefix a target on a mapped drive becomes the Linux path of that drive.
TEST(RecentSources, WineDrivesMapToLinuxPaths) {
    QTemporaryDir prefix;
    QDir(prefix.path()).mkpath("drive_c/users/bob");
    QDir(prefix.path()).mkpath("dosdevices");
    ASSERT_TRUE(QFile::link("../drive_c", prefix.path() + "/dosdevices/c:"));
    ASSERT_TRUE(QFile::link("/", prefix.path() + "/dosdevices/z:"));
    const QString drive = QDir(prefix.path() + "/drive_c").canonicalPath();

    EXPECT_EQ(LnkRecentFolder::MapWinePath("C:\\users\\bob\\a.doc", prefix.path()),
              drive + "/users/bob/a.doc");
    EXPECT_EQ(LnkRecentFolder::MapWinePath("c:\\users\\bob\\", prefix.path()), drive + "/users/bob/");
    EXPECT_EQ(LnkRecentFolder::MapWinePath("Z:\\home\\bob\\x.pdf", prefix.path()), "/home/bob/x.pdf");
    EXPECT_EQ(LnkRecentFolder::MapWinePath("D:\\x.pdf", prefix.path()), "D:\\x.pdf");
    EXPECT_EQ(LnkRecentFolder::MapWinePath("\\\\srv\\s\\x.pdf", prefix.path()), "\\\\srv\\s\\x.pdf");

    const QString recent = prefix.path() + "/drive_c/users/bob/Recent";
    QDir().mkpath(recent);
    write(recent, "a.lnk", shelllink::local("C:\\users\\bob\\a.doc"));
    const QList<RecentEntry> entries = LnkRecentFolder(recent, prefix.path()).entries();
    EXPECT_EQ(targets(entries), QStringList{drive + "/users/bob/a.doc"});
}

// KDE's link entries: $HOME expanded where marked, file addresses as paths, others kept.
TEST(RecentSources, KdeFolderReadsLinkEntries) {
    QTemporaryDir dir;
    ScopedEnv home("HOME", QByteArray("/home/kde user"));
    const QString f = dir.path();
    qvtest::writeFile(f + "/a.txt.desktop",
                      "[Desktop Entry]\nName=a.txt\nType=Link\nURL[$e]=file:$HOME/a.txt\nIcon=text-plain\n");
    qvtest::writeFile(f + "/b.desktop",
                      "[Desktop Entry]\nType=Link\nURL=file:///srv/%E6%8A%A5%E5%91%8A.pdf\n");
    qvtest::writeFile(f + "/c.desktop", "[Desktop Entry]\nType=Link\nURL=smb://nas/share/c.doc\n");
    qvtest::writeFile(f + "/d.desktop", "[Other]\nURL=file:///nowhere.doc\n[Desktop Entry]\nName=d\n");
    qvtest::writeFile(f + "/e.DESKTOP", "[Desktop Entry]\nURL=file:///e.doc\n");
    const QList<RecentEntry> entries = KdeRecentFolder(f).entries();
    EXPECT_EQ(targets(entries),
              QStringList({"/home/kde user/a.txt", "/srv/报告.pdf", "smb://nas/share/c.doc"}));
}

// GNOME's list: local paths, other addresses kept, the latest of its times; removing an entry
// rewrites the list through GLib without the entry, keeps the rest and the file's permissions.
TEST(RecentSources, XbelListReadsAndRemovesEntries) {
    QTemporaryDir dir;
    const QString file = dir.path() + "/recently-used.xbel";
    qvtest::writeFile(file, kXbel);
    QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
    XbelRecentList list(file);

    const QList<RecentEntry> entries = list.entries();
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(targets(entries),
              QStringList({"/home/u/文档/Plan B.odt", "sftp://server/srv/report.pdf", "/home/u/Downloads"}));
    EXPECT_EQ(entries[0].lastUsed, QDateTime(QDate(2024, 3, 3), QTime(11, 0), Qt::UTC).toSecsSinceEpoch());
    EXPECT_EQ(entries[0].name, file + "#file:///home/u/%E6%96%87%E6%A1%A3/Plan%20B.odt");
    EXPECT_TRUE(list.owns(entries[1].name));
    EXPECT_FALSE(list.owns(dir.path() + "/other.xbel#file:///x"));

    EXPECT_TRUE(list.remove({entries[0].name, entries[2].name}, false).ok());
    EXPECT_EQ(targets(list.entries()), QStringList{"sftp://server/srv/report.pdf"});
    EXPECT_EQ(QFile::permissions(file),
              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"recently-used.xbel"});
    // Gone already: nothing to do, no failure.
    EXPECT_TRUE(list.remove({entries[0].name}, false).ok());

    XbelRecentList missing(dir.path() + "/none.xbel");
    EXPECT_TRUE(missing.entries().isEmpty());
    EXPECT_TRUE(missing.remove({dir.path() + "/none.xbel#file:///a"}, true).ok());
    EXPECT_FALSE(QFile::exists(dir.path() + "/none.xbel"));
}

// Removing shortcuts deletes the shortcut files only: a read-only one only when forced, and a
// name outside the folder (a document) is refused, whatever the caller passes.
TEST(RecentSources, ShortcutRemovalTouchesOnlyShortcutsOfTheFolder) {
    QTemporaryDir dir;
    const QString f = dir.path() + "/Recent";
    QDir().mkpath(f);
    const QString document = dir.path() + "/plan.doc";
    qvtest::writeFile(document, "the document");
    const QString a = write(f, "a.lnk", shelllink::local("C:\\a.doc"));
    const QString b = write(f, "b.lnk", shelllink::local("C:\\b.doc"));
    QFile::setPermissions(b, QFile::ReadOwner | QFile::ReadGroup);
    LnkRecentFolder folder(f);

    const RecentRemoveResult refused = folder.remove({document}, true);
    EXPECT_EQ(refused.kind, RecentRemoveResult::Failed);
    EXPECT_TRUE(QFile::exists(document));
    EXPECT_FALSE(folder.owns(f + "/../plan.doc"));

    const RecentRemoveResult unforced = folder.remove({a, b}, false);
    EXPECT_EQ(unforced.kind, RecentRemoveResult::AccessDenied);
    EXPECT_FALSE(QFile::exists(a));
    EXPECT_TRUE(QFile::exists(b));

    EXPECT_TRUE(folder.remove({a, b}, true).ok());
    EXPECT_FALSE(QFile::exists(b));
    EXPECT_TRUE(QFile::exists(document));
}

// The desktop's sources for a user, from the environment of the moment.
TEST(RecentSources, DesktopSourcesFollowTheEnvironment) {
    ScopedEnv home("HOME", QByteArray("/home/someone"));
    ScopedEnv data("XDG_DATA_HOME", QByteArray("/tmp/qv-data"));
    ScopedEnv prefix("WINEPREFIX", QByteArray("/tmp/qv-wine"));
    ScopedEnv user("USER", QByteArray("someone"));
    QStringList locations;
    for (const auto& source : RecentSource::DesktopSources())
        locations << source->location();
    EXPECT_EQ(locations,
              QStringList({"/tmp/qv-wine/drive_c/users/someone/AppData/Roaming/Microsoft/Windows/Recent",
                           "/tmp/qv-wine/drive_c/users/someone/Recent", "/tmp/qv-data/RecentDocuments",
                           "/tmp/qv-data/recently-used.xbel"}));
}

// The direct reading of a shortcut's local path gives what liblnk gives, for every kind of
// shortcut and every cut-short copy of one; what it does not read itself (network shares, ANSI
// text beyond ASCII, virtual items, damaged files) is left to liblnk with the same result.
TEST(RecentSources, DirectReadingOfShortcutsAgreesWithLiblnk) {
    QTemporaryDir dir;
    const QString f = dir.path();
    shelllink::Shortcut described = shelllink::local("C:\\Users\\王\\说明.docx");
    described.description = "说明文字";
    const QStringList files = {
        write(f, "unicode.lnk", shelllink::local("C:\\Users\\王\\文档\\a.doc")),
        write(f, "ascii.lnk", shelllink::local("C:\\plain\\report.doc", false)),
        write(f, "gbk.lnk", shelllink::local("D:\\资料\\预算.xls", false)),
        write(f, "network.lnk", shelllink::network("\\\\server\\share", "team\\plan.ppt")),
        write(f, "folder.lnk", shelllink::folder("C:\\Work\\")),
        write(f, "described.lnk", described),
        write(f, "virtual.lnk", shelllink::virtualItem()),
    };
    int direct = 0;
    for (const QString& path : files) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        const std::optional<QString> full = LnkRecentFolder::LiblnkTarget(path);
        const std::optional<QString> quick = LnkRecentFolder::QuickLocalPath(bytes);
        if (quick) {
            ++direct;
            EXPECT_EQ(quick, full) << path.toStdString();
        }
        EXPECT_EQ(LnkRecentFolder::ShortcutTarget(path), full) << path.toStdString();
        // Every shorter copy: read directly only when liblnk reads it too, and then alike.
        const QString cut = f + "/cut.bin";
        for (qsizetype size = 0; size < bytes.size(); ++size) {
            qvtest::writeFile(cut, bytes.left(size));
            const std::optional<QString> partial = LnkRecentFolder::QuickLocalPath(bytes.left(size));
            if (partial) {
                EXPECT_EQ(partial, LnkRecentFolder::LiblnkTarget(cut))
                    << path.toStdString() << " cut at " << size;
            }
        }
    }
    EXPECT_EQ(direct, 4) << "unicode, ascii, folder and described are read directly";
}

// A folder of many shortcuts is read on two threads: every target still lands on its own
// shortcut, in name order, and a second reading after some were written again sees those.
TEST(RecentSources, ManyShortcutsAreReadWithTheirOwnTargets) {
    QTemporaryDir dir;
    const QString f = dir.path();
    QStringList expected;
    for (int i = 0; i < 600; ++i) {
        const QString target = QString("C:\\文档\\第%1号.docx").arg(i);
        write(f, QString("n%1.lnk").arg(i, 3, 10, QChar('0')), shelllink::local(target, i % 5 != 0),
              kMonday.addSecs(i));
        expected << target;
    }
    write(f, "n600.lnk", shelllink::virtualItem());
    LnkRecentFolder folder(f);
    QList<RecentEntry> entries = folder.entries();
    EXPECT_EQ(targets(entries), expected);
    ASSERT_EQ(entries.size(), 600);
    EXPECT_EQ(entries[599].name, f + "/n599.lnk");
    EXPECT_EQ(entries[599].lastUsed, kMonday.addSecs(599).toSecsSinceEpoch());

    for (int i = 0; i < 600; i += 2) {
        expected[i] = QString("D:\\新\\%1.xls").arg(i);
        write(f, QString("n%1.lnk").arg(i, 3, 10, QChar('0')), shelllink::local(expected[i]), kMonday);
    }
    entries = folder.entries();
    EXPECT_EQ(targets(entries), expected);
}
