#include "platform/AnsiCodec.h"
#include "platform/RegistryView.h"

#include "ScopedEnv.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>

namespace {

QByteArray utf16(const QString& text) {
    return QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

QByteArray utf16File(const QString& text) {
    return QByteArray("\xff\xfe") + utf16(text);
}

// Bytes as the registry editor lists them: "61,00,62,00".
QString hexList(const QByteArray& bytes) {
    QStringList parts;
    for (char b : bytes)
        parts << QString::asprintf("%02x", static_cast<uchar>(b));
    return parts.join(',');
}

QString textOf(const RegistryValue& v) {
    QString s = QString::fromUtf16(reinterpret_cast<const char16_t*>(v.data.constData()), v.data.size() / 2);
    return s.left(s.indexOf(QChar(0)));
}

QStringList namesOf(const QList<RegistryValue>& values) {
    QStringList names;
    for (const RegistryValue& v : values)
        names << v.name;
    return names;
}

void writeExecutable(const QString& path) {
    qvtest::writeFile(path, "#!/bin/sh\n");
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner | QFileDevice::ExeUser);
}

class RegistryViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        hklm = dir.path() + "/HKEY_LOCAL_MACHINE.reg";
        hkcu = dir.path() + "/HKEY_CURRENT_USER.reg";
        typed = dir.path() + "/TypedURLs.txt";
        view().setRegistryFile(HKEY_LOCAL_MACHINE, hklm);
        view().setRegistryFile(HKEY_CURRENT_USER, hkcu);
        view().setTypedUrlsFile(typed);
    }
    void TearDown() override {
        view().setRegistryFile(HKEY_LOCAL_MACHINE, {});
        view().setRegistryFile(HKEY_CURRENT_USER, {});
        view().setTypedUrlsFile({});
    }
    static RegistryView& view() { return RegistryView::instance(); }
    std::optional<RegistryValue> hklmValue(const QString& key, const QString& name) {
        return view().value(HKEY_LOCAL_MACHINE, key, name);
    }

    QTemporaryDir dir;
    QString hklm;
    QString hkcu;
    QString typed;
};

const QString kTestKey = QStringLiteral("SOFTWARE\\Quorvel Test");

QString everyTypeExport() {
    QString reg = QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n"
                                 "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvel Test]\r\n"
                                 "@=\"default text\"\r\n"
                                 "\"Quoted\"=\"say \\\"hi\\\" in C:\\\\Temp\\\\\"\r\n"
                                 "\"Number\"=dword:0000002a\r\n"
                                 "\"Negative\"=dword:ffffffff\r\n"
                                 "\"Bytes\"=hex:01,02,ff\r\n");
    reg += "\"Expand\"=hex(2):" + hexList(utf16("%SystemRoot%\\x") + QByteArray(2, '\0')) + "\r\n";
    reg += QStringLiteral("\"Big\"=hex(5):01,02,03,04\r\n");
    reg += "\"List\"=hex(7):" +
           hexList(utf16(QStringLiteral("first")) + QByteArray(2, '\0') + utf16("second") +
                   QByteArray(4, '\0')) +
           "\r\n";
    reg +=
        QStringLiteral("\"Qword\"=hex(b):01,00,00,00,00,00,00,00\r\n"
                       "\"Long\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\r\n"
                       "  16,17,18,19,1a,1b,1c,1d,1e,1f,20\r\n"
                       "\"中文名\"=\"中文值\"\r\n"
                       "\r\n"
                       "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvel Test\\Empty]\r\n"
                       "\r\n"
                       "[HKEY_CURRENT_USER\\Software\\Quorvel Test]\r\n"
                       "\"Other\"=\"root\"\r\n");
    return reg;
}

// ---- The export format -----------------------------------------------------------------------

