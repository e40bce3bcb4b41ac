#include "core/cRegistry.h"

#include <QByteArray>
#include <QProcessEnvironment>
#include <cstring>
#include <optional>

namespace {

// Registry texts are UTF-16LE; the text ends at the first end marker (or with the data).
QString textOf(const QByteArray& data) {
    const auto* units = reinterpret_cast<const char16_t*>(data.constData());
    const qsizetype count = data.size() / 2;
    qsizetype end = 0;
    while (end < count) {
        char16_t unit;
        std::memcpy(&unit, units + end, sizeof unit);
        if (unit == 0)
            break;
        ++end;
    }
    QString text(end, Qt::Uninitialized);
    std::memcpy(text.data(), data.constData(), static_cast<size_t>(end) * 2);
    return text;
}

quint32 littleEndianNumber(const QByteArray& data) {
    quint32 n = 0;
    for (int i = 0; i < 4 && i < data.size(); ++i)
        n |= static_cast<quint32>(static_cast<uchar>(data.at(i))) << (8 * i);
    return n;
}

quint32 bigEndianNumber(const QByteArray& data) {
    quint32 n = 0;
    for (int i = 0; i < 4; ++i)
        n = (n << 8) | (i < data.size() ? static_cast<uchar>(data.at(i)) : 0u);
    return n;
}

std::optional<QString> environmentValue(const QString& name) {
    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (env.contains(name))
        return env.value(name);
    // Windows variable names ignore case.
    for (const QString& key : env.keys()) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return env.value(key);
    }
    // The Windows folder has its counterpart here in the system folder.
    if (name.compare(QLatin1String("SystemRoot"), Qt::CaseInsensitive) == 0 ||
        name.compare(QLatin1String("windir"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("/usr");
    return std::nullopt;
}

} // namespace

QString cRegistry::ExpandEnvironmentText(const QString& text) {
    QString out;
    qsizetype pos = 0;
    while (pos < text.size()) {
        const qsizetype open = text.indexOf(QLatin1Char('%'), pos);
        const qsizetype close = open < 0 ? -1 : text.indexOf(QLatin1Char('%'), open + 1);
        if (close < 0) {
            out += text.mid(pos);
            break;
        }
        out += text.mid(pos, open - pos);
        const QString name = text.mid(open + 1, close - open - 1);
        const std::optional<QString> value = name.isEmpty() ? std::nullopt : environmentValue(name);
        if (value) {
            out += *value;
            pos = close + 1;
        } else {
            // Not a variable: the first "%" stays, and the second may open a reference.
            out += QLatin1Char('%');
            pos = open + 1;
        }
    }
    return out;
}

QVariant cRegistry::Value() {
    const std::optional<RegistryValue> found = RegistryView::instance().value(ClassKey, SectionKey, ValueKey);
    if (!found)
        return Default;
    ValueType = found->type;
    switch (found->type) {
    case REG_SZ:
    case REG_MULTI_SZ:
        return textOf(found->data);
    case REG_EXPAND_SZ:
        return ExpandEnvironmentText(textOf(found->data));
    case REG_DWORD:
        return static_cast<qint32>(littleEndianNumber(found->data));
    case REG_DWORD_BIG_ENDIAN:
        return static_cast<qint32>(bigEndianNumber(found->data));
    default:
        return found->data;
    }
}

bool cRegistry::EnumerateValues(QStringList& sKeyNames, int& iKeyCount) {
    sKeyNames.clear();
    if (const auto values = RegistryView::instance().values(ClassKey, SectionKey)) {
        for (const RegistryValue& v : *values)
            sKeyNames.append(v.name);
    }
    iKeyCount = static_cast<int>(sKeyNames.size());
    return true;
}
