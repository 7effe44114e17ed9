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
