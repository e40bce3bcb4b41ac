#include "controls/TaskDialog.h"
#include "core/QvIds.h"
#include "core/clsData.h"
#include "core/clsUserData.h"
#include "core/modDataFile.h"
#include "core/modInitial.h"
#include "web/clsActStatus.h"
#include "web/clsRecentClosedPages.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <optional>

#include "common/TestSupport.h"

static void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace {

// Reads the script data back the way a script engine reads it: the fixed frame around string
// literals in arrays of seven. Only the escapes a literal may hold are understood; anything else
// (a raw line break, a stray quote, an unknown escape) fails the reading.
std::optional<QList<QStringList>> readWebData(const QString& body) {
    const QString head = QStringLiteral("var ILData=new Array(");
    const QString tail = QStringLiteral(");return ILData;");
    if (!body.startsWith(head) || !body.endsWith(tail))
        return std::nullopt;
    const QString list = body.mid(head.size(), body.size() - head.size() - tail.size());
    QList<QStringList> records;
    qsizetype i = 0;
    auto literal = [&]() -> std::optional<QString> {
        if (i >= list.size() || list[i] != '"')
            return std::nullopt;
        QString value;
        for (++i; i < list.size(); ++i) {
            const QChar c = list[i];
            if (c == '"') {
                ++i;
                return value;
            }
            if (c == '\n' || c == '\r' || c == QChar(0x2028) || c == QChar(0x2029))
                return std::nullopt;
            if (c != '\\') {
                value += c;
                continue;
            }
            if (++i >= list.size())
                return std::nullopt;
            switch (list[i].unicode()) {
            case '\\':
            case '"':
            case '\'':
                value += list[i];
                break;
            case 'n':
                value += '\n';
                break;
            case 'r':
                value += '\r';
                break;
            case 't':
                value += '\t';
                break;
            case 'u': {
                bool ok = false;
                const ushort code = list.mid(i + 1, 4).toUShort(&ok, 16);
                if (!ok || i + 4 >= list.size())
                    return std::nullopt;
                value += QChar(code);
                i += 4;
                break;
            }
            default:
                return std::nullopt;
            }
        }
        return std::nullopt;
    };
    while (i < list.size()) {
        if (!records.isEmpty()) {
            if (list[i] != ',')
                return std::nullopt;
            ++i;
        }
        if (list.mid(i, 10) != QLatin1String("new Array("))
            return std::nullopt;
        i += 10;
        QStringList values;
        for (int v = 0; v < 7; ++v) {
            if (v > 0) {
                if (i >= list.size() || list[i] != ',')
                    return std::nullopt;
                ++i;
            }
            const std::optional<QString> value = literal();
            if (!value)
                return std::nullopt;
            values << *value;
        }
        if (i >= list.size() || list[i] != ')')
            return std::nullopt;
        ++i;
        records << values;
    }
    return records;
}

// The recently closed pages of a user data store over a program folder of its own, with the
// confirmations answered by the test.
class RecentClosedTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        modInitial::SetAppPath(dir.path());
        QDir(dir.path()).mkpath("Data");
        QDir(dir.path()).mkpath("Cache");
        modDataFile::WriteEncryptedFile(dir.filePath("Data/User.dat"), clsUserData::InitialDocument());
        modInitial::gData = new clsData;
        pages = ActStatusOf(modInitial::gData->UserData())->RecentlyClosedPages();
        TaskDialog::SetAnswerer([this](const TaskDialog& dialog) -> std::optional<int> {
            questions << dialog.MainInstructionText;
            return answer;
        });
    }
    void TearDown() override {
        TaskDialog::SetAnswerer({});
        delete modInitial::gData;
        modInitial::gData = nullptr;
    }

    QString thumbnail(const QString& key) {
        const QString path = dir.filePath("Cache/" + key + ".bmp");
        qvtest::writeFile(path, "BM" + key.toUtf8());
        return path;
    }
    // A closed page whose key and thumbnail come from `key`.
    void add(const QString& key, const QString& url, const QString& caption = QStringLiteral("标题")) {
        pages->Add(QDateTime(QDate(2026, 12, 6), QTime(9, 21, 55)), url, caption, QString(), thumbnail(key),
                   "77", key);
    }
    QStringList keys() const {
        QStringList list;
        for (const XmlNode& r : pages->XMLNode.childElements())
            list << r.getAttribute("rindex");
        return list;
    }
    // The keys of the list as the user data file holds it.
    QStringList savedKeys() const {
        XmlDocument doc;
        EXPECT_TRUE(doc.loadXML(modDataFile::ReadEncryptedFile(dir.filePath("Data/User.dat"))));
        QStringList list;
        for (const XmlNode& r : doc.selectNodes("data/actstatus/RecentlyClosedPages/rcp"))
            list << r.getAttribute("rindex");
        return list;
    }

    QTemporaryDir dir;
    clsRecentClosedPages* pages = nullptr;
    QStringList questions;
    int answer = Answer::Yes;
};

