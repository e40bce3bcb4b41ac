#include "TestSupport.h"
#include "core/QvError.h"
#include "core/XmlDocument.h"
#include "core/modDataFile.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cctype>
#include <gtest/gtest.h>

using namespace modDataFile;

namespace {

const QString kKey = QStringLiteral("113688480");

// Cipher bytes for a text of `chars` UTF-16 units: two bytes each, zero-padded to whole blocks.
qsizetype cipherBytesFor(qsizetype chars) {
    return (2 * chars + 15) / 16 * 16;
}

QString nuls(int n) {
    return QString(n, QChar(0));
}

QString chineseDocument() {
    return QStringLiteral("<?xml version=\"1.0\"?><root><note id=\"便笺1\" title=\"会议\">明天上午十点开会，"
                          "请带上报告。</note><link name=\"新浪\" url=\"http://www.sina.com.cn/\"/></root>");
}

} // namespace

// --- The key ---

TEST(DataFileKey, IsTheTimeSerialOfTheFixedDate) {
    EXPECT_EQ(DataFileKey(), "113688480");
}

TEST(DataFileKey, DoesNotDependOnTheTimeZone) {
    const QByteArray saved = qgetenv("TZ");
    for (const char* tz : {"UTC", "America/New_York", "Asia/Shanghai", "Australia/Lord_Howe"}) {
        qputenv("TZ", tz);
        EXPECT_EQ(DataFileKey(), "113688480") << tz;
    }
    if (saved.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", saved);
}

// --- The text form ---

TEST(DataFileFormat, MatchesAnIndependentAesImplementation) {
    // Computed with another AES implementation from the UTF-16LE bytes of the text, zero
    // padded, under the key "113688480" followed by zero bytes.
    EXPECT_EQ(EncryptText(QStringLiteral("<q>你好，世界</q>"), DataFileKey()),
              "8C58E8CED93475877B3847082A8296D5  CB6492B3BF14B0902D717D930F8539A8");
    EXPECT_EQ(EncryptText(QStringLiteral("<a/>"), DataFileKey()), "0263B6FF11ED6CD73D19B9EACD21CFCA");
}

TEST(DataFileFormat, EightCharactersMakeOneBlockWithoutPadding) {
    const QString text = QStringLiteral("ABCDEFGH");
    const QString hex = EncryptText(text, kKey);
    EXPECT_EQ(hex.size(), 32);
    EXPECT_FALSE(hex.contains(' '));
    QString message = "stale";
    EXPECT_EQ(DecryptText(hex, kKey, &message), text);
    EXPECT_TRUE(message.isEmpty());
}

TEST(DataFileFormat, NineCharactersMakeTwoBlocksAndReadBackWithSevenNuls) {
    const QString text = QStringLiteral("<a>xyz</a"); // 9 characters
    ASSERT_EQ(text.size(), 9);
    const QString hex = EncryptText(text, kKey);
    EXPECT_EQ(hex.size(), 66);
    EXPECT_TRUE(QRegularExpression("^[0-9A-F]{32}  [0-9A-F]{32}$").match(hex).hasMatch()) << qPrintable(hex);
    EXPECT_EQ(DecryptText(hex, kKey), text + nuls(7));
}

TEST(DataFileFormat, LengthFollowsTheGroupFormula) {
    for (int chars = 1; chars <= 70; ++chars) {
        const QString text(chars, QChar(u'字'));
        const QString hex = EncryptText(text, kKey);
        const qsizetype n = cipherBytesFor(chars);
        ASSERT_EQ(hex.size(), 2 * n + 2 * ((n - 1) / 16)) << chars;
        // Canonical layout: 32-digit groups, exactly two spaces between them.
        const QStringList groups = hex.split(QStringLiteral("  "));
        EXPECT_EQ(groups.size(), n / 16);
        for (const QString& g : groups)
            EXPECT_TRUE(QRegularExpression("^[0-9A-F]{32}$").match(g).hasMatch()) << qPrintable(g);
        EXPECT_EQ(DecryptText(hex, kKey), text + nuls(int(n / 2 - chars)));
    }
}

TEST(DataFileFormat, EmptyTextGivesEmptyHex) {
    EXPECT_EQ(EncryptText(QString(), kKey), "");
    EXPECT_EQ(DecryptText(QString(), kKey), "");
}

TEST(DataFileFormat, SameTextTwiceGivesTheSameHex) {
    const QString text = chineseDocument();
    EXPECT_EQ(EncryptText(text, kKey), EncryptText(text, kKey));
}

TEST(DataFileFormat, EqualInputBlocksGiveEqualGroups) {
    // Each 8-character run is exactly one block.
    const QString hex = EncryptText(QStringLiteral("ABCDEFGH12345678ABCDEFGH"), kKey);
    const QStringList groups = hex.split(QStringLiteral("  "));
    ASSERT_EQ(groups.size(), 3);
    EXPECT_EQ(groups[0], groups[2]);
    EXPECT_NE(groups[0], groups[1]);
}

TEST(DataFileFormat, KeyChangesTheText) {
    const QString text = QStringLiteral("<root/>");
    const QString hex = EncryptText(text, kKey);
    EXPECT_NE(EncryptText(text, QStringLiteral("113688481")), hex);
    // A wrong key is not detected: the text comes back unreadable.
    const QString wrong = DecryptText(hex, QStringLiteral("1"));
    EXPECT_EQ(wrong.size(), 8);
    EXPECT_FALSE(wrong.startsWith(text));
}

// --- Reading lenient hex ---

TEST(DataFileReading, LowerCaseAndLineBrokenGroupsReadTheSame) {
    const QString text = QStringLiteral("<list><item>一二三四五六七八九十</item></list>");
    const QString hex = EncryptText(text, kKey);
    const QString expected = DecryptText(hex, kKey);
    EXPECT_TRUE(expected.startsWith(text));

    EXPECT_EQ(DecryptText(hex.toLower(), kKey), expected);
    QString lines = hex;
    lines.replace(QStringLiteral("  "), QStringLiteral("\r\n"));
    EXPECT_EQ(DecryptText(lines, kKey), expected);
    QString noSpaces = hex;
    noSpaces.remove(' ');
    EXPECT_EQ(DecryptText(noSpaces, kKey), expected);
}

TEST(DataFileReading, OddDigitCountDropsTheLastDigit) {
    const QString hex = EncryptText(QStringLiteral("ABCDEFGH"), kKey);
    EXPECT_EQ(DecryptText(hex + "F", kKey), "ABCDEFGH");
}

TEST(DataFileReading, IncompleteBlocksGiveEmptyTextAndTheMessage) {
    const QString hex = EncryptText(QStringLiteral("ABCDEFGH"), kKey);
    for (const QString& damaged : {hex.left(31), hex.left(29), hex + "ABC", hex.left(2)}) {
        QString message;
        EXPECT_EQ(DecryptText(damaged, kKey, &message), "");
        EXPECT_EQ(message, "ciphertext size not a multiple of block size");
    }
}

// --- Hex helpers ---

TEST(DataFileHex, BytesToHexSeparatesGroups) {
    QByteArray bytes;
    for (int i = 0; i < 40; ++i)
        bytes.append(char(i * 7));
    const QString hex16 = BytesToHex(bytes, 40, 16);
    EXPECT_EQ(hex16.size(), 80 + 4);
    EXPECT_EQ(hex16.mid(32, 2), "  ");
    EXPECT_EQ(hex16.mid(66, 2), "  ");
    EXPECT_EQ(hex16.left(8), "00070E15");
    EXPECT_EQ(QString(hex16).remove(' '), QString::fromLatin1(bytes.toHex().toUpper()));

    EXPECT_EQ(BytesToHex(bytes, 5, 2), "0007  0E15  1C");
    EXPECT_EQ(BytesToHex(bytes, 3, 1), "00  07  0E");
    EXPECT_EQ(BytesToHex(bytes, 4, 4), "00070E15");
    EXPECT_EQ(BytesToHex(bytes, 0, 16), "");
    EXPECT_EQ(BytesToHex(QByteArray("\xff\xa0", 2), 2, 0), "FFA0");
    EXPECT_THROW(BytesToHex(bytes, 41, 16), QvError);
}

TEST(DataFileHex, HexToBytesSkipsNonDigits) {
    QByteArray bytes("previous");
    EXPECT_EQ(HexToBytes(QStringLiteral("0a Bc\r\n-zz- 9F 1"), bytes), 3);
    EXPECT_EQ(bytes, QByteArray("\x0a\xbc\x9f", 3));
    EXPECT_EQ(HexToBytes(QStringLiteral("十F\u00e9F"), bytes), 1) << "non-Latin-1 characters are skipped";
    EXPECT_EQ(bytes, QByteArray("\xff", 1));

    EXPECT_EQ(HexToBytes(QStringLiteral("ghijklmnop qrstuvwxyz: GHIJ-?"), bytes), 0);
    EXPECT_TRUE(bytes.isEmpty());
    EXPECT_EQ(HexToBytes(QStringLiteral("7"), bytes), 0);
    EXPECT_TRUE(bytes.isEmpty());
}

TEST(DataFileHex, LargeArraysKeepTheLayout) {
    // Large enough to be written in slices; whole blocks put slice starts on group starts.
    QRandomGenerator gen(7);
    for (qsizetype n : {qsizetype(4 * 1024 * 1024), qsizetype(4 * 1024 * 1024 + 3)}) {
        QByteArray bytes(n, Qt::Uninitialized);
        for (char& b : bytes)
            b = char(gen.bounded(256));
        const QByteArray hex = BytesToHexLatin1(bytes, n, 16);
        ASSERT_EQ(hex.size(), 2 * n + 2 * ((n - 1) / 16));
        bool layoutOk = true;
        for (qsizetype pos = 32; pos < hex.size(); pos += 34)
            layoutOk = layoutOk && hex[pos] == ' ' && hex[pos + 1] == ' ';
        EXPECT_TRUE(layoutOk);
        EXPECT_TRUE(QByteArray(hex).replace(" ", "") == bytes.toHex().toUpper()) << n;
    }
}

TEST(DataFileHex, StrayCharacterInTheGroupLayoutIsSkipped) {
    // Same length and shape as a written file, but one digit is no digit: every later digit
    // pairs differently, and the last one is left over.
    for (qsizetype n : {qsizetype(48), qsizetype(2 * 1024 * 1024)}) {
        QByteArray bytes(n, '\x5a');
        bytes[0] = '\x12';
        bytes[n - 1] = '\x34';
        QByteArray hex = BytesToHexLatin1(bytes, n, 16);
        hex[hex.size() / 2 / 34 * 34] = 'x'; // first digit of a group in the middle
        QByteArray decoded;
        ASSERT_EQ(HexLatin1ToBytes(hex, decoded), n - 1) << n;
        EXPECT_EQ(decoded.front(), '\x12');
        EXPECT_EQ(decoded.back(), '\xa3') << "last byte is the low nibble of 5A and the high of 34";
    }
}

TEST(DataFileHex, LargeTextsWithScatteredSeparatorsDecodeExactly) {
    // Several megabytes so that decoding is split into slices; junk at random places puts
    // the slice boundaries between the two digits of a byte as well as between bytes.
    QRandomGenerator gen(42);
    QByteArray bytes(3 * 1024 * 1024 + 7, Qt::Uninitialized);
    for (char& b : bytes)
        b = char(gen.bounded(256));
    const QByteArray clean = bytes.toHex().toUpper();

    QByteArray messy;
    messy.reserve(clean.size() * 2);
    const char junk[] = " \r\nxg-";
    for (char c : clean) {
        while (gen.bounded(4) == 0)
            messy.append(junk[gen.bounded(6)]);
        messy.append(gen.bounded(2) ? char(std::tolower(static_cast<unsigned char>(c))) : c);
    }
    messy.append("  A\n"); // a lone digit at the end is dropped

    QByteArray decoded;
    EXPECT_EQ(HexLatin1ToBytes(messy, decoded), bytes.size());
    EXPECT_TRUE(decoded == bytes);
    EXPECT_EQ(HexLatin1ToBytes(clean, decoded), bytes.size());
    EXPECT_TRUE(decoded == bytes);
}

// --- Files ---

class DataFileFiles : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.filePath(name); }
};

