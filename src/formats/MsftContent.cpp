// The MSFT format (what the OLE Automation library's ICreateTypeLib2, MIDL and widl write): a
// header, one 0x64-byte record per type in the type-info segment, and tables (names, strings,
// GUIDs, type descriptions, imports, custom data) that the records point into by offset.

#include "formats/TypeLibParsing.h"

#include <array>
#include <map>
#include <unordered_map>

namespace pelorix::typelib_detail {

namespace {

constexpr std::uint64_t HeaderSize = 0x54;
constexpr std::uint32_t TypeRecordSize = 0x64;
constexpr std::uint32_t None = 0xFFFFFFFFu;

enum Seg : std::size_t {
    TypeInfoTab = 0,
    ImpInfo = 1,
    ImpFiles = 2,
    RefTab = 3,
    GuidTab = 5,
    NameTab = 7,
    StringTab = 8,
    TypeDescTab = 9,
    ArrayDescTab = 10,
    CustDataTab = 11,
    SegmentCount = 15
};

struct Segment {
    std::uint32_t offset = None;
    std::uint32_t length = 0;
};

// The fields of a type's 0x64-byte record that the reader uses.
struct TypeRecord {
    std::uint32_t kindAndAlignment;
    std::uint32_t memberOffset;
    std::uint32_t elementCounts; // low 16 bits functions, high 16 variables
    std::int32_t guid;
    std::uint32_t flags;
    std::int32_t name;
    std::uint32_t version;
    std::int32_t docString;
    std::int16_t implCount;
    std::uint32_t size;
    std::int32_t datatype1;
};

class MsftReader {
public:
    MsftReader(const LibBytes& bytes, const TextDecoder& decode)
        : b(bytes), m_decode(decode), m_budget(bytes.size()) {}
    TypeLibrary read();

private:
    void readHeader();
    std::uint64_t at(Seg seg, std::uint64_t offset, std::uint64_t n, const char* what) const;
    std::string text(std::string_view raw) const { return m_decode ? m_decode(raw) : std::string(raw); }
    std::string name(std::int32_t offset) const;
    std::string string(std::int32_t offset) const;
    std::string guid(std::int32_t offset) const;
    TypeInfo readType(std::uint32_t index);
    void readBase(TypeInfo& type, const TypeRecord& r);
    TypeDesc typeDesc(std::int32_t encoded, int depth);
    TypeDesc arrayDesc(std::int32_t offset, int depth);
    TypeRef ref(std::int32_t href);
    std::int32_t importOf(std::int32_t fileOffset);
    std::optional<Value> value(std::int32_t encoded) const;
    void readMembers(TypeInfo& type, const TypeRecord& r);
    Function readFunction(std::uint64_t record, std::uint64_t recordEnd, bool module);
    void readParams(Function& f, std::uint64_t record, std::uint32_t length, std::uint32_t bits);
    Variable readVariable(std::uint64_t record, std::uint64_t recordEnd);
    std::vector<ImplementedType> coclassInterfaces(std::int32_t first, std::int16_t count);

