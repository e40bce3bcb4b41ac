#include "software/clsLocalSoftware.h"

#include "controls/CommandBars.h"
#include "core/QvError.h"
#include "core/cRegistry.h"
#include "core/clsCommonData.h"
#include "core/clsData.h"
#include "core/clsUserData.h"
#include "core/modDevelopeFunction.h"
#include "core/modInitial.h"
#include "core/modTools.h"
#include "links/clsLinks.h"
#include "platform/PlainMessage.h"
#include "software/clsAppButtonBar.h"

#include <QFileInfo>
#include <memory>
#include <optional>
#include <unordered_map>

namespace {

void log(const QString& text) {
    if (modInitial::gIsDevelopMode)
        modDevelopeFunction::WriteLog(text);
}

// A log line written while a failure is already being reported: a log that cannot be written
// must not hide the first failure.
void logQuietly(const QString& text) {
    try {
        log(text);
    } catch (const QvError&) {
    }
}

bool fileExists(const QString& path) {
    return !path.isEmpty() && QFileInfo(path).isFile();
}

struct RegistryReference {
    qint32 root = 0; // 0: not a recognised root, which finds nothing
    QString key;
    QString value;
};

// "ROOT\key path|value name": the root is the text before the first backslash, the value name
// the text after the first "|" up to a second one, and the key path the text after the first
// backslash, as long as the reference minus the root, the value name and the two separators.
RegistryReference parseReference(const QString& reference) {
    RegistryReference out;
    const qsizetype slash = reference.indexOf(QLatin1Char('\\'));
    const QString rootName = slash < 0 ? reference : reference.left(slash);
    if (rootName == QLatin1String("HKEY_LOCAL_MACHINE"))
        out.root = HKEY_LOCAL_MACHINE;
    else if (rootName == QLatin1String("HKEY_CURRENT_USER"))
        out.root = HKEY_CURRENT_USER;

    const qsizetype bar = reference.indexOf(QLatin1Char('|'));
    if (bar >= 0) {
        const qsizetype second = reference.indexOf(QLatin1Char('|'), bar + 1);
        out.value = second < 0 ? reference.mid(bar + 1) : reference.mid(bar + 1, second - bar - 1);
    }
    const qsizetype keyLength = reference.size() - rootName.size() - out.value.size() - 2;
    if (slash >= 0 && keyLength > 0)
        out.key = reference.mid(slash + 1, keyLength);
    return out;
}

// The registry value a locator names, as text, with the expandable-text type's last character
// dropped. Empty when the value is missing or empty.
QString readLocatorValue(const QString& reference, qint32 valueType) {
    const RegistryReference ref = parseReference(reference);
    cRegistry registry;
    registry.ClassKey = ref.root;
    registry.SectionKey = ref.key;
    registry.ValueKey = ref.value;
    registry.ValueType = valueType;
    const QVariant value = registry.Value();
    if (!value.isValid() || value.isNull())
        return QString();
    QString text = value.toString();
    if (registry.ValueType == REG_EXPAND_SZ)
        text.chop(1);
    return text;
}

qint32 valueTypeOf(const XmlNode& program, const QString& text) {
    if (text.trimmed().isEmpty())
        return 0;
    bool ok = false;
    const int type = text.trimmed().toInt(&ok);
    if (!ok)
        throw QvError(QvErrors::TypeMismatch, QStringLiteral("程序 \"%1\" 的注册表类型 \"%2\" 不是数字")
                                                  .arg(program.getAttribute(QStringLiteral("lsid")), text));
    return type;
}

// The path a locator leads to when its file exists.
std::optional<QString> locate(const XmlNode& program, const XmlNode& locator) {
    const QString targetFile = locator.requiredAttribute(QStringLiteral("targetfile"));
    const QString typeText = locator.requiredAttribute(QStringLiteral("regvaluetype"));
    const QString method =
        locator.getAttribute(QStringLiteral("targettype")) + locator.getAttribute(QStringLiteral("action"));

    if (method == QLatin1String("FileLink")) {
        QString path = targetFile;
        path.replace(QStringLiteral("%SystemRoot%"),
                     cRegistry::ExpandEnvironmentText(QStringLiteral("%Windir%")));
        log(QStringLiteral("生成联接") + path);
        return fileExists(path) ? std::optional<QString>(path) : std::nullopt;
    }
    if (method == QLatin1String("RegRead") || method == QLatin1String("RegLink")) {
        QString value = readLocatorValue(targetFile, valueTypeOf(program, typeText));
        if (value.isEmpty()) {
            log(QStringLiteral("注册表路径无效:") + targetFile);
            return std::nullopt;
        }
        const QString path = method == QLatin1String("RegRead")
                                 ? value + locator.getAttribute(QStringLiteral("filename"))
                                 : modTools::StripQuotes(value);
        log(QStringLiteral("注册表路径:") + path);
        if (fileExists(path))
            return path;
        if (method == QLatin1String("RegLink"))
            log(QStringLiteral("找不到这个文件"));
        return std::nullopt;
    }
    return std::nullopt;
}

} // namespace

