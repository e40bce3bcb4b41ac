#include "core/cRegistry.h"

#include "ScopedEnv.h"
#include "TestSupport.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>

namespace {

QString hexList(const QByteArray& bytes) {
    QStringList parts;
    for (char b : bytes)
        parts << QString::asprintf("%02x", static_cast<uchar>(b));
    return parts.join(',');
}

QString hexText(const QString& text) {
    return hexList(QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2) +
                   QByteArray(2, '\0'));
}

class cRegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegistryView::instance().setRegistryFile(HKEY_LOCAL_MACHINE, dir.path() + "/hklm.reg");
        RegistryView::instance().setRegistryFile(HKEY_CURRENT_USER, dir.path() + "/hkcu.reg");
        RegistryView::instance().setTypedUrlsFile(dir.path() + "/typed.txt");
        QString reg = "Windows Registry Editor Version 5.00\n\n"
                      "[HKEY_CURRENT_USER\\Software\\Quorvel]\n"
                      "\"Text\"=\"plain text\"\n"
                      "\"Number\"=dword:0000002a\n"
                      "\"Negative\"=dword:fffffffe\n"
                      "\"Big\"=hex(5):01,02,03,04\n"
                      "\"Bytes\"=hex:de,ad,be,ef\n"
                      "\"Qword\"=hex(b):01,00,00,00,00,00,00,00\n";
        reg += "\"List\"=hex(7):" + hexList(QByteArray("f\0i\0r\0s\0t\0\0\0s\0e\0c\0o\0n\0d\0\0\0\0\0", 28)) +
               "\n";
        reg += "\"System\"=hex(2):" + hexText("%SystemRoot%\\system32") + "\n";
        reg += "\"Windir\"=hex(2):" + hexText("%WINDIR%") + "\n";
        reg += "\"Home\"=hex(2):" + hexText("%HOME%/x and %QV_NOT_SET_ANYWHERE% at 100%") + "\n";
        reg += "\"Adjacent\"=hex(2):" + hexText("%QV_A%%QV_B%") + "\n";
        reg += "\"Unterminated\"=hex(1):" + hexList(QByteArray("a\0b\0", 4)) + "\n";
        reg += "\n[HKEY_CURRENT_USER\\Software\\Quorvel\\NoValues]\n";
        qvtest::writeFile(dir.path() + "/hkcu.reg", reg.toUtf8());
        registry.ClassKey = HKEY_CURRENT_USER;
        registry.SectionKey = "Software\\Quorvel";
    }
    void TearDown() override {
        RegistryView::instance().setRegistryFile(HKEY_LOCAL_MACHINE, {});
        RegistryView::instance().setRegistryFile(HKEY_CURRENT_USER, {});
        RegistryView::instance().setTypedUrlsFile({});
    }
    QVariant read(const QString& valueName) {
        registry.ValueKey = valueName;
        return registry.Value();
    }

    QTemporaryDir dir;
    cRegistry registry;
};

// ---- Value -----------------------------------------------------------------------------------

TEST_F(cRegistryTest, TextsComeBackAsText) {
    EXPECT_EQ(read("Text"), QVariant(QString("plain text")));
    EXPECT_EQ(registry.ValueType, REG_SZ);
    EXPECT_EQ(read("Unterminated"), QVariant(QString("ab")));
}

TEST_F(cRegistryTest, TextListGivesTheTextUpToItsEndMarker) {
    EXPECT_EQ(read("List"), QVariant(QString("first")));
    EXPECT_EQ(registry.ValueType, REG_MULTI_SZ);
}

TEST_F(cRegistryTest, NumbersComeBackAsNumbers) {
    registry.ValueType = REG_SZ; // what the caller expected does not matter
    const QVariant n = read("Number");
    EXPECT_EQ(n.typeId(), QMetaType::Int);
    EXPECT_EQ(n.toInt(), 42);
    EXPECT_EQ(registry.ValueType, REG_DWORD);
    EXPECT_EQ(read("Negative").toInt(), -2);
}

TEST_F(cRegistryTest, BigEndianNumbersHaveTheirBytesReversed) {
    EXPECT_EQ(read("Big").toInt(), 0x01020304);
    EXPECT_EQ(registry.ValueType, REG_DWORD_BIG_ENDIAN);
}

TEST_F(cRegistryTest, OtherTypesComeBackAsBytes) {
    EXPECT_EQ(read("Bytes"), QVariant(QByteArray("\xde\xad\xbe\xef")));
    EXPECT_EQ(registry.ValueType, REG_BINARY);
    EXPECT_EQ(read("Qword"), QVariant(QByteArray("\x01\0\0\0\0\0\0\0", 8)));
    EXPECT_EQ(registry.ValueType, 11);
}

