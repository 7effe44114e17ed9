#pragma once

// A small library built in memory with one type of every kind, and helpers to build types, for
// the tests of the text and of the comparison.

#include "formats/TypeLibContent.h"

namespace pelorix::test::sample {

inline TypeDesc basic(std::uint16_t type) {
    TypeDesc d;
    d.vt = type;
    return d;
}
inline TypeDesc pointerTo(TypeDesc d) {
    return TypeDesc::of(vt::Ptr, std::move(d));
}
// A reference to the library's type of that index.
inline TypeDesc internal(std::int32_t index) {
    TypeRef ref;
    ref.internalIndex = index;
    return TypeDesc::userDefined(ref);
}

// A reference to a type of another library, added to the library's external types.
inline TypeDesc external(TypeLibrary& lib, ExternalType type) {
    lib.externalTypes.push_back(std::move(type));
    TypeRef ref;
    ref.externalIndex = static_cast<std::int32_t>(lib.externalTypes.size() - 1);
    return TypeDesc::userDefined(ref);
}

inline TypeInfo makeType(TypeKind kind, std::string name, std::string guid = {}, std::uint16_t flags = 0) {
    TypeInfo t;
    t.kind = kind;
    t.name = std::move(name);
    t.guid = std::move(guid);
    t.flags = flags;
    return t;
}

inline Variable variable(std::string name, std::int32_t id, std::uint8_t kind, TypeDesc type,
                         std::optional<Value> value = std::nullopt, std::uint32_t offset = 0) {
    Variable v;
    v.name = std::move(name);
    v.memberId = id;
    v.varKind = kind;
    v.type = std::move(type);
    v.value = std::move(value);
    v.offset = offset;
    return v;
}

inline Param param(std::string name, TypeDesc type, std::uint16_t flags) {
    return Param{std::move(name), std::move(type), flags, std::nullopt};
}

inline Function function(std::string name, std::int32_t id, std::uint8_t kind, std::int32_t slot,
                         std::vector<Param> params) {
    Function f;
    f.name = std::move(name);
    f.memberId = id;
    f.invokeKind = kind;
    f.vtableOffset = slot * 4;
    f.returnType = basic(vt::HResult);
    f.params = std::move(params);
    return f;
}

// A library with one type of every kind, in an order the text does not keep.
inline TypeLibrary sampleLibrary() {
    TypeLibrary lib;
    lib.format = "MSFT";
    lib.guid = "{11111111-2222-3333-4444-555555555555}";
    lib.majorVersion = 2;
    lib.minorVersion = 1;
    lib.name = "Sample";
    lib.docString = "A \"sample\" library";
    lib.imports.push_back({"{00020430-0000-0000-C000-000000000046}", 2, 0, 0, "stdole2.tlb"});

    TypeInfo widget =
        makeType(TypeKind::Coclass, "Widget", "{11111111-0000-0000-0000-000000000001}", typeflag::CanCreate);
    widget.implemented = {{internal(1).ref, implflag::Default},
                          {internal(2).ref, implflag::Default | implflag::Source}};
    TypeInfo iwidget = makeType(TypeKind::Dispatch, "IWidget", "{11111111-0000-0000-0000-000000000002}",
                                typeflag::Dual | typeflag::Hidden | typeflag::OleAutomation);
    const TypeDesc dispatch = external(lib, {0, "{00020400-0000-0000-C000-000000000046}", -1, "IDispatch"});
    iwidget.implemented = {{dispatch.ref, 0}};
    Function move = function("Move", 0x60030002, invoke::Func, 9,
                             {param("x", basic(vt::I4), paramflag::In),
                              param("y", pointerTo(basic(vt::I4)), paramflag::In | paramflag::Out)});
    move.params.push_back(
        param("mode", basic(vt::Variant), paramflag::In | paramflag::Optional | paramflag::HasDefault));
    move.params.back().defaultValue = Value{vt::Bstr, "\"fast\""};
    iwidget.functions = {
        move,
        function("Caption", 0x60030000, invoke::PropertyGet, 7,
                 {param("value", pointerTo(basic(vt::Bstr)), paramflag::Out | paramflag::RetVal)}),
        function("Caption", 0x60030000, invoke::PropertyPut, 8,
                 {param("value", basic(vt::Bstr), paramflag::In)})};
    TypeInfo events = makeType(TypeKind::Dispatch, "WidgetEvents", "{11111111-0000-0000-0000-000000000003}",
                               typeflag::Hidden);
    events.functions = {function("Moved", 2, invoke::Func, 0, {}),
                        function("Clicked", 1, invoke::Func, 0, {})};
    for (Function& f : events.functions) {
        f.funcKind = funckind::Dispatch;
        f.returnType = basic(vt::Void);
    }
    events.variables = {variable("Enabled", 3, varkind::Dispatch, basic(vt::Bool))};
    TypeInfo alpha = makeType(TypeKind::Enum, "alpha");
    alpha.variables = {variable("First", 0, varkind::Const, basic(vt::I4), Value{vt::I4, "1"}),
                       variable("Last", 0, varkind::Const, basic(vt::I4), Value{vt::I4, "-1"})};
    TypeInfo rect = makeType(TypeKind::Record, "Rect", "{11111111-0000-0000-0000-000000000005}");
    TypeDesc array = TypeDesc::of(vt::CArray, basic(vt::UI1), {{4, 0}, {2, 1}});
    rect.variables = {variable("Left", 0, varkind::PerInstance, basic(vt::I4)),
                      variable("Data", 0, varkind::PerInstance, array, std::nullopt, 4)};
    rect.size = 12;
    TypeInfo handle = makeType(TypeKind::Alias, "HANDLE", "{11111111-0000-0000-0000-000000000004}");
    handle.aliasOf = basic(vt::I4);
    TypeInfo api = makeType(TypeKind::Module, "Api");
    Function tick = function("GetTickCount", 0x60000000, invoke::Func, 0, {});
    tick.returnType = basic(vt::UI4);
    tick.funcKind = funckind::Static;
    tick.entry = "GetTickCount";
    api.functions = {tick};
    api.variables = {variable("Greeting", 0, varkind::Const, basic(vt::Bstr), Value{vt::Bstr, "\"hi\\n\""})};
    lib.types = {widget, iwidget, events, alpha, rect, handle, api};
    return lib;
}

} // namespace pelorix::test::sample
