#pragma once
#include "core/XmlDocument.h"

#include <QString>

// The shared configuration: loaded once from Data/common.dat and only read afterwards.
// Sections are children of the `data` element and are handed out as elements; the wrappers
// of the subsystems that own a section's inner schema are created by those subsystems.
class clsCommonData {
public:
    // Loads the file at once (Reload).
    clsCommonData();
    explicit clsCommonData(const QString& path);

    // Loads the common data file into a new document. Never throws: a file that cannot be read,
    // decrypted or parsed leaves XMLNode empty and the reason in LoadError().
    void Reload();
    // Fills the global settings from the `global` section; throws QvError when the section or
    // one of its keys is missing.
    void IntialGlobalVariant();

    // The `data` element, or a null node when the file did not load.
    XmlNode XMLNode;
    const XmlDocument& Document() const { return mDocument; }
    QString FilePath() const { return mPath; }
    // Why the last Reload found no document, or empty.
    QString LoadError() const { return mLoadError; }

    // Version numbers of the common data and of the icon library (`version` section).
    qint16 CommonVer() const;
    qint16 IconVer() const;
    XmlNode AppButtonLayoutXMLNode() const;
    XmlNode xmlNodeSearchEngines() const;
    // A section by name (throws QvError when the document did not load or lacks the section).
    XmlNode Section(const QString& name) const;

private:
    qint16 versionAttribute(const char* name) const;

    QString mPath;
    XmlDocument mDocument;
    QString mLoadError;
};
