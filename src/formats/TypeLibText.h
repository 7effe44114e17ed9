#pragma once

#include "formats/TypeLibContent.h"

#include <string>
#include <string_view>

namespace pelorix {

// A library's content as IDL-like text: the library's attributes and imports, then every type
// sorted by name (the order of types in a file means nothing), each with its attributes and its
// members. Members keep their vtable order (by member id in a dispinterface), interfaces of a
// coclass, constants of an enum and fields of a record their file order, so that two dumps diff
// well.
std::string typeLibraryText(const TypeLibrary& library);

// A type as IDL writes it ("long", "BSTR*", "SAFEARRAY(VARIANT)", "_Class1*", "long[4]"). A
// referenced type the file does not name is shown by its GUID, or by its index and library.
std::string typeText(const TypeDesc& type, const TypeLibrary& library);

// The IDL keyword of a type kind ("interface", "dispinterface", "coclass", "enum", "struct",
// "union", "module", "typedef").
std::string_view typeKindText(TypeKind kind);

// The invoke kind of a function as IDL marks it ("propget", "propput", "propputref"; "" for a
// method).
std::string_view invokeKindText(std::uint8_t invokeKind);

// A function's flags as IDL attributes ("hidden, restricted"); "none" when it has none.
std::string functionFlagsText(std::uint16_t flags);

// A member id as IDL writes it: "0x60030000".
std::string memberIdText(std::int32_t memberId);

// True when a type is called through a vtable (an interface, a dual interface).
bool isVtableBound(const TypeInfo& type);

} // namespace pelorix
