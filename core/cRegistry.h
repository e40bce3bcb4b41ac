#pragma once
#include "platform/RegistryView.h"

#include <QString>
#include <QStringList>
#include <QVariant>

// Read access to the registry: set the location (root, key path, value name), then read
// Value() or list the key's values. Nothing here writes, and nothing raises an error for a key
// or value that is missing.
class cRegistry {
public:
    // The root: HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER.
    qint32 ClassKey = 0;
    // Path of the key below the root, with "\" separators.
    QString SectionKey;
    // Name of the value; empty names the key's default value.
    QString ValueKey;
    // The expected type as the caller sets it; every successful read sets the type it found
    // (REG_SZ, REG_EXPAND_SZ, REG_DWORD, REG_DWORD_BIG_ENDIAN, REG_MULTI_SZ, others as bytes).
    qint32 ValueType = 0;
    // What a read returns when it finds nothing.
    QVariant Default;

    // The value at ClassKey/SectionKey/ValueKey:
    //  - texts as QString up to their end marker (a text list thus gives its first text);
    //  - expandable text with each %NAME% replaced by the environment variable NAME (SystemRoot
    //    and windir, when not set, by the system folder "/usr"; unknown names stay as written);
    //  - a 32-bit number as qint32, a big-endian one with its bytes reversed;
    //  - anything else as QByteArray.
    // A missing value returns Default and leaves ValueType as it was.
    QVariant Value();

    // Replaces sKeyNames with the names of every value of the key SectionKey under ClassKey,
    // in registry order, and sets iKeyCount to their number. Index i of the list is the
    // registry's value number i + 1 (the registry counts from 1). A key that cannot be opened
    // gives an empty list and 0. Always returns true.
    bool EnumerateValues(QStringList& sKeyNames, int& iKeyCount);

    // Expands %NAME% references as Value() does for expandable text.
    static QString ExpandEnvironmentText(const QString& text);
};
