#pragma once

#include "lists/FileDialog.h"
#include "platform/UserInterface.h"

namespace pelorix {

// The desktop as the window program reaches it: Qt's message boxes, file dialogs and event
// processing behind the core's interfaces.

class QtMessageBox final : public IMessageBox {
public:
    MsgResult show(const std::string& text, const std::string& title, MsgButtons buttons, MsgIcon icon,
                   bool foreground) override;
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
