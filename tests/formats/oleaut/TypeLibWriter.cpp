// A Windows program that writes type libraries with the OLE Automation library's ICreateTypeLib2,
// the interface the VB6 compiler writes its libraries with: the library of a VB6 class in one
// version ("base.tlb") and one file per kind of change a new version can make ("CHANGE.tlb").
// Usage: TypeLibWriter.exe FOLDER
#include <cstdio>
#include <ole2.h>
#include <oleauto.h>
#include <string>
#include <vector>
#include <windows.h>

namespace {

// A parameter: its type (a pointer to it when byRef), flags, and a default text value.
struct P {
    const wchar_t* name;
    VARTYPE vt;
    bool byRef;
    USHORT flags;
    const wchar_t* defaultText = nullptr;
};

// A method or property accessor of a dual interface: HRESULT, the last parameter maybe the
// [out, retval] value.
struct M {
    const wchar_t* name;
    MEMBERID id;
    INVOKEKIND kind;
    std::vector<P> params;
};

GUID guid(unsigned last) {
    return GUID{
        0xC0DE1000, 0, 0x4000, {0x80, 0, 0, 0, 0, 0, static_cast<BYTE>(last >> 8), static_cast<BYTE>(last)}};
}

struct Failure {
    const char* what;
    HRESULT hr;
};

void check(HRESULT hr, const char* what) {
    if (FAILED(hr))
        throw Failure{what, hr};
}

class Writer {
public:
    explicit Writer(const std::wstring& path) {
        check(CreateTypeLib2(SYS_WIN32, path.c_str(), &m_lib), "CreateTypeLib2");
        check(m_lib->SetName(const_cast<LPOLESTR>(L"Bank")), "SetName");
        check(m_lib->SetGuid(guid(1)), "SetGuid");
        check(m_lib->SetVersion(1, 0), "SetVersion");
        check(m_lib->SetLcid(0), "SetLcid");
        ITypeLib* stdole = nullptr;
        check(LoadTypeLib(L"stdole2.tlb", &stdole), "LoadTypeLib(stdole2.tlb)");
        check(stdole->GetTypeInfoOfGuid(IID_IDispatch, &m_dispatch), "IDispatch");
        stdole->Release();
    }

    ICreateTypeInfo* create(const wchar_t* name, TYPEKIND kind, unsigned id, UINT flags) {
        ICreateTypeInfo* info = nullptr;
        check(m_lib->CreateTypeInfo(const_cast<LPOLESTR>(name), kind, &info), "CreateTypeInfo");
        if (id != 0)
            check(info->SetGuid(guid(id)), "SetGuid");
        check(info->SetTypeFlags(flags), "SetTypeFlags");
        check(info->SetVersion(1, 0), "SetVersion");
        m_infos.push_back(info);
        return info;
    }

    void implement(ICreateTypeInfo* info, UINT index, ITypeInfo* base, INT flags) {
        HREFTYPE href = 0;
        check(info->AddRefTypeInfo(base, &href), "AddRefTypeInfo");
        check(info->AddImplType(index, href), "AddImplType");
        if (flags != 0)
            check(info->SetImplTypeFlags(index, flags), "SetImplTypeFlags");
    }

    ITypeInfo* typeInfo(ICreateTypeInfo* info) {
        ITypeInfo* t = nullptr;
        check(info->QueryInterface(IID_ITypeInfo, reinterpret_cast<void**>(&t)), "ITypeInfo");
        t->Release(); // the creating interface keeps it
        return t;
    }

    ITypeInfo* dispatch() const { return m_dispatch; }

    void save() {
        for (ICreateTypeInfo* info : m_infos)
            check(info->LayOut(), "LayOut");
        check(m_lib->SaveAllChanges(), "SaveAllChanges");
    }

