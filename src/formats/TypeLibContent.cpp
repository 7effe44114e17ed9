#include "formats/TypeLibContent.h"

#include "formats/PeResource.h"
#include "formats/TypeLibParsing.h"

#include <algorithm>
#include <map>

namespace pelorix {

namespace typelib_detail {
TypeLibrary readMsft(const LibBytes& bytes, const TextDecoder& decode);
TypeLibrary readSltg(const LibBytes& bytes, const TextDecoder& decode);
} // namespace typelib_detail

namespace {

using typelib_detail::damaged;

// The types of the OLE Automation library that nearly every library refers to, by GUID.
std::string_view automationTypeName(std::string_view guid) {
    struct Known {
        std::string_view guid;
        std::string_view name;
    };
    static constexpr Known known[] = {
        {"{00000000-0000-0000-C000-000000000046}", "IUnknown"},
        {"{00020400-0000-0000-C000-000000000046}", "IDispatch"},
        {"{00020404-0000-0000-C000-000000000046}", "IEnumVARIANT"},
        {"{BEF6E002-A874-101A-8BBA-00AA00300CAB}", "IFont"},
        {"{BEF6E003-A874-101A-8BBA-00AA00300CAB}", "Font"},
        {"{7BF80980-BF32-101A-8BBB-00AA00300CAB}", "IPicture"},
        {"{7BF80981-BF32-101A-8BBB-00AA00300CAB}", "Picture"},
        {"{0BE35203-8F91-11CE-9DE3-00AA004BB851}", "StdFont"},
        {"{0BE35204-8F91-11CE-9DE3-00AA004BB851}", "StdPicture"},
        {"{66504301-BE0F-101A-8BBB-00AA00300CAB}", "OLE_COLOR"},
    };
    for (const Known& k : known)
        if (k.guid == guid)
            return k.name;
    return {};
}

// The type an imported library holds under an external type's GUID or index.
const TypeInfo* importedType(const TypeLibrary& other, const ExternalType& ref) {
    if (ref.guid.empty())
        return ref.importedIndex >= 0 && static_cast<std::size_t>(ref.importedIndex) < other.types.size()
                   ? &other.types[static_cast<std::size_t>(ref.importedIndex)]
                   : nullptr;
    for (const TypeInfo& t : other.types)
        if (t.guid == ref.guid)
            return &t;
    return nullptr;
}

} // namespace

TypeLibrary readTypeLibrary(const ByteSource& source, std::uint32_t resourceId, const TextDecoder& decode) {
    std::string why;
    const auto data = typeLibData(source, resourceId, &why);
    if (!data)
        damaged("not a type library: " + why);
    if (data->length() > typelib_limits::MaxLibraryBytes)
        damaged("a library of " + std::to_string(data->length()) + " bytes, more than the " +
                std::to_string(typelib_limits::MaxLibraryBytes >> 20) + " MiB a type library can take");
    // Bytes in memory are read where they are; a file's are read once into memory.
    std::optional<std::string> copy;
    std::optional<std::string_view> bytes = data->view();
    if (!bytes) {
        copy = data->bytes(typelib_limits::MaxLibraryBytes);
        if (!copy)
            damaged("the library's bytes cannot be read");
        bytes = *copy;
    }
    const typelib_detail::LibBytes b(*bytes);
    const std::string_view magic = bytes->substr(0, std::min<std::size_t>(bytes->size(), 4));
    TypeLibrary lib;
    if (magic == "MSFT")
        lib = typelib_detail::readMsft(b, decode);
    else if (magic == "SLTG")
        lib = typelib_detail::readSltg(b, decode);
    else
        damaged("not a type library: the data starts with neither MSFT nor SLTG");
    nameImportedTypes(lib);
    return lib;
}

TypeLibrary readTypeLibrary(std::string_view bytes, std::uint32_t resourceId, const TextDecoder& decode) {
    const MemorySource source(bytes);
    return readTypeLibrary(source, resourceId, decode);
}

void nameImportedTypes(TypeLibrary& library, const ImportLoader& load) {
    std::map<std::int32_t, const TypeLibrary*> loaded;
    for (ExternalType& ref : library.externalTypes) {
        if (!ref.name.empty() || ref.importIndex < 0 ||
            static_cast<std::size_t>(ref.importIndex) >= library.imports.size())
            continue;
        auto [it, first] = loaded.emplace(ref.importIndex, nullptr);
        if (first && load)
            it->second = load(library.imports[static_cast<std::size_t>(ref.importIndex)]);
        if (const TypeInfo* t = it->second != nullptr ? importedType(*it->second, ref) : nullptr) {
            ref.name = t->name;
            if (ref.guid.empty())
                ref.guid = t->guid;
        }
        if (ref.name.empty())
            ref.name = std::string(automationTypeName(ref.guid));
    }
}

const TypeInfo* internalType(const TypeLibrary& library, const TypeRef& ref) noexcept {
    if (ref.internalIndex < 0 || static_cast<std::size_t>(ref.internalIndex) >= library.types.size())
        return nullptr;
    return &library.types[static_cast<std::size_t>(ref.internalIndex)];
}

const ExternalType* externalType(const TypeLibrary& library, const TypeRef& ref) noexcept {
    if (ref.externalIndex < 0 || static_cast<std::size_t>(ref.externalIndex) >= library.externalTypes.size())
        return nullptr;
    return &library.externalTypes[static_cast<std::size_t>(ref.externalIndex)];
}

std::string_view refName(const TypeLibrary& library, const TypeRef& ref) noexcept {
    if (const TypeInfo* t = internalType(library, ref))
        return t->name;
    const ExternalType* e = externalType(library, ref);
    return e != nullptr ? std::string_view(e->name) : std::string_view();
}

std::string_view refGuid(const TypeLibrary& library, const TypeRef& ref) noexcept {
    if (const TypeInfo* t = internalType(library, ref))
        return t->guid;
    const ExternalType* e = externalType(library, ref);
    return e != nullptr ? std::string_view(e->guid) : std::string_view();
}

} // namespace pelorix
