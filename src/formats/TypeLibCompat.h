#pragma once

#include "formats/TypeLibContent.h"

#include <string>
#include <string_view>
#include <vector>

namespace pelorix {

// Whether a difference breaks clients compiled against the old library.
enum class CompatSeverity { Breaking, Compatible };

// One difference between two versions of a library: the type it concerns ("(library)" for the
// library itself), the member ("" for the type itself; a property accessor is named with its
// kind, "Caption (propget)"), and what changed, in words.
struct CompatDifference {
    CompatSeverity severity = CompatSeverity::Compatible;
    std::string type;
    std::string member;
    std::string what;
    friend bool operator==(const CompatDifference&, const CompatDifference&) = default;
};

inline constexpr std::string_view LibraryItself = "(library)";

// Every difference between oldLib and newLib as a client compiled against oldLib meets newLib.
// Breaking: a class, interface, record, enum or member oldLib has and newLib lacks; a member whose
// parameters (count, types, ByRef/ByVal, in/out, optional) or return type changed, or that moved
// to another vtable slot or member id; a class id, or an interface id oldLib's clients use, that
// newLib no longer implements; a changed constant value; a record's changed layout. Compatible:
// what newLib adds, help strings and other attributes clients do not bind to, and an interface
// whose id changed while newLib's interface still extends the old one. Types are matched by GUID,
// then by name; members by name and kind.
std::vector<CompatDifference> compare(const TypeLibrary& oldLib, const TypeLibrary& newLib);

// True when any of the differences breaks clients.
bool anyBreaking(const std::vector<CompatDifference>& differences);

// "breaking" or "compatible".
std::string_view severityText(CompatSeverity severity);

} // namespace pelorix
