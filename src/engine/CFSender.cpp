#include "engine/CFSender.h"

#include <algorithm>

namespace pelorix {

CFSender::Connection CFSender::connect(Event event, Handler handler) {
    const Connection id = m_nextId++;
    m_slots.push_back({id, event, std::move(handler)});
    return id;
}

void CFSender::disconnect(Connection connection) {
    std::erase_if(m_slots, [connection](const Slot& s) { return s.id == connection; });
}

void CFSender::raise(Event event) {
    // A handler may connect or disconnect while the event runs: call the handlers of the moment.
    const std::vector<Slot> slots = m_slots;
    for (const Slot& slot : slots)
        if (slot.event == event && slot.handler)
            slot.handler();
}

} // namespace pelorix
