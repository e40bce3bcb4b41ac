#include "controls/IconStore.h"
#include "controls/TaskDialog.h"
#include "core/QvError.h"
#include "core/QvIds.h"
#include "recent/clsExtCollection.h"
#include "recent/clsRecentFile.h"

#include <QFile>
#include <gtest/gtest.h>

#include "RecentTestFolders.h"

namespace {

QStringList column(const XmlNodeList& records, const char* attribute) {
    QStringList out;
    for (const XmlNode& r : records)
        out << r.getAttribute(attribute);
    return out;
}

class RecentFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        TaskDialog::SetAnswerer([this](const TaskDialog& d) -> std::optional<int> {
            asked << d.ContentText;
            return answer;
        });
        store.SetSources(folders.sources());
        store.SetIconStore(&icons);
    }
    void TearDown() override { TaskDialog::SetAnswerer({}); }

    XmlNodeList records() { return store.RecentFileList().selectNodes("rf"); }

    RecentTestFolders folders;
    IconStore icons;
    clsRecentFile store;
    QStringList asked;
    int answer = Answer::Yes;
};

} // namespace

TEST(ExtCollection, RowsAreFoundByAttributeAndBecomeCurrent) {
    clsExtCollection c;
    EXPECT_FALSE(c.Exists("ext", "doc"));
    EXPECT_THROW(c.SetAttribute("ext", "doc"), QvError);
    EXPECT_THROW(c.GetAttribute("ext"), QvError);

    c.Add();
    c.SetAttribute("ext", "doc");
    c.SetAttribute("iconid", "7");
    c.Add();
    c.SetAttribute("ext", "pdf");
    c.SetAttribute("iconid", "9");
    c.Add();
    c.SetAttribute("filelink", "/home/u/it's \"quoted\"/");
    c.SetAttribute("iconid", "11");
    EXPECT_EQ(c.XMLNodeList().length(), 3);
    EXPECT_EQ(c.XMLNodeRoot().nodeName(), "root");

    EXPECT_TRUE(c.Exists("ext", "pdf"));
    EXPECT_EQ(c.GetAttribute("iconid"), "9");
    EXPECT_FALSE(c.Exists("ext", "PDF")); // exact comparison; the current row stays
    EXPECT_EQ(c.GetAttribute("iconid"), "9");
    EXPECT_TRUE(c.Exists("filelink", "/home/u/it's \"quoted\"/"));
    EXPECT_EQ(c.GetAttribute("iconid"), "11");
}