TEST_F(RegistryViewTest, Utf16ExportWithEveryValueType) {
    qvtest::writeFile(hklm, utf16File(everyTypeExport()));

    auto v = hklmValue(kTestKey, "");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->type, REG_SZ);
    EXPECT_EQ(v->data, RegistryView::textData("default text"));

    v = hklmValue(kTestKey, "Quoted");
    ASSERT_TRUE(v);
    EXPECT_EQ(textOf(*v), QStringLiteral("say \"hi\" in C:\\Temp\\"));

    v = hklmValue(kTestKey, "Number");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->type, REG_DWORD);
    EXPECT_EQ(v->data, QByteArray("\x2a\0\0\0", 4));

    v = hklmValue(kTestKey, "Negative");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->data, QByteArray("\xff\xff\xff\xff"));

    v = hklmValue(kTestKey, "Bytes");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->type, REG_BINARY);
    EXPECT_EQ(v->data, QByteArray("\x01\x02\xff"));

    v = hklmValue(kTestKey, "Expand");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->type, REG_EXPAND_SZ);
    EXPECT_EQ(textOf(*v), QStringLiteral("%SystemRoot%\\x"));

    v = hklmValue(kTestKey, "Big");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->type, REG_DWORD_BIG_ENDIAN);
    EXPECT_EQ(v->data, QByteArray("\x01\x02\x03\x04"));

    v = hklmValue(kTestKey, "List");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->type, REG_MULTI_SZ);
    EXPECT_EQ(v->data.size(), (5 + 1 + 6 + 2) * 2);

    v = hklmValue(kTestKey, "Qword");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->type, 11);
    EXPECT_EQ(v->data.size(), 8);

    v = hklmValue(kTestKey, QStringLiteral("中文名"));
    ASSERT_TRUE(v);
    EXPECT_EQ(textOf(*v), QStringLiteral("中文值"));
}

TEST_F(RegistryViewTest, ContinuedHexLinesMakeOneValue) {
    qvtest::writeFile(hklm, utf16File(everyTypeExport()));
    const auto v = hklmValue(kTestKey, "Long");
    ASSERT_TRUE(v);
    ASSERT_EQ(v->data.size(), 33);
    for (int i = 0; i < 33; ++i)
        EXPECT_EQ(static_cast<uchar>(v->data.at(i)), i);
    // The value after the continued one is still read.
    EXPECT_TRUE(hklmValue(kTestKey, QStringLiteral("中文名")));
}

TEST_F(RegistryViewTest, KeysAndValueNamesIgnoreCase) {
    qvtest::writeFile(hklm, utf16File(everyTypeExport()));
    const auto v = hklmValue("software\\QUORVEL TEST", "qUOTED");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->name, "Quoted");
    EXPECT_TRUE(hklmValue("\\Software\\quorvel test\\", "NUMBER"));
    EXPECT_FALSE(hklmValue("Software\\Quorvel", "Number"));
}

TEST_F(RegistryViewTest, ValuesAreListedInFileOrder) {
    qvtest::writeFile(hklm, utf16File(everyTypeExport()));
    const auto values = view().values(HKEY_LOCAL_MACHINE, kTestKey);
    ASSERT_TRUE(values);
    EXPECT_EQ(namesOf(*values), (QStringList{"", "Quoted", "Number", "Negative", "Bytes", "Expand", "Big",
                                             "List", "Qword", "Long", QStringLiteral("中文名")}));

    const auto empty = view().values(HKEY_LOCAL_MACHINE, kTestKey + "\\Empty");
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->isEmpty());
    EXPECT_FALSE(view().values(HKEY_LOCAL_MACHINE, kTestKey + "\\Missing"));
}

TEST_F(RegistryViewTest, SectionsOfTheOtherRootAreNotPartOfThisRoot) {
    qvtest::writeFile(hklm, utf16File(everyTypeExport()));
    EXPECT_FALSE(view().value(HKEY_CURRENT_USER, "Software\\Quorvel Test", "Other"));
    EXPECT_FALSE(hklmValue("Software\\Quorvel Test", "Other"));
}