// --- Adding ---

TEST_F(RecentClosedTest, ARecordHoldsThePageNewestFirst) {
    QSignalSpy changed(pages, &clsRecentClosedPages::Changed);
    add("1001", "http://a/", "第一");
    add("1002", "http://b/", "第二");
    EXPECT_EQ(changed.count(), 2);
    EXPECT_EQ(keys(), (QStringList{"1002", "1001"}));

    const XmlNode newest = pages->XMLNode.childElements().item(0);
    EXPECT_EQ(newest.attributeNames(),
              (QStringList{"vtime", "url", "caption", "tips", "ThumbnailName", "frmhwnd", "rindex"}));
    EXPECT_EQ(newest.getAttribute("vtime"), "2026-12-06 09:21:55");
    EXPECT_EQ(newest.getAttribute("url"), "http://b/");
    EXPECT_EQ(newest.getAttribute("caption"), "第二");
    EXPECT_EQ(newest.getAttribute("ThumbnailName"), dir.filePath("Cache/1002.bmp"));
    EXPECT_EQ(newest.getAttribute("frmhwnd"), "") << "the window handle is not kept";
    EXPECT_TRUE(questions.isEmpty());
}

TEST_F(RecentClosedTest, TheSameAddressIsListedOnceAtItsNewestClosing) {
    add("1001", "http://a/");
    add("1002", "http://b/");
    add("1003", "http://a/");
    EXPECT_EQ(keys(), (QStringList{"1003", "1002"}));
    EXPECT_FALSE(QFile::exists(dir.filePath("Cache/1001.bmp")));
    EXPECT_TRUE(QFile::exists(dir.filePath("Cache/1003.bmp")));
    EXPECT_EQ(savedKeys(), QStringList{"1002"}) << "the removal saved the list";
    EXPECT_TRUE(questions.isEmpty());
}

TEST_F(RecentClosedTest, AThumbnailStillInUseIsNotDeleted) {
    add("1001", "http://a/");
    add("1001", "http://a/");
    EXPECT_EQ(keys(), QStringList{"1001"});
    EXPECT_TRUE(QFile::exists(dir.filePath("Cache/1001.bmp")));
}

TEST_F(RecentClosedTest, TheThirtyFirstRecordDropsTheOldest) {
    for (int i = 1; i <= 30; ++i)
        add(QString::number(1000 + i), QStringLiteral("http://site/%1").arg(i));
    ASSERT_EQ(keys().size(), 30);
    add("1031", "http://site/31");
    EXPECT_EQ(keys().size(), 30);
    EXPECT_EQ(keys().first(), "1031");
    EXPECT_EQ(keys().last(), "1002");
    EXPECT_FALSE(QFile::exists(dir.filePath("Cache/1001.bmp")));
    EXPECT_TRUE(QFile::exists(dir.filePath("Cache/1002.bmp")));
    EXPECT_EQ(savedKeys(), keys()) << "saved by the removal";
}

