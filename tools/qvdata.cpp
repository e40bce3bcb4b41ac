// qvdata - the maker's tool for the program's encrypted data files.
//
//   qvdata encrypt IN.xml OUT.dat   plain UTF-8 text -> data file ("-" or /dev/stdout: standard output)
//   qvdata decrypt IN.dat           data file -> text on standard output (UTF-8)
//   qvdata check FILE.dat           decrypts and parses; exit 0 when the XML is well-formed
//
// Inputs are read only when they are regular files within the data-file size limit. The output
// of encrypt is only ever a new or existing regular file (a link to one is followed), replaced
// atomically; a device, FIFO, folder or link to one is refused with exit status 2 and left alone.

#include "core/QvError.h"
#include "core/XmlDocument.h"
#include "core/modDataFile.h"
#include "core/modSafeFile.h"

#include <QCoreApplication>
#include <QStringDecoder>
#include <QStringList>
#include <cstdio>
#include <exception>

namespace {

enum ExitCode { Ok = 0, Failed = 1, BadArguments = 2 };

void printErr(const QString& text) {
    const QByteArray bytes = (text + QLatin1Char('\n')).toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
}

const char* const kUsage =
    "usage: qvdata encrypt IN.xml OUT.dat   encrypt a UTF-8 text file into a data file\n"
    "                                       (OUT.dat: a regular file, or - for standard output)\n"
    "       qvdata decrypt IN.dat           write the text of a data file to standard "
    "output\n"
    "       qvdata check FILE.dat           exit 0 when the data file holds well-formed "
    "XML\n";

int usage(FILE* to, int code) {
    std::fputs(kUsage, to);
    return code;
}

// Decrypts a data file; a hex text that does not make whole blocks is an error here, since the
// tool must not pass an empty text off as the file's contents.
QString readDataFile(const QString& path) {
    QString message;
    const QString text = modDataFile::ReadEncryptedFile(path, &message);
    if (!message.isEmpty())
        throw QvError(QvErrors::General, path + ": " + message);
    return text;
}

QString withoutPadding(QString text) {
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1).unicode() == 0)
        --end;
    text.truncate(end);
    return text;
}

bool writeStandardOutput(const QByteArray& bytes) {
    return std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) == size_t(bytes.size()) &&
           std::fflush(stdout) == 0;
}

int refuseOutput(const QString& out) {
    printErr(QStringLiteral("qvdata: %1 is not a regular file (a device, FIFO, folder or a link to one); "
                            "encrypt writes only to a new or existing regular file, or to standard output "
                            "with -")
                 .arg(out));
    return BadArguments;
}

int encrypt(const QString& in, const QString& out) {
    const bool toStandardOutput = out == QLatin1String("-") || out == QLatin1String("/dev/stdout");
    // Judged before anything is read or written, so that a refused output is left as it is.
    if (!toStandardOutput && !modSafeFile::IsWritableTarget(out))
        return refuseOutput(out);
    const QByteArray bytes = modSafeFile::ReadRegularFile(in);
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(bytes); // drops a leading byte-order mark
    if (decoder.hasError()) {
        printErr(QStringLiteral("qvdata: %1 is not valid UTF-8 text").arg(in));
        return Failed;
    }
    if (toStandardOutput) {
        if (!writeStandardOutput(modDataFile::EncryptTextToHex(text, modDataFile::DataFileKey()))) {
            printErr(QStringLiteral("qvdata: cannot write to standard output"));
            return Failed;
        }
        return Ok;
    }
    try {
        modDataFile::WriteEncryptedFile(out, text);
    } catch (const QvError& e) {
        if (e.number() == modSafeFile::NotARegularFile)
            return refuseOutput(out);
        throw;
    }
    return Ok;
}

int decrypt(const QString& in) {
    const QByteArray utf8 = withoutPadding(readDataFile(in)).toUtf8();
    if (!writeStandardOutput(utf8)) {
        printErr(QStringLiteral("qvdata: cannot write to standard output"));
        return Failed;
    }
    return Ok;
}

int check(const QString& path) {
    const QString text = readDataFile(path);
    XmlDocument doc;
    if (!doc.loadXML(text)) {
        printErr(QStringLiteral("qvdata: %1 does not hold well-formed XML: %2").arg(path, doc.parseError()));
        return Failed;
    }
    std::printf("%s: well-formed XML, document element <%s>\n", qPrintable(path),
                qPrintable(doc.documentElement().nodeName()));
    return Ok;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 1 && (args[0] == "-h" || args[0] == "--help" || args[0] == "help"))
        return usage(stdout, Ok);

    try {
        if (args.size() == 3 && args[0] == "encrypt")
            return encrypt(args[1], args[2]);
        if (args.size() == 2 && args[0] == "decrypt")
            return decrypt(args[1]);
        if (args.size() == 2 && args[0] == "check")
            return check(args[1]);
    } catch (const QvError& e) {
        printErr(QStringLiteral("qvdata: error %1: %2").arg(e.number()).arg(e.description()));
        return Failed;
    } catch (const std::exception& e) {
        printErr(QStringLiteral("qvdata: %1").arg(QString::fromLocal8Bit(e.what())));
        return Failed;
    }

    if (args.isEmpty())
        printErr(QStringLiteral("qvdata: no command given"));
    else
        printErr(QStringLiteral("qvdata: bad arguments: %1").arg(args.join(QLatin1Char(' '))));
    return usage(stderr, BadArguments);
}
