#include "web/clsActStatus.h"

#include "controls/TabbedWorkspace.h"
#include "core/QvError.h"
#include "core/clsUserData.h"
#include "core/modDevelopeFunction.h"
#include "core/modInitial.h"
#include "web/cWebBrowser.h"
#include "web/clsRecentClosedPages.h"

#include <QWidget>

#include <algorithm>
#include <exception>
#include <limits>

namespace {

// Writes a failed step to the developer log (in developer mode).
void reportStep(const char* operation, const std::exception& e) {
    if (!modInitial::gIsDevelopMode)
        return;
    int number = QvErrors::General;
    QString description;
    if (const auto* qv = dynamic_cast<const QvError*>(&e)) {
        number = qv->number();
        description = qv->description();
    } else {
        description = QString::fromLocal8Bit(e.what());
    }
    modDevelopeFunction::WriteLog(QStringLiteral("Error ") + QString::number(number) + QStringLiteral(" (") +
                                  description + QStringLiteral(") in 过程 ") + QLatin1String(operation) +
                                  QStringLiteral(" of Class Module clsActStatus"));
}

// Runs one step of an operation; a failure is reported and the operation goes on.
template <typename Step> void attempt(const char* operation, Step&& step) {
    try {
        step();
    } catch (const std::exception& e) {
        reportStep(operation, e);
    }
}

// Keys stand unquoted in the selection so that they compare as numbers; only a plain decimal
// number may stand there. Anything else could change the expression, and as a number it would
// never have matched a record anyway.
bool isPlainDecimal(const QString& key) {
    if (key.isEmpty())
        return false;
    return std::all_of(key.begin(), key.end(), [](QChar c) { return c >= '0' && c <= '9'; });
}

} // namespace

clsActStatus::clsActStatus(clsUserData* parent) : QObject(parent), Parent(parent) {}

QString clsActStatus::HandleOf(QWidget* window) {
    if (!window)
        throw QvError(QvErrors::ObjectMissing, QStringLiteral("Object variable not set (no window)"));
    // The program's own window number: asking a child window for its native id would make it a
    // native window, which the web engine's views do not survive on X11.
    return cWebBrowser::WindowHandle(window);
}

QString clsActStatus::XmlSafe(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != '\t' && u != '\n' && u != '\r') || u == 0xFFFE || u == 0xFFFF)
            continue;
        out += c;
    }
    return out;
}

void clsActStatus::Load(XmlNode node) {
    constexpr const char* op = "Load";
    XMLNode = node;
    attempt(op,
            [&] { OpenedPageNode = clsUserData::GetOrCreateChild(XMLNode, QStringLiteral("openedpages")); });
    attempt(op, [&] { UserSNSNode = clsUserData::GetOrCreateChild(XMLNode, QStringLiteral("usersns")); });
}

clsRecentClosedPages* clsActStatus::RecentlyClosedPages() {
    if (!mRecentlyClosedPages) {
        const XmlNode list = clsUserData::GetOrCreateChild(XMLNode, QStringLiteral("RecentlyClosedPages"));
        mRecentlyClosedPages = new clsRecentClosedPages(this);
        mRecentlyClosedPages->Load(list);
    }
    return mRecentlyClosedPages;
}

XmlNode clsActStatus::findOpenedPage(const QString& handle) const {
    if (!isPlainDecimal(handle))
        return XmlNode();
    return OpenedPageNode.selectSingleNode(QStringLiteral("openedpage[@frmhwnd=") + handle +
                                           QLatin1Char(']'));
}

XmlNode clsActStatus::findUserSNS(const QString& LinkId) const {
    if (!isPlainDecimal(LinkId))
        return XmlNode();
    return UserSNSNode.selectSingleNode(QStringLiteral("sns[@linkid=") + LinkId + QLatin1Char(']'));
}

