// The members of an interface, dispinterface or module, as a compiled client binds to them: by
// vtable slot or member id, with a signature that must not change.

#include "formats/CompatComparer.h"
#include "formats/TypeLibText.h"

#include <algorithm>
#include <unordered_map>

namespace pelorix::compat_detail {

namespace {

std::string functionKey(const Function& f) {
    return lower(f.name) + "/" + std::to_string(f.invokeKind);
}

std::int32_t slotOf(const Function& f, const TypeLibrary& library) {
    return f.vtableOffset / static_cast<std::int32_t>(library.pointerSize());
}

std::string directionText(std::uint16_t flags) {
    std::string text;
    static constexpr std::pair<std::uint16_t, std::string_view> names[] = {{paramflag::In, "in"},
                                                                           {paramflag::Out, "out"},
                                                                           {paramflag::Lcid, "lcid"},
                                                                           {paramflag::RetVal, "retval"}};
    for (const auto& [bit, name] : names)
        if ((flags & bit) != 0)
            text += (text.empty() ? "" : ", ") + std::string(name);
    return "[" + text + "]";
}

std::string paramName(std::size_t i, const Param& p) {
    return "parameter " + std::to_string(i + 1) + (p.name.empty() ? std::string() : " (" + p.name + ")");
}

std::vector<std::string> functionKeys(const std::vector<const Function*>& functions) {
    std::vector<std::string> keys;
    for (const Function* f : functions)
        keys.push_back(functionKey(*f));
    return keys;
}

} // namespace

void CompatComparer::compareInterfaces(const TypeInfo& a, const TypeInfo& b) {
    const bool vtable = isVtableBound(a) && isVtableBound(b);
    compareBases(a, b);
    const Members om = reachableMembers(o, a);
    const Members nm = reachableMembers(n, b);
    const Pairing pairs = pairByKey(functionKeys(om.functions), functionKeys(nm.functions));
    // A type's own members come last in what it reaches.
    const std::size_t ownOld = om.functions.size() - a.functions.size();
    for (std::size_t i = ownOld; i < om.functions.size(); ++i) {
        if (pairs.forOld[i] < 0)
            breaking(a.name, memberLabel(*om.functions[i]), "removed");
        else
            compareFunction(a.name, *om.functions[i],
                            *nm.functions[static_cast<std::size_t>(pairs.forOld[i])], vtable, false);
    }
    std::int32_t lastOldSlot = -1;
    for (const Function* f : om.functions)
        lastOldSlot = std::max(lastOldSlot, slotOf(*f, o));
    for (std::size_t j = nm.functions.size() - b.functions.size(); j < nm.functions.size(); ++j) {
        if (pairs.newMatched[j])
            continue;
        const Function& g = *nm.functions[j];
        const std::int32_t slot = slotOf(g, n);
        compatible(a.name, memberLabel(g),
                   !vtable ? "added (id " + memberIdText(g.memberId) + ")"
                           : std::string(slot > lastOldSlot ? "added at the end (vtable slot "
                                                            : "added (vtable slot ") +
                                 std::to_string(slot) + ", id " + memberIdText(g.memberId) + ")");
    }
    compareProperties(a, om, nm);
}

// The interface an old interface extends must still be in the new one's chain of bases.
void CompatComparer::compareBases(const TypeInfo& a, const TypeInfo& b) {
    if (a.implemented.empty())
        return;
    const TypeDesc base = TypeDesc::userDefined(a.implemented.front().ref);
    const std::string key = oldKey(base);
    const std::string_view baseGuid = refGuid(o, base.ref);
    const TypeInfo* t = &b;
    for (int depth = 0; t != nullptr && depth < 64 && !t->implemented.empty(); ++depth) {
        const TypeRef& next = t->implemented.front().ref;
        // The old base, or the old interface itself (which extends that base) in another library.
        const std::string_view guid = refGuid(n, next);
        if (newKey(TypeDesc::userDefined(next)) == key || (!guid.empty() && guid == baseGuid) ||
            (!a.guid.empty() && guid == a.guid))
            return;
        t = internalType(n, next);
    }
    const std::string now = b.implemented.empty()
                                ? std::string("nothing")
                                : typeText(TypeDesc::userDefined(b.implemented.front().ref), n);
    breaking(a.name, "", "extends " + typeText(base, o) + ", now " + now);
}

// A dispinterface's properties: each old one by name, with its member id, type and writability.
void CompatComparer::compareProperties(const TypeInfo& a, const Members& om, const Members& nm) {
    std::vector<std::string> oldKeys, newKeys;
    for (const Variable* v : om.properties)
        oldKeys.push_back(lower(v->name));
    for (const Variable* w : nm.properties)
        newKeys.push_back(lower(w->name));
    const Pairing pairs = pairByKey(oldKeys, newKeys);
    for (std::size_t i = om.properties.size() - a.variables.size(); i < om.properties.size(); ++i) {
        const Variable& v = *om.properties[i];
        if (pairs.forOld[i] < 0) {
            breaking(a.name, v.name, "property removed");
            continue;
        }
        const Variable& w = *nm.properties[static_cast<std::size_t>(pairs.forOld[i])];
        if (v.memberId != w.memberId)
            breaking(a.name, v.name,
                     "member id " + memberIdText(v.memberId) + ", now " + memberIdText(w.memberId));
        if (!same(v.type, w.type))
            breaking(a.name, v.name, typeChange(v.type, w.type));
        if ((v.flags & varflag::ReadOnly) == 0 && (w.flags & varflag::ReadOnly) != 0)
            breaking(a.name, v.name, "now read-only");
    }
    for (std::size_t j = 0; j < nm.properties.size(); ++j)
        if (!pairs.newMatched[j])
            compatible(a.name, nm.properties[j]->name,
                       "property added (id " + memberIdText(nm.properties[j]->memberId) + ")");
}

void CompatComparer::compareModules(const TypeInfo& a, const TypeInfo& b) {
    std::vector<const Function*> oldFunctions, newFunctions;
    for (const Function& f : a.functions)
        oldFunctions.push_back(&f);
    for (const Function& g : b.functions)
        newFunctions.push_back(&g);
    const Pairing pairs = pairByKey(functionKeys(oldFunctions), functionKeys(newFunctions));
    for (std::size_t i = 0; i < oldFunctions.size(); ++i) {
        if (pairs.forOld[i] < 0)
            breaking(a.name, memberLabel(*oldFunctions[i]), "removed");
        else
            compareFunction(a.name, *oldFunctions[i],
                            *newFunctions[static_cast<std::size_t>(pairs.forOld[i])], false, true);
    }
    for (std::size_t j = 0; j < newFunctions.size(); ++j)
        if (!pairs.newMatched[j])
            compatible(a.name, memberLabel(*newFunctions[j]), "added");
    compareConstants(a, b);
}

void CompatComparer::compareFunction(const std::string& type, const Function& f, const Function& g,
                                     bool vtable, bool module) {
    const std::string member = memberLabel(f);
    if (!module && f.memberId != g.memberId)
        breaking(type, member, "member id " + memberIdText(f.memberId) + ", now " + memberIdText(g.memberId));
    if (vtable && slotOf(f, o) != slotOf(g, n))
        breaking(type, member,
                 "vtable slot " + std::to_string(slotOf(f, o)) + ", now " + std::to_string(slotOf(g, n)));
    if (module && f.entry != g.entry)
        breaking(type, member, "entry point " + f.entry + ", now " + g.entry);
    if (f.callConv != g.callConv)
        breaking(type, member, "calling convention changed");
    if (!same(f.returnType, g.returnType))
        breaking(type, member, "returns " + typeChange(f.returnType, g.returnType));
    compareParams(type, f, g);
    if (f.flags != g.flags)
        compatible(type, member,
                   "attributes " + functionFlagsText(f.flags) + ", now " + functionFlagsText(g.flags));
    if (f.docString != g.docString)
        compatible(type, member, "help string changed");
}

void CompatComparer::compareParams(const std::string& type, const Function& f, const Function& g) {
    const std::string member = memberLabel(f);
    if (f.params.size() != g.params.size()) {
        breaking(type, member,
                 std::to_string(f.params.size()) + " parameters, now " + std::to_string(g.params.size()));
        return;
    }
    for (std::size_t i = 0; i < f.params.size(); ++i)
        compareParam(type, member, i, f.params[i], g.params[i]);
}

void CompatComparer::compareParam(const std::string& type, const std::string& member, std::size_t i,
                                  const Param& p, const Param& q) {
    if (!same(p.type, q.type)) {
        const TypeDesc& was = unaliased(p.type, o);
        const TypeDesc& now = unaliased(q.type, n);
        if (was.vt == vt::Ptr && was.element != nullptr && same(*was.element, q.type))
            breaking(type, member, paramName(i, p) + ": ByRef, now ByVal");
        else if (now.vt == vt::Ptr && now.element != nullptr && same(p.type, *now.element))
            breaking(type, member, paramName(i, p) + ": ByVal, now ByRef");
        else
            breaking(type, member, paramName(i, p) + ": " + typeChange(p.type, q.type));
    }
    constexpr std::uint16_t direction = paramflag::In | paramflag::Out | paramflag::Lcid | paramflag::RetVal;
    if ((p.flags & direction) != (q.flags & direction))
        breaking(type, member,
                 paramName(i, p) + ": " + directionText(p.flags) + ", now " + directionText(q.flags));
    if ((p.flags & paramflag::Optional) != (q.flags & paramflag::Optional))
        breaking(type, member,
                 paramName(i, p) + ((p.flags & paramflag::Optional) != 0 ? ": optional, now required"
                                                                         : ": required, now optional"));
    if (p.defaultValue != q.defaultValue)
        compatible(type, member,
                   paramName(i, p) + ": default value " +
                       (p.defaultValue ? p.defaultValue->text : std::string("none")) + ", now " +
                       (q.defaultValue ? q.defaultValue->text : std::string("none")));
    if (!sameName(p.name, q.name))
        compatible(type, member, paramName(i, p) + " renamed to " + q.name);
}

} // namespace pelorix::compat_detail