// One record per shortcut or entry with a target, fields derived from the target, newest first
// across all sources; names not ending in ".lnk" exactly and missing sources are left out.
TEST_F(RecentFileTest, ScanBuildsTheRecordsFromEverySource) {
    folders.lnk("a.lnk", "C:\\Docs\\Plan.DOCX", RecentTestFolders::at(-2, 9, 5, 7));
    folders.lnk("REPORT.LNK", "C:\\Docs\\report.doc", RecentTestFolders::at(0));
    folders.lnk("b.lnk", "C:\\Work\\", RecentTestFolders::at(-1), true);
    folders.lnk("c.lnk", "C:\\Backup\\archive.2010", RecentTestFolders::at(-3), true);
    folders.addXbel("/home/u/notes.txt", RecentTestFolders::at(0, 8));
    qvtest::writeFile(folders.kde + "/k.desktop", "[Desktop Entry]\nType=Link\nURL=file:///srv/photo.JPG\n");
    RecentTestFolders::touch(folders.kde + "/k.desktop", RecentTestFolders::at(-5));

    store.scanRecentFolder();
    const XmlNodeList list = records();
    EXPECT_EQ(column(list, "filename"),
              QStringList({"notes.txt", "C:\\Work\\", "Plan.DOCX", "archive.2010", "photo.JPG"}));
    EXPECT_EQ(column(list, "fileext"), QStringList({"txt", "", "docx", "2010", "jpg"}));
    ASSERT_EQ(list.length(), 5);
    const XmlNode plan = list.item(2);
    EXPECT_EQ(plan.attributeNames(),
              QStringList({"ofilelink", "filename", "filelink", "fileext", "lastwritetime", "timeserial"}));
    EXPECT_EQ(plan.getAttribute("ofilelink"), folders.recent + "/a.lnk");
    EXPECT_EQ(plan.getAttribute("filelink"), "C:\\Docs\\Plan.DOCX");
    const QDateTime planTime = RecentTestFolders::at(-2, 9, 5, 7);
    EXPECT_EQ(plan.getAttribute("lastwritetime"), planTime.toString("yyyy-MM-dd HH:mm:ss"));
    const qint64 expectedSerial = QDateTime(QDate(2005, 1, 1), QTime(0, 0), Qt::UTC)
                                      .secsTo(QDateTime(planTime.date(), planTime.time(), Qt::UTC));
    EXPECT_EQ(plan.getAttribute("timeserial").toLongLong(), expectedSerial);
    EXPECT_EQ(column(store.getRecentWordFiles(), "filename"), QStringList({"notes.txt", "Plan.DOCX"}));
    EXPECT_EQ(column(store.getRecentFolders(), "filename"), QStringList{"C:\\Work\\"});
    EXPECT_EQ(column(store.getRecentImageFiles(), "filename"), QStringList{"photo.JPG"});

    // A scan that finds what the last one found keeps that list; any change builds a new one.
    const XmlNode first = store.RecentFileList();
    store.scanRecentFolder();
    EXPECT_EQ(store.RecentFileList(), first);
    folders.lnk("a.lnk", "C:\\Docs\\Plan.DOCX", RecentTestFolders::at(-2, 9, 5, 8));
    store.scanRecentFolder();
    EXPECT_NE(store.RecentFileList(), first);
    EXPECT_EQ(store.getRecentWordFiles().item(1).getAttribute("lastwritetime"),
              RecentTestFolders::at(-2, 9, 5, 8).toString("yyyy-MM-dd HH:mm:ss"));

    // Every source gone: an empty list, every query empty.
    folders.dir.remove();
    store.scanRecentFolder();
    EXPECT_EQ(records().length(), 0);
    EXPECT_EQ(store.getRecentFilesSince(7).length(), 0);
    EXPECT_EQ(store.getRecentFolders().length(), 0);
}

// The date queries: strict bounds at midnight, the template filter, the top ten, and times
// before 2005 that count as old, not as recent.
TEST_F(RecentFileTest, DateAndTypeQueriesKeepTheirBoundsAndFilters) {
    folders.lnk("midnight.lnk", "C:\\d\\midnight.doc", RecentTestFolders::at(0, 0, 0, 0));
    folders.lnk("today.lnk", "C:\\d\\today.xls", RecentTestFolders::at(0, 0, 0, 1));
    folders.lnk("yesterday.lnk", "C:\\d\\yesterday.ppt", RecentTestFolders::at(-1, 0, 0, 1));
    folders.lnk("yestermidnight.lnk", "C:\\d\\yestermidnight.pdf", RecentTestFolders::at(-1, 0, 0, 0));
    folders.lnk("template.lnk", "C:\\d\\Normal.dotm", RecentTestFolders::at(0, 10));
    folders.lnk("old.lnk", "C:\\d\\old.doc", QDateTime(QDate(1980, 5, 1), QTime(10, 0)));
    folders.lnk("quote.lnk", "C:\\d\\odd.it's", RecentTestFolders::at(-30));
    for (int i = 0; i < 8; ++i)
        folders.lnk(QString("w%1.lnk").arg(i), QString("C:\\d\\w%1.txt").arg(i),
                    RecentTestFolders::at(-3 - i));

    store.scanRecentFolder();
    EXPECT_EQ(column(store.getRecentFilesSince(0), "filename"), QStringList{"today.xls"});
    EXPECT_EQ(column(store.getRecentFilesSince(1), "filename"),
              QStringList({"today.xls", "midnight.doc", "yesterday.ppt"}));
    const QDate yesterday = QDate::currentDate().addDays(-1);
    EXPECT_EQ(column(store.getRecentFilesBetween(yesterday, yesterday), "filename"),
              QStringList{"yesterday.ppt"});
    EXPECT_EQ(store.getRecentFilesSince(7).length(), 9);

    const QStringList all = column(store.getRecentFilesAll(), "filename");
    EXPECT_EQ(all.size(), 14);
    EXPECT_FALSE(all.contains("Normal.dotm"));
    EXPECT_EQ(all.last(), "old.doc");
    EXPECT_EQ(column(store.getRecentFilesTop(10), "filename"), all.mid(0, 10));
    EXPECT_EQ(column(store.getRecentFileRecords(), "filename").size(), 15);
    EXPECT_EQ(column(store.getRecentFilesByExt("dotm"), "filename"), QStringList{"Normal.dotm"});
    EXPECT_EQ(column(store.getRecentFilesByExt("it's"), "filename"), QStringList{"odd.it's"});
}

