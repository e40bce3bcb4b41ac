#pragma once
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The encrypted data files (common data, user data).
//
// A data file is the hex text of the AES-128 code-book encryption of the document's UTF-16LE
// bytes, zero-padded to whole blocks: upper-case digit pairs, 32-digit groups separated by two
// spaces, stored as 8-bit text without a line break. Reading accepts any case and skips every
// character that is not a hex digit. The padding comes back as trailing NUL characters, which
// the XML service ignores.
namespace modDataFile {

// Encrypts `text` with the data-file key and replaces the file at `path` atomically and durably
// (modSafeFile::WriteFileAtomically), so a failed or interrupted save leaves the old file as it
// was. Throws QvError when the file cannot be written, when the path names something other than
// a regular file, or when the file would exceed modSafeFile::MaxDataFileSize.
void WriteEncryptedFile(const QString& path, const QString& text);

// Reads and decrypts the file at `path` with the data-file key; the text keeps its trailing
// padding NULs. When the hex text does not make whole blocks the result is empty and
// `message` (when given) receives the cipher's message; otherwise `message` is cleared.
// Throws QvError when the file is missing, is not a regular file, is larger than
// modSafeFile::MaxDataFileSize, cannot be read or holds no hex digit at all.
QString ReadEncryptedFile(const QString& path, QString* message = nullptr);

// The hex text of `plaintext` encrypted under `keyText` (see DataFileKey for the key form).
QString EncryptText(const QString& plaintext, const QString& keyText);
// Decrypts a hex text; empty text (and the cipher's message in `message`) when its digits do
// not make whole blocks.
QString DecryptText(const QString& hexText, const QString& keyText, QString* message = nullptr);

// 8-bit forms of the two above, as used for the files themselves.
QByteArray EncryptTextToHex(const QString& plaintext, const QString& keyText);
QString DecryptHex(QByteArrayView hexText, const QString& keyText, QString* message = nullptr);

// Upper-case hex of the first `count` bytes, with two spaces before every byte whose position
// is a positive multiple of `groupSize` (no separators when groupSize is not positive).
// Throws QvError when `count` is beyond the array.
QString BytesToHex(const QByteArray& bytes, qsizetype count, qsizetype groupSize);
QByteArray BytesToHexLatin1(const QByteArray& bytes, qsizetype count, qsizetype groupSize);

// Decodes the hex digits of `hexText` (either case) two by two, skipping every other
// character; a single digit left at the end is dropped. `bytes` gets exactly the decoded bytes
// (empty when there are none); returns their count.
qsizetype HexToBytes(const QString& hexText, QByteArray& bytes);
qsizetype HexLatin1ToBytes(QByteArrayView hexText, QByteArray& bytes);

// The key text of both data files.
QString DataFileKey();

} // namespace modDataFile
