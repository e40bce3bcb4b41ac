#include "core/QvError.h"
#include "core/modInitial.h"
#include "core/modTools.h"
#include "platform/PlainMessage.h"
#include "platform/ShellService.h"

#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryDir>
#include <ctime>
#include <gtest/gtest.h>
#include <optional>
#include <stdexcept>

namespace {

// ---- Versions, quotes ------------------------------------------------------------------------

TEST(JoinVersion, PartsAreZeroFilledToThreeAndFourDigits) {
    EXPECT_EQ(modTools::JoinVersion("1", "2", "34"), "10020034");
    EXPECT_EQ(modTools::JoinVersion(1, 2, 34), "10020034");
    EXPECT_EQ(modTools::JoinVersion("2", "0", "0"), "20000000");
}

TEST(JoinVersion, WiderPartsAreNotCut) {
    EXPECT_EQ(modTools::JoinVersion("1", "1000", "5"), "110000005");
    EXPECT_EQ(modTools::JoinVersion(1, 2, 123456), "1002123456");
    EXPECT_EQ(modTools::JoinVersion("10", "20", "30"), "100200030");
}

TEST(JoinVersion, TextsThatAreNoNumbersStayAsTheyAre) {
    EXPECT_EQ(modTools::JoinVersion("1", " 7 ", "beta"), "1007beta");
    EXPECT_EQ(modTools::JoinVersion("1", "-5", "2"), "1-0050002");
}

TEST(StripQuotes, RemovesOneQuoteAtEachEnd) {
    EXPECT_EQ(modTools::StripQuotes("\"C:\\Program Files\\x.exe\""), "C:\\Program Files\\x.exe");
    EXPECT_EQ(modTools::StripQuotes("\"only start"), "only start");
    EXPECT_EQ(modTools::StripQuotes("only end\""), "only end");
    EXPECT_EQ(modTools::StripQuotes("\"\"double\"\""), "\"double\"");
}

TEST(StripQuotes, EdgeCases) {
    EXPECT_EQ(modTools::StripQuotes("\""), "");
    EXPECT_EQ(modTools::StripQuotes("\"\""), "");
    EXPECT_EQ(modTools::StripQuotes(""), "");
    EXPECT_EQ(modTools::StripQuotes("no quotes"), "no quotes");
    EXPECT_EQ(modTools::StripQuotes("\"in\"ner\""), "in\"ner");
}

// ---- Time serial -----------------------------------------------------------------------------

// Sets the process time zone for the scope of a test.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone) {
        if (qEnvironmentVariableIsSet("TZ"))
            mOld = qgetenv("TZ");
        qputenv("TZ", zone);
        tzset();
    }
    ~ScopedTimeZone() {
        if (mOld)
            qputenv("TZ", *mOld);
        else
            qunsetenv("TZ");
        tzset();
    }

private:
    std::optional<QByteArray> mOld;
};

TEST(GetTimeSerial, SecondsFromTheReferenceInEitherDirection) {
    EXPECT_EQ(modTools::GetTimeSerial("2005-01-01 00:00:00"), 0);
    EXPECT_EQ(modTools::GetTimeSerial("2004-12-31 23:59:59"), 1);
    EXPECT_EQ(modTools::GetTimeSerial("2005-01-01 00:00:01"), 1);
    EXPECT_EQ(modTools::GetTimeSerial("2008-08-08 20:08:00"), 113688480);
    EXPECT_EQ(modTools::GetTimeSerial("2004-01-01 00:00:00"), 366 * 86400);
}

TEST(GetTimeSerial, CommonDateTexts) {
    EXPECT_EQ(modTools::GetTimeSerial("2008/8/8 20:08:00"), 113688480);
    EXPECT_EQ(modTools::GetTimeSerial("2008-8-8 20:08"), 113688480);
    EXPECT_EQ(modTools::GetTimeSerial("2008-08-08T20:08:00"), 113688480);
    EXPECT_EQ(modTools::GetTimeSerial("  2008-08-08 20:08:00  "), 113688480);
    EXPECT_EQ(modTools::GetTimeSerial("2008-08-08"), 113688480 - (20 * 3600 + 8 * 60));
}

