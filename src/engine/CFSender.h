#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace pelorix {

// An event source without state of its own: BuildCancel raises OnBuildCancel, WordSearch raises
// OnWordSearch, each synchronously, to every handler connected at that moment. The build engine
// hands one to the progress window so that its cancel button reaches the engine; the main window
// holds one for the word search.
class CFSender {
public:
    using Handler = std::function<void()>;
    using Connection = std::uint64_t;

    // Connects a handler to an event; the returned connection disconnects it again.
    Connection OnBuildCancel(Handler handler) { return connect(Event::BuildCancel, std::move(handler)); }
    Connection OnWordSearch(Handler handler) { return connect(Event::WordSearch, std::move(handler)); }
    void disconnect(Connection connection);

    void BuildCancel() { raise(Event::BuildCancel); }
    void WordSearch() { raise(Event::WordSearch); }

private:
    enum class Event { BuildCancel, WordSearch };
    struct Slot {
        Connection id;
        Event event;
        Handler handler;
    };

    Connection connect(Event event, Handler handler);
    void raise(Event event);

    std::vector<Slot> m_slots;
    Connection m_nextId = 1;
};

} // namespace pelorix
