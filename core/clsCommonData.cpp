#include "core/clsCommonData.h"

#include "core/QvError.h"
#include "core/modDataDocument.h"
#include "core/modFolders.h"
#include "core/modInitial.h"

clsCommonData::clsCommonData() : clsCommonData(modFolders::CommonDataFile()) {}

clsCommonData::clsCommonData(const QString& path) : mPath(path) {
    Reload();
}

void clsCommonData::Reload() {
    XMLNode = modDataDocument::LoadDataFile(mPath, mDocument, mLoadError);
}

XmlNode clsCommonData::Section(const QString& name) const {
    if (XMLNode.isNull())
        throw QvError(QvErrors::ObjectMissing,
                      QStringLiteral("the common data is not loaded: %1").arg(mLoadError));
    XmlNode section = XMLNode.selectSingleNode(name);
    if (section.isNull())
        throw QvError(QvErrors::ObjectMissing,
                      QStringLiteral("the common data has no section <%1>").arg(name));
    return section;
}

void clsCommonData::IntialGlobalVariant() {
    modInitial::ReadGlobalSettings(Section("global"));
}

qint16 clsCommonData::versionAttribute(const char* name) const {
    const QString text = Section("version").requiredAttribute(QLatin1String(name));
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok || value < -32768 || value > 32767)
        throw QvError(QvErrors::TypeMismatch,
                      QStringLiteral("version attribute %1=\"%2\" is not a 16-bit number").arg(name, text));
    return qint16(value);
}

qint16 clsCommonData::CommonVer() const {
    return versionAttribute("c");
}
qint16 clsCommonData::IconVer() const {
    return versionAttribute("i");
}
XmlNode clsCommonData::AppButtonLayoutXMLNode() const {
    return XMLNode.selectSingleNode("appbtnlayout");
}
XmlNode clsCommonData::xmlNodeSearchEngines() const {
    return XMLNode.selectSingleNode("searchengines");
}