TEST(GetTimeSerial, TheSystemLocalesOwnForm) {
    const QDateTime when(QDate(2008, 8, 8), QTime(20, 8));
    for (QLocale::FormatType type : {QLocale::ShortFormat, QLocale::LongFormat}) {
        const QString text = QLocale::system().toString(when, type);
        EXPECT_EQ(modTools::GetTimeSerial(text), 113688480) << text.toStdString();
    }
}

TEST(GetTimeSerial, DaylightSavingTimeDoesNotShiftTheSerial) {
    ScopedTimeZone berlin("Europe/Berlin");
    // 2008-08-08 is summer time in Berlin, 2005-01-01 is not; the serial counts wall-clock time.
    EXPECT_EQ(modTools::GetTimeSerial("2008-08-08 20:08:00"), 113688480);
    EXPECT_EQ(modTools::GetTimeSerial(QDateTime(QDate(2008, 8, 8), QTime(20, 8))), 113688480);
}

TEST(GetTimeSerial, DateTimesAreTakenInLocalTime) {
    ScopedTimeZone shanghai("Asia/Shanghai");
    const QDateTime utcReference(QDate(2005, 1, 1), QTime(0, 0), Qt::UTC);
    EXPECT_EQ(modTools::GetTimeSerial(utcReference), 8 * 3600);
    EXPECT_EQ(modTools::GetTimeSerial(QDateTime(QDate(2005, 1, 1), QTime(0, 0, 1, 999))), 1);
    // An address-bar date with an offset means the same instant, read locally.
    EXPECT_EQ(modTools::GetTimeSerial("2005-01-01T00:00:00Z"), 8 * 3600);
}

TEST(GetTimeSerial, TextThatIsNoDateIsATypeMismatch) {
    for (const char* text : {"", "yesterday", "2008-13-01 00:00:00", "2008-02-30", "20:08:00"}) {
        try {
            modTools::GetTimeSerial(QString(text));
            ADD_FAILURE() << "no error for " << text;
        } catch (const QvError& e) {
            EXPECT_EQ(e.number(), QvErrors::TypeMismatch) << text;
        }
    }
    EXPECT_THROW(modTools::GetTimeSerial(QDateTime()), QvError);
}

TEST(GetTimeSerial, SerialBeyondThirtyTwoBitsOverflows) {
    EXPECT_EQ(modTools::GetTimeSerial("2073-01-01 00:00:00"), (365 * 68 + 17) * 86400);
    try {
        modTools::GetTimeSerial("2100-01-01 00:00:00");
        ADD_FAILURE() << "no overflow";
    } catch (const QvError& e) {
        EXPECT_EQ(e.number(), 6);
    }
}

// ---- ANSI percent-encoding -------------------------------------------------------------------

TEST(EncodeAnsiPercent, DoubleByteCharactersBecomeTwoHexBytes) {
    EXPECT_EQ(modTools::EncodeAnsiPercent(QStringLiteral("中文 a")), "%D6%D0%CE%C4 a");
    EXPECT_EQ(modTools::EncodeAnsiPercent(QStringLiteral("，")), "%A3%AC");
    // GBK's lowest trail byte (0x40) and highest lead byte region.
    EXPECT_EQ(modTools::EncodeAnsiPercent(QStringLiteral("丂齄")), "%81%40%F7%FE");
}

TEST(EncodeAnsiPercent, SingleBytesAndUnknownCharactersAreCopied) {
    EXPECT_EQ(modTools::EncodeAnsiPercent("a b+c%20&x=1"), "a b+c%20&x=1");
    // € is a single byte in code page 936; Thai is not in it at all.
    EXPECT_EQ(modTools::EncodeAnsiPercent(QStringLiteral("€\u0E01")), QStringLiteral("€\u0E01"));
    EXPECT_EQ(modTools::EncodeAnsiPercent(""), "");
}

// ---- Shell and contact functions -------------------------------------------------------------

class RecordingShell : public ShellService {
public:
    bool open(const QString& target) override {
        opened << target;
        if (failure)
            failure();
        return true;
    }
    bool showInFileManager(const QString& path) override {
        shown << path;
        if (failure)
            failure();
        return true;
    }
    QStringList opened;
    QStringList shown;
    std::function<void()> failure;
};