// Deleting by yesterday removes yesterday's shortcuts and list entries only, after a yes; a
// no removes nothing. Documents are never touched; the same document in two sources goes from
// both. (The single removal without force is proven through the menu.)
TEST_F(RecentFileTest, DeletingRecordsRemovesOnlyTheirShortcutsAndEntries) {
    const QString document = folders.dir.path() + "/yesterday.doc";
    qvtest::writeFile(document, "content");
    const QString y1 = folders.lnk("y1.lnk", "C:\\d\\y1.doc", RecentTestFolders::at(-1, 9));
    const QString y2 = folders.lnk("y2.lnk", "C:\\d\\y2.xls", RecentTestFolders::at(-1, 23, 59, 59));
    QFile::setPermissions(y2, QFile::ReadOwner); // read-only: bulk deletion forces it
    const QString t1 = folders.lnk("t1.lnk", "C:\\d\\t1.doc", RecentTestFolders::at(0, 0, 0, 1));
    const QString same = folders.lnk("same.lnk", document, RecentTestFolders::at(-1, 7));
    folders.addXbel(document, RecentTestFolders::at(-1, 8));
    folders.addXbel("/home/u/today.txt", RecentTestFolders::at(0, 9));

    store.scanRecentFolder();
    EXPECT_EQ(records().length(), 5) << "the document in both sources is one record";
    const QDate yesterday = QDate::currentDate().addDays(-1);
    const XmlNodeList chosen = store.getRecentFilesBetween(yesterday, yesterday);
    EXPECT_EQ(chosen.length(), 3);

    answer = Answer::Cancel;
    store.deleteRecentRecords(chosen, "昨天所有的文件记录");
    EXPECT_EQ(asked, QStringList{"昨天所有的文件记录"});
    EXPECT_TRUE(QFile::exists(y1) && QFile::exists(y2) && QFile::exists(same));

    answer = Answer::Yes;
    store.deleteRecentRecords(chosen, "昨天所有的文件记录");
    EXPECT_FALSE(QFile::exists(y1));
    EXPECT_FALSE(QFile::exists(y2));
    EXPECT_FALSE(QFile::exists(same));
    EXPECT_TRUE(QFile::exists(t1));
    EXPECT_TRUE(QFile::exists(document));
    // Whatever a caller passes, a path that is no entry of a source is refused.
    EXPECT_THROW(store.removeRecord(document, true), QvError);
    EXPECT_THROW(store.removeRecord(folders.recent + "/../yesterday.doc", true), QvError);
    EXPECT_TRUE(QFile::exists(document));
    store.scanRecentFolder();
    EXPECT_EQ(column(records(), "filename"), QStringList({"today.txt", "t1.doc"}));
}

