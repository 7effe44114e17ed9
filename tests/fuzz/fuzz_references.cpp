// Resolves arbitrary reference and component lines against arbitrary registrations: nothing may
// crash, malformed lines fail only with the invalid-argument or subscript error, and a resolved
// line is a reference or component line again, and the index of the registrations answers as a
// scan of every registration by the rules would.
#include "platform/RuntimeError.h"
#include "platform/Text.h"
#include "projectdata/CDFileData.h"
#include "projectdata/RegistrationIndex.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

template <class Call>
std::string resolve(Call&& call) {
    try {
        return call();
    } catch (const pelorix::RuntimeError& e) {
        check(e.number() == pelorix::vberr::InvalidArgument ||
              e.number() == pelorix::vberr::SubscriptOutOfRange);
        return {};
    }
}

// The newest matching registration, one at a time from the last index down.
template <class Matches>
std::int32_t newestByScan(const std::vector<std::string>& libraries,
                          const std::vector<pelorix::VbDate>& times, Matches matches) {
    std::int32_t best = -1;
    pelorix::VbDate bestTime = 0;
    for (std::size_t i = libraries.size(); i-- > 0;) {
        const pelorix::VbDate time = i < times.size() ? times[i] : 0;
        if (matches(libraries[i]) && (best == -1 || time > bestTime)) {
            best = static_cast<std::int32_t>(i);
            bestTime = time;
        }
    }
    return best;
}

} // namespace

namespace {
// The project data with the internal steps this target drives reachable.
struct FuzzedFileData : pelorix::CDFileData {
    using CDFileData::pGetNewComponentByLastWriteTime;
    using CDFileData::pGetNewReferenceByLastWriteTime;
    using CDFileData::pSearchComponentLastWriteData;
    using CDFileData::pSearchLastWriteData;
};
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // No prefix: only the host root as drive Z:, and an error log that goes nowhere.
    ::setenv("WINEPREFIX", "/nonexistent/pelorix-fuzz-prefix", 1);
    ::setenv("PELORIX_HOME", "/nonexistent/pelorix-fuzz-home", 1);
    ::setenv("PELORIX_CODEPAGE", "CP932", 1);
    return 0;
}

// Input: the line, then "\n"-separated registrations "library path|key path|time".
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    const std::uint8_t selector = data[0];
    const auto parts =
        pelorix::split(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1), '\n');
    const std::string& line = parts[0];
    std::vector<std::string> libraries;
    std::vector<std::string> keys;
    std::vector<pelorix::VbDate> times;
    for (std::size_t i = 1; i < parts.size() && i < 64; ++i) {
        const auto fields = pelorix::split(parts[i], '|');
        libraries.push_back(fields[0]);
        keys.push_back(fields.size() > 1 ? fields[1] : std::string());
        times.push_back(fields.size() > 2 ? static_cast<double>(fields[2].size()) : 0.0);
    }
    // Lists of unequal length must not read outside either.
    if (selector & 0x10 && !times.empty())
        times.pop_back();

    const pelorix::RegistrationIndex index(std::make_shared<const pelorix::TypeLibRegistrations>(
        pelorix::TypeLibRegistrations{libraries, keys, times}));
    const std::string windows = (selector & 1) ? "C:\\WINNT" : "C:\\WINDOWS";
    FuzzedFileData fileData;
    const std::string project = "C:\\proj\\sub\\P.vbp";
    switch ((selector >> 1) % 3) {
    case 0: {
        const std::string r =
            resolve([&] { return fileData.pGetNewReferenceByLastWriteTime(project, line, index, windows); });
        check(r.empty() || r.starts_with("Reference=*\\G"));
        break;
    }
    case 1: {
        const std::string r =
            resolve([&] { return fileData.pGetNewComponentByLastWriteTime(project, line, index, windows); });
        check(r.empty() || r.starts_with("Object="));
        break;
    }
    default: {
        // The index answers as a scan of every registration by the rules would.
        check(fileData.pSearchLastWriteData(line, index) ==
              newestByScan(libraries, times, [&](const std::string& p) {
                  return pelorix::equalsIgnoreCase(p, line) && p.find('~') == std::string::npos;
              }));
        const std::string upper = pelorix::toUpper(line);
        check(fileData.pSearchComponentLastWriteData(line, index) ==
              newestByScan(libraries, times, [&](const std::string& p) {
                  return pelorix::toUpper(p).find(upper) != std::string::npos;
              }));
        break;
    }
    }
    return 0;
}