TEST_F(RegistryViewTest, AnsiRegedit4File) {
    const QByteArray gbkText = AnsiCodec::fromUnicode(QStringLiteral("%TEMP%\\中"));
    QByteArray reg = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Old]\r\n";
    reg += AnsiCodec::fromUnicode(QStringLiteral("\"名字\"=\"旧格式\"\r\n"));
    reg += "\"Expand\"=hex(2):" + hexList(gbkText + '\0').toLatin1() + "\r\n";
    reg += "\"Number\"=dword:00000010\r\n";
    qvtest::writeFile(hkcu, reg);

    auto v = view().value(HKEY_CURRENT_USER, "Software\\Old", QStringLiteral("名字"));
    ASSERT_TRUE(v);
    EXPECT_EQ(textOf(*v), QStringLiteral("旧格式"));
    // The old format's hex texts are ANSI; the view keeps every text as the registry does.
    v = view().value(HKEY_CURRENT_USER, "Software\\Old", "Expand");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->type, REG_EXPAND_SZ);
    EXPECT_EQ(v->data, RegistryView::textData(QStringLiteral("%TEMP%\\中")));
    v = view().value(HKEY_CURRENT_USER, "Software\\Old", "Number");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->data, QByteArray("\x10\0\0\0", 4));
}

TEST_F(RegistryViewTest, Utf8FileWithoutByteOrderMark) {
    qvtest::writeFile(hklm, QStringLiteral("Windows Registry Editor Version 5.00\n\n"
                                           "[HKEY_LOCAL_MACHINE\\Software\\U8]\n"
                                           "\"a\"=\"汉字\"\n")
                                .toUtf8());
    const auto v = hklmValue("Software\\U8", "a");
    ASSERT_TRUE(v);
    EXPECT_EQ(textOf(*v), QStringLiteral("汉字"));
}

TEST_F(RegistryViewTest, FileWithoutTheEditorsHeaderIsNotRead) {
    qvtest::writeFile(hklm, "[HKEY_LOCAL_MACHINE\\Software\\NoHeader]\n\"a\"=\"b\"\n");
    EXPECT_FALSE(hklmValue("Software\\NoHeader", "a"));
}

TEST_F(RegistryViewTest, RepeatedKeysMergeAndRemovalsApply) {
    qvtest::writeFile(hklm, "Windows Registry Editor Version 5.00\n\n"
                            "[HKEY_LOCAL_MACHINE\\Software\\M]\n"
                            "\"keep\"=\"1\"\n"
                            "\"replace\"=\"old\"\n"
                            "\"drop\"=\"x\"\n"
                            "; a comment line\n"
                            "[-HKEY_LOCAL_MACHINE\\Software\\Gone]\n"
                            "\"ghost\"=\"y\"\n"
                            "[HKEY_LOCAL_MACHINE\\software\\m]\n"
                            "\"REPLACE\"=\"new\"\n"
                            "\"drop\"=-\n"
                            "\"bad\"=dword:xyz\n"
                            "garbage line\n"
                            "\"after\"=\"still read\"\n");
    const auto values = view().values(HKEY_LOCAL_MACHINE, "Software\\M");
    ASSERT_TRUE(values);
    EXPECT_EQ(namesOf(*values), (QStringList{"keep", "REPLACE", "after"}));
    EXPECT_EQ(textOf(*hklmValue("Software\\M", "replace")), "new");
    EXPECT_FALSE(hklmValue("Software\\Gone", "ghost"));
}

TEST_F(RegistryViewTest, ChangedFileIsReadAgain) {
    qvtest::writeFile(hklm, "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\C]\n\"v\"=\"one\"\n");
    EXPECT_EQ(textOf(*hklmValue("Software\\C", "v")), "one");
    qvtest::writeFile(hklm, "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\C]\n\"v\"=\"second\"\n");
    EXPECT_EQ(textOf(*hklmValue("Software\\C", "v")), "second");
    QFile::remove(hklm);
    EXPECT_FALSE(hklmValue("Software\\C", "v"));
}

// ---- Facts from the desktop ------------------------------------------------------------------

const QString kAppPaths = QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\");