// Icons: one cache row and one registered icon per extension or folder path; the types list
// holds the extensions only, in the order they were first seen.
TEST_F(RecentFileTest, IconCacheHasOneRowPerTypeOrFolder) {
    const int before = icons.count();
    const int doc = store.getFileIconId("doc", "/a/x.doc");
    EXPECT_EQ(store.getFileIconId("doc", "/b/y.doc"), doc);
    const int folder = store.getFileIconId("", "/home/u/Work");
    const int pdf = store.getFileIconId("pdf", "/a/z.pdf");
    EXPECT_EQ(store.getFileIconId("", "/home/u/Work"), folder);
    EXPECT_NE(store.getFileIconId("", "/home/u/Other"), folder);
    EXPECT_EQ(icons.count(), before + 4);
    EXPECT_TRUE(icons.contains(doc) && icons.contains(folder) && icons.contains(pdf));

    const XmlNodeList types = store.getRecentFileTypes();
    EXPECT_EQ(column(types, "ext"), QStringList({"doc", "pdf"}));
    EXPECT_EQ(column(types, "iconid"), QStringList({QString::number(doc), QString::number(pdf)}));
    EXPECT_TRUE(store.IconCache().Exists("filelink", "/home/u/Work"));
    EXPECT_EQ(store.IconCache().GetAttribute("isfolder"), "true");
}