TEST_F(DataFileFiles, FileHoldsExactlyTheHexText) {
    const QString text = chineseDocument();
    WriteEncryptedFile(path("User.dat"), text);
    const QByteArray raw = qvtest::readFile(path("User.dat"));
    EXPECT_EQ(raw, EncryptText(text, DataFileKey()).toLatin1());
    EXPECT_FALSE(raw.endsWith('\n'));
}

TEST_F(DataFileFiles, ChineseTextRoundTrip) {
    const QString text = chineseDocument();
    WriteEncryptedFile(path("User.dat"), text);
    QString message = "stale";
    const QString back = ReadEncryptedFile(path("User.dat"), &message);
    EXPECT_TRUE(message.isEmpty());
    const qsizetype padding = cipherBytesFor(text.size()) / 2 - text.size();
    EXPECT_EQ(back, text + nuls(int(padding)));

    XmlDocument doc;
    ASSERT_TRUE(doc.loadXML(back)) << qPrintable(doc.parseError());
    EXPECT_EQ(doc.selectSingleNode("/root/note").getAttribute("title"), "会议");
}

TEST_F(DataFileFiles, SameTextTwiceGivesTheSameFile) {
    WriteEncryptedFile(path("a.dat"), chineseDocument());
    WriteEncryptedFile(path("b.dat"), chineseDocument());
    EXPECT_EQ(qvtest::readFile(path("a.dat")), qvtest::readFile(path("b.dat")));
}

