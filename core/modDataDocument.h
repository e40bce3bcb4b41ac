#pragma once
#include "core/XmlDocument.h"

#include <QString>

// Loading the XML document of an encrypted data file (common data, user data).
namespace modDataDocument {

// Reads, decrypts and parses the data file at `path` into `document` and returns its `data`
// element. Never throws: when the file cannot be read, decrypted or parsed, or its document
// element is not `data`, the result is a null node and `error` says why (in Chinese for a file
// that is not a regular file, is above the size limit or has a document type declaration).
XmlNode LoadDataFile(const QString& path, XmlDocument& document, QString& error);

} // namespace modDataDocument
