#pragma once

// The comparison of two library versions, shared by its two source files. Internal to
// src/formats.

#include "formats/TypeLibCompat.h"

#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace pelorix::compat_detail {

std::string lower(std::string_view text);

// Names compared as COM compares them: without regard to ASCII case.
bool sameName(std::string_view a, std::string_view b) noexcept;

// Whether two type descriptions, each of its library, are one type to a compiled client: aliases
// resolved, this library's types by name, another library's by GUID.
bool sameType(const TypeDesc& a, const TypeLibrary& la, const TypeDesc& b, const TypeLibrary& lb,
              int depth = 0);

// A type description with this library's aliases resolved (aliases of aliases followed).
const TypeDesc& unaliased(const TypeDesc& d, const TypeLibrary& library);

// A function's name as a difference names it: "Caption (propget)" for a property accessor.
std::string memberLabel(const Function& f);

// The functions and dispatch properties a client of a type reaches: its own and those of the
// interfaces it extends inside its library, base first.
struct Members {
    std::vector<const Function*> functions;
    std::vector<const Variable*> properties;
};
Members reachableMembers(const TypeLibrary& library, const TypeInfo& type);

// Which new item is each old item's counterpart: the n-th old item of a key is paired with the n-th
// new item of that key (a library may give one name to several members).
struct Pairing {
    std::vector<std::ptrdiff_t> forOld; // the new item's index, -1 for none
    std::vector<bool> newMatched;
};
Pairing pairByKey(const std::vector<std::string>& oldKeys, const std::vector<std::string>& newKeys);

// True when the type's chain of base interfaces holds an interface with that id.
bool extendsInterface(const TypeLibrary& library, const TypeInfo& type, const std::string& iid);

class CompatComparer {
public:
    CompatComparer(const TypeLibrary& oldLib, const TypeLibrary& newLib);
    std::vector<CompatDifference> run();

private:
    void breaking(const std::string& type, const std::string& member, std::string what);
    void compatible(const std::string& type, const std::string& member, std::string what);
    // A type's identity for comparison across the two libraries: aliases resolved, this
    // library's types by name, other libraries' by GUID.
    std::string oldKey(const TypeDesc& d) const;
    std::string newKey(const TypeDesc& d) const;
    bool same(const TypeDesc& was, const TypeDesc& now) const { return sameType(was, o, now, n); }
    // "long, now double"; where both are spelt alike (an alias), with what each stands for.
    std::string typeChange(const TypeDesc& was, const TypeDesc& now) const;

    void compareLibraries();
    const TypeInfo* counterpart(const TypeInfo& t);
    void compareType(const TypeInfo& a, const TypeInfo& b);
    bool compareIdentity(const TypeInfo& a, const TypeInfo& b);
    void compareKinds(const TypeInfo& a, const TypeInfo& b);
    void compareCoclasses(const TypeInfo& a, const TypeInfo& b);
    void compareImplemented(const TypeInfo& a, const ImplementedType& i, const TypeInfo& b,
                            std::ptrdiff_t paired, std::vector<bool>& newMatched);
    void compareConstants(const TypeInfo& a, const TypeInfo& b);
    void compareLayouts(const TypeInfo& a, const TypeInfo& b);
    void reportAdded();

    // Members (TypeLibCompatMembers.cpp).
    void compareInterfaces(const TypeInfo& a, const TypeInfo& b);
    void compareProperties(const TypeInfo& a, const Members& om, const Members& nm);
    void compareModules(const TypeInfo& a, const TypeInfo& b);
    void compareFunction(const std::string& type, const Function& f, const Function& g, bool vtable,
                         bool module);
    void compareParams(const std::string& type, const Function& f, const Function& g);
    void compareParam(const std::string& type, const std::string& member, std::size_t i, const Param& p,
                      const Param& q);
    void compareBases(const TypeInfo& a, const TypeInfo& b);

    const TypeLibrary& o;
    const TypeLibrary& n;
    std::vector<CompatDifference> m_out;
    // The new library's types by GUID and by lower-case name (a name may be given more than once),
    // and those already matched to an old type.
    std::unordered_map<std::string, std::vector<const TypeInfo*>> m_newByGuid;
    std::unordered_map<std::string, std::vector<const TypeInfo*>> m_newByName;
    std::unordered_set<const TypeInfo*> m_matched;
};

} // namespace pelorix::compat_detail
