#include "projectdata/RegistrationIndex.h"

#include "platform/Text.h"

#include <algorithm>
#include <cstdint>
#include <functional>

namespace pelorix {
namespace {

VbDate timeOf(const std::vector<VbDate>& writeTimes, std::size_t index) {
    return index < writeTimes.size() ? writeTimes[index] : VbDate{0};
}

// The one rule for the newest registration. Candidates are offered from the last index down:
// the first one offered is taken, and a later one replaces it only with a later write time, so
// that of equal times the later index stays.
void offerNewest(std::int32_t& best, std::size_t candidate, const std::vector<VbDate>& writeTimes) {
    if (best == -1 || timeOf(writeTimes, candidate) > timeOf(writeTimes, static_cast<std::size_t>(best)))
        best = static_cast<std::int32_t>(candidate);
}

bool isShortName(std::string_view path) {
    return path.find('~') != std::string_view::npos;
}

// FNV-1a over the upper-cased bytes: the hash of a library path without regard to ASCII case.
std::uint64_t foldedHash(std::string_view path) noexcept {
    std::uint64_t hash = 14695981039346656037ULL;
    for (const char c : path)
        hash = (hash ^ static_cast<unsigned char>(toUpperAscii(c))) * 1099511628211ULL;
    return hash ^ (hash >> 32);
}

} // namespace

RegistrationIndex::RegistrationIndex(std::shared_ptr<const TypeLibRegistrations> registrations)
    : m_registrations(std::move(registrations)) {
    const auto& paths = m_registrations->libraryPaths;
    const auto& times = m_registrations->writeTimes;
    std::size_t size = 16;
    while (size < 2 * paths.size())
        size *= 2;
    m_slots.resize(size);
    for (std::size_t i = paths.size(); i-- > 0;) {
        if (isShortName(paths[i]))
            continue;
        const std::uint64_t hash = foldedHash(paths[i]);
        Slot& slot = m_slots[slotAt(paths[i], hash)];
        if (slot.path == -1)
            slot = {hash, static_cast<std::int32_t>(i), static_cast<std::int32_t>(i)};
        else
            offerNewest(slot.newest, i, times);
    }
}

std::size_t RegistrationIndex::slotAt(std::string_view path, std::uint64_t hash) const {
    const auto& paths = m_registrations->libraryPaths;
    const std::size_t mask = m_slots.size() - 1;
    std::size_t at = hash & mask;
    while (m_slots[at].path != -1 &&
           (m_slots[at].hash != hash ||
            !equalsIgnoreCase(paths[static_cast<std::size_t>(m_slots[at].path)], path)))
        at = (at + 1) & mask;
    return at;
}

void RegistrationIndex::layOutFoldedPaths() const {
    const auto& paths = m_registrations->libraryPaths;
    std::size_t total = 0;
    for (const auto& path : paths)
        total += path.size();
    m_foldedPaths.reserve(total);
    m_pathStarts.reserve(paths.size() + 1);
    for (const auto& path : paths) {
        m_pathStarts.push_back(m_foldedPaths.size());
        for (const char c : path)
            m_foldedPaths.push_back(toUpperAscii(c));
    }
    m_pathStarts.push_back(m_foldedPaths.size());
}

std::int32_t RegistrationIndex::newestOfLibrary(std::string_view libraryPath) const {
    return m_slots[slotAt(libraryPath, foldedHash(libraryPath))].newest;
}

std::int32_t RegistrationIndex::newestContaining(std::string_view fileName) const {
    std::string folded = toUpper(fileName);
    if (const auto known = m_byFileName.find(folded); known != m_byFileName.end())
        return known->second;
    if (m_pathStarts.empty())
        layOutFoldedPaths();
    const std::int32_t best = scanContaining(folded);
    m_byFileName.emplace(std::move(folded), best);
    return best;
}

std::int32_t RegistrationIndex::scanContaining(const std::string& foldedName) const {
    const std::size_t count = m_pathStarts.size() - 1;
    std::vector<std::size_t> matches;
    if (foldedName.empty()) {
        for (std::size_t i = 0; i < count; ++i)
            matches.push_back(i);
    } else {
        // Every occurrence in the folded paths that lies within one path; a path is done with
        // its first.
        const std::boyer_moore_horspool_searcher searcher(foldedName.begin(), foldedName.end());
        const auto begin = m_foldedPaths.begin();
        const auto end = m_foldedPaths.end();
        for (auto from = begin;;) {
            const auto at = std::search(from, end, searcher);
            if (at == end)
                break;
            const auto position = static_cast<std::size_t>(at - begin);
            const auto next = std::upper_bound(m_pathStarts.begin(), m_pathStarts.end(), position);
            if (position + foldedName.size() <= *next) {
                matches.push_back(static_cast<std::size_t>(next - m_pathStarts.begin()) - 1);
                from = begin + static_cast<std::ptrdiff_t>(*next);
            } else {
                from = at + 1;
            }
        }
    }
    std::int32_t best = -1;
    for (auto i = matches.rbegin(); i != matches.rend(); ++i)
        offerNewest(best, *i, m_registrations->writeTimes);
    return best;
}

} // namespace pelorix