TEST_F(DataFileFiles, WritingReplacesTheOldFile) {
    WriteEncryptedFile(path("User.dat"), QString(500, QChar('x')));
    WriteEncryptedFile(path("User.dat"), QStringLiteral("ABCDEFGH"));
    EXPECT_EQ(qvtest::readFile(path("User.dat")).size(), 32);
    EXPECT_EQ(ReadEncryptedFile(path("User.dat")), "ABCDEFGH");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"User.dat"}) << "no temporary file left";
}

TEST_F(DataFileFiles, LenientFileFormsReadTheSame) {
    const QString text = QStringLiteral("<r a=\"一\">二</r>");
    const QByteArray hex = EncryptText(text, DataFileKey()).toLatin1();
    QByteArray lines = hex;
    lines.replace("  ", "\r\n");
    qvtest::writeFile(path("lower.dat"), hex.toLower() + "\r\n");
    qvtest::writeFile(path("lines.dat"), lines);
    const QString expected = DecryptText(QString::fromLatin1(hex), DataFileKey());
    EXPECT_EQ(ReadEncryptedFile(path("lower.dat")), expected);
    EXPECT_EQ(ReadEncryptedFile(path("lines.dat")), expected);
}

TEST_F(DataFileFiles, IncompleteBlocksInAFileGiveEmptyTextAndTheMessage) {
    const QByteArray hex = EncryptText(QStringLiteral("ABCDEFGH"), DataFileKey()).toLatin1();
    qvtest::writeFile(path("cut.dat"), hex.left(30));
    QString message;
    EXPECT_EQ(ReadEncryptedFile(path("cut.dat"), &message), "");
    EXPECT_EQ(message, "ciphertext size not a multiple of block size");
}

