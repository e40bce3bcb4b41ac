#include "core/modTools.h"

#include "core/QvError.h"
#include "core/modDevelopeFunction.h"
#include "core/modInitial.h"
#include "platform/AnsiCodec.h"
#include "platform/PlainMessage.h"
#include "platform/ShellService.h"

#include <QCoreApplication>
#include <QLocale>
#include <QRegularExpression>
#include <exception>
#include <limits>
#include <optional>

namespace {

constexpr int kOverflowError = 6;

std::function<void()>& msnHandler() {
    static std::function<void()> handler;
    return handler;
}
bool gMSNWindowCreated = false;

// "2008-08-08 20:08:00", "2008/8/8 20:08:00", "2008-8-8", "2008.8.8 8:08" and the like.
std::optional<QDateTime> parseNumericDate(const QString& text) {
    static const QRegularExpression form(QStringLiteral(
        R"(^(\d{4})[-/.](\d{1,2})[-/.](\d{1,2})(?:[ T]+(\d{1,2}):(\d{1,2})(?::(\d{1,2})(?:\.\d+)?)?)?$)"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    const QTime time(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt());
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time);
}

// A locale's form; Qt reads a two-digit year as 19yy, the Windows rule is 1930-2029.
std::optional<QDateTime> parseLocaleDate(const QLocale& locale, const QString& text,
                                         QLocale::FormatType type) {
    const QString format = locale.dateTimeFormat(type);
    QDateTime dt = locale.toDateTime(text, format);
    if (!dt.isValid()) {
        const QDate date = locale.toDate(text, locale.dateFormat(type));
        if (!date.isValid())
            return std::nullopt;
        dt = QDateTime(date, QTime(0, 0));
    }
    const bool shortYear = format.contains(QLatin1String("yy")) && !format.contains(QLatin1String("yyyy"));
    if (shortYear && dt.date().year() < 1930)
        dt = dt.addYears(100);
    return dt;
}

std::optional<QDateTime> parseDateText(const QString& dateText) {
    const QString text = dateText.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    if (auto dt = parseNumericDate(text))
        return dt;
    for (Qt::DateFormat format : {Qt::ISODateWithMs, Qt::RFC2822Date}) {
        const QDateTime dt = QDateTime::fromString(text, format);
        if (dt.isValid())
            return dt.toLocalTime();
    }
    for (const QLocale& locale : {QLocale::system(), QLocale::c()}) {
        for (QLocale::FormatType type : {QLocale::ShortFormat, QLocale::LongFormat}) {
            if (auto dt = parseLocaleDate(locale, text, type))
                return dt;
        }
    }
    return std::nullopt;
}

// A number text formatted with at least `width` digits, as a "000" number format does;
// a text that is no number stays as it is.
QString zeroFilled(const QString& text, int width) {
    bool ok = false;
    qlonglong n = text.trimmed().toLongLong(&ok);
    if (!ok) {
        const double d = text.trimmed().toDouble(&ok);
        if (!ok)
            return text;
        n = qRound64(d);
    }
    const QString digits = QString::number(n);
    if (digits.startsWith(QLatin1Char('-')))
        return QLatin1Char('-') + digits.mid(1).rightJustified(width, QLatin1Char('0'));
    return digits.rightJustified(width, QLatin1Char('0'));
}

QString errorText(const std::exception& e, int* number) {
    if (const auto* qv = dynamic_cast<const QvError*>(&e)) {
        *number = qv->number();
        return qv->description();
    }
    *number = QvErrors::General;
    return QString::fromLocal8Bit(e.what());
}

} // namespace

namespace modTools {

void OpenFile(const QString& path) {
    try {
        ShellService::instance().open(path);
    } catch (const std::exception& e) {
        int number = 0;
        const QString description = errorText(e, &number);
        ShowPlainMessage(QString::number(number) + description);
    }
}

void OpenFileFolder(const QString& path) {
    try {
        ShellService::instance().showInFileManager(path);
    } catch (const std::exception& e) {
        int number = 0;
        const QString description = errorText(e, &number);
        if (modInitial::gIsDevelopMode)
            modDevelopeFunction::WriteLog(QStringLiteral("Error ") + QString::number(number) +
                                          QStringLiteral(" (") + description +
                                          QStringLiteral(") in 过程 OpenFileFolder of modTools"));
    }
}

void OpenQQInquiry() {
    ShellService::instance().open(modInitial::gInquiryQQ);
}

void MailToMaker() {
    ShellService::instance().open(QStringLiteral("mailto:") + QLatin1String(MakerMailAddress));
}

void ShowMSNInquiry() {
    const std::function<void()>& handler = msnHandler();
    if (!handler || gMSNWindowCreated)
        return;
    gMSNWindowCreated = true;
    try {
        handler();
    } catch (...) {
        gMSNWindowCreated = false;
        throw;
    }
}

void SetMSNInquiryHandler(std::function<void()> handler) {
    msnHandler() = std::move(handler);
    gMSNWindowCreated = false;
}

qint32 GetTimeSerial(const QString& dateText) {
    const std::optional<QDateTime> dt = parseDateText(dateText);
    if (!dt)
        throw QvError(QvErrors::TypeMismatch, QStringLiteral("Type mismatch"));
    return GetTimeSerial(*dt);
}

std::optional<QDateTime> ParseDate(const QString& dateText) {
    return parseDateText(dateText);
}

qint32 GetTimeSerial(const QDateTime& dateTime) {
    if (!dateTime.isValid())
        throw QvError(QvErrors::TypeMismatch, QStringLiteral("Type mismatch"));
    // Wall-clock readings on both sides, so a daylight-saving change in between adds nothing.
    const QDateTime local = dateTime.timeSpec() == Qt::LocalTime ? dateTime : dateTime.toLocalTime();
    const QTime t = local.time();
    const QDateTime wall(local.date(), QTime(t.hour(), t.minute(), t.second()), Qt::UTC);
    const QDateTime reference(QDate(2005, 1, 1), QTime(0, 0), Qt::UTC);
    const qint64 seconds = std::abs(reference.secsTo(wall));
    if (seconds > std::numeric_limits<qint32>::max())
        throw QvError(kOverflowError, QStringLiteral("Overflow"));
    return static_cast<qint32>(seconds);
}

QString JoinVersion(const QString& major, const QString& minor, const QString& revision) {
    return major + zeroFilled(minor, 3) + zeroFilled(revision, 4);
}

QString JoinVersion(int major, int minor, int revision) {
    return JoinVersion(QString::number(major), QString::number(minor), QString::number(revision));
}

QString ProgramVersionNumber() {
    return JoinVersion(modInitial::VersionMajor(), modInitial::VersionMinor(), modInitial::VersionRevision());
}

QString StripQuotes(const QString& text) {
    QString s = text;
    if (s.startsWith(QLatin1Char('"')))
        s.remove(0, 1);
    if (s.endsWith(QLatin1Char('"')))
        s.chop(1);
    return s;
}

QString EncodeAnsiPercent(const QString& text) {
    QString out;
    out.reserve(text.size() * 3);
    for (const QChar ch : text) {
        const QByteArray bytes = AnsiCodec::fromUnicode(QString(ch));
        if (bytes.size() != 2) {
            out += ch;
            continue;
        }
        for (const char b : bytes)
            out += QLatin1Char('%') + QString::number(static_cast<uchar>(b), 16).toUpper();
    }
    return out;
}

qint64 CurrentProcessId() {
    return QCoreApplication::applicationPid();
}

} // namespace modTools