class ShellFunctions : public ::testing::Test {
protected:
    void SetUp() override {
        ShellService::setInstance(&shell);
        SetPlainMessageHandler([this](const QString& text, const QString&) { messages << text; });
        oldAppPath = modInitial::AppPath();
        modInitial::SetAppPath(dir.path());
        oldDevelopMode = modInitial::gIsDevelopMode;
    }
    void TearDown() override {
        ShellService::setInstance(nullptr);
        SetPlainMessageHandler({});
        modInitial::SetAppPath(oldAppPath);
        modInitial::gIsDevelopMode = oldDevelopMode;
        modInitial::gDevLog.reset();
    }
    RecordingShell shell;
    QStringList messages;
    QTemporaryDir dir;
    QString oldAppPath;
    bool oldDevelopMode = false;
};

TEST_F(ShellFunctions, OpenFileOpensThePath) {
    modTools::OpenFile("/home/user/report.doc");
    EXPECT_EQ(shell.opened, QStringList{"/home/user/report.doc"});
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(ShellFunctions, OpenFileShowsNumberAndDescriptionOfAnError) {
    shell.failure = [] { throw QvError(QvErrors::FileNotFound, "File not found"); };
    modTools::OpenFile("/missing");
    shell.failure = [] { throw std::runtime_error("broken"); };
    modTools::OpenFile("/other");
    EXPECT_EQ(messages, (QStringList{"53File not found", "1broken"}));
}

TEST_F(ShellFunctions, OpenFileFolderShowsTheFileSelected) {
    modTools::OpenFileFolder("/home/user/report.doc");
    EXPECT_EQ(shell.shown, QStringList{"/home/user/report.doc"});
    EXPECT_TRUE(shell.opened.isEmpty());
}

TEST_F(ShellFunctions, OpenFileFolderLogsAnErrorInDeveloperMode) {
    modInitial::gIsDevelopMode = true;
    modInitial::gDevLog = std::make_unique<QStringList>();
    shell.failure = [] { throw QvError(QvErrors::PathAccess, "Path/File access error"); };
    modTools::OpenFileFolder("/x");

    ASSERT_EQ(modInitial::gDevLog->size(), 1);
    const QString expected =
        QStringLiteral("Error 75 (Path/File access error) in 过程 OpenFileFolder of modTools");
    EXPECT_TRUE(modInitial::gDevLog->first().endsWith(" " + expected))
        << modInitial::gDevLog->first().toStdString();
    EXPECT_TRUE(QString::fromUtf8(qvtest::readFile(dir.path() + "/log.txt")).contains(expected));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(ShellFunctions, OpenFileFolderIsSilentOutsideDeveloperMode) {
    modInitial::gIsDevelopMode = false;
    shell.failure = [] { throw QvError(QvErrors::PathAccess, "Path/File access error"); };
    modTools::OpenFileFolder("/x");
    EXPECT_FALSE(QFileInfo::exists(dir.path() + "/log.txt"));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(ShellFunctions, ContactFunctionsOpenTheirAddresses) {
    const QString oldQQ = modInitial::gInquiryQQ;
    modInitial::gInquiryQQ = "http://wpa.qq.example/msgrd?uin=800058808";
    modTools::OpenQQInquiry();
    modTools::MailToMaker();
    modInitial::gInquiryQQ = oldQQ;
    EXPECT_EQ(shell.opened,
              (QStringList{"http://wpa.qq.example/msgrd?uin=800058808", "mailto:support@quorvel.cn"}));
}

TEST(ShowMSNInquiry, CreatesTheWindowOncePerRun) {
    int created = 0;
    modTools::SetMSNInquiryHandler({});
    modTools::ShowMSNInquiry(); // nothing to create it with yet
    modTools::SetMSNInquiryHandler([&] { ++created; });
    modTools::ShowMSNInquiry();
    modTools::ShowMSNInquiry();
    modTools::ShowMSNInquiry();
    EXPECT_EQ(created, 1);
    modTools::SetMSNInquiryHandler({});
}

TEST(ShowMSNInquiry, AFailedCreationCanBeTriedAgain) {
    int attempts = 0;
    modTools::SetMSNInquiryHandler([&] {
        if (++attempts == 1)
            throw QvError(QvErrors::General, "no window");
    });
    EXPECT_THROW(modTools::ShowMSNInquiry(), QvError);
    modTools::ShowMSNInquiry();
    modTools::ShowMSNInquiry();
    EXPECT_EQ(attempts, 2);
    modTools::SetMSNInquiryHandler({});
}

} // namespace
