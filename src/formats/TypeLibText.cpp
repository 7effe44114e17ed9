#include "formats/TypeLibText.h"

#include <algorithm>
#include <array>
#include <numeric>

namespace pelorix {

namespace {

std::string_view basicTypeName(std::uint16_t type) {
    static constexpr std::pair<std::uint16_t, std::string_view> names[] = {{vt::Empty, "EMPTY"},
                                                                           {vt::Null, "NULL"},
                                                                           {vt::I2, "short"},
                                                                           {vt::I4, "long"},
                                                                           {vt::R4, "float"},
                                                                           {vt::R8, "double"},
                                                                           {vt::Cy, "CURRENCY"},
                                                                           {vt::Date, "DATE"},
                                                                           {vt::Bstr, "BSTR"},
                                                                           {vt::Dispatch, "IDispatch*"},
                                                                           {vt::Error, "SCODE"},
                                                                           {vt::Bool, "VARIANT_BOOL"},
                                                                           {vt::Variant, "VARIANT"},
                                                                           {vt::Unknown, "IUnknown*"},
                                                                           {vt::Decimal, "DECIMAL"},
                                                                           {vt::I1, "char"},
                                                                           {vt::UI1, "unsigned char"},
                                                                           {vt::UI2, "unsigned short"},
                                                                           {vt::UI4, "unsigned long"},
                                                                           {vt::I8, "__int64"},
                                                                           {vt::UI8, "unsigned __int64"},
                                                                           {vt::Int, "int"},
                                                                           {vt::UInt, "unsigned int"},
                                                                           {vt::Void, "void"},
                                                                           {vt::HResult, "HRESULT"},
                                                                           {vt::LpStr, "LPSTR"},
                                                                           {vt::LpWStr, "LPWSTR"},
                                                                           {vt::IntPtr, "INT_PTR"},
                                                                           {vt::UIntPtr, "UINT_PTR"}};
    for (const auto& [code, name] : names)
        if (code == type)
            return name;
    return {};
}

// A referenced type that the file does not name: its GUID, or its index in the library it
// comes from.
std::string unnamedRefText(const TypeRef& ref, const TypeLibrary& library) {
    const ExternalType* e = externalType(library, ref);
    if (e == nullptr)
        return "(no type)";
    if (!e->guid.empty())
        return e->guid;
    std::string from = "?";
    if (e->importIndex >= 0 && static_cast<std::size_t>(e->importIndex) < library.imports.size())
        from = library.imports[static_cast<std::size_t>(e->importIndex)].fileName;
    return "(type " + std::to_string(e->importedIndex) + " of " + from + ")";
}

void appendType(std::string& out, const TypeDesc& type, const TypeLibrary& library);

// A C array's bounds as IDL writes them after a name: "[4]", or "[1..5]" from a lower bound.
void appendBounds(std::string& out, const std::vector<ArrayBound>& bounds) {
    for (const ArrayBound& b : bounds) {
        out += '[';
        if (b.lowerBound != 0)
            out += std::to_string(b.lowerBound) + ".." +
                   std::to_string(std::int64_t{b.lowerBound} + b.elements - 1);
        else
            out += std::to_string(b.elements);
        out += ']';
    }
}

void appendType(std::string& out, const TypeDesc& type, const TypeLibrary& library) {
    const TypeDesc* element = type.element.get();
    switch (type.vt) {
    case vt::Ptr:
        element != nullptr ? appendType(out, *element, library) : void(out += "void");
        out += '*';
        return;
    case vt::SafeArray:
        out += "SAFEARRAY(";
        element != nullptr ? appendType(out, *element, library) : void(out += '?');
        out += ')';
        return;
    case vt::CArray:
        element != nullptr ? appendType(out, *element, library) : void(out += '?');
        appendBounds(out, type.bounds);
        return;
    case vt::UserDefined:
        if (const std::string_view name = refName(library, type.ref); !name.empty())
            out += name;
        else
            out += unnamedRefText(type.ref, library);
        return;
    default:
        if (const std::string_view name = basicTypeName(type.vt); !name.empty())
            out += name;
        else
            out += "VT_" + std::to_string(type.vt);
    }
}

// "0x" and the value in upper-case hexadecimal, of at least that many digits.
std::string hexText(std::uint32_t value, int digits) {
    std::array<char, 8> buffer{};
    int length = 0;
    do {
        buffer[static_cast<std::size_t>(length++)] = "0123456789ABCDEF"[value & 0xF];
        value >>= 4;
    } while (value != 0 && length < 8);
    std::string text = "0x";
    text.append(static_cast<std::size_t>(std::max(0, digits - length)), '0');
    while (length > 0)
        text += buffer[static_cast<std::size_t>(--length)];
    return text;
}

// The attribute list "[a, b, c]" followed by a line end, or nothing when it is empty.
std::string attributeLine(const std::vector<std::string>& attributes, std::string_view indent) {
    if (attributes.empty())
        return {};
    std::string line = std::string(indent) + "[";
    for (std::size_t i = 0; i < attributes.size(); ++i)
        line += (i == 0 ? "" : ", ") + attributes[i];
    return line + "]\n";
}

std::string quoted(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string versionText(std::uint16_t major, std::uint16_t minor) {
    return std::to_string(major) + "." + std::to_string(minor);
}

std::vector<std::string> typeAttributes(const TypeInfo& t) {
    std::vector<std::string> a;
    if (!t.guid.empty())
        a.push_back("uuid(" + t.guid.substr(1, 36) + ")");
    if (t.majorVersion != 0 || t.minorVersion != 0)
        a.push_back("version(" + versionText(t.majorVersion, t.minorVersion) + ")");
    if (!t.docString.empty())
        a.push_back("helpstring(" + quoted(t.docString) + ")");
    static constexpr std::pair<std::uint16_t, std::string_view> flags[] = {
        {typeflag::AppObject, "appobject"},
        {typeflag::Licensed, "licensed"},
        {typeflag::PredeclId, "predeclid"},
        {typeflag::Hidden, "hidden"},
        {typeflag::Control, "control"},
        {typeflag::Dual, "dual"},
        {typeflag::NonExtensible, "nonextensible"},
        {typeflag::OleAutomation, "oleautomation"},
        {typeflag::Restricted, "restricted"},
        {typeflag::Aggregatable, "aggregatable"},
        {typeflag::Replaceable, "replaceable"},
        {typeflag::ReverseBind, "reversebind"}};
    for (const auto& [bit, name] : flags)
        if ((t.flags & bit) != 0)
            a.emplace_back(name);
    if (t.kind == TypeKind::Coclass && (t.flags & typeflag::CanCreate) == 0)
        a.emplace_back("noncreatable");
    return a;
}

// A declaration of a name of a type: "long x", "unsigned char Data4[8]" (a C array's bounds follow
// the name).
void appendDeclaration(std::string& out, const TypeDesc& type, std::string_view name,
                       const TypeLibrary& library) {
    const bool array = type.vt == vt::CArray && type.element != nullptr;
    appendType(out, array ? *type.element : type, library);
    if (!name.empty()) {
        out += ' ';
        out += name;
    }
    if (array)
        appendBounds(out, type.bounds);
}

std::string declarationText(const TypeDesc& type, const std::string& name, const TypeLibrary& library) {
    std::string text;
    appendDeclaration(text, type, name, library);
    return text;
}

// Appends "[a, b] " for the attributes the calls of add name, or nothing when there are none.
class AttributeList {
public:
    explicit AttributeList(std::string& out) : m_out(out) {}
    std::string& add() {
        m_out += m_empty ? "[" : ", ";
        m_empty = false;
        return m_out;
    }
    void close(std::string_view after = " ") {
        if (!m_empty) {
            m_out += ']';
            m_out += after;
        }
    }

private:
    std::string& m_out;
    bool m_empty = true;
};

void appendParam(std::string& out, const Param& p, const TypeLibrary& library) {
    static constexpr std::pair<std::uint16_t, std::string_view> flags[] = {{paramflag::In, "in"},
                                                                           {paramflag::Out, "out"},
                                                                           {paramflag::Lcid, "lcid"},
                                                                           {paramflag::RetVal, "retval"},
                                                                           {paramflag::Optional, "optional"}};
    AttributeList attributes(out);
    for (const auto& [bit, name] : flags)
        if ((p.flags & bit) != 0)
            attributes.add() += name;
    if (p.defaultValue)
        attributes.add() += "defaultvalue(" + p.defaultValue->text + ")";
    attributes.close();
    appendDeclaration(out, p.type, p.name, library);
}

std::string_view callConvText(std::uint8_t callConv) {
    static constexpr std::array<std::string_view, 9> names = {
        "", "__cdecl", "__pascal", "__macpascal", "", "__fastcall", "__syscall", "__mpwcdecl", "__mpwpascal"};
    return callConv < names.size() ? names[callConv] : std::string_view("__callconv?");
}

constexpr std::pair<std::uint16_t, std::string_view> functionFlags[] = {
    {0x1, "restricted"},   {0x2, "source"},         {0x4, "bindable"},       {0x8, "requestedit"},
    {0x10, "displaybind"}, {0x20, "defaultbind"},   {0x40, "hidden"},        {0x200, "defaultcollelem"},
    {0x400, "uidefault"},  {0x800, "nonbrowsable"}, {0x1000, "replaceable"}, {0x2000, "immediatebind"}};

void appendFunctionAttributes(std::string& out, const Function& f) {
    AttributeList attributes(out);
    attributes.add() += "id(" + memberIdText(f.memberId) + ")";
    if (const std::string_view kind = invokeKindText(f.invokeKind); !kind.empty())
        attributes.add() += kind;
    for (const auto& [bit, name] : functionFlags)
        if ((f.flags & bit) != 0)
            attributes.add() += name;
    if (!f.entry.empty())
        attributes.add() += "entry(" + (f.entry.starts_with('#') ? f.entry.substr(1) : quoted(f.entry)) + ")";
    if (!f.docString.empty())
        attributes.add() += "helpstring(" + quoted(f.docString) + ")";
    attributes.close();
}

void appendFunction(std::string& out, const Function& f, const TypeInfo& type, const TypeLibrary& library) {
    out += "        ";
    appendFunctionAttributes(out, f);
    appendType(out, f.returnType, library);
    out += ' ';
    if (const std::string_view cc = callConvText(f.callConv); !cc.empty()) {
        out += cc;
        out += ' ';
    }
    out += f.name;
    out += '(';
    for (std::size_t i = 0; i < f.params.size(); ++i) {
        if (i != 0)
            out += ", ";
        appendParam(out, f.params[i], library);
    }
    out += ");";
    if (isVtableBound(type) && f.funcKind != funckind::Static)
        out += " // vtable slot " +
               std::to_string(f.vtableOffset / static_cast<std::int32_t>(library.pointerSize()));
    out += '\n';
}

std::string variableText(const Variable& v, const TypeInfo& type, const TypeLibrary& library) {
    if (type.kind == TypeKind::Enum)
        return "        " + v.name + " = " + (v.value ? v.value->text : "?") + ",\n";
    std::vector<std::string> a;
    if (type.kind == TypeKind::Dispatch)
        a.push_back("id(" + memberIdText(v.memberId) + ")");
    if ((v.flags & varflag::ReadOnly) != 0)
        a.emplace_back("readonly");
    if (!v.docString.empty())
        a.push_back("helpstring(" + quoted(v.docString) + ")");
    std::string line = attributeLine(a, "        ");
    line = line.empty() ? std::string("        ") : line.substr(0, line.size() - 1) + " ";
    if (v.varKind == varkind::Const)
        return line + "const " + typeText(v.type, library) + " " + v.name + " = " +
               (v.value ? v.value->text : "?") + ";\n";
    line += declarationText(v.type, v.name, library) + ";";
    if (type.kind == TypeKind::Record || type.kind == TypeKind::Union)
        line += " // offset " + std::to_string(v.offset);
    return line + "\n";
}

// The functions in the order that means something: vtable slots, or member ids where calls go
// through IDispatch; the file's order between equals.
std::vector<std::size_t> functionOrder(const TypeInfo& type) {
    std::vector<std::size_t> order(type.functions.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    const bool vtable = isVtableBound(type);
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const Function& x = type.functions[a];
        const Function& y = type.functions[b];
        return vtable ? x.vtableOffset < y.vtableOffset
                      : static_cast<std::uint32_t>(x.memberId) < static_cast<std::uint32_t>(y.memberId);
    });
    return order;
}

std::string implementedText(const ImplementedType& i, const TypeLibrary& library) {
    std::vector<std::string> a;
    if ((i.flags & implflag::Default) != 0)
        a.emplace_back("default");
    if ((i.flags & implflag::Source) != 0)
        a.emplace_back("source");
    if ((i.flags & implflag::Restricted) != 0)
        a.emplace_back("restricted");
    if ((i.flags & implflag::DefaultVtable) != 0)
        a.emplace_back("defaultvtable");
    std::string line = attributeLine(a, "        ");
    line = line.empty() ? std::string("        ") : line.substr(0, line.size() - 1) + " ";
    const TypeDesc asType = TypeDesc::userDefined(i.ref);
    const TypeInfo* t = internalType(library, i.ref);
    const bool dispatch = t != nullptr && t->kind == TypeKind::Dispatch && (t->flags & typeflag::Dual) == 0;
    return line + (dispatch ? "dispinterface " : "interface ") + typeText(asType, library) + ";\n";
}

std::string typeHeading(const TypeInfo& t, const TypeLibrary& library) {
    if (t.kind == TypeKind::Alias) {
        std::string attributes = attributeLine(typeAttributes(t), "");
        if (!attributes.empty())
            attributes.back() = ' ';
        return "    typedef " + attributes + declarationText(t.aliasOf, t.name, library) + ";\n";
    }
    std::string heading = attributeLine(typeAttributes(t), "    ") + "    ";
    const bool dual = t.kind == TypeKind::Dispatch && (t.flags & typeflag::Dual) != 0;
    heading += std::string(dual ? "interface" : typeKindText(t.kind)) + " " + t.name;
    if ((t.kind == TypeKind::Interface || dual) && !t.implemented.empty())
        heading += " : " + typeText(TypeDesc::userDefined(t.implemented.front().ref), library);
    return heading + " {\n";
}

void appendTypeBody(std::string& body, const TypeInfo& t, const TypeLibrary& library) {
    if (t.kind == TypeKind::Coclass)
        for (const ImplementedType& i : t.implemented)
            body += implementedText(i, library);
    const bool pureDispatch = t.kind == TypeKind::Dispatch && (t.flags & typeflag::Dual) == 0;
    if (pureDispatch)
        body += "    properties:\n";
    for (const Variable& v : t.variables)
        body += variableText(v, t, library);
    if (pureDispatch)
        body += "    methods:\n";
    for (const std::size_t i : functionOrder(t))
        appendFunction(body, t.functions[i], t, library);
}

std::string libraryHeading(const TypeLibrary& library) {
    static constexpr std::array<std::string_view, 4> systems = {"win16", "win32", "mac", "win64"};
    std::string text = "// " + library.format + " type library, " +
                       std::string(library.sysKind < systems.size() ? systems[library.sysKind] : "system ?") +
                       ", lcid " + hexText(library.lcid, 1) + "\n";
    std::vector<std::string> a;
    if (!library.guid.empty())
        a.push_back("uuid(" + library.guid.substr(1, 36) + ")");
    a.push_back("version(" + versionText(library.majorVersion, library.minorVersion) + ")");
    if (!library.docString.empty())
        a.push_back("helpstring(" + quoted(library.docString) + ")");
    if (!library.helpFile.empty())
        a.push_back("helpfile(" + quoted(library.helpFile) + ")");
    text += attributeLine(a, "") + "library " + library.name + " {\n";
    for (const ImportedLibrary& i : library.imports)
        text += "    importlib(" + quoted(i.fileName) + "); // " + i.guid + " " +
                versionText(i.majorVersion, i.minorVersion) + "\n";
    return text;
}

} // namespace

std::string typeText(const TypeDesc& type, const TypeLibrary& library) {
    std::string text;
    appendType(text, type, library);
    return text;
}

std::string_view typeKindText(TypeKind kind) {
    static constexpr std::array<std::string_view, 8> names = {
        "enum", "struct", "module", "interface", "dispinterface", "coclass", "typedef", "union"};
    return names[static_cast<std::size_t>(kind)];
}

std::string_view invokeKindText(std::uint8_t invokeKind) {
    switch (invokeKind) {
    case invoke::PropertyGet:
        return "propget";
    case invoke::PropertyPut:
        return "propput";
    case invoke::PropertyPutRef:
        return "propputref";
    default:
        return {};
    }
}

std::string functionFlagsText(std::uint16_t flags) {
    std::string text;
    for (const auto& [bit, name] : functionFlags)
        if ((flags & bit) != 0)
            text += (text.empty() ? "" : ", ") + std::string(name);
    return text.empty() ? std::string("none") : text;
}

std::string memberIdText(std::int32_t memberId) {
    return hexText(static_cast<std::uint32_t>(memberId), 8);
}

bool isVtableBound(const TypeInfo& type) {
    return type.kind == TypeKind::Interface ||
           (type.kind == TypeKind::Dispatch && (type.flags & typeflag::Dual) != 0);
}

std::string typeLibraryText(const TypeLibrary& library) {
    std::vector<std::pair<std::string, std::size_t>> order; // lower-case name, index
    order.reserve(library.types.size());
    for (std::size_t i = 0; i < library.types.size(); ++i) {
        std::string key = library.types[i].name;
        for (char& c : key)
            c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        order.emplace_back(std::move(key), i);
    }
    std::stable_sort(order.begin(), order.end(), [&](const auto& a, const auto& b) {
        return a.first != b.first ? a.first < b.first
                                  : library.types[a.second].kind < library.types[b.second].kind;
    });
    std::string text = libraryHeading(library);
    std::size_t members = 0;
    for (const TypeInfo& t : library.types)
        members += t.functions.size() + t.variables.size() + t.implemented.size();
    text.reserve(4096 + library.types.size() * 256 + members * 192);
    for (const auto& [key, i] : order) {
        const TypeInfo& t = library.types[i];
        text += '\n';
        text += typeHeading(t, library);
        if (t.kind != TypeKind::Alias) {
            appendTypeBody(text, t, library);
            text += "    };\n";
        }
    }
    return text + "};\n";
}

} // namespace pelorix
