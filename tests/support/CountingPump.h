#pragma once

#include "platform/UserInterface.h"

#include <functional>

namespace pelorix::test {

// An event pump that counts its calls and hands each call's number to onCall.
class CountingPump final : public IEventPump {
public:
    std::function<void(int)> onCall;
    int calls = 0;
    void processEvents() override {
        ++calls;
        if (onCall)
            onCall(calls);
    }
};

} // namespace pelorix::test