clsLocalSoftware::clsLocalSoftware(QObject* parent) : QObject(parent) {}

clsLocalSoftware::~clsLocalSoftware() = default;

void clsLocalSoftware::Load(const XmlNode& definitions) {
    mDefinitions = definitions;
}

clsUserData* clsLocalSoftware::UserData() const {
    if (mUserData)
        return mUserData;
    return modInitial::gData ? modInitial::gData->UserData() : nullptr;
}

void clsLocalSoftware::SetUserData(clsUserData* userData) {
    mUserData = userData;
}

clsLinks* clsLocalSoftware::Links() const {
    return LinksOf(Parent);
}

XmlDocument clsLocalSoftware::ScanResult() const {
    if (mDefinitions.isNull())
        throw QvError(QvErrors::ObjectMissing, QStringLiteral("公共数据中没有软件定义 <localsoftdefs>"));
    // Built as nodes: captions, tips and paths go into the markup escaped, whatever they hold.
    XmlDocument result;
    XmlNode found = result.appendChild(result.createElement(QStringLiteral("localsofts")));
    for (const XmlNode& program : mDefinitions.childElements()) {
        for (const XmlNode& locator : program.childElements()) {
            const std::optional<QString> path = locate(program, locator);
            if (!path)
                continue;
            XmlNode soft = found.appendChild(result.createElement(QStringLiteral("localsoft")));
            soft.setAttribute(QStringLiteral("lsid"), program.getAttribute(QStringLiteral("lsid")));
            soft.setAttribute(QStringLiteral("caption"), program.getAttribute(QStringLiteral("caption")));
            soft.setAttribute(QStringLiteral("file"), *path);
            soft.setAttribute(QStringLiteral("tip"), program.getAttribute(QStringLiteral("tip")));
            log(QStringLiteral("找到文件") + *path);
            break;
        }
    }
    return result;
}

bool clsLocalSoftware::ScanLocalSoft() {
    mFirstScanTried = true;
    try {
        log(QStringLiteral("扫描本地软件"));
        clsUserData* userData = UserData();
        if (!userData || userData->XMLNode.isNull())
            throw QvError(QvErrors::ObjectMissing, QStringLiteral("用户数据没有载入"));
        const XmlDocument result = ScanResult();
        userData->LocalSoftUpdateByXMLString(result.documentElement().xml());
        return true;
    } catch (const QvError& e) {
        // The earlier result stays: a broken definition must not empty the application buttons.
        const QString text = QStringLiteral("扫描本地软件失败，软件列表保持不变：%1").arg(e.description());
        logQuietly(text);
        ShowPlainMessage(text);
        return false;
    }
}

void clsLocalSoftware::EnsureScanned() {
    if (mFirstScanTried)
        return;
    clsUserData* userData = UserData();
    if (!userData || userData->XMLNode.isNull())
        return;
    mFirstScanTried = true;
    if (userData->XMLNode.selectSingleNode(QStringLiteral("localsofts")).isNull())
        ScanLocalSoft();
}

void clsLocalSoftware::initialAppLocation(CommandBar* Toolbar) {
    if (!Toolbar)
        return;
    auto* buttons = new clsAppButtonBar(this, Toolbar);
    mButtons = buttons;
    // Without common data only "我的软件" is there.
    buttons->Build(Parent && !Parent->XMLNode.isNull() ? Parent->AppButtonLayoutXMLNode() : XmlNode());
}

clsAppButtonBar* clsLocalSoftware::AppButtons() const {
    return mButtons;
}

void clsLocalSoftware::OpenWebLink(const QString& id) const {
    try {
        clsLinks* links = Links();
        if (!links)
            throw QvError(QvErrors::ObjectMissing, QStringLiteral("没有链接目录"));
        links->getLinkById(id).OpenWebPage();
    } catch (const QvError& e) {
        logQuietly(e.description());
        ShowPlainMessage(QStringLiteral("无法打开这个链接：%1").arg(e.description()));
    }
}

clsLocalSoftware* clsLocalSoftware::Of(clsCommonData* common) {
    if (!common)
        return nullptr;
    // One object per store. The kept section node holds its document, so a reloaded store (or a
    // new store at the address of a released one) never matches an old entry.
    static std::unordered_map<const clsCommonData*, std::unique_ptr<clsLocalSoftware>> objects;
    const XmlNode section = common->XMLNode.isNull()
                                ? XmlNode()
                                : common->XMLNode.selectSingleNode(QStringLiteral("localsoftdefs"));
    auto& entry = objects[common];
    if (!entry || entry->XMLNode() != section || entry->Parent != common) {
        entry = std::make_unique<clsLocalSoftware>();
        entry->Parent = common;
        entry->Load(section);
    }
    return entry.get();
}

clsLocalSoftware* clsLocalSoftware::Program() {
    return modInitial::gData ? Of(modInitial::gData->CommonData()) : nullptr;
}