namespace {

// Every record with every attribute, in list order.
QStringList rows(const XmlNodeList& records) {
    QStringList out;
    for (const XmlNode& r : records) {
        QStringList fields;
        for (const QString& name : r.attributeNames())
            fields << name + '=' + r.getAttribute(name);
        out << fields.join('|');
    }
    return out;
}

// The list sorted by XSLT: newest first by the time text, equal times in document order.
QStringList sortedByStylesheet(const XmlNode& list) {
    XmlDocument source;
    EXPECT_TRUE(source.loadXMLUtf8(list.xml().toUtf8()));
    XmlDocument sheet;
    EXPECT_TRUE(
        sheet.loadXMLUtf8(R"(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:template match="/"><recentfile><xsl:for-each select="//rf">
    <xsl:sort select="@lastwritetime" order="descending"/><xsl:copy-of select="."/>
  </xsl:for-each></recentfile></xsl:template></xsl:stylesheet>)"));
    XmlDocument sorted;
    source.transformNodeToObject(sheet, sorted);
    return rows(sorted.documentElement().childElements());
}

} // namespace

// A scan after a change renews only what changed, yet gives exactly the list and answers a
// fresh store gives: the XSLT order with ties in the sources' order, the counts the XPath
// queries give, the template filter and the same document in two sources as one record.
TEST_F(RecentFileTest, ScansAfterChangesGiveWhatAFreshScanGives) {
    const char* exts[] = {"doc", "xlsx", "pptx", "pdf", "png", "dotm", "txt", "", "et", "JPEG"};
    for (int i = 0; i < 30; ++i) {
        const QString ext = QString::fromLatin1(exts[i % std::size(exts)]);
        const QString target =
            ext.isEmpty() ? QString("C:\\f%1\\").arg(i) : QString("C:\\d\\n%1.%2").arg(i).arg(ext);
        // Groups of three share a time: their order comes from the names.
        folders.lnk(QString("s%1.lnk").arg(i, 2, 10, QChar('0')), target, RecentTestFolders::at(-(i / 3), 10),
                    ext.isEmpty());
    }
    const QString shared = folders.dir.path() + "/shared.doc";
    folders.lnk("shared.lnk", shared, RecentTestFolders::at(-1, 9));
    folders.addXbel(shared, RecentTestFolders::at(-1, 11));
    folders.addXbel("/home/u/list.odp", RecentTestFolders::at(0, 8));

    const auto sameAsFresh = [this](const QString& step) {
        store.scanRecentFolder();
        clsRecentFile fresh;
        fresh.SetSources(folders.sources());
        fresh.scanRecentFolder();
        const XmlNode list = store.RecentFileList();
        EXPECT_EQ(rows(list.selectNodes("rf")), rows(fresh.RecentFileList().selectNodes("rf")))
            << step.toStdString();
        EXPECT_EQ(rows(list.selectNodes("rf")), sortedByStylesheet(list)) << step.toStdString();
        const QString files = "rf[@fileext!='dotm' and @fileext!='']";
        const auto since = [&](int days) {
            const qint32 start =
                clsRecentFile::TimeSerial(QDateTime(QDate::currentDate().addDays(-days), QTime(0, 0)));
            return files + QString("[@timeserial>%1]").arg(start);
        };
        const std::pair<XmlNodeList, QString> asked[] = {
            {store.getRecentFilesTop(10), files + "[position()<=10]"},
            {store.getRecentFilesSince(1), since(1)},
            {store.getRecentFilesSince(7), since(7)},
            {store.getRecentFilesAll(), files},
            {store.getRecentWordFiles(), "rf[@fileext='docx' or @fileext='doc' or @fileext='txt' or "
                                         "@fileext='rtf' or @fileext='wps']"},
            {store.getRecentSheetFiles(), "rf[@fileext='xls' or @fileext='xlsx' or @fileext='et']"},
            {store.getRecentSlideFiles(), "rf[@fileext='ppt' or @fileext='pptx' or @fileext='pps' or "
                                          "@fileext='ppsx' or @fileext='dps' or @fileext='odp']"},
            {store.getRecentPdfFiles(), "rf[@fileext='pdf' or @fileext='xps']"},
            {store.getRecentImageFiles(),
             "rf[@fileext='bmp' or @fileext='jpg' or @fileext='gif' or @fileext='tif' or @fileext='tiff' or "
             "@fileext='png' or @fileext='eps' or @fileext='jpeg' or @fileext='psd' or @fileext='rle' or "
             "@fileext='dib' or @fileext='raw' or @fileext='pcx']"},
            {store.getRecentFolders(), "rf[@fileext='']"},
        };
        for (const auto& [answer, xpath] : asked)
            EXPECT_EQ(rows(answer), rows(list.selectNodes(xpath)))
                << step.toStdString() << ": " << xpath.toStdString();
        return rows(list.selectNodes("rf"));
    };

    const QStringList initial = sameAsFresh("first scan");
    EXPECT_EQ(initial.size(), 32);
    EXPECT_TRUE(initial.at(0).contains("/s00.lnk") && initial.at(3).contains("list.odp")) << "ties by name";
    EXPECT_EQ(store.getRecentFilesAll().length(), 32 - 3 - 3); // no folders, no templates
    EXPECT_EQ(store.getRecentSlideFiles().length(), 4);

    // One document used again goes to the top; the others keep their elements.
    const XmlNode untouched = store.RecentFileList().selectSingleNode("rf[@filename='n29.xlsx']");
    folders.lnk("s04.lnk", "C:\\d\\n4.pdf", RecentTestFolders::at(0, 13));
    QStringList now = sameAsFresh("one used again");
    EXPECT_TRUE(now.at(0).contains("n4.pdf"));
    EXPECT_EQ(store.RecentFileList().selectSingleNode("rf[@filename='n29.xlsx']"), untouched);

    // A new document, one moved into a tie, one target changed, one shortcut gone, and the
    // shared document used later through its shortcut than through the list.
    folders.lnk("new.lnk", "C:\\d\\new.docx", RecentTestFolders::at(0, 14));
    folders.lnk("s20.lnk", "C:\\d\\n20.pptx", RecentTestFolders::at(-2, 10));
    folders.lnk("s11.lnk", "C:\\d\\renamed.xls", RecentTestFolders::at(-3, 10));
    QFile::remove(folders.recent + "/s07.lnk");
    folders.lnk("shared.lnk", shared, RecentTestFolders::at(-1, 12));
    now = sameAsFresh("several changes");
    EXPECT_EQ(now.size(), 32);
    EXPECT_TRUE(now.at(0).contains("new.docx"));
    EXPECT_FALSE(now.join('\n').contains("n7.txt"));

    // Many single changes in a row: the list stays right when the store starts a fresh document.
    for (int i = 0; i < 40; ++i) {
        folders.lnk(QString("s%1.lnk").arg(i % 30, 2, 10, QChar('0')), QString("C:\\d\\again%1.doc").arg(i),
                    RecentTestFolders::at(0, 0, i, 1));
        sameAsFresh(QString("change %1").arg(i));
    }
    EXPECT_EQ(store.getRecentWordFiles().length(), 32); // 30 rewritten, the shared one, new.docx
}