TEST_F(DataFileFiles, LargeDocumentRoundTrip) {
    QString text;
    for (int i = 0; text.size() < 1'500'000; ++i)
        text += QStringLiteral("<item n=\"%1\">条目 %1 — ünïcödé</item>").arg(i);
    WriteEncryptedFile(path("big.dat"), text);
    const QString back = ReadEncryptedFile(path("big.dat"));
    EXPECT_TRUE(back.startsWith(text));
    EXPECT_EQ(back.size(), cipherBytesFor(text.size()) / 2);
}

TEST_F(DataFileFiles, MissingFileRaisesFileNotFound) {
    try {
        ReadEncryptedFile(path("nothing.dat"));
        FAIL() << "no error";
    } catch (const QvError& e) {
        EXPECT_EQ(e.number(), QvErrors::FileNotFound);
        EXPECT_TRUE(e.description().contains("nothing.dat"));
    }
}

TEST_F(DataFileFiles, FileWithoutHexDigitsRaises) {
    qvtest::writeFile(path("empty.dat"), QByteArray());
    qvtest::writeFile(path("text.dat"), "ghijklmnop qrstuvwxyz\n");
    EXPECT_THROW(ReadEncryptedFile(path("empty.dat")), QvError);
    EXPECT_THROW(ReadEncryptedFile(path("text.dat")), QvError);
}

TEST_F(DataFileFiles, FolderInsteadOfAFileRaises) {
    EXPECT_THROW(ReadEncryptedFile(dir.path()), QvError);
}

TEST_F(DataFileFiles, UnwritablePathRaises) {
    EXPECT_THROW(WriteEncryptedFile(path("no/such/folder/User.dat"), "x"), QvError);
    EXPECT_THROW(WriteEncryptedFile(dir.path(), "x"), QvError);
}

TEST_F(DataFileFiles, OldFileSurvivesAFailedWrite) {
    // The temporary name beside the file is longer than a file name may be, so the new
    // contents cannot be put in place; the old file must stay as it was.
    const QString name = QString(250, QChar('u')) + ".dat";
    qvtest::writeFile(path(name), EncryptTextToHex(QStringLiteral("<old>数据</old>"), DataFileKey()));
    const QByteArray before = qvtest::readFile(path(name));

    EXPECT_THROW(WriteEncryptedFile(path(name), QStringLiteral("<new/>")), QvError);
    EXPECT_EQ(qvtest::readFile(path(name)), before);
    EXPECT_TRUE(ReadEncryptedFile(path(name)).startsWith("<old>数据</old>"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1) << "no temporary file left";
}

TEST_F(DataFileFiles, OldFileSurvivesInAReadOnlyFolder) {
    const QString folder = path("ro");
    ASSERT_TRUE(QDir().mkdir(folder));
    const QString file = folder + "/User.dat";
    WriteEncryptedFile(file, QStringLiteral("<old/>"));
    const QByteArray before = qvtest::readFile(file);
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    {
        QFile probe(folder + "/probe");
        if (probe.open(QIODevice::WriteOnly)) { // the super-user writes anyway
            probe.remove();
            QFile::setPermissions(folder,
                                  QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
            GTEST_SKIP() << "folder permissions are not enforced for this user";
        }
    }
    EXPECT_THROW(WriteEncryptedFile(file, QStringLiteral("<new/>")), QvError);
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(qvtest::readFile(file), before);
}
