#pragma once

#include "forms/CDDesign.h"
#include "platform/ErrorConvention.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pelorix {

// The layout of one window: its registered controls, in registration order, each optionally
// under a key (keys compare without regard to ASCII case, as collection keys do), and the
// reference size that new registrations take. A window sets the reference size and registers its
// controls while it loads, and moves them all from its resize event.
class CDDesigns : public ErrorHolder {
public:
    CDDesigns() : ErrorHolder("CDDesigns") {}

    // Takes the window's current size as the reference size of the records added from now on.
    void SetForm(const ILayoutForm& form);
    // Registers a control with its current place and size under the key ("" for none). A key
    // already in use is refused without a trace: the control is then not registered.
    void AddDesign(std::unique_ptr<ILayoutControl> control, std::int16_t kind, std::string_view key);
    // The record of a key; a key no record has is error 5 for the caller.
    void DelDesign(std::string_view key);
    CDDesign& GetDesign(std::string_view key);
    // Moves every registered control for the window's current size, in registration order; a
    // control that refuses its new place or size stays as it was and the others still move.
    void MoveDesign(const ILayoutForm& form) noexcept;

    std::int32_t Count() const noexcept { return static_cast<std::int32_t>(m_colDesigns.size()); }

private:
    struct Entry {
        std::string key;
        std::unique_ptr<CDDesign> design;
    };
    std::vector<Entry>::iterator pFind(std::string_view key);
    void pAddDesign(std::unique_ptr<ILayoutControl> control, std::int16_t kind, std::string_view key);

    std::vector<Entry> m_colDesigns;
    std::int32_t m_lngFormWidth = 0;
    std::int32_t m_lngFormHeight = 0;
};

} // namespace pelorix