XmlNode clsActStatus::AddOpenedPage(const QString& handle, qint16 position) {
    // The handle is written by the caller once the record holds an address.
    Q_UNUSED(handle);
    constexpr const char* op = "AddOpenedPage";
    XmlNode record;
    attempt(op, [&] { record = OpenedPageNode.ownerDocument().createElement(QStringLiteral("openedpage")); });
    attempt(op, [&] { record.setAttribute(QStringLiteral("frmhwnd"), QString()); });
    attempt(op, [&] { record.setAttribute(QStringLiteral("url"), QString()); });
    attempt(op, [&] {
        const XmlNodeList records = OpenedPageNode.childElements();
        if (records.length() > 0) {
            // At or past the end the reference is null and the record goes last.
            record = OpenedPageNode.insertBefore(record, records.item(std::max<int>(position, 0)));
        } else {
            record = OpenedPageNode.appendChild(record);
        }
    });
    return record;
}

void clsActStatus::UpdateOpenedPage(QWidget* frmhWnd, const QString& url) {
    constexpr const char* op = "UpdateOpenedPage";
    QString handle;
    XmlNode record;
    attempt(op, [&] { handle = HandleOf(frmhWnd); });
    attempt(op, [&] { record = findOpenedPage(handle); });
    if (record.isNull()) {
        // A new record goes where the window's tab is, so the records follow the tab order.
        int tab = -1;
        attempt(op, [&] {
            if (modInitial::gWorkspace)
                tab = modInitial::gWorkspace->TabIndexOf(frmhWnd);
        });
        if (tab < 0)
            return;
        record = AddOpenedPage(handle, qint16(std::min<int>(tab, std::numeric_limits<qint16>::max())));
    }
    if (url.isEmpty())
        return;
    attempt(op, [&] { record.setAttribute(QStringLiteral("url"), XmlSafe(url)); });
    attempt(op, [&] { record.setAttribute(QStringLiteral("frmhwnd"), handle); });
}

void clsActStatus::RemoveOpenedPageRecord(QWidget* frmhWnd) {
    constexpr const char* op = "RemoveOpenedPageRecord";
    XmlNode record;
    attempt(op, [&] { record = findOpenedPage(HandleOf(frmhWnd)); });
    if (record.isNull())
        return;
    attempt(op, [&] { OpenedPageNode.removeChild(record); });
}

XmlNode clsActStatus::AddUserSNSRecord() {
    constexpr const char* op = "AddUserSNSRecord";
    XmlNode record;
    attempt(op, [&] { record = UserSNSNode.ownerDocument().createElement(QStringLiteral("sns")); });
    attempt(op, [&] { record.setAttribute(QStringLiteral("linkid"), QString()); });
    attempt(op, [&] { record.setAttribute(QStringLiteral("url"), QString()); });
    attempt(op, [&] { record = UserSNSNode.appendChild(record); });
    return record;
}

void clsActStatus::UpdateUserSNS(const QString& LinkId, const QString& url) {
    constexpr const char* op = "UpdateUserSNS";
    XmlNode record;
    attempt(op, [&] { record = findUserSNS(LinkId); });
    if (record.isNull()) {
        record = AddUserSNSRecord();
        attempt(op, [&] { record.setAttribute(QStringLiteral("linkid"), XmlSafe(LinkId)); });
    }
    attempt(op, [&] { record.setAttribute(QStringLiteral("url"), XmlSafe(url)); });
}

void clsActStatus::RemoveUserSNS(const QString& LinkId) {
    const XmlNode record = findUserSNS(LinkId);
    if (record.isNull())
        throw QvError(
            QvErrors::ObjectMissing,
            QStringLiteral("Object variable not set (the social site %1 has no record)").arg(LinkId));
    UserSNSNode.removeChild(record);
}

QString clsActStatus::getSNSLastOpenUrl(const QString& LinkId) {
    constexpr const char* op = "getSNSLastOpenUrl";
    QString url;
    attempt(op, [&] {
        const XmlNode record = findUserSNS(LinkId);
        if (!record.isNull())
            url = record.getAttribute(QStringLiteral("url"));
    });
    return url;
}

clsActStatus* ActStatusOf(clsUserData* userData) {
    if (!userData)
        return nullptr;
    if (auto* existing = userData->findChild<clsActStatus*>(QString(), Qt::FindDirectChildrenOnly))
        return existing;
    const XmlNode section = clsUserData::GetOrCreateChild(userData->XMLNode, QStringLiteral("actstatus"));
    auto* status = new clsActStatus(userData);
    status->Load(section);
    return status;
}
