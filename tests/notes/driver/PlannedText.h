#pragma once
#include <QString>

// What the typing driver types, one character after the other: Chinese and Latin letters,
// digits, XML's special characters and line breaks, so every kind of text goes through a save.
inline QChar PlannedChar(qsizetype index) {
    static const QString cycle = QStringLiteral("电话留言 call <back> & 'soon' \"42\"\n");
    return cycle.at(index % cycle.size());
}

inline QString PlannedText(qsizetype length) {
    QString text;
    for (qsizetype i = 0; i < length; ++i)
        text += PlannedChar(i);
    return text;
}
