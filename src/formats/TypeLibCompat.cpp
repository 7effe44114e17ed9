#include "formats/TypeLibCompat.h"

#include "formats/CompatComparer.h"
#include "formats/TypeLibText.h"

#include <algorithm>
#include <numeric>

namespace pelorix {

namespace compat_detail {

namespace {

constexpr int MaxChain = 64; // interfaces extending each other, aliases of aliases

std::string typeKey(const TypeDesc& d, const TypeLibrary& library, int depth);

// A referenced type's identity: this library's types by name (aliases resolved), another
// library's by GUID, or by that library's GUID and the type's index there.
std::string refKey(const TypeRef& ref, const TypeLibrary& library, int depth) {
    if (const TypeInfo* t = internalType(library, ref))
        return t->kind == TypeKind::Alias ? typeKey(t->aliasOf, library, depth + 1)
                                          : "type " + lower(t->name);
    const ExternalType* e = externalType(library, ref);
    if (e == nullptr)
        return "none";
    if (!e->guid.empty())
        return e->guid;
    const bool known =
        e->importIndex >= 0 && static_cast<std::size_t>(e->importIndex) < library.imports.size();
    return "import " +
           (known ? library.imports[static_cast<std::size_t>(e->importIndex)].guid : std::string("?")) + "#" +
           std::to_string(e->importedIndex);
}

std::string typeKey(const TypeDesc& d, const TypeLibrary& library, int depth) {
    if (depth > MaxChain)
        return "?";
    const std::string element =
        d.element == nullptr ? std::string("?") : typeKey(*d.element, library, depth + 1);
    switch (d.vt) {
    case vt::Ptr:
        return element + "*";
    case vt::SafeArray:
        return "SAFEARRAY(" + element + ")";
    case vt::CArray: {
        std::string key = element;
        for (const ArrayBound& b : d.bounds)
            key += "[" + std::to_string(b.lowerBound) + ":" + std::to_string(b.elements) + "]";
        return key;
    }
    case vt::UserDefined:
        return refKey(d.ref, library, depth);
    default:
        return "vt" + std::to_string(d.vt);
    }
}

// The type an alias of this library stands for, aliases of aliases followed.
TypeDesc resolved(const TypeDesc& d, const TypeLibrary& library) {
    TypeDesc r = d;
    for (int depth = 0; depth < MaxChain && r.vt == vt::UserDefined; ++depth) {
        const TypeInfo* t = internalType(library, r.ref);
        if (t == nullptr || t->kind != TypeKind::Alias)
            break;
        r = t->aliasOf;
    }
    if (r.element != nullptr)
        r.element = std::make_shared<const TypeDesc>(resolved(*r.element, library));
    return r;
}

std::string versionText(std::uint16_t major, std::uint16_t minor) {
    return std::to_string(major) + "." + std::to_string(minor);
}

// The types in the order a report lists them: by name.
std::vector<const TypeInfo*> byName(const TypeLibrary& library) {
    std::vector<std::pair<std::string, const TypeInfo*>> keyed;
    for (const TypeInfo& t : library.types)
        keyed.emplace_back(lower(t.name), &t);
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<const TypeInfo*> types;
    for (const auto& k : keyed)
        types.push_back(k.second);
    return types;
}

std::string kindText(const TypeInfo& t) {
    if (t.kind == TypeKind::Dispatch && (t.flags & typeflag::Dual) != 0)
        return "dual interface";
    return std::string(typeKindText(t.kind));
}

} // namespace

std::string lower(std::string_view text) {
    std::string s(text);
    for (char& c : s)
        c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return s;
}

std::string memberLabel(const Function& f) {
    const std::string_view kind = invokeKindText(f.invokeKind);
    return kind.empty() ? f.name : f.name + " (" + std::string(kind) + ")";
}

Members reachableMembers(const TypeLibrary& library, const TypeInfo& type) {
    std::vector<const TypeInfo*> chain{&type};
    while (chain.size() < MaxChain && !chain.back()->implemented.empty() &&
           (chain.back()->kind == TypeKind::Interface || chain.back()->kind == TypeKind::Dispatch)) {
        const TypeInfo* base = internalType(library, chain.back()->implemented.front().ref);
        if (base == nullptr || std::find(chain.begin(), chain.end(), base) != chain.end())
            break;
        chain.push_back(base);
    }
    Members m;
    for (auto t = chain.rbegin(); t != chain.rend(); ++t) {
        for (const Function& f : (*t)->functions)
            m.functions.push_back(&f);
        for (const Variable& v : (*t)->variables)
            m.properties.push_back(&v);
    }
    return m;
}

bool sameName(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const char x = (a[i] >= 'A' && a[i] <= 'Z') ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
        const char y = (b[i] >= 'A' && b[i] <= 'Z') ? static_cast<char>(b[i] - 'A' + 'a') : b[i];
        if (x != y)
            return false;
    }
    return true;
}

const TypeDesc& unaliased(const TypeDesc& d, const TypeLibrary& library) {
    const TypeDesc* r = &d;
    for (int depth = 0; depth < MaxChain && r->vt == vt::UserDefined; ++depth) {
        const TypeInfo* t = internalType(library, r->ref);
        if (t == nullptr || t->kind != TypeKind::Alias)
            break;
        r = &t->aliasOf;
    }
    return *r;
}

namespace {

std::string_view importGuid(const TypeLibrary& library, const ExternalType& e) {
    if (e.importIndex < 0 || static_cast<std::size_t>(e.importIndex) >= library.imports.size())
        return {};
    return library.imports[static_cast<std::size_t>(e.importIndex)].guid;
}

bool sameRef(const TypeRef& a, const TypeLibrary& la, const TypeRef& b, const TypeLibrary& lb) {
    const TypeInfo* ta = internalType(la, a);
    const TypeInfo* tb = internalType(lb, b);
    if (ta != nullptr || tb != nullptr)
        return ta != nullptr && tb != nullptr && sameName(ta->name, tb->name);
    const ExternalType* ea = externalType(la, a);
    const ExternalType* eb = externalType(lb, b);
    if (ea == nullptr || eb == nullptr)
        return ea == eb;
    if (!ea->guid.empty() || !eb->guid.empty())
        return ea->guid == eb->guid;
    return ea->importedIndex == eb->importedIndex && importGuid(la, *ea) == importGuid(lb, *eb);
}

} // namespace

bool sameType(const TypeDesc& a, const TypeLibrary& la, const TypeDesc& b, const TypeLibrary& lb, int depth) {
    const TypeDesc& x = unaliased(a, la);
    const TypeDesc& y = unaliased(b, lb);
    if (depth > MaxChain || x.vt != y.vt || (x.element == nullptr) != (y.element == nullptr))
        return false;
    if (x.vt == vt::UserDefined)
        return sameRef(x.ref, la, y.ref, lb);
    if (x.vt == vt::CArray &&
        (x.bounds.size() != y.bounds.size() || !std::equal(x.bounds.begin(), x.bounds.end(), y.bounds.begin(),
                                                           [](const ArrayBound& p, const ArrayBound& q) {
                                                               return p.elements == q.elements &&
                                                                      p.lowerBound == q.lowerBound;
                                                           })))
        return false;
    return x.element == nullptr || x.element == y.element ||
           sameType(*x.element, la, *y.element, lb, depth + 1);
}

Pairing pairByKey(const std::vector<std::string>& oldKeys, const std::vector<std::string>& newKeys) {
    std::unordered_map<std::string, std::vector<std::size_t>> positions;
    for (std::size_t j = newKeys.size(); j-- > 0;)
        positions[newKeys[j]].push_back(j); // last first, so that the first is taken from the back
    Pairing p{std::vector<std::ptrdiff_t>(oldKeys.size(), -1), std::vector<bool>(newKeys.size(), false)};
    for (std::size_t i = 0; i < oldKeys.size(); ++i) {
        const auto found = positions.find(oldKeys[i]);
        if (found == positions.end() || found->second.empty())
            continue;
        p.forOld[i] = static_cast<std::ptrdiff_t>(found->second.back());
        p.newMatched[found->second.back()] = true;
        found->second.pop_back();
    }
    return p;
}

bool extendsInterface(const TypeLibrary& library, const TypeInfo& type, const std::string& iid) {
    const TypeInfo* t = &type;
    for (int depth = 0; t != nullptr && depth < MaxChain && !t->implemented.empty(); ++depth) {
        if (t->kind != TypeKind::Interface && t->kind != TypeKind::Dispatch)
            return false;
        const TypeRef& base = t->implemented.front().ref;
        if (const std::string_view guid = refGuid(library, base); !guid.empty() && guid == iid)
            return true;
        t = internalType(library, base);
    }
    return false;
}

CompatComparer::CompatComparer(const TypeLibrary& oldLib, const TypeLibrary& newLib) : o(oldLib), n(newLib) {
    for (const TypeInfo& t : n.types) {
        if (!t.guid.empty())
            m_newByGuid[t.guid].push_back(&t);
        m_newByName[lower(t.name)].push_back(&t);
    }
}

std::vector<CompatDifference> CompatComparer::run() {
    compareLibraries();
    for (const TypeInfo* a : byName(o)) {
        const TypeInfo* b = counterpart(*a);
        if (b == nullptr) {
            breaking(a->name, "", kindText(*a) + " removed");
            continue;
        }
        m_matched.insert(b);
        compareType(*a, *b);
    }
    reportAdded();
    return std::move(m_out);
}

void CompatComparer::breaking(const std::string& type, const std::string& member, std::string what) {
    m_out.push_back({CompatSeverity::Breaking, type, member, std::move(what)});
}

void CompatComparer::compatible(const std::string& type, const std::string& member, std::string what) {
    m_out.push_back({CompatSeverity::Compatible, type, member, std::move(what)});
}

std::string CompatComparer::oldKey(const TypeDesc& d) const {
    return typeKey(d, o, 0);
}

std::string CompatComparer::newKey(const TypeDesc& d) const {
    return typeKey(d, n, 0);
}

std::string CompatComparer::typeChange(const TypeDesc& was, const TypeDesc& now) const {
    const std::string a = typeText(was, o);
    const std::string b = typeText(now, n);
    if (a != b)
        return a + ", now " + b;
    return a + " (" + typeText(resolved(was, o), o) + "), now " + b + " (" + typeText(resolved(now, n), n) +
           ")";
}

void CompatComparer::compareLibraries() {
    const std::string lib(LibraryItself);
    if (o.guid != n.guid)
        breaking(lib, "",
                 "library id " + o.guid + ", now " + n.guid +
                     ": references to the library no longer find it");
    if (o.majorVersion != n.majorVersion || o.minorVersion != n.minorVersion)
        compatible(lib, "",
                   "version " + versionText(o.majorVersion, o.minorVersion) + ", now " +
                       versionText(n.majorVersion, n.minorVersion));
    if (o.name != n.name)
        compatible(lib, "", "name " + o.name + ", now " + n.name);
    if (o.docString != n.docString)
        compatible(lib, "", "help string changed");
}

// The new library's version of a type: one not yet matched with its GUID (of several, the one of
// its name first), else with its name; types given one name twice are matched in their order.
const TypeInfo* CompatComparer::counterpart(const TypeInfo& t) {
    auto first = [&](const auto& index, const std::string& key) -> const TypeInfo* {
        const auto found = index.find(key);
        if (found == index.end())
            return nullptr;
        const TypeInfo* any = nullptr;
        for (const TypeInfo* candidate : found->second) {
            if (m_matched.contains(candidate))
                continue;
            if (sameName(candidate->name, t.name))
                return candidate;
            any = any != nullptr ? any : candidate;
        }
        return any;
    };
    const TypeInfo* same = t.guid.empty() ? nullptr : first(m_newByGuid, t.guid);
    return same != nullptr ? same : first(m_newByName, lower(t.name));
}

void CompatComparer::compareType(const TypeInfo& a, const TypeInfo& b) {
    if (!compareIdentity(a, b))
        return;
    if (a.docString != b.docString)
        compatible(a.name, "", "help string changed");
    switch (a.kind) {
    case TypeKind::Coclass:
        compareCoclasses(a, b);
        break;
    case TypeKind::Interface:
    case TypeKind::Dispatch:
        compareInterfaces(a, b);
        break;
    case TypeKind::Enum:
        compareConstants(a, b);
        break;
    case TypeKind::Record:
    case TypeKind::Union:
        compareLayouts(a, b);
        break;
    case TypeKind::Module:
        compareModules(a, b);
        break;
    case TypeKind::Alias:
        if (!same(a.aliasOf, b.aliasOf))
            breaking(a.name, "", "an alias of " + typeChange(a.aliasOf, b.aliasOf));
        break;
    }
}

// Name, GUID and kind; false when the kinds differ so much that members cannot be compared.
bool CompatComparer::compareIdentity(const TypeInfo& a, const TypeInfo& b) {
    if (!sameName(a.name, b.name)) {
        if (a.kind == TypeKind::Coclass)
            breaking(a.name, "", "renamed to " + b.name + ": its programmatic id changes");
        else
            compatible(a.name, "",
                       "renamed to " + b.name + (a.guid.empty() ? "" : " (the same id " + a.guid + ")"));
    }
    if (a.guid != b.guid && !a.guid.empty()) {
        const bool iface = a.kind == TypeKind::Interface || a.kind == TypeKind::Dispatch;
        if (iface && extendsInterface(n, b, a.guid))
            compatible(a.name, "",
                       "interface id " + a.guid + ", now " + b.guid + ", which extends " + a.guid);
        else if (iface)
            breaking(a.name, "",
                     "interface id " + a.guid + " is no longer implemented (now " +
                         (b.guid.empty() ? std::string("none") : b.guid) + ")");
        else if (a.kind == TypeKind::Coclass)
            breaking(a.name, "",
                     "class id " + a.guid + ", now " + (b.guid.empty() ? std::string("none") : b.guid));
        else if (a.kind == TypeKind::Record || a.kind == TypeKind::Union)
            breaking(a.name, "",
                     "GUID " + a.guid + ", now " + (b.guid.empty() ? std::string("none") : b.guid));
        else
            compatible(a.name, "",
                       "GUID " + a.guid + ", now " + (b.guid.empty() ? std::string("none") : b.guid));
    }
    compareKinds(a, b);
    const bool interfaces = (a.kind == TypeKind::Interface || a.kind == TypeKind::Dispatch) &&
                            (b.kind == TypeKind::Interface || b.kind == TypeKind::Dispatch);
    return a.kind == b.kind || interfaces;
}

void CompatComparer::compareKinds(const TypeInfo& a, const TypeInfo& b) {
    const std::string was = kindText(a);
    const std::string now = kindText(b);
    if (was == now)
        return;
    // A dispinterface that becomes dual keeps every call through IDispatch; an interface that
    // becomes dual keeps its vtable.
    if ((was == "dispinterface" || was == "interface") && now == "dual interface")
        compatible(a.name, "", "a " + was + ", now a " + now);
    else
        breaking(a.name, "", "a " + was + ", now a " + now);
}

void CompatComparer::compareCoclasses(const TypeInfo& a, const TypeInfo& b) {
    if ((a.flags & typeflag::CanCreate) != 0 && (b.flags & typeflag::CanCreate) == 0)
        breaking(a.name, "", "can no longer be created");
    std::vector<std::string> oldKeys, newKeys;
    for (const ImplementedType& i : a.implemented)
        oldKeys.push_back(oldKey(TypeDesc::userDefined(i.ref)));
    for (const ImplementedType& j : b.implemented)
        newKeys.push_back(newKey(TypeDesc::userDefined(j.ref)));
    Pairing pairs = pairByKey(oldKeys, newKeys);
    for (std::size_t i = 0; i < a.implemented.size(); ++i)
        compareImplemented(a, a.implemented[i], b, pairs.forOld[i], pairs.newMatched);
    for (std::size_t j = 0; j < b.implemented.size(); ++j)
        if (!pairs.newMatched[j])
            compatible(a.name, "",
                       "now also implements " + typeText(TypeDesc::userDefined(b.implemented[j].ref), n));
}

// One interface of an old class: the new class implements it (paired is its index there), or one
// that extends it, with the same role (default, source).
void CompatComparer::compareImplemented(const TypeInfo& a, const ImplementedType& i, const TypeInfo& b,
                                        std::ptrdiff_t paired, std::vector<bool>& newMatched) {
    const std::string name = typeText(TypeDesc::userDefined(i.ref), o);
    const ImplementedType* same = paired >= 0 ? &b.implemented[static_cast<std::size_t>(paired)] : nullptr;
    const std::string iid(refGuid(o, i.ref));
    for (std::size_t j = 0; same == nullptr && !iid.empty() && j < b.implemented.size(); ++j) {
        const TypeInfo* t = internalType(n, b.implemented[j].ref);
        if (!newMatched[j] && t != nullptr && (t->guid == iid || extendsInterface(n, *t, iid))) {
            same = &b.implemented[j];
            newMatched[j] = true;
        }
    }
    if (same == nullptr) {
        breaking(a.name, "", "no longer implements " + name);
        return;
    }
    constexpr std::uint32_t roles = implflag::Default | implflag::Source;
    if ((i.flags & roles) != (same->flags & roles))
        breaking(a.name, "",
                 name + ((i.flags & implflag::Default) != 0 && (same->flags & implflag::Default) == 0
                             ? " is no longer the default interface"
                             : " changed its role (default, source)"));
}

void CompatComparer::compareConstants(const TypeInfo& a, const TypeInfo& b) {
    std::vector<std::string> oldKeys, newKeys;
    for (const Variable& v : a.variables)
        oldKeys.push_back(lower(v.name));
    for (const Variable& w : b.variables)
        newKeys.push_back(lower(w.name));
    const Pairing pairs = pairByKey(oldKeys, newKeys);
    for (std::size_t i = 0; i < a.variables.size(); ++i) {
        const Variable& v = a.variables[i];
        if (pairs.forOld[i] < 0) {
            breaking(a.name, v.name, "constant removed");
            continue;
        }
        const Variable& w = b.variables[static_cast<std::size_t>(pairs.forOld[i])];
        if (v.value != w.value)
            breaking(a.name, v.name,
                     "value " + (v.value ? v.value->text : "?") + ", now " + (w.value ? w.value->text : "?"));
    }
    for (std::size_t j = 0; j < b.variables.size(); ++j)
        if (!pairs.newMatched[j])
            compatible(a.name, b.variables[j].name,
                       "constant added (" + (b.variables[j].value ? b.variables[j].value->text : "?") + ")");
}

// A record's layout: its size and each field's offset and type, in order.
void CompatComparer::compareLayouts(const TypeInfo& a, const TypeInfo& b) {
    if (a.size != b.size)
        breaking(a.name, "", "size " + std::to_string(a.size) + " bytes, now " + std::to_string(b.size));
    const std::size_t common = std::min(a.variables.size(), b.variables.size());
    for (std::size_t i = 0; i < common; ++i) {
        const Variable& v = a.variables[i];
        const Variable& w = b.variables[i];
        std::string change;
        if (v.offset != w.offset)
            change = "offset " + std::to_string(v.offset) + ", now " + std::to_string(w.offset);
        if (!same(v.type, w.type))
            change += (change.empty() ? "" : "; ") + typeChange(v.type, w.type);
        if (!change.empty())
            breaking(a.name, v.name, "field " + std::to_string(i + 1) + ": " + change);
        else if (!sameName(v.name, w.name))
            compatible(a.name, v.name, "field " + std::to_string(i + 1) + " renamed to " + w.name);
    }
    for (std::size_t i = common; i < a.variables.size(); ++i)
        breaking(a.name, a.variables[i].name, "field removed");
    for (std::size_t i = common; i < b.variables.size(); ++i)
        breaking(a.name, b.variables[i].name, "field added: the record's layout changed");
}

void CompatComparer::reportAdded() {
    for (const TypeInfo* b : byName(n))
        if (!m_matched.contains(b))
            compatible(b->name, "",
                       kindText(*b) + " added" + (b->guid.empty() ? "" : " (id " + b->guid + ")"));
}

} // namespace compat_detail

std::vector<CompatDifference> compare(const TypeLibrary& oldLib, const TypeLibrary& newLib) {
    return compat_detail::CompatComparer(oldLib, newLib).run();
}

bool anyBreaking(const std::vector<CompatDifference>& differences) {
    return std::any_of(differences.begin(), differences.end(),
                       [](const CompatDifference& d) { return d.severity == CompatSeverity::Breaking; });
}

std::string_view severityText(CompatSeverity severity) {
    return severity == CompatSeverity::Breaking ? "breaking" : "compatible";
}

} // namespace pelorix
