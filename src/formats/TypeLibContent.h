#pragma once

#include "formats/ByteSource.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace pelorix {

// The whole content of a type library as a client sees it: every type with its members, each
// member's signature, and the references to other libraries. Names and texts are in the library's
// code page unless the reader was given a decoder.

// Variant types (VARTYPE) that type descriptions and values use.
namespace vt {
inline constexpr std::uint16_t Empty = 0, Null = 1, I2 = 2, I4 = 3, R4 = 4, R8 = 5, Cy = 6, Date = 7,
                               Bstr = 8, Dispatch = 9, Error = 10, Bool = 11, Variant = 12, Unknown = 13,
                               Decimal = 14, I1 = 16, UI1 = 17, UI2 = 18, UI4 = 19, I8 = 20, UI8 = 21,
                               Int = 22, UInt = 23, Void = 24, HResult = 25, Ptr = 26, SafeArray = 27,
                               CArray = 28, UserDefined = 29, LpStr = 30, LpWStr = 31, Record = 36,
                               IntPtr = 37, UIntPtr = 38;
} // namespace vt

enum class TypeKind : std::uint8_t { Enum, Record, Module, Interface, Dispatch, Coclass, Alias, Union };

// Flags of a type (TYPEFLAGS), a function (FUNCFLAGS), a variable (VARFLAGS), a parameter
// (PARAMFLAGS) and an implemented interface (IMPLTYPEFLAGS) that the text and the comparison use.
namespace typeflag {
inline constexpr std::uint16_t AppObject = 0x1, CanCreate = 0x2, Licensed = 0x4, PredeclId = 0x8,
                               Hidden = 0x10, Control = 0x20, Dual = 0x40, NonExtensible = 0x80,
                               OleAutomation = 0x100, Restricted = 0x200, Aggregatable = 0x400,
                               Replaceable = 0x800, Dispatchable = 0x1000, ReverseBind = 0x2000;
} // namespace typeflag
namespace paramflag {
inline constexpr std::uint16_t In = 0x1, Out = 0x2, Lcid = 0x4, RetVal = 0x8, Optional = 0x10,
                               HasDefault = 0x20;
} // namespace paramflag
namespace implflag {
inline constexpr std::uint32_t Default = 0x1, Source = 0x2, Restricted = 0x4, DefaultVtable = 0x8;
} // namespace implflag
namespace invoke {
inline constexpr std::uint8_t Func = 1, PropertyGet = 2, PropertyPut = 4, PropertyPutRef = 8;
} // namespace invoke
namespace funckind {
inline constexpr std::uint8_t Virtual = 0, PureVirtual = 1, NonVirtual = 2, Static = 3, Dispatch = 4;
} // namespace funckind
namespace varkind {
inline constexpr std::uint8_t PerInstance = 0, Static = 1, Const = 2, Dispatch = 3;
} // namespace varkind
namespace varflag {
inline constexpr std::uint16_t ReadOnly = 0x1;
} // namespace varflag

// Another library this one takes types from.
struct ImportedLibrary {
    std::string guid;
    std::uint16_t majorVersion = 0;
    std::uint16_t minorVersion = 0;
    std::uint32_t lcid = 0;
    std::string fileName; // as the writer recorded it ("stdole2.tlb")
};

// A type of another library that this one refers to: the imported library, and the type's GUID
// or, where the file gives none, its index in that library; its name when known.
struct ExternalType {
    std::int32_t importIndex = -1;   // into TypeLibrary::imports
    std::string guid;                // "" when the file gives only the index
    std::int32_t importedIndex = -1; // the type's index in the imported library, when no GUID is given
    std::string name;                // "" when the file does not tell it
};

// A reference to a type: one of this library's (internalIndex into TypeLibrary::types) or one of
// another library's (externalIndex into TypeLibrary::externalTypes).
struct TypeRef {
    std::int32_t internalIndex = -1;
    std::int32_t externalIndex = -1;
};

struct ArrayBound {
    std::uint32_t elements = 0;
    std::int32_t lowerBound = 0;
};

// A type description: a basic variant type, or a pointer, safe array or C array of an element
// type, or a user-defined type. Element types are shared, never changed: copies are cheap.
struct TypeDesc {
    std::uint16_t vt = vt::Empty;
    TypeRef ref;                             // UserDefined
    std::shared_ptr<const TypeDesc> element; // the element type of Ptr, SafeArray and CArray
    std::vector<ArrayBound> bounds;          // CArray

    // A pointer, safe array or C array of an element type.
    static TypeDesc of(std::uint16_t vt, TypeDesc element, std::vector<ArrayBound> bounds = {}) {
        TypeDesc d;
        d.vt = vt;
        d.element = std::make_shared<const TypeDesc>(std::move(element));
        d.bounds = std::move(bounds);
        return d;
    }
    // A reference to a user-defined type.
    static TypeDesc userDefined(const TypeRef& ref) {
        TypeDesc d;
        d.vt = vt::UserDefined;
        d.ref = ref;
        return d;
    }
};

