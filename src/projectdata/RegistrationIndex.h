#pragma once

#include "platform/CDRegistryData.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace pelorix {

// The type-library registrations of one walk, indexed once for the two searches of reference
// resolution, so that a search costs the same whatever the number of registrations. Both
// searches answer with the index of the newest matching registration: the latest write time,
// and of equal times the later index; -1 when nothing matches.
//
// - A reference's library file matches a registration whose library path equals it without
//   regard to ASCII case; a path holding "~" (a short 8.3 name) never matches. Answered from a
//   table by folded path, built with the index.
// - A component's file name matches every registration whose library path contains it without
//   regard to case ("~" allowed). Answered by one scan of all paths, folded and laid end to end,
//   the first time a name is asked; the answer is kept by name for the index's life. (A table of
//   the paths' last parts would miss a path that merely contains the name, such as
//   "MSCOMCTL.OCX" for "COMCTL.OCX"; the rule finds it.)
//
// The index shares the registrations it was built from; it is rebuilt only when the walk
// gives a new result.
class RegistrationIndex {
public:
    explicit RegistrationIndex(std::shared_ptr<const TypeLibRegistrations> registrations);

    const TypeLibRegistrations& registrations() const noexcept { return *m_registrations; }

    std::int32_t newestOfLibrary(std::string_view libraryPath) const;
    std::int32_t newestContaining(std::string_view fileName) const;

private:
    // One folded library path of the table: its hash, a registration with that path, and the
    // newest registration with it (-1 in a free slot).
    struct Slot {
        std::uint64_t hash = 0;
        std::int32_t path = -1;
        std::int32_t newest = -1;
    };
    // Where a folded path's slot is: its own, or the free one where it belongs.
    std::size_t slotAt(std::string_view path, std::uint64_t hash) const;

    void layOutFoldedPaths() const;
    std::int32_t scanContaining(const std::string& foldedName) const;

    std::shared_ptr<const TypeLibRegistrations> m_registrations;
    // The table by folded path, open-addressed and at most half full.
    std::vector<Slot> m_slots;
    // For components, made on the first look-up: every library path upper-cased, one after
    // another, where each begins (and the end), and the answers given so far by name.
    mutable std::string m_foldedPaths;
    mutable std::vector<std::size_t> m_pathStarts;
    mutable std::unordered_map<std::string, std::int32_t> m_byFileName;
};

} // namespace pelorix
