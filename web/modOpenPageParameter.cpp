#include "web/modOpenPageParameter.h"

#include "core/QvError.h"

namespace modOpenPageParameter {

namespace {

QString methodName(const QString& openmethod) {
    if (openmethod == QLatin1String("1"))
        return QStringLiteral("get");
    if (openmethod == QLatin1String("2"))
        return QStringLiteral("post");
    if (openmethod == QLatin1String("3"))
        return QStringLiteral("middle");
    return QString();
}

bool isPar(const XmlNode& node) {
    return node.nodeName() == QLatin1String("par");
}

} // namespace

XmlNode MethodElement(const XmlNode& descriptor) {
    if (descriptor.isNull())
        throw QvError(QvErrors::ObjectMissing, QStringLiteral("no link descriptor given"));
    const QString openmethod = descriptor.requiredAttribute(QStringLiteral("openmethod"));
    const QString name = methodName(openmethod);
    if (name.isEmpty())
        throw QvError(QvErrors::InvalidArgument,
                      QStringLiteral("element <%1>: attribute \"openmethod\" is \"%2\", "
                                     "not \"1\", \"2\" or \"3\"")
                          .arg(descriptor.nodeName(), openmethod));
    // The first child of that name; a descriptor may carry elements of other methods too.
    for (const XmlNode& child : descriptor.childElements()) {
        if (child.nodeName() == name)
            return child;
    }
    throw QvError(QvErrors::ObjectMissing,
                  QStringLiteral("element <%1> has no child <%2>").arg(descriptor.nodeName(), name));
}

QString BuildParameterString(const XmlNode& methodElement) {
    QStringList pieces;
    for (const XmlNode& par : methodElement.childElements()) {
        if (!isPar(par))
            continue;
        // Values go in exactly as the descriptor holds them: whoever wrote it did any encoding.
        const QString name = par.requiredAttribute(QStringLiteral("name"));
        const QString value = par.requiredAttribute(QStringLiteral("value"));
        const QString prefix = par.requiredAttribute(QStringLiteral("prefix"));
        const QString suffix = par.requiredAttribute(QStringLiteral("suffix"));
        pieces << name + '=' + prefix + value + suffix;
    }
    return pieces.join('&');
}

bool SetPageParameter(const QString& name, const QString& value, XmlNode descriptor) {
    const XmlNode method = MethodElement(descriptor);
    // Compared here rather than in an XPath predicate, so any name (quotes included) matches
    // exactly itself.
    for (XmlNode par : method.childElements()) {
        if (isPar(par) && par.attribute(QStringLiteral("name")) == name) {
            par.setAttribute(QStringLiteral("value"), value);
            return true;
        }
    }
    throw QvError(QvErrors::ObjectMissing, QStringLiteral("element <%1> of <%2> has no <par> named \"%3\"")
                                               .arg(method.nodeName(), descriptor.nodeName(), name));
}

bool ReadBoolean(const QString& text) {
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return false;
    bool ok = false;
    const double number = t.toDouble(&ok);
    if (!ok)
        throw QvError(QvErrors::TypeMismatch, QStringLiteral("\"%1\" is not a Boolean").arg(text));
    return number != 0;
}

} // namespace modOpenPageParameter
