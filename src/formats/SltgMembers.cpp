// The members of an SLTG type: functions, variables and implemented interfaces are linked records
// in the type's member data, each naming the next by its offset there; types are written as
// 16-bit words.

#include "formats/SltgReader.h"

#include <cctype>

namespace pelorix::typelib_detail {

namespace {

// A C array's bounds as a SAFEARRAY header writes them: the dimension count, then per dimension
// its element count and lower bound after 16 bytes of header.
std::vector<ArrayBound> arrayBounds(const LibBytes& b, std::uint64_t p) {
    std::vector<ArrayBound> bounds;
    const std::uint16_t dims = b.u16(p);
    b.span(p + 16, 8ull * dims);
    for (std::uint16_t i = 0; i < dims; ++i)
        bounds.push_back({b.u32(p + 16 + 8ull * i), b.i32(p + 20 + 8ull * i)});
    return bounds;
}

// Wraps a type description in the layers found before it, innermost last.
TypeDesc wrap(std::vector<TypeDesc> layers, TypeDesc leaf) {
    while (!layers.empty()) {
        TypeDesc outer = std::move(layers.back());
        layers.pop_back();
        leaf = TypeDesc::of(outer.vt, std::move(leaf), std::move(outer.bounds));
    }
    return leaf;
}

} // namespace

// A type in words: bits 0-5 the variant type; bits 9-11 all set add a pointer; a pointer or safe
// array goes on with the next word, a C array after the offset of its bounds, and a user-defined
// type's next word is four times its index in the reference table. p moves past the words.
TypeDesc SltgReader::typeWords(std::uint64_t& p, const TypeBlock& t, int depth) const {
    std::vector<TypeDesc> layers;
    for (; depth <= typelib_limits::MaxTypeDepth; ++depth) {
        const std::uint16_t word = b.u16(p);
        p += 2;
        if ((word & 0xE00) == 0xE00)
            layers.push_back(TypeDesc::of(vt::Ptr, TypeDesc()));
        TypeDesc d;
        d.vt = word & 0x3F;
        if (d.vt == vt::Ptr || d.vt == vt::SafeArray) {
            if (d.vt == vt::SafeArray)
                p += 2; // the offset of a SAFEARRAY header, which says nothing more
            layers.push_back(std::move(d));
            continue;
        }
        if (d.vt == vt::CArray) {
            d.bounds = arrayBounds(b, inBlock(t, b.u16(p), 16));
            p += 2;
            layers.push_back(std::move(d));
            continue;
        }
        if (d.vt == vt::UserDefined) {
            const std::size_t index = b.u16(p) / 4u;
            p += 2;
            if (index >= m_refs.size())
                damaged("a type reference " + std::to_string(index) + " past the reference table");
            d.ref = m_refs[index];
        }
        return wrap(std::move(layers), std::move(d));
    }
    damaged("type descriptions nested deeper than " + std::to_string(typelib_limits::MaxTypeDepth));
}

// The parameter flags of a type's first word: bits 14-15 out/in (both set: none), bit 13 the
// locale, bit 7 the return value.
std::uint16_t SltgReader::paramFlags(std::uint16_t word) const {
    std::uint16_t flags = 0;
    if ((word & 0xC000) == 0xC000)
        flags = 0;
    else if ((word & 0x8000) != 0)
        flags = paramflag::In | paramflag::Out;
    else if ((word & 0x4000) != 0)
        flags = paramflag::Out;
    else
        flags = paramflag::In;
    if ((word & 0x2000) != 0)
        flags |= paramflag::Lcid;
    if ((word & 0x80) != 0)
        flags |= paramflag::RetVal;
    return flags;
}

// A function record: kind (its first byte, 0x20 added when flags follow), invoke kind, the next
// record, name, member id, the parameters' offset, calling convention and counts, the return type
// (in the record or at an offset), the vtable offset.
void SltgReader::readFunctions(TypeInfo& type, const TypeBlock& t) {
    const std::uint16_t count = b.u16(t.tail);
    std::uint16_t offset = b.u16(t.tail + 8);
    for (std::uint16_t i = 0; i < count && offset != sltg::End; ++i) {
        m_budget.member();
        const std::uint64_t p = inBlock(t, offset, 0x16);
        const std::uint8_t magic = b.u8(p);
        Function f;
        switch (magic & ~0x20) {
        case 0x4C:
            f.funcKind = funckind::PureVirtual;
            break;
        case 0xCB:
            f.funcKind = funckind::Dispatch;
            break;
        case 0x8B:
            f.funcKind = funckind::Static;
            break;
        default:
            damaged("function " + std::to_string(i) + ": unknown record kind " + hex(magic));
        }
        f.invokeKind = static_cast<std::uint8_t>(b.u8(p + 1) >> 4);
        f.name = nameAt(b.u16(p + 4));
        f.memberId = b.i32(p + 6);
        f.callConv = static_cast<std::uint8_t>(b.u8(p + 0x10) & 0x7);
        const std::uint8_t counts = b.u8(p + 0x11);
        f.optionalCount = static_cast<std::int16_t>((counts & 0x7E) >> 1);
        f.vtableOffset = b.u16(p + 0x14);
        if ((magic & 0x20) != 0)
            f.flags = b.u16(p + 0x16);
        std::uint64_t ret = (counts & 0x80) != 0 ? p + 0x12 : inBlock(t, b.u16(p + 0x12), 2);
        f.returnType = typeWords(ret, t, 0);
        m_budget.params(b.u8(p + 0x10) >> 3);
        readParams(f, inBlock(t, b.u16(p + 0x0E), 0), b.u8(p + 0x10) >> 3, t);
        type.functions.push_back(std::move(f));
        offset = b.u16(p + 2);
    }
}

// Each parameter: a name word (an offset in the name table; 0xFFFF or 0xFFFE for none), then its
// type in words, or the offset of its type. A name whose type follows in words is named by the
// offset of its second character; the character before a name that starts at the offset is no
// letter or digit, which tells the two apart.
void SltgReader::readParams(Function& f, std::uint64_t p, std::uint16_t count, const TypeBlock& t) const {
    for (std::uint16_t i = 0; i < count; ++i) {
        const std::uint16_t nameWord = b.u16(p);
        p += 2;
        bool typeByOffset = nameWord == 0xFFFE;
        Param param;
        if (nameWord < 0xFFFE) {
            const auto before = static_cast<unsigned char>(b.u8(m_names + nameWord - 1));
            typeByOffset = before != 0 && std::isalnum(before) == 0;
            param.name = nameAt(typeByOffset ? nameWord : nameWord - 1u);
        }
        std::uint64_t typeAt = p;
        if (typeByOffset) {
            typeAt = inBlock(t, b.u16(p), 2);
            p += 2;
        }
        param.flags = paramFlags(b.u16(typeAt));
        param.type = typeWords(typeAt, t, 0);
        if (!typeByOffset)
            p = typeAt;
        if (count - i <= f.optionalCount)
            param.flags |= paramflag::Optional;
        f.params.push_back(std::move(param));
    }
}

// A variable record: kind byte (0x2A when flags follow), a flag byte (0x02 type in the record,
// 0x08 value in the record, 0x10 constant, 0x40 dispatch property, 0x80 read-only), the next
// record, name (0xFFFE: the previous one's), value or offset, type, member id.
void SltgReader::readVariables(TypeInfo& type, const TypeBlock& t) {
    const std::uint16_t count = b.u16(t.tail + 2);
    std::uint16_t offset = b.u16(t.tail + 0x0A);
    std::string previousName;
    for (std::uint16_t i = 0; i < count && offset != sltg::End; ++i) {
        m_budget.member();
        const std::uint64_t p = inBlock(t, offset, 0x12);
        const std::uint8_t magic = b.u8(p);
        if (magic != 0x0A && magic != 0x2A)
            damaged("variable " + std::to_string(i) + ": unknown record kind " + hex(magic));
        const std::uint8_t flags = b.u8(p + 1);
        Variable v;
        const std::uint16_t name = b.u16(p + 4);
        v.name = name == 0xFFFE ? previousName : nameAt(name);
        previousName = v.name;
        std::uint64_t typeAt = (flags & 0x02) != 0 ? p + 8 : inBlock(t, b.u16(p + 8), 2);
        v.type = typeWords(typeAt, t, 0);
        v.memberId = b.i32(p + 0x0A);
        if (magic == 0x2A)
            v.flags = b.u16(p + 0x12);
        if ((flags & 0x80) != 0)
            v.flags |= varflag::ReadOnly;
        if ((flags & 0x40) != 0) {
            v.varKind = varkind::Dispatch;
        } else if ((flags & 0x10) != 0) {
            v.varKind = varkind::Const;
            v.value = constValue(flags, b.u16(p + 6), v.type.vt, t);
        } else {
            v.offset = b.u16(p + 6);
        }
        type.variables.push_back(std::move(v));
        offset = b.u16(p + 2);
    }
}

// A constant's value: the record's own word (flag 0x08), else at an offset: a counted text for
// strings, four bytes for integers.
std::optional<Value> SltgReader::constValue(std::uint8_t flags, std::uint16_t data, std::uint16_t type,
                                            const TypeBlock& t) const {
    if ((flags & 0x08) != 0)
        return Value{vt::Int, unsignedText(data)};
    if (type == vt::Bstr || type == vt::LpStr || type == vt::LpWStr) {
        const std::uint64_t p = inBlock(t, data, 2);
        const std::uint16_t length = b.u16(p);
        const std::string raw = length == sltg::End ? std::string() : text(b.span(p + 2, length));
        return Value{vt::Bstr, quotedText(raw)};
    }
    return numericValue(b, inBlock(t, data, 4), type);
}

// The implemented interfaces (a coclass's, an interface's base): linked records at the start of
// the member data, each with its flags and its index in the reference table.
void SltgReader::readImplemented(TypeInfo& type, const TypeBlock& t) {
    if (type.kind != TypeKind::Coclass && type.kind != TypeKind::Interface && type.kind != TypeKind::Dispatch)
        return;
    if (!b.has(t.members, 2) || b.u16(t.members) != 0x004A)
        return;
    std::uint16_t offset = 0;
    for (std::size_t n = 0; offset != sltg::End; ++n) {
        if (n >= typelib_limits::MaxImplemented)
            damaged("a list of implemented interfaces that does not end");
        const std::uint64_t p = inBlock(t, offset, 0x16);
        const std::size_t index = b.u16(p + 0x0A);
        if (index >= m_refs.size())
            damaged("an implemented interface " + std::to_string(index) + " past the reference table");
        type.implemented.push_back({m_refs[index], b.u8(p + 6)});
        offset = b.u16(p + 2);
    }
}

} // namespace pelorix::typelib_detail