    ~Writer() {
        for (ICreateTypeInfo* info : m_infos)
            info->Release();
        if (m_dispatch != nullptr)
            m_dispatch->Release();
        if (m_lib != nullptr)
            m_lib->Release();
    }

private:
    ICreateTypeLib2* m_lib = nullptr;
    ITypeInfo* m_dispatch = nullptr;
    std::vector<ICreateTypeInfo*> m_infos;
};

void addFunction(ICreateTypeInfo* info, UINT index, const M& m, FUNCKIND kind, VARTYPE returns) {
    std::vector<ELEMDESC> params(m.params.size());
    std::vector<TYPEDESC> pointed(m.params.size());
    std::vector<PARAMDESCEX> defaults(m.params.size());
    std::vector<LPOLESTR> names{const_cast<LPOLESTR>(m.name)};
    for (size_t i = 0; i < m.params.size(); ++i) {
        const P& p = m.params[i];
        pointed[i].vt = p.vt;
        params[i].tdesc.vt = p.byRef ? static_cast<VARTYPE>(VT_PTR) : p.vt;
        if (p.byRef)
            params[i].tdesc.lptdesc = &pointed[i];
        params[i].paramdesc.wParamFlags = p.flags;
        if (p.defaultText != nullptr) {
            defaults[i].cBytes = sizeof(PARAMDESCEX);
            VariantInit(&defaults[i].varDefaultValue);
            V_VT(&defaults[i].varDefaultValue) = VT_BSTR;
            V_BSTR(&defaults[i].varDefaultValue) = SysAllocString(p.defaultText);
            params[i].paramdesc.pparamdescex = &defaults[i];
            params[i].paramdesc.wParamFlags |= PARAMFLAG_FHASDEFAULT;
        }
        names.push_back(const_cast<LPOLESTR>(p.name));
    }
    FUNCDESC f{};
    f.memid = m.id;
    f.funckind = kind;
    f.invkind = m.kind;
    f.callconv = CC_STDCALL;
    f.cParams = static_cast<SHORT>(params.size());
    f.cParamsOpt = 0;
    f.lprgelemdescParam = params.empty() ? nullptr : params.data();
    f.elemdescFunc.tdesc.vt = returns;
    check(info->AddFuncDesc(index, &f), "AddFuncDesc");
    // A property's put and putref accessors leave their value unnamed.
    const UINT named =
        m.kind == INVOKE_PROPERTYPUT ? static_cast<UINT>(names.size() - 1) : static_cast<UINT>(names.size());
    check(info->SetFuncAndParamNames(index, names.data(), named), "SetFuncAndParamNames");
    for (PARAMDESCEX& d : defaults)
        VariantClear(&d.varDefaultValue);
}

void addConstant(ICreateTypeInfo* info, UINT index, const wchar_t* name, LONG value) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    VARDESC d{};
    d.memid = MEMBERID_NIL;
    d.lpvarValue = &v;
    d.varkind = VAR_CONST;
    d.elemdescVar.tdesc.vt = VT_I4;
    check(info->AddVarDesc(index, &d), "AddVarDesc");
    check(info->SetVarName(index, const_cast<LPOLESTR>(name)), "SetVarName");
}

void addField(ICreateTypeInfo* info, UINT index, const wchar_t* name, VARTYPE vt, ULONG offset) {
    VARDESC d{};
    d.memid = 0x40000000 + static_cast<MEMBERID>(index);
    d.oInst = offset;
    d.varkind = VAR_PERINSTANCE;
    d.elemdescVar.tdesc.vt = vt;
    check(info->AddVarDesc(index, &d), "AddVarDesc");
    check(info->SetVarName(index, const_cast<LPOLESTR>(name)), "SetVarName");
}

constexpr USHORT In = PARAMFLAG_FIN, Out = PARAMFLAG_FOUT, RetVal = PARAMFLAG_FRETVAL, Opt = PARAMFLAG_FOPT;

