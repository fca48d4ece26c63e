// The main window in the Qt host, shown, with the test as the user: what a
// window program's runner does, with the test's steps run while the window
// is up. Whatever modal dialog the window opens over itself is noted and
// closed, so that a surprise cannot hang the test.
#pragma once

#include "app/KVX3App.h"
#include "ui/qt/QtWindowHost.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

#include <functional>
#include <utility>
#include <vector>

class CUserRunner : public IMainWindowRunner {
public:
    using User = std::function<void(CQtWindowHost& host, CKVX3Dlg& window)>;
    explicit CUserRunner(User user) : m_user(std::move(user)) {}

    int RunModal(CKVX3Dlg& window) override {
        CQtWindowHost host(window);
        QTimer guard;
        QObject::connect(&guard, &QTimer::timeout, [this, &host] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* dialog = dynamic_cast<CQtWindowHost*>(modal); dialog != nullptr && dialog != &host) {
                ChildDialogs.push_back(dialog->DialogLayout().Id);
                dialog->close();
            }
        });
        guard.start(50);
        host.AttachLogic();
        host.show();
        if (QTest::qWaitForWindowExposed(&host)) {
            m_user(host, window);
        }
        if (!host.Ended()) {
            QTest::keyClick(&host, Qt::Key_Escape);
        }
        Closed = host.Ended();
        host.Detach();
        return host.Result();
    }

    std::vector<int> ChildDialogs;
    bool Closed = false;

private:
    User m_user;
};