TEST_F(RecentClosedTest, AnOverfullStoredListIsCutToThirty) {
    for (int i = 1; i <= 32; ++i) {
        XmlNode r = pages->XMLNode.ownerDocument().createElement("rcp");
        r.setAttribute("url", QStringLiteral("http://old/%1").arg(i));
        r.setAttribute("ThumbnailName", thumbnail(QString::number(i)));
        r.setAttribute("rindex", QString::number(i));
        pages->XMLNode.appendChild(r);
    }
    add("1033", "http://new/");
    EXPECT_EQ(keys().size(), 30);
    EXPECT_EQ(keys().last(), "29");
    EXPECT_FALSE(QFile::exists(dir.filePath("Cache/30.bmp")));
    EXPECT_FALSE(QFile::exists(dir.filePath("Cache/32.bmp")));
}

TEST_F(RecentClosedTest, AnAddressWithQuotesIsRecordedLikeAnyOther) {
    const QString url = QStringLiteral("http://a/it's?q=\"x\"");
    add("1001", url);
    add("1002", url);
    EXPECT_EQ(keys(), QStringList{"1002"});
    EXPECT_FALSE(QFile::exists(dir.filePath("Cache/1001.bmp")));

    add("it's", "http://b/");
    EXPECT_TRUE(pages->Remove("it's", true));
    EXPECT_EQ(keys(), QStringList{"1002"});
}

// --- Removing ---

TEST_F(RecentClosedTest, RemoveAsksAndTakesRecordAndThumbnail) {
    add("1001", "http://a/");
    add("1002", "http://b/");
    QSignalSpy changed(pages, &clsRecentClosedPages::Changed);

    EXPECT_TRUE(pages->Remove("1001", false));
    EXPECT_EQ(questions, QStringList{"删除这个页面记录"});
    EXPECT_EQ(keys(), QStringList{"1002"});
    EXPECT_FALSE(QFile::exists(dir.filePath("Cache/1001.bmp")));
    EXPECT_EQ(savedKeys(), QStringList{"1002"});
    EXPECT_EQ(changed.count(), 1);
}

TEST_F(RecentClosedTest, RemoveCancelledChangesNothing) {
    add("1001", "http://a/");
    const QByteArray file = qvtest::readFile(dir.filePath("Data/User.dat"));
    QSignalSpy changed(pages, &clsRecentClosedPages::Changed);
    answer = Answer::Cancel;

    EXPECT_FALSE(pages->Remove("1001", false));
    EXPECT_EQ(questions.size(), 1);
    EXPECT_EQ(keys(), QStringList{"1001"});
    EXPECT_TRUE(QFile::exists(dir.filePath("Cache/1001.bmp")));
    EXPECT_EQ(qvtest::readFile(dir.filePath("Data/User.dat")), file);
    EXPECT_EQ(changed.count(), 0);
}

TEST_F(RecentClosedTest, RemoveOfAnUnknownKeyFindsNothing) {
    add("1001", "http://a/");
    QSignalSpy changed(pages, &clsRecentClosedPages::Changed);
    EXPECT_FALSE(pages->Remove("9999", true));
    EXPECT_FALSE(pages->Remove("1001' or '1'='1", true));
    EXPECT_EQ(keys(), QStringList{"1001"});
    EXPECT_EQ(changed.count(), 0);
}

TEST_F(RecentClosedTest, AMissingThumbnailDoesNotKeepTheRecord) {
    add("1001", "http://a/");
    add("1002", "http://b/");
    ASSERT_TRUE(QFile::remove(dir.filePath("Cache/1001.bmp")));
    QSignalSpy changed(pages, &clsRecentClosedPages::Changed);

    EXPECT_TRUE(pages->Remove("1001", true));
    EXPECT_EQ(keys(), QStringList{"1002"});
    EXPECT_EQ(savedKeys(), QStringList{"1002"});
    EXPECT_EQ(changed.count(), 1);
}