// The members of the class's interface as the old version declares them; a change edits them.
std::vector<M> accountMembers(const std::wstring& change) {
    std::vector<M> m = {
        {L"Balance", 0x68030000, INVOKE_PROPERTYGET, {{L"Balance", VT_CY, true, Out | RetVal}}},
        {L"Balance", 0x68030000, INVOKE_PROPERTYPUT, {{L"value", VT_CY, false, In}}},
        {L"Deposit",
         0x60030002,
         INVOKE_FUNC,
         {{L"amount", change == L"PARAM_TYPE_CHANGED" ? VT_R8 : VT_CY, false, In},
          {L"memo", VT_BSTR, false, static_cast<USHORT>(change == L"OPTIONAL_TO_REQUIRED" ? In : In | Opt),
           change == L"OPTIONAL_TO_REQUIRED"    ? nullptr
           : change == L"DEFAULT_VALUE_CHANGED" ? L"none"
                                                : L""}}},
        {L"Withdraw",
         0x60030003,
         INVOKE_FUNC,
         {{L"amount", VT_CY, change != L"BYREF_TO_BYVAL",
           static_cast<USHORT>(change == L"BYREF_TO_BYVAL" ? In : In | Out)},
          {L"ok", VT_BOOL, true, Out | RetVal}}},
        {L"Owner",
         change == L"MEMBER_ID_CHANGED" ? 0x60030009 : 0x60030004,
         INVOKE_FUNC,
         {{L"Owner", VT_BSTR, true, Out | RetVal}}},
    };
    if (change == L"PROPERTY_LET_REMOVED")
        m.erase(m.begin() + 1);
    if (change == L"MEMBER_REMOVED")
        m.pop_back();
    if (change == L"SLOT_MOVED")
        std::swap(m[3], m[4]);
    if (change == L"MEMBER_ADDED_AT_END")
        m.push_back({L"Close", 0x60030005, INVOKE_FUNC, {}});
    return m;
}

ICreateTypeInfo* addInterface(Writer& w, const wchar_t* name, unsigned id, ITypeInfo* base,
                              const std::vector<M>& members, const wchar_t* doc) {
    ICreateTypeInfo* info =
        w.create(name, TKIND_INTERFACE, id,
                 TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FOLEAUTOMATION);
    if (doc != nullptr)
        check(info->SetDocString(const_cast<LPOLESTR>(doc)), "SetDocString");
    w.implement(info, 0, base, 0);
    for (size_t i = 0; i < members.size(); ++i)
        addFunction(info, static_cast<UINT>(i), members[i], FUNC_PUREVIRTUAL, VT_HRESULT);
    return info;
}

