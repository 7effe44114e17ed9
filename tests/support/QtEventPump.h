#pragma once

#include "platform/UserInterface.h"

#include <QApplication>
#include <functional>

namespace pelorix::test {

// The program's event processing, with a watcher that runs after each pass: a window test acts in
// the middle of a build (a click, a look at the windows) from onEvents.
class WatchedQtPump final : public IEventPump {
public:
    std::function<void()> onEvents;
    void processEvents() override {
        QApplication::processEvents();
        if (onEvents)
            onEvents();
    }
};

} // namespace pelorix::test