TEST_F(RegistryViewTest, AppPathsOfAProgramOnPath) {
    for (const QString& name : {QStringLiteral("sh.exe"), QStringLiteral("SH.EXE"), QStringLiteral("sh")}) {
        const auto program = hklmValue(kAppPaths + name, "");
        ASSERT_TRUE(program) << name.toStdString();
        EXPECT_EQ(program->type, REG_SZ);
        const QString path = textOf(*program);
        EXPECT_TRUE(path == "/usr/bin/sh" || path == "/bin/sh") << path.toStdString();
        const auto folder = hklmValue(kAppPaths + name, "path");
        ASSERT_TRUE(folder);
        EXPECT_EQ(textOf(*folder), QFileInfo(path).absolutePath() + "/");
    }
}

TEST_F(RegistryViewTest, AppPathsFollowsPath) {
    writeExecutable(dir.path() + "/qvtool");
    ScopedEnv path("PATH", dir.path().toUtf8() + ":" + qgetenv("PATH"));
    const auto values = view().values(HKEY_LOCAL_MACHINE, kAppPaths + "QVTOOL.exe");
    ASSERT_TRUE(values);
    ASSERT_EQ(values->size(), 2);
    EXPECT_EQ(values->at(0).name, "");
    EXPECT_EQ(textOf(values->at(0)), dir.path() + "/qvtool");
    EXPECT_EQ(values->at(1).name, "Path");
    EXPECT_EQ(textOf(values->at(1)), dir.path() + "/");
}

TEST_F(RegistryViewTest, AppPathsOfAMissingProgramIsAbsent) {
    EXPECT_FALSE(hklmValue(kAppPaths + "no-such-program-qv.exe", ""));
    EXPECT_FALSE(view().values(HKEY_LOCAL_MACHINE, kAppPaths + "no-such-program-qv.exe"));
    EXPECT_FALSE(hklmValue(kAppPaths + "sh.exe\\deeper", ""));
    // App Paths lives under the local machine only.
    EXPECT_FALSE(view().value(HKEY_CURRENT_USER, kAppPaths + "sh.exe", ""));
}

TEST_F(RegistryViewTest, FileValuesComeBeforeFacts) {
    qvtest::writeFile(
        hklm, "Windows Registry Editor Version 5.00\n\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\sh.exe]\n"
              "@=\"/opt/custom/sh\"\n"
              "\"Extra\"=\"from file\"\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Internet Explorer]\n"
              "\"Version\"=\"8.0.6001.18702\"\n");
    EXPECT_EQ(textOf(*hklmValue(kAppPaths + "SH.exe", "")), "/opt/custom/sh");
    // What the file does not say, the desktop still answers.
    const auto folder = hklmValue(kAppPaths + "sh.exe", "Path");
    ASSERT_TRUE(folder);
    EXPECT_TRUE(textOf(*folder) == "/usr/bin/" || textOf(*folder) == "/bin/");
    EXPECT_EQ(namesOf(*view().values(HKEY_LOCAL_MACHINE, kAppPaths + "sh.exe")),
              (QStringList{"", "Extra", "Path"}));
    EXPECT_EQ(textOf(*hklmValue("Software\\Microsoft\\Internet Explorer", "version")), "8.0.6001.18702");
}

TEST_F(RegistryViewTest, BrowserVersionIsTheEnginesVersion) {
    const auto v = hklmValue("SOFTWARE\\Microsoft\\Internet Explorer", "Version");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->type, REG_SZ);
    EXPECT_TRUE(QRegularExpression("^\\d+\\.\\d+").match(textOf(*v)).hasMatch()) << textOf(*v).toStdString();
    EXPECT_FALSE(hklmValue("SOFTWARE\\Microsoft\\Internet Explorer", "Build"));
}

class DefaultBrowserTest : public RegistryViewTest {
protected:
    void SetUp() override {
        RegistryViewTest::SetUp();
        for (const char* sub : {"config", "configdirs", "data/applications", "datadirs", "bin"})
            QDir().mkpath(dir.path() + "/" + sub);
        envs.emplace_back("XDG_CONFIG_HOME", (dir.path() + "/config").toUtf8());
        envs.emplace_back("XDG_CONFIG_DIRS", (dir.path() + "/configdirs").toUtf8());
        envs.emplace_back("XDG_DATA_HOME", (dir.path() + "/data").toUtf8());
        envs.emplace_back("XDG_DATA_DIRS", (dir.path() + "/datadirs").toUtf8());
        envs.emplace_back("XDG_CURRENT_DESKTOP", "QVTEST");
        // Only the test's own programs: no xdg-settings, no installed browsers.
        envs.emplace_back("PATH", (dir.path() + "/bin").toUtf8());
    }
    void TearDown() override {
        envs.clear();
        RegistryViewTest::TearDown();
    }
    QString browserPath() {
        const auto v = hklmValue(kAppPaths + "IEXPLORE.EXE", "");
        return v ? textOf(*v) : QString();
    }
    std::list<ScopedEnv> envs;
};

