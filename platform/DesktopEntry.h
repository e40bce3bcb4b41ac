#pragma once
#include <QHash>
#include <QString>

// A freedesktop.org desktop entry file (programs, links, KDE's recent documents): the keys of
// its "[Desktop Entry]" group with their values unescaped.
class DesktopEntry {
public:
    // Reads `path`. A file that cannot be read, is larger than 1 MiB or has no "[Desktop Entry]"
    // group gives an entry that is not valid and has no keys.
    static DesktopEntry Read(const QString& path);

    bool isValid() const { return mValid; }
    bool contains(const QString& key) const { return mValues.contains(key); }
    // The value of `key`, empty when absent. Localised keys ("Name[zh_CN]") and flagged keys
    // ("URL[$e]") are keys of their own.
    QString value(const QString& key) const { return mValues.value(key); }

    // Undoes the escapes of a value (\s \n \t \r \\); any other backslash pair stays as it is,
    // for the quoting rules of the Exec key.
    static QString Unescape(const QString& value);

private:
    QHash<QString, QString> mValues;
    bool mValid = false;
};