// A constant's or default value's variant type and its value as IDL writes it (5, -1, 1.5,
// "text").
struct Value {
    std::uint16_t vt = vt::Empty;
    std::string text;
    friend bool operator==(const Value&, const Value&) = default;
};

struct Param {
    std::string name;
    TypeDesc type;
    std::uint16_t flags = 0;
    std::optional<Value> defaultValue;
};

struct Function {
    std::string name;
    std::int32_t memberId = 0;
    std::uint8_t funcKind = funckind::PureVirtual;
    std::uint8_t invokeKind = invoke::Func;
    std::uint8_t callConv = 4;     // CC_STDCALL
    std::int32_t vtableOffset = 0; // in bytes, as the file stores it
    std::uint16_t flags = 0;
    std::int16_t optionalCount = 0;
    TypeDesc returnType;
    std::vector<Param> params;
    std::string docString;
    std::string entry; // a module function's DLL entry (name, or "#ordinal")
};

struct Variable {
    std::string name;
    std::int32_t memberId = 0;
    std::uint8_t varKind = varkind::PerInstance;
    std::uint16_t flags = 0;
    TypeDesc type;
    std::optional<Value> value; // constants
    std::uint32_t offset = 0;   // a record field's offset
    std::string docString;
};

struct ImplementedType {
    TypeRef ref;
    std::uint32_t flags = 0;
};

struct TypeInfo {
    TypeKind kind = TypeKind::Interface;
    std::string name;
    std::string guid; // "" when the type has none
    std::uint16_t flags = 0;
    std::uint16_t majorVersion = 0;
    std::uint16_t minorVersion = 0;
    std::string docString;
    std::uint32_t size = 0; // instance size of records and unions
    std::uint16_t alignment = 0;
    std::vector<Function> functions;
    std::vector<Variable> variables;
    std::vector<ImplementedType> implemented; // a coclass's interfaces, an interface's base
    TypeDesc aliasOf;                         // aliases
};

struct TypeLibrary {
    std::string format; // "MSFT" or "SLTG"
    std::string guid;
    std::uint16_t majorVersion = 0;
    std::uint16_t minorVersion = 0;
    std::uint32_t lcid = 0;
    std::uint16_t sysKind = 1; // 0 win16, 1 win32, 2 mac, 3 win64
    std::uint16_t flags = 0;
    std::string name;
    std::string docString;
    std::string helpFile;
    std::vector<TypeInfo> types;
    std::vector<ImportedLibrary> imports;
    std::vector<ExternalType> externalTypes;

    // The size of a vtable slot: vtable offsets divided by it give slot numbers.
    std::uint32_t pointerSize() const noexcept { return sysKind == 3 ? 8 : 4; }
};

// What a reference leads to: one of the library's types, or a type of another library; nothing
// when the reference leads nowhere.
const TypeInfo* internalType(const TypeLibrary& library, const TypeRef& ref) noexcept;
const ExternalType* externalType(const TypeLibrary& library, const TypeRef& ref) noexcept;

// The name and GUID of the type a reference leads to ("" when not known).
std::string_view refName(const TypeLibrary& library, const TypeRef& ref) noexcept;
std::string_view refGuid(const TypeLibrary& library, const TypeRef& ref) noexcept;

// A file that is not a type library, or one whose content is damaged: what, and where.
class TypeLibError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Limits that keep a hostile file from costing more than a real library ever needs.
namespace typelib_limits {
inline constexpr std::uint64_t MaxLibraryBytes = 64u << 20;
inline constexpr std::uint32_t MaxTypes = 65535;
inline constexpr std::uint32_t MaxParams = 1024;
inline constexpr std::uint32_t MaxImplemented = 1024;
inline constexpr int MaxTypeDepth = 32;
} // namespace typelib_limits

// Turns a name or text from the library's code page into the caller's text (UTF-8).
using TextDecoder = std::function<std::string(std::string_view)>;

// Reads the whole library of a file's bytes: an MSFT or SLTG library, or the TYPELIB resource
// with the given id of a PE file. Raises TypeLibError naming what is wrong with a file that is no
// library or a damaged one; never reads outside the file.
TypeLibrary readTypeLibrary(const ByteSource& source, std::uint32_t resourceId = 1,
                            const TextDecoder& decode = {});
TypeLibrary readTypeLibrary(std::string_view bytes, std::uint32_t resourceId = 1,
                            const TextDecoder& decode = {});

// Names of the library's external types that the file leaves unnamed, taken from their library
// when the loader finds it (nothing when it does not). Types of the OLE Automation library
// (IUnknown, IDispatch, StdFont...) are named without it.
using ImportLoader = std::function<const TypeLibrary*(const ImportedLibrary&)>;
void nameImportedTypes(TypeLibrary& library, const ImportLoader& load = {});

} // namespace pelorix