void writeLibrary(const std::wstring& path, const std::wstring& change) {
    Writer w(path);
    ICreateTypeInfo* colors = w.create(L"Colors", TKIND_ENUM, 0x10, 0);
    addConstant(colors, 0, L"Red", 1);
    addConstant(colors, 1, L"Green", 2);
    addConstant(colors, 2, L"Blue", change == L"ENUM_VALUE_CHANGED" ? 8 : 4);
    if (change == L"ENUM_CONSTANT_ADDED")
        addConstant(colors, 3, L"Cyan", 16);
    ICreateTypeInfo* entry = w.create(L"Entry", TKIND_RECORD, 0x11, 0);
    addField(entry, 0, L"Amount", VT_CY, 0);
    addField(entry, 1, L"Day", change == L"RECORD_LAYOUT_CHANGED" ? VT_R8 : VT_I4, 8);

    const bool extended = change == L"INTERFACE_EXTENDED";
    const unsigned iid = change == L"IID_CHANGED" || extended ? 0x120 : 0x20;
    const wchar_t* doc = change == L"HELPSTRING_CHANGED" ? L"An account" : nullptr;
    ITypeInfo* base = w.dispatch();
    if (extended) // the old interface keeps its id under another name; the new one extends it
        base = w.typeInfo(addInterface(w, L"_AccountV0", 0x20, base, accountMembers(L""), nullptr));
    const std::vector<M> added{{L"Close", 0x60030005, INVOKE_FUNC, {}}};
    ICreateTypeInfo* account =
        addInterface(w, L"_Account", iid, base, extended ? added : accountMembers(change), doc);

    ICreateTypeInfo* events =
        w.create(L"__Account", TKIND_DISPATCH, 0x21, TYPEFLAG_FHIDDEN | TYPEFLAG_FNONEXTENSIBLE);
    w.implement(events, 0, w.dispatch(), 0);
    addFunction(events, 0, {L"Changed", 1, INVOKE_FUNC, {{L"balance", VT_CY, false, In}}}, FUNC_DISPATCH,
                VT_VOID);
    if (change != L"EVENT_REMOVED")
        addFunction(events, 1, {L"Closed", 2, INVOKE_FUNC, {}}, FUNC_DISPATCH, VT_VOID);

    ICreateTypeInfo* coclass = w.create(L"Account", TKIND_COCLASS,
                                        change == L"CLASS_ID_CHANGED" ? 0x130 : 0x30, TYPEFLAG_FCANCREATE);
    w.implement(coclass, 0, w.typeInfo(account), IMPLTYPEFLAG_FDEFAULT);
    w.implement(coclass, 1, w.typeInfo(events), IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE);
    if (change != L"CLASS_REMOVED") {
        ICreateTypeInfo* ledger = addInterface(
            w, L"_Ledger", 0x22, w.dispatch(),
            {{L"Count", 0x68030000, INVOKE_PROPERTYGET, {{L"Count", VT_I4, true, Out | RetVal}}}}, nullptr);
        ICreateTypeInfo* cls = w.create(L"Ledger", TKIND_COCLASS, 0x31, TYPEFLAG_FCANCREATE);
        w.implement(cls, 0, w.typeInfo(ledger), IMPLTYPEFLAG_FDEFAULT);
    }
    if (change == L"CLASS_ADDED") {
        ICreateTypeInfo* cls = w.create(L"Journal", TKIND_COCLASS, 0x32, TYPEFLAG_FCANCREATE);
        w.implement(cls, 0, w.typeInfo(account), IMPLTYPEFLAG_FDEFAULT);
    }
    w.save();
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: TypeLibWriter FOLDER\n");
        return 2;
    }
    const std::wstring folder = argv[1];
    const wchar_t* changes[] = {L"",
                                L"MEMBER_REMOVED",
                                L"PROPERTY_LET_REMOVED",
                                L"PARAM_TYPE_CHANGED",
                                L"BYREF_TO_BYVAL",
                                L"OPTIONAL_TO_REQUIRED",
                                L"DEFAULT_VALUE_CHANGED",
                                L"MEMBER_ADDED_AT_END",
                                L"SLOT_MOVED",
                                L"MEMBER_ID_CHANGED",
                                L"ENUM_VALUE_CHANGED",
                                L"ENUM_CONSTANT_ADDED",
                                L"RECORD_LAYOUT_CHANGED",
                                L"CLASS_ID_CHANGED",
                                L"INTERFACE_EXTENDED",
                                L"IID_CHANGED",
                                L"CLASS_REMOVED",
                                L"CLASS_ADDED",
                                L"HELPSTRING_CHANGED",
                                L"EVENT_REMOVED"};
    check(CoInitialize(nullptr), "CoInitialize");
    int status = 0;
    for (const wchar_t* change : changes) {
        const std::wstring path = folder + L"\\" + (*change != 0 ? std::wstring(change) : L"base") + L".tlb";
        try {
            writeLibrary(path, change);
        } catch (const Failure& f) {
            std::fprintf(stderr, "%ls: %s failed: 0x%08lX\n", path.c_str(), f.what,
                         static_cast<unsigned long>(f.hr));
            status = 1;
        }
    }
    CoUninitialize();
    return status;
}
