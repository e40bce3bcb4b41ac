#pragma once
#include <QByteArray>
#include <QString>

// The ANSI code page of the program's data: GBK (code page 936), the Windows code page of
// simplified Chinese systems. Every conversion between text and ANSI bytes goes through here,
// so the choice of code page lives in one place.
namespace AnsiCodec {

// The text as GBK bytes. A character GBK cannot represent becomes "?", one per UTF-16 unit,
// as the Windows converter writes it.
QByteArray fromUnicode(const QString& text);

// GBK bytes as text. A byte sequence that is not valid GBK becomes "?".
QString toUnicode(const QByteArray& bytes);

// True when `ch` is a double-byte character of the code page (its GBK code takes two bytes).
bool isDoubleByte(QChar ch);

} // namespace AnsiCodec