TEST_F(cRegistryTest, SystemRootStandsForTheSystemFolder) {
    ScopedEnv systemRoot("SystemRoot", std::nullopt);
    ScopedEnv windir("windir", std::nullopt);
    ScopedEnv windirUpper("WINDIR", std::nullopt);
    EXPECT_EQ(read("System"), QVariant(QString("/usr\\system32")));
    EXPECT_EQ(registry.ValueType, REG_EXPAND_SZ);
    EXPECT_EQ(read("Windir"), QVariant(QString("/usr")));
}

TEST_F(cRegistryTest, ExpandableTextUsesTheEnvironment) {
    ScopedEnv systemRoot("SystemRoot", QByteArray("/opt/windows"));
    ScopedEnv home("HOME", QByteArray("/home/tester"));
    ScopedEnv a("QV_A", QByteArray("left"));
    ScopedEnv b("QV_B", QByteArray("right"));
    EXPECT_EQ(read("System"), QVariant(QString("/opt/windows\\system32")));
    EXPECT_EQ(read("Home"), QVariant(QString("/home/tester/x and %QV_NOT_SET_ANYWHERE% at 100%")));
    EXPECT_EQ(read("Adjacent"), QVariant(QString("leftright")));
}

TEST_F(cRegistryTest, VariableNamesIgnoreCase) {
    ScopedEnv var("QV_MIXED_Case", QByteArray("found"));
    EXPECT_EQ(cRegistry::ExpandEnvironmentText("[%qv_mixed_case%]"), "[found]");
    EXPECT_EQ(cRegistry::ExpandEnvironmentText("%"), "%");
    EXPECT_EQ(cRegistry::ExpandEnvironmentText("%%"), "%%");
}

TEST_F(cRegistryTest, MissingValueReturnsDefaultAndKeepsTheType) {
    registry.ValueType = REG_SZ;
    EXPECT_FALSE(read("Nothing").isValid());
    EXPECT_EQ(registry.ValueType, REG_SZ);

    registry.Default = QString("fallback");
    registry.ValueType = 0;
    EXPECT_EQ(read("Nothing"), QVariant(QString("fallback")));
    EXPECT_EQ(registry.ValueType, 0);

    registry.SectionKey = "Software\\Missing";
    EXPECT_EQ(read("Text"), QVariant(QString("fallback")));
    registry.ClassKey = 0x12345;
    registry.SectionKey = "Software\\Quorvel";
    EXPECT_EQ(read("Text"), QVariant(QString("fallback")));
}

// ---- EnumerateValues -------------------------------------------------------------------------

TEST_F(cRegistryTest, EnumerateValuesListsNamesInRegistryOrder) {
    QStringList names{"left over"};
    int count = -1;
    EXPECT_TRUE(registry.EnumerateValues(names, count));
    EXPECT_EQ(names, (QStringList{"Text", "Number", "Negative", "Big", "Bytes", "Qword", "List", "System",
                                  "Windir", "Home", "Adjacent", "Unterminated"}));
    EXPECT_EQ(count, 12);
}

TEST_F(cRegistryTest, KeyWithoutValuesGivesAnEmptyList) {
    QStringList names{"left over"};
    int count = -1;
    registry.SectionKey = "Software\\Quorvel\\NoValues";
    EXPECT_TRUE(registry.EnumerateValues(names, count));
    EXPECT_TRUE(names.isEmpty());
    EXPECT_EQ(count, 0);
}

TEST_F(cRegistryTest, KeyThatCannotBeOpenedGivesAnEmptyList) {
    QStringList names{"left over"};
    int count = -1;
    registry.SectionKey = "Software\\Nowhere";
    EXPECT_TRUE(registry.EnumerateValues(names, count));
    EXPECT_TRUE(names.isEmpty());
    EXPECT_EQ(count, 0);
}

TEST_F(cRegistryTest, TypedAddressesEnumerateThenRead) {
    RegistryView::instance().addTypedUrl("http://older.example/");
    RegistryView::instance().addTypedUrl("http://newer.example/");
    registry.SectionKey = "Software\\Microsoft\\Internet Explorer\\TypedURLs";
    QStringList names;
    int count = 0;
    registry.EnumerateValues(names, count);
    ASSERT_EQ(count, 2);
    QStringList urls;
    for (const QString& name : names)
        urls << read(name).toString();
    EXPECT_EQ(urls, (QStringList{"http://newer.example/", "http://older.example/"}));
}

} // namespace
