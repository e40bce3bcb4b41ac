#include "core/modDataDocument.h"

#include "core/QvError.h"
#include "core/modDataFile.h"
#include "core/modSafeFile.h"

namespace modDataDocument {

XmlNode LoadDataFile(const QString& path, XmlDocument& document, QString& error) {
    document = XmlDocument();
    error.clear();
    QString text;
    QString message;
    try {
        text = modDataFile::ReadEncryptedFile(path, &message);
    } catch (const QvError& e) {
        // The refusals that protect the program are said in the user's language; the file's
        // path is in the message around this reason already.
        if (e.number() == modSafeFile::NotARegularFile)
            error = QStringLiteral("它不是普通文件，而是文件夹、命名管道或设备之类");
        else if (e.number() == modSafeFile::FileTooLarge)
            error =
                QStringLiteral("文件大于 %1 MiB 的上限").arg(modSafeFile::MaxDataFileSize / (1024 * 1024));
        else
            error = e.description();
        return XmlNode();
    }
    if (!document.loadXML(text)) {
        if (document.refusedDocumentType()) {
            error = QStringLiteral("文件中有文档类型声明 <!DOCTYPE>，数据文件不允许有");
            return XmlNode();
        }
        // The cipher's own message says more than the parser when the digits made no whole blocks.
        error = message.isEmpty() ? QStringLiteral("not a readable data file (%1)").arg(document.parseError())
                                  : message;
        return XmlNode();
    }
    XmlNode data = document.selectSingleNode("data");
    if (data.isNull())
        error = QStringLiteral("the document element is not <data>");
    return data;
}

} // namespace modDataDocument