TEST_F(RecentClosedTest, ARemovalThatCannotBeSavedKeepsTheRecord) {
    add("1001", "http://a/");
    add("1002", "http://b/");
    ASSERT_TRUE(QDir(dir.filePath("Data")).removeRecursively());
    QSignalSpy changed(pages, &clsRecentClosedPages::Changed);

    EXPECT_FALSE(pages->Remove("1001", true));
    EXPECT_EQ(keys(), (QStringList{"1002", "1001"})) << "back in its place";
    EXPECT_TRUE(QFile::exists(dir.filePath("Cache/1001.bmp")));
    EXPECT_FALSE(pages->RemoveAll());
    EXPECT_EQ(keys(), (QStringList{"1002", "1001"}));
    EXPECT_TRUE(QFile::exists(dir.filePath("Cache/1002.bmp")));
    EXPECT_EQ(changed.count(), 0);
}

TEST_F(RecentClosedTest, AStoreWithoutFileStillRemoves) {
    modInitial::gData->UseInitialUserData();
    pages = ActStatusOf(modInitial::gData->UserData())->RecentlyClosedPages();
    add("1001", "http://a/");
    EXPECT_TRUE(pages->Remove("1001", true));
    EXPECT_TRUE(keys().isEmpty());
    EXPECT_FALSE(QFile::exists(dir.filePath("Cache/1001.bmp")));
}

TEST_F(RecentClosedTest, RemoveAllClearsSavesAndDeletesThumbnails) {
    add("1001", "http://a/");
    add("1002", "http://b/");
    add("1003", "http://c/");
    ASSERT_TRUE(QFile::remove(dir.filePath("Cache/1002.bmp")));
    QSignalSpy changed(pages, &clsRecentClosedPages::Changed);

    EXPECT_TRUE(pages->RemoveAll());
    EXPECT_EQ(questions, QStringList{"删除这个页面记录"});
    EXPECT_TRUE(keys().isEmpty());
    EXPECT_FALSE(QFile::exists(dir.filePath("Cache/1001.bmp")));
    EXPECT_FALSE(QFile::exists(dir.filePath("Cache/1003.bmp")));
    EXPECT_TRUE(savedKeys().isEmpty());
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(pages->GetWebData(), "var ILData=new Array();return ILData;");
}

TEST_F(RecentClosedTest, RemoveAllCancelledChangesNothing) {
    add("1001", "http://a/");
    QSignalSpy changed(pages, &clsRecentClosedPages::Changed);
    answer = Answer::Cancel;
    EXPECT_FALSE(pages->RemoveAll());
    EXPECT_EQ(keys(), QStringList{"1001"});
    EXPECT_TRUE(QFile::exists(dir.filePath("Cache/1001.bmp")));
    EXPECT_EQ(changed.count(), 0);
}

TEST_F(RecentClosedTest, TheListSurvivesARestart) {
    add("1001", "http://a/");
    add("1002", "http://b/");
    add("1003", "http://c/");
    ASSERT_TRUE(pages->Remove("1002", true));

    modInitial::gData->ReloadUserData();
    clsRecentClosedPages* reloaded = ActStatusOf(modInitial::gData->UserData())->RecentlyClosedPages();
    const std::optional<QList<QStringList>> list = readWebData(reloaded->GetWebData());
    ASSERT_TRUE(list);
    ASSERT_EQ(list->size(), 2);
    EXPECT_EQ(list->at(0).at(6), "1003");
    EXPECT_EQ(list->at(0).at(1), "http://c/");
    EXPECT_EQ(list->at(1).at(6), "1001");
}

// --- Script data ---

TEST_F(RecentClosedTest, AnEmptyListIsAnEmptyArray) {
    EXPECT_EQ(pages->GetWebData(), "var ILData=new Array();return ILData;");
}

