#pragma once

#include <string>

namespace pelorix {

// What the core needs of a window toolkit: message boxes and the processing of pending window
// events. The window program implements these with Qt; the command-line front end and the tests
// bring their own.

enum class MsgIcon { None, Information, Exclamation, Critical, Question };
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgResult { Ok, Cancel, Yes, No };

class IMessageBox {
public:
    virtual ~IMessageBox() = default;
    // foreground: bring the box to the front (the MB_SETFOREGROUND flag).
    virtual MsgResult show(const std::string& text, const std::string& title, MsgButtons buttons,
                           MsgIcon icon, bool foreground) = 0;
    // A box with an OK button that holds nothing up: the call returns at once and the box stays
    // until the user closes it, while the program goes on (a build keeps running). Where boxes
    // are answered at once (the command line, tests) it is an ordinary box.
    virtual void notify(const std::string& text, const std::string& title, MsgIcon icon) {
        show(text, title, MsgButtons::Ok, icon, false);
    }
};

// While the program waits on its one thread (for the compiler, its log, a pause between steps),
// pending window events are processed at least this often, so that the windows repaint and take
// clicks as if nothing were waiting.
inline constexpr int PendingEventIntervalMs = 10;

class IEventPump {
public:
    virtual ~IEventPump() = default;
    // Handles every pending window event once and returns.
    virtual void processEvents() = 0;
};

// An event pump for programs without windows.
class NullEventPump final : public IEventPump {
public:
    void processEvents() override {}
};

} // namespace pelorix
