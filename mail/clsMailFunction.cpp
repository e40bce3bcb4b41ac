#include "mail/clsMailFunction.h"

#include "core/QvError.h"
#include "core/clsData.h"
#include "core/modInitial.h"
#include "mail/clsMailInfo.h"
#include "platform/AnsiCodec.h"
#include "web/cltWebPage.h"

namespace {

const QString kUserNameCaption = QStringLiteral("用户名");
const QString kPasswordCaption = QStringLiteral("密码");

XmlNodeList parsCaptioned(const XmlDocument& document, const QString& caption) {
    return document.selectNodes(QStringLiteral("//par[@caption=") + XPathLiteral(caption) + QLatin1Char(']'));
}

// Percent-encoding of the text's bytes in the ANSI code page, the encoding of the post body:
// everything but letters, digits and "-._~" becomes "%XX".
QString formEncoded(const QString& text) {
    return QString::fromLatin1(AnsiCodec::fromUnicode(text).toPercentEncoding());
}

// Empties the typed values of the copy however the open ended: a middle page that keeps the
// descriptor while it works then holds no password.
class BlankValuesOnExit {
public:
    explicit BlankValuesOnExit(const XmlDocument& document) : mDocument(document) {}
    ~BlankValuesOnExit() {
        try {
            for (const QString& caption : {kUserNameCaption, kPasswordCaption}) {
                for (XmlNode par : parsCaptioned(mDocument, caption))
                    par.setAttribute(QStringLiteral("value"), QString());
            }
        } catch (...) {
            // The document was selected from a moment ago; a failure here leaves nothing to do.
        }
    }

private:
    const XmlDocument& mDocument;
};

} // namespace

clsMailFunction::clsMailFunction(clsData* hub) : QObject(hub), mHub(hub) {}

clsMailFunction* clsMailFunction::Of(clsData* hub) {
    if (!hub)
        return nullptr;
    if (auto* existing = hub->findChild<clsMailFunction*>(QString(), Qt::FindDirectChildrenOnly))
        return existing;
    return new clsMailFunction(hub);
}

clsMailFunction* clsMailFunction::Program() {
    return Of(modInitial::gData);
}

void clsMailFunction::MailLogin(int intMailboxID, const QString& strUserName, const QString& strPassword) {
    clsMailInfo* mailInfo = MailInfoOf(mHub->CommonData());
    const XmlNode service =
        mailInfo ? mailInfo->MailboxInfos()->getCMailboxInfoNodeByID(intMailboxID) : XmlNode();
    if (service.isNull())
        throw QvError(QvErrors::ObjectMissing,
                      QStringLiteral("the mail catalogue has no service with id %1").arg(intMailboxID));

    // The copy lives in a document of its own: nothing written into it can reach the common
    // data, and "//" in the selections below sees the copy only.
    XmlDocument copy;
    const XmlNode descriptor = copy.appendChild(service);
    BlankValuesOnExit blank(copy);
    // A get request carries its parameters in the address, which the browser windows record in
    // the session state and the recently closed pages of the user data.
    if (descriptor.getAttribute(QStringLiteral("openmethod")).trimmed() == QLatin1String("1") &&
        parsCaptioned(copy, kPasswordCaption).length() > 0)
        throw QvError(QvErrors::InvalidArgument,
                      QStringLiteral("mail service %1 would send the password in the page address; "
                                     "it is not sent")
                          .arg(intMailboxID));

    // A post sends "name=value&..." as a form body, which the opener builds without escaping; a
    // typed "&", "+", "=" or "%" would cut the value or make a parameter of its own, so the typed
    // texts are form-encoded for it. A middle page puts them into the form fields as they are.
    const bool formBody =
        descriptor.getAttribute(QStringLiteral("openmethod")).trimmed() == QLatin1String("2");
    const QString userName = formBody ? formEncoded(strUserName) : strUserName;
    const QString password = formBody ? formEncoded(strPassword) : strPassword;
    for (XmlNode par : parsCaptioned(copy, kUserNameCaption))
        par.setAttribute(QStringLiteral("value"), userName);
    for (XmlNode par : parsCaptioned(copy, kPasswordCaption))
        par.setAttribute(QStringLiteral("value"), password);
    cltWebPage::Global()->OpenWebPageAsNode(descriptor);
}