TEST_F(RecentClosedTest, EachRecordIsAnArrayOfSevenStrings) {
    pages->Add(QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)), "http://a/", "A", "tip", "/c/1.bmp", "5", "k1");
    pages->Add(QDateTime(QDate(2026, 1, 2), QTime(3, 4, 6)), "http://b/", "B", "", "/c/2.bmp", "6", "k2");
    EXPECT_EQ(pages->GetWebData(),
              "var ILData=new Array("
              "new Array(\"2026-01-02 03:04:06\",\"http://b/\",\"B\",\"\",\"/c/2.bmp\",\"\",\"k2\"),"
              "new Array(\"2026-01-02 03:04:05\",\"http://a/\",\"A\",\"tip\",\"/c/1.bmp\",\"\",\"k1\")"
              ");return ILData;");
}

TEST_F(RecentClosedTest, HostileValuesStayPlainStrings) {
    const QString caption = QStringLiteral("a \"quoted\" 'title'\\ </script><script>alert(1)</script>");
    const QString url = QStringLiteral("http://x/\"),alert(1),(\"\nline\r") + QChar(0x2028) + QChar(0x2029) +
                        QStringLiteral("\tend");
    const QString path = QStringLiteral("C:\\Cache\\1.bmp");
    pages->Add(QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)), url, caption, "", path, "", "k\"1");

    const QString body = pages->GetWebData();
    EXPECT_FALSE(body.contains('<'));
    EXPECT_FALSE(body.contains('\n'));
    EXPECT_FALSE(body.contains(QChar(0x2028)));
    EXPECT_TRUE(body.contains(QStringLiteral("\\u003C/script\\u003E")));
    EXPECT_TRUE(body.contains(QStringLiteral("\"C:\\\\Cache\\\\1.bmp\"")));
    EXPECT_EQ(body.count(QStringLiteral("new Array(")), 2);

    const std::optional<QList<QStringList>> list = readWebData(body);
    ASSERT_TRUE(list) << body.toStdString();
    ASSERT_EQ(list->size(), 1);
    EXPECT_EQ(list->first(), (QStringList{"2026-01-02 03:04:05", url, caption, "", path, "", "k\"1"}));
}

TEST_F(RecentClosedTest, CharactersTheFileCannotHoldAreLeftOut) {
    const QString title = QStringLiteral("a") + QChar(0x01) + QChar(0xFFFF) + QStringLiteral("b\tc");
    add("1001", "http://x/" + title, title);
    add("1002", "http://x/" + title, title);
    ASSERT_EQ(keys(), QStringList{"1002"}) << "the address is found again";
    add("1003", "http://y/");
    ASSERT_TRUE(pages->Remove("1003", true));

    // The removal saved the list with the odd title in it; the file must load again.
    modInitial::gData->ReloadUserData();
    ASSERT_TRUE(modInitial::gData->UserData()->LoadError().isEmpty())
        << modInitial::gData->UserData()->LoadError().toStdString();
    EXPECT_EQ(savedKeys(), QStringList{"1002"});
    pages = ActStatusOf(modInitial::gData->UserData())->RecentlyClosedPages();
    const XmlNode record = pages->XMLNode.childElements().item(0);
    EXPECT_EQ(record.getAttribute("url"), "http://x/ab\tc");
    EXPECT_EQ(record.getAttribute("caption"), "ab\tc");
}

TEST_F(RecentClosedTest, ScriptLiteralsEscapeEverythingThatEndsThem) {
    EXPECT_EQ(clsRecentClosedPages::ScriptLiteral("a\"b\\c'd"), "\"a\\\"b\\\\c\\'d\"");
    EXPECT_EQ(clsRecentClosedPages::ScriptLiteral(QStringLiteral("<\n\r") + QChar(0x2028) + QChar(0x1F)),
              "\"\\u003C\\n\\r\\u2028\\u001F\"");
    EXPECT_EQ(clsRecentClosedPages::ScriptLiteral("汉字 &"), "\"汉字 &\"");
}

} // namespace