    const LibBytes& b;
    const TextDecoder& m_decode;
    TypeLibrary m_lib;
    std::array<Segment, SegmentCount> m_seg{};
    std::uint32_t m_typeCount = 0;
    std::map<std::int32_t, std::int32_t> m_importByFile;
    std::map<std::uint32_t, std::int32_t> m_externalByEntry;
    std::unordered_map<std::int32_t, TypeDesc> m_typeDescs; // by offset in the description table
    ReadBudget m_budget;
};

TypeLibrary MsftReader::read() {
    readHeader();
    m_lib.types.reserve(m_typeCount);
    for (std::uint32_t i = 0; i < m_typeCount; ++i) {
        try {
            m_lib.types.push_back(readType(i));
        } catch (const TypeLibError& e) {
            damaged("type " + std::to_string(i) + ": " + e.what());
        }
    }
    return std::move(m_lib);
}

void MsftReader::readHeader() {
    m_lib.format = "MSFT";
    const std::uint32_t varFlags = b.u32(0x14);
    m_typeCount = b.u32(0x20);
    if (m_typeCount > typelib_limits::MaxTypes)
        damaged("the header counts " + std::to_string(m_typeCount) + " types, more than a library can hold");
    const std::uint64_t dir = HeaderSize + 4ull * m_typeCount + ((varFlags & 0x100) != 0 ? 4 : 0);
    for (std::size_t s = 0; s < SegmentCount; ++s)
        m_seg[s] = {b.u32(dir + 16 * s), b.u32(dir + 16 * s + 4)};
    if (b.u32(dir + 12) != 0x0F || b.u32(dir + 16 + 12) != 0x0F)
        damaged("no MSFT segment directory at offset " + hex(dir));
    m_lib.guid = guid(b.i32(0x08));
    m_lib.lcid = b.u32(0x10);
    m_lib.sysKind = static_cast<std::uint16_t>(varFlags & 0xF);
    m_lib.majorVersion = b.u16(0x18);
    m_lib.minorVersion = b.u16(0x1A);
    m_lib.flags = static_cast<std::uint16_t>(b.u32(0x1C));
    m_lib.docString = string(b.i32(0x24));
    m_lib.name = name(b.i32(0x38));
    m_lib.helpFile = string(b.i32(0x3C));
}

// The file offset of n bytes at an offset inside a segment, which must hold them.
std::uint64_t MsftReader::at(Seg seg, std::uint64_t offset, std::uint64_t n, const char* what) const {
    const Segment& s = m_seg[seg];
    if (s.offset == None || offset > s.length || n > s.length - offset)
        damaged(std::string(what) + " at " + hex(offset) + " lies outside its table");
    return std::uint64_t{s.offset} + offset;
}

std::string MsftReader::name(std::int32_t offset) const {
    if (offset < 0)
        return {};
    const std::uint64_t intro = at(NameTab, static_cast<std::uint32_t>(offset), 12, "a name");
    const std::uint32_t length = b.u32(intro + 8) & 0xFF;
    return text(b.span(at(NameTab, offset + 12ull, length, "a name"), length));
}

std::string MsftReader::string(std::int32_t offset) const {
    if (offset < 0)
        return {};
    const std::uint16_t length = b.u16(at(StringTab, static_cast<std::uint32_t>(offset), 2, "a text"));
    return text(b.span(at(StringTab, offset + 2ull, length, "a text"), length));
}

std::string MsftReader::guid(std::int32_t offset) const {
    if (offset < 0)
        return {};
    return nonNilGuid(b.guid(at(GuidTab, static_cast<std::uint32_t>(offset), 16, "a GUID")));
}

TypeInfo MsftReader::readType(std::uint32_t index) {
    const std::uint64_t p = at(TypeInfoTab, std::uint64_t{index} * TypeRecordSize, TypeRecordSize, "a type");
    const TypeRecord r{b.u32(p),        b.u32(p + 0x04), b.u32(p + 0x18), b.i32(p + 0x2C),
                       b.u32(p + 0x30), b.i32(p + 0x34), b.u32(p + 0x38), b.i32(p + 0x3C),
                       b.i16(p + 0x4C), b.u32(p + 0x50), b.i32(p + 0x54)};
    TypeInfo type;
    if ((r.kindAndAlignment & 0xF) > static_cast<unsigned>(TypeKind::Union))
        damaged("unknown type kind " + std::to_string(r.kindAndAlignment & 0xF));
    type.kind = static_cast<TypeKind>(r.kindAndAlignment & 0xF);
    type.alignment = static_cast<std::uint16_t>((r.kindAndAlignment >> 11) & 0x1F);
    type.name = name(r.name);
    type.guid = guid(r.guid);
    type.flags = static_cast<std::uint16_t>(r.flags);
    type.majorVersion = static_cast<std::uint16_t>(r.version & 0xFFFF);
    type.minorVersion = static_cast<std::uint16_t>(r.version >> 16);
    type.docString = string(r.docString);
    type.size = r.size;
    try {
        readBase(type, r);
        readMembers(type, r);
    } catch (const TypeLibError& e) {
        damaged(type.name + ": " + e.what());
    }
    return type;
}

// What a type builds on: a coclass's interfaces, an interface's base, an alias's type.
void MsftReader::readBase(TypeInfo& type, const TypeRecord& r) {
    switch (type.kind) {
    case TypeKind::Coclass:
        type.implemented = coclassInterfaces(r.datatype1, r.implCount);
        break;
    case TypeKind::Interface:
    case TypeKind::Dispatch:
        if (r.datatype1 != -1)
            type.implemented.push_back({ref(r.datatype1), 0});
        break;
    case TypeKind::Alias:
        type.aliasOf = typeDesc(r.datatype1, 0);
        break;
    default:
        break;
    }
}

std::vector<ImplementedType> MsftReader::coclassInterfaces(std::int32_t first, std::int16_t count) {
    std::vector<ImplementedType> list;
    std::int32_t next = first;
    for (std::int16_t i = 0; i < count && next != -1; ++i) {
        if (next < 0)
            damaged("an interface list entry at " + hex(static_cast<std::uint32_t>(next)));
        const std::uint64_t p = at(RefTab, static_cast<std::uint32_t>(next), 16, "an interface list entry");
        list.push_back({ref(b.i32(p)), b.u32(p + 4)});
        next = b.i32(p + 12);
    }
    return list;
}

// An encoded type: a basic variant type in the value itself (high bit set), else the offset of an
// 8-byte entry of the type-description table: a variant type, and the element type, array
// description or type reference it needs.
TypeDesc MsftReader::typeDesc(std::int32_t encoded, int depth) {
    if (depth > typelib_limits::MaxTypeDepth)
        damaged("type descriptions nested deeper than " + std::to_string(typelib_limits::MaxTypeDepth));
    TypeDesc d;
    if (encoded < 0) {
        d.vt = static_cast<std::uint16_t>(encoded & 0x0FFF);
        return d;
    }
    // Many members share a description: each is read once.
    if (const auto known = m_typeDescs.find(encoded); known != m_typeDescs.end())
        return known->second;
    const std::uint64_t p = at(TypeDescTab, static_cast<std::uint32_t>(encoded), 8, "a type description");
    d.vt = static_cast<std::uint16_t>(b.u16(p) & 0x0FFF);
    const std::int32_t operand = b.i32(p + 4);
    if (d.vt == vt::Ptr || d.vt == vt::SafeArray)
        d = TypeDesc::of(d.vt, typeDesc(operand, depth + 1));
    else if (d.vt == vt::CArray)
        d = arrayDesc(operand, depth + 1);
    else if (d.vt == vt::UserDefined)
        d.ref = ref(operand);
    m_typeDescs.emplace(encoded, d);
    return d;
}

// A C array: its element type, its dimension count, and each dimension's size and lower bound.
TypeDesc MsftReader::arrayDesc(std::int32_t offset, int depth) {
    if (offset < 0)
        damaged("an array description at " + hex(static_cast<std::uint32_t>(offset)));
    const std::uint64_t p = at(ArrayDescTab, static_cast<std::uint32_t>(offset), 8, "an array description");
    TypeDesc element = typeDesc(b.i32(p), depth);
    const std::uint16_t dims = b.u16(p + 4);
    at(ArrayDescTab, offset + 8ull, 8ull * dims, "an array's bounds");
    std::vector<ArrayBound> bounds;
    for (std::uint16_t i = 0; i < dims; ++i)
        bounds.push_back({b.u32(p + 8 + 8ull * i), b.i32(p + 12 + 8ull * i)});
    return TypeDesc::of(vt::CArray, std::move(element), std::move(bounds));
}

// A type reference: the offset of one of this library's type records, or (low bit set) the
// offset of an import entry naming the library and the type's GUID or index there.
TypeRef MsftReader::ref(std::int32_t href) {
    TypeRef r;
    if (href == -1)
        return r;
    const auto h = static_cast<std::uint32_t>(href);
    if ((h & 3) == 0) {
        if (h % TypeRecordSize != 0 || h / TypeRecordSize >= m_typeCount)
            damaged("a reference " + hex(h) + " to no type of the library");
        r.internalIndex = static_cast<std::int32_t>(h / TypeRecordSize);
        return r;
    }
    if (const auto known = m_externalByEntry.find(h & ~3u); known != m_externalByEntry.end()) {
        r.externalIndex = known->second;
        return r;
    }
    const std::uint64_t p = at(ImpInfo, h & ~3u, 12, "an import entry");
    const std::uint32_t flags = b.u32(p);
    ExternalType e;
    e.importIndex = importOf(b.i32(p + 4));
    if ((flags & 0x10000) != 0)
        e.guid = guid(b.i32(p + 8));
    else
        e.importedIndex = b.i32(p + 8);
    m_lib.externalTypes.push_back(std::move(e));
    r.externalIndex = static_cast<std::int32_t>(m_lib.externalTypes.size() - 1);
    m_externalByEntry.emplace(h & ~3u, r.externalIndex);
    return r;
}

// The imported library whose entry lies at an offset of the import-file table, read once.
std::int32_t MsftReader::importOf(std::int32_t fileOffset) {
    if (const auto known = m_importByFile.find(fileOffset); known != m_importByFile.end())
        return known->second;
    if (fileOffset < 0)
        damaged("an imported library at " + hex(static_cast<std::uint32_t>(fileOffset)));
    const std::uint64_t p = at(ImpFiles, static_cast<std::uint32_t>(fileOffset), 14, "an imported library");
    ImportedLibrary lib;
    lib.guid = guid(b.i32(p));
    lib.lcid = b.u32(p + 4);
    lib.majorVersion = b.u16(p + 8);
    lib.minorVersion = b.u16(p + 10);
    const std::uint32_t length = b.u16(p + 12) >> 2;
    lib.fileName =
        text(b.span(at(ImpFiles, fileOffset + 14ull, length, "an imported library's file name"), length));
    m_lib.imports.push_back(std::move(lib));
    const auto index = static_cast<std::int32_t>(m_lib.imports.size() - 1);
    m_importByFile.emplace(fileOffset, index);
    return index;
}

// A constant or default value: small non-negative integers are kept in the value itself (high bit
// set, the variant type in bits 26-30), everything else in the custom-data table as a variant
// type followed by the value's bytes.
std::optional<Value> MsftReader::value(std::int32_t encoded) const {
    if (encoded == -1)
        return std::nullopt;
    if (encoded < 0) {
        const auto bits = static_cast<std::uint32_t>(encoded);
        return Value{static_cast<std::uint16_t>((bits >> 26) & 0x1F), unsignedText(bits & 0x03FFFFFF)};
    }
    const std::uint64_t p = at(CustDataTab, static_cast<std::uint32_t>(encoded), 2, "a value");
    const std::uint16_t type = b.u16(p);
    if (type != vt::Bstr)
        return numericValue(b, at(CustDataTab, encoded + 2ull, 4, "a value"), type);
    const std::int32_t length = b.i32(at(CustDataTab, encoded + 2ull, 4, "a text value"));
    if (length < 0)
        return Value{vt::Bstr, "\"\""};
    const auto chars = static_cast<std::uint32_t>(length);
    const std::string_view raw = b.span(at(CustDataTab, encoded + 6ull, chars, "a text value"), chars);
    return Value{vt::Bstr, quotedText(text(raw))};
}

// The member block: a length, the members' records, then per member (functions first) its id,
// its name's offset and its record's offset from the first record.
void MsftReader::readMembers(TypeInfo& type, const TypeRecord& r) {
    const std::uint32_t functions = r.elementCounts & 0xFFFF;
    const std::uint32_t variables = r.elementCounts >> 16;
    const std::uint32_t count = functions + variables;
    if (count == 0)
        return;
    const std::uint64_t records = r.memberOffset + 4ull;
    const std::uint64_t recordsEnd = records + b.u32(r.memberOffset);
    const std::uint64_t ids = recordsEnd;
    b.span(ids, 12ull * count); // the three arrays must all be there
    type.functions.reserve(functions);
    type.variables.reserve(variables);
    std::string previousName;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint64_t record = records + b.u32(ids + 4ull * (2 * count + i));
        const std::int32_t nameOffset = b.i32(ids + 4ull * (count + i));
        m_budget.member();
        try {
            std::string memberName = nameOffset == -1 ? previousName : name(nameOffset);
            previousName = memberName;
            if (i < functions) {
                type.functions.push_back(readFunction(record, recordsEnd, type.kind == TypeKind::Module));
                type.functions.back().memberId = b.i32(ids + 4ull * i);
                type.functions.back().name = std::move(memberName);
            } else {
                type.variables.push_back(readVariable(record, recordsEnd));
                type.variables.back().memberId = b.i32(ids + 4ull * i);
                type.variables.back().name = std::move(memberName);
            }
        } catch (const TypeLibError& e) {
            damaged("member " + std::to_string(i) + ": " + e.what());
        }
    }
}

// A function's record: its length, return type, flags, vtable offset, a bit field (function kind,
// invoke kind, calling convention, whether default values and a numeric entry follow), the
// parameter counts and optional fields; the parameters (type, name, flags) end the record.
Function MsftReader::readFunction(std::uint64_t record, std::uint64_t recordEnd, bool module) {
    const std::uint32_t length = b.u16(record);
    if (length < 24 || record + length > recordEnd)
        damaged("a function record of " + std::to_string(length) + " bytes at " + hex(record));
    Function f;
    f.returnType = typeDesc(b.i32(record + 4), 0);
    f.flags = b.u16(record + 8);
    f.vtableOffset = b.i16(record + 12) & ~1;
    const std::uint32_t bits = b.u32(record + 16);
    f.funcKind = static_cast<std::uint8_t>(bits & 0x7);
    f.invokeKind = static_cast<std::uint8_t>((bits >> 3) & 0xF);
    f.callConv = static_cast<std::uint8_t>((bits >> 8) & 0xF);
    f.optionalCount = b.i16(record + 22);
    readParams(f, record, length, bits);
    const std::uint64_t paramBytes = f.params.size() * ((bits & 0x1000) != 0 ? 16ull : 12ull);
    const std::uint64_t optional = length - paramBytes;
    if (optional > 28)
        f.docString = string(b.i32(record + 28));
    // A module function's entry point: an ordinal, or the offset of its name.
    if (module && optional > 32 && (bits & 0x2000) != 0)
        f.entry = "#" + std::to_string(b.u16(record + 32));
    else if (module && optional > 32)
        f.entry = string(b.i32(record + 32));
    return f;
}

void MsftReader::readParams(Function& f, std::uint64_t record, std::uint32_t length, std::uint32_t bits) {
    const std::int16_t count = b.i16(record + 20);
    if (count < 0 || static_cast<std::uint32_t>(count) > typelib_limits::MaxParams)
        damaged("a function of " + std::to_string(count) + " parameters");
    const bool defaults = (bits & 0x1000) != 0;
    const std::uint64_t paramBytes = count * (defaults ? 16ull : 12ull);
    if (paramBytes > length - 24ull)
        damaged("parameters that do not fit their function's record at " + hex(record));
    const std::uint64_t params = record + length - 12ull * count;
    const std::uint64_t defaultValues = params - (defaults ? 4ull * count : 0);
    m_budget.params(static_cast<std::uint64_t>(count));
    f.params.reserve(static_cast<std::size_t>(count));
    for (std::int16_t i = 0; i < count; ++i) {
        const std::uint64_t p = params + 12ull * i;
        Param param;
        param.type = typeDesc(b.i32(p), 0);
        param.name = name(b.i32(p + 4));
        param.flags = static_cast<std::uint16_t>(b.u32(p + 8));
        if (defaults && (param.flags & paramflag::HasDefault) != 0)
            param.defaultValue = value(b.i32(defaultValues + 4ull * i));
        f.params.push_back(std::move(param));
    }
}

// A variable's record: its length, type, flags, kind, and its value (constants) or offset
// (record fields); then optional fields.
Variable MsftReader::readVariable(std::uint64_t record, std::uint64_t recordEnd) {
    const std::uint32_t length = b.u16(record);
    if (length < 20 || record + length > recordEnd)
        damaged("a variable record of " + std::to_string(length) + " bytes at " + hex(record));
    Variable v;
    v.type = typeDesc(b.i32(record + 4), 0);
    v.flags = b.u16(record + 8);
    v.varKind = static_cast<std::uint8_t>(b.u16(record + 12));
    if (v.varKind == varkind::Const)
        v.value = value(b.i32(record + 16));
    else
        v.offset = b.u32(record + 16);
    if (length > 24)
        v.docString = string(b.i32(record + 24));
    return v;
}

} // namespace

TypeLibrary readMsft(const LibBytes& bytes, const TextDecoder& decode) {
    return MsftReader(bytes, decode).read();
}

} // namespace pelorix::typelib_detail
