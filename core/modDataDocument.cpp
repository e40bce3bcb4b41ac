#include "core/modDataDocument.h"

#include "core/QvError.h"
#include "core/modDataFile.h"

namespace modDataDocument {

XmlNode LoadDataFile(const QString& path, XmlDocument& document, QString& error) {
    document = XmlDocument();
    error.clear();
    QString text;
    QString message;
    try {
        text = modDataFile::ReadEncryptedFile(path, &message);
    } catch (const QvError& e) {
        error = e.description();
        return XmlNode();
    }
    if (!document.loadXML(text)) {
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
