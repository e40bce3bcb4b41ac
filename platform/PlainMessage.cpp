#include "platform/PlainMessage.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <cstdio>

namespace {
PlainMessageHandler& handlerSlot() {
    static PlainMessageHandler handler;
    return handler;
}
} // namespace

void SetPlainMessageHandler(PlainMessageHandler handler) {
    handlerSlot() = std::move(handler);
}

void ShowPlainMessage(const QString& text, const QString& title) {
    if (const PlainMessageHandler& handler = handlerSlot()) {
        handler(text, title);
        return;
    }
    if (qEnvironmentVariableIsSet("QV_AUTOANSWER")) {
        // One line per message, so the test reading stderr can match it whole.
        QString line = text;
        line.replace(QLatin1String("\r\n"), QLatin1String(" "));
        line.replace(QLatin1Char('\n'), QLatin1Char(' '));
        line.replace(QLatin1Char('\r'), QLatin1Char(' '));
        const QByteArray bytes = ("QV message: " + line + "\n").toUtf8();
        std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
        std::fflush(stderr);
        return;
    }
    QString caption = title;
    if (caption.isEmpty())
        caption = QGuiApplication::applicationDisplayName();
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok);
    box.exec();
}
