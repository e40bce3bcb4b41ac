#pragma once
#include <QApplication>
#include <QDialog>
#include <QObject>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <functional>

// Acts on the modal dialog as soon as it is shown. When the action does not close it, the
// dialog is closed after a few seconds so that a failing test cannot hang, and `stuck` says so.
// Its timers end with it.
struct ModalDriver {
    bool stuck = false;
    bool acted = false;
    QObject context;

    void whenShown(std::function<void(QDialog*)> action) {
        auto* poll = new QTimer(&context);
        poll->setInterval(5);
        QObject::connect(poll, &QTimer::timeout, &context, [this, poll, action] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            poll->stop();
            acted = true;
            QPointer<QDialog> guard(dialog);
            action(dialog);
            QTimer::singleShot(3000, &context, [this, guard] {
                if (guard && guard->isVisible()) {
                    stuck = true;
                    guard->reject();
                }
            });
        });
        poll->start();
    }

    void pressKey(int key) {
        whenShown([key](QDialog* dialog) {
            QWidget* target = dialog->focusWidget() ? dialog->focusWidget() : dialog;
            QTest::keyClick(target, Qt::Key(key));
        });
    }
};