TEST_F(DefaultBrowserTest, TheHttpHandlerOfMimeAppsList) {
    writeExecutable(dir.path() + "/bin/mybrowser");
    writeExecutable(dir.path() + "/bin/firefox");
    qvtest::writeFile(
        dir.path() + "/data/applications/vendor-browser.desktop",
        "[Desktop Entry]\nType=Application\nName=My Browser\nExec=env GDK_BACKEND=x11 mybrowser %u\n");
    qvtest::writeFile(dir.path() + "/config/mimeapps.list",
                      "[Added Associations]\nx-scheme-handler/http=firefox.desktop;\n"
                      "[Default Applications]\ntext/html=firefox.desktop\n"
                      "x-scheme-handler/http=not-installed.desktop;vendor-browser.desktop;\n");
    EXPECT_EQ(browserPath(), dir.path() + "/bin/mybrowser");
    EXPECT_EQ(textOf(*hklmValue(kAppPaths + "iexplore.exe", "Path")), dir.path() + "/bin/");
}

TEST_F(DefaultBrowserTest, DesktopSpecificListAndNestedEntryFile) {
    writeExecutable(dir.path() + "/bin/nested");
    QDir().mkpath(dir.path() + "/datadirs/applications/kde4");
    qvtest::writeFile(dir.path() + "/datadirs/applications/kde4/nested.desktop",
                      "[Desktop Entry]\nExec=\"" + dir.path().toUtf8() + "/bin/nested\" %U\n");
    qvtest::writeFile(dir.path() + "/configdirs/mimeapps.list",
                      "[Default Applications]\nx-scheme-handler/http=other.desktop\n");
    qvtest::writeFile(dir.path() + "/config/qvtest-mimeapps.list",
                      "[Default Applications]\nx-scheme-handler/http=kde4-nested.desktop\n");
    EXPECT_EQ(browserPath(), dir.path() + "/bin/nested");
}

TEST_F(DefaultBrowserTest, FallsBackToAWellKnownBrowserOnPath) {
    writeExecutable(dir.path() + "/bin/chromium");
    writeExecutable(dir.path() + "/bin/konqueror");
    // The listed handler's program is not installed.
    qvtest::writeFile(dir.path() + "/data/applications/gone.desktop",
                      "[Desktop Entry]\nExec=gone-browser %u\n");
    qvtest::writeFile(dir.path() + "/config/mimeapps.list",
                      "[Default Applications]\nx-scheme-handler/http=gone.desktop\n");
    EXPECT_EQ(browserPath(), dir.path() + "/bin/chromium");
}

TEST_F(DefaultBrowserTest, NoBrowserAtAll) {
    EXPECT_EQ(browserPath(), QString());
    EXPECT_FALSE(view().values(HKEY_LOCAL_MACHINE, kAppPaths + "IEXPLORE.EXE"));
}

// ---- Typed addresses -------------------------------------------------------------------------

const QString kTypedUrls = QStringLiteral("Software\\Microsoft\\Internet Explorer\\TypedURLs");

