#pragma once

#include "lists/FileDialog.h"
#include "platform/UserInterface.h"

#include <QMessageBox>
#include <QPointer>

namespace pelorix {

// The desktop as the window program reaches it: Qt's message boxes, file dialogs and event
// processing behind the core's interfaces.

class QtMessageBox final : public IMessageBox {
public:
    MsgResult show(const std::string& text, const std::string& title, MsgButtons buttons, MsgIcon icon,
                   bool foreground) override;
    // A modeless box over the active window. Asked again while it is up, it shows the new text
    // and comes to the front instead of stacking another box.
    void notify(const std::string& text, const std::string& title, MsgIcon icon) override;

private:
    QPointer<QMessageBox> m_notice;
};

class QtFileDialog final : public IFileDialog {
public:
    std::string ShowDialog(const FileDialogRequest& request) override;
};

class QtEventPump final : public IEventPump {
public:
    void processEvents() override;
};

} // namespace pelorix
