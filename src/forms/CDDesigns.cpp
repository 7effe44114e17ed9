#include "forms/CDDesigns.h"

#include "platform/Text.h"

#include <algorithm>
#include <utility>

namespace pelorix {

namespace {

constexpr std::int32_t errKeyInUse = 457;

} // namespace

void CDDesigns::SetForm(const ILayoutForm& form) {
    guard("SetForm", [&] {
        m_lngFormWidth = roundTwips(form.Width());
        m_lngFormHeight = roundTwips(form.Height());
    });
}

void CDDesigns::AddDesign(std::unique_ptr<ILayoutControl> control, std::int16_t kind, std::string_view key) {
    try {
        pAddDesign(std::move(control), kind, key);
    } catch (...) {
        // A control that cannot be registered (its key is taken, it cannot be read) is simply not
        // laid out; the window works on without it.
    }
}

void CDDesigns::pAddDesign(std::unique_ptr<ILayoutControl> control, std::int16_t kind, std::string_view key) {
    if (!key.empty() && pFind(key) != m_colDesigns.end())
        throw RuntimeError(errKeyInUse, "このキーは既にこのコレクションの要素に割り当てられています。");
    auto design = std::make_unique<CDDesign>();
    design->SetDesign(std::move(control), m_lngFormWidth, m_lngFormHeight, kind);
    m_colDesigns.push_back({std::string(key), std::move(design)});
}

void CDDesigns::DelDesign(std::string_view key) {
    guard("DelDesign", [&] {
        const auto found = pFind(key);
        if (found == m_colDesigns.end())
            throw vberr::make(vberr::InvalidArgument);
        m_colDesigns.erase(found);
    });
}

CDDesign& CDDesigns::GetDesign(std::string_view key) {
    return guard("GetDesign", [&]() -> CDDesign& {
        const auto found = pFind(key);
        if (found == m_colDesigns.end())
            throw vberr::make(vberr::InvalidArgument);
        return *found->design;
    });
}

void CDDesigns::MoveDesign(const ILayoutForm& form) noexcept {
    for (const Entry& entry : m_colDesigns)
        entry.design->MoveControl(form);
}

std::vector<CDDesigns::Entry>::iterator CDDesigns::pFind(std::string_view key) {
    if (key.empty())
        return m_colDesigns.end();
    return std::find_if(m_colDesigns.begin(), m_colDesigns.end(),
                        [key](const Entry& entry) { return equalsIgnoreCase(entry.key, key); });
}

} // namespace pelorix