TEST_F(RegistryViewTest, TypedAddressesNewestFirstWithoutDuplicates) {
    EXPECT_TRUE(view().addTypedUrl("http://a.example/"));
    EXPECT_TRUE(view().addTypedUrl("http://b.example/"));
    EXPECT_TRUE(view().addTypedUrl("http://a.example/"));
    EXPECT_EQ(view().typedUrls(), (QStringList{"http://a.example/", "http://b.example/"}));
    EXPECT_EQ(qvtest::readFile(typed), QByteArray("http://a.example/\nhttp://b.example/\n"));

    const auto values = view().values(HKEY_CURRENT_USER, kTypedUrls);
    ASSERT_TRUE(values);
    EXPECT_EQ(namesOf(*values), (QStringList{"url1", "url2"}));
    const auto first = view().value(HKEY_CURRENT_USER, kTypedUrls, "URL1");
    ASSERT_TRUE(first);
    EXPECT_EQ(first->type, REG_SZ);
    EXPECT_EQ(textOf(*first), "http://a.example/");
    EXPECT_FALSE(view().value(HKEY_CURRENT_USER, kTypedUrls, "url3"));
}

TEST_F(RegistryViewTest, TypedAddressesKeepTheNewestTwentyFive) {
    for (int i = 1; i <= 30; ++i)
        ASSERT_TRUE(view().addTypedUrl(QString("http://site%1.example/").arg(i)));
    const QStringList urls = view().typedUrls();
    ASSERT_EQ(urls.size(), RegistryView::MaxTypedUrls);
    EXPECT_EQ(urls.first(), "http://site30.example/");
    EXPECT_EQ(urls.last(), "http://site6.example/");
    EXPECT_EQ(textOf(*view().value(HKEY_CURRENT_USER, kTypedUrls, "url25")), "http://site6.example/");
}

TEST_F(RegistryViewTest, TypedAddressWithLineBreaksStaysOneEntry) {
    view().addTypedUrl("http://first.example/");
    view().addTypedUrl("  http://evil.example/\nhttp://injected.example/\r\n ");
    view().addTypedUrl("   ");
    EXPECT_EQ(view().typedUrls(),
              (QStringList{"http://evil.example/http://injected.example/", "http://first.example/"}));
}

TEST_F(RegistryViewTest, EmptyHistoryIsAnEmptyKey) {
    const auto values = view().values(HKEY_CURRENT_USER, kTypedUrls);
    ASSERT_TRUE(values);
    EXPECT_TRUE(values->isEmpty());
}

TEST_F(RegistryViewTest, HistoryFileInAFolderThatCannotBeMadeIsReported) {
    qvtest::writeFile(dir.path() + "/blocker", "a file where the folder should be");
    view().setTypedUrlsFile(dir.path() + "/blocker/TypedURLs.txt");
    EXPECT_FALSE(view().addTypedUrl("http://a.example/"));
}

TEST_F(RegistryViewTest, UsualPlacesOfTheFiles) {
    ScopedEnv config("XDG_CONFIG_HOME", (dir.path() + "/xdg").toUtf8());
    view().setRegistryFile(HKEY_CURRENT_USER, {});
    view().setTypedUrlsFile({});
    EXPECT_EQ(view().registryFile(HKEY_LOCAL_MACHINE), hklm);
    EXPECT_EQ(RegistryView::defaultRegistryFile(HKEY_LOCAL_MACHINE),
              QCoreApplication::applicationDirPath() + "/Data/Registry/HKEY_LOCAL_MACHINE.reg");

    QDir().mkpath(dir.path() + "/xdg/Quorvel");
    qvtest::writeFile(dir.path() + "/xdg/Quorvel/HKEY_CURRENT_USER.reg",
                      utf16File("Windows Registry Editor Version 5.00\r\n\r\n"
                                "[HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\TypedURLs]\r\n"
                                "\"url1\"=\"http://from-file.example/\"\r\n"));
    ASSERT_TRUE(view().addTypedUrl("http://typed-later.example/"));
    ASSERT_TRUE(view().addTypedUrl("http://typed-last.example/"));
    EXPECT_TRUE(QFileInfo::exists(dir.path() + "/xdg/Quorvel/TypedURLs.txt"));

    // The file's url1 comes before the history's; the history fills in the rest.
    EXPECT_EQ(textOf(*view().value(HKEY_CURRENT_USER, kTypedUrls, "url1")), "http://from-file.example/");
    EXPECT_EQ(textOf(*view().value(HKEY_CURRENT_USER, kTypedUrls, "url2")), "http://typed-later.example/");
}

} // namespace
