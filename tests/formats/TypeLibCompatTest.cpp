// The comparison of two versions of a library: on pairs widl wrote from one IDL file with one
// change each (see WidlLibraries.h), and on rules a table of changes to a library built in memory
// shows one by one.
#include "formats/TypeLibCompat.h"

#include "formats/CompatExpectations.h"
#include "formats/SampleLibrary.h"
#include "formats/WidlLibraries.h"

#include <functional>

#include <gtest/gtest.h>

namespace pelorix {
namespace {

using namespace test::sample;
using test::Breaking;
using test::Compatible;
using test::expectDifferences;
using test::Expected;
using test::listed;

struct WidlPair {
    const char* change; // the preprocessor name, the new library's file
    bool breaks;
    std::vector<Expected> expected;
};

const WidlPair widlPairs[] = {
    {"MEMBER_REMOVED", true, {{Breaking, "IShape", "Area", "removed"}}},
    {"PROPERTY_LET_REMOVED", true, {{Breaking, "IShape", "Name (propput)", "removed"}}},
    {"PARAM_TYPE_CHANGED", true, {{Breaking, "IShape", "Move", "parameter 2 (dy): long, now double"}}},
    {"BYREF_TO_BYVAL",
     true,
     {{Breaking, "IShape", "Scale", "parameter 1 (factor): ByRef, now ByVal"},
      {Breaking, "IShape", "Scale", "[in, out], now [in]"}}},
    {"OPTIONAL_TO_REQUIRED",
     true,
     {{Breaking, "IShape", "Draw", "parameter 1 (target): optional, now required"}}},
    {"RETURN_TYPE_CHANGED", true, {{Breaking, "IShape", "Area", "double*, now long*"}}},
    {"MEMBER_ID_CHANGED", true, {{Breaking, "IShape", "Area", "member id 0x00000005, now 0x00000009"}}},
    {"MEMBER_INSERTED",
     true,
     {{Breaking, "IShape", "Area", "vtable slot 12, now 13"},
      {Compatible, "IShape", "Hide", "added (vtable slot 12"}}},
    {"MEMBER_ADDED_AT_END", false, {{Compatible, "IShape", "Rotate", "added at the end (vtable slot 13"}}},
    {"INTERFACE_EXTENDED", false, {{Compatible, "IShape", "", "renamed to _ShapeV0"}}},
    {"IID_CHANGED",
     true,
     {{Breaking, "IShape", "", "interface id {C0DE0000-0000-4000-8000-000000000020} is no longer"}}},
    {"HELPSTRING_CHANGED", false, {{Compatible, "IShape", "", "help string changed"}}},
    {"ENUM_VALUE_CHANGED", true, {{Breaking, "Colors", "Blue", "value 4, now 8"}}},
    {"ENUM_CONSTANT_ADDED", false, {{Compatible, "Colors", "Cyan", "constant added (16)"}}},
    {"RECORD_LAYOUT_CHANGED",
     true,
     {{Breaking, "Point", "", "size 8 bytes, now 16"},
      {Breaking, "Point", "y", "field 2: offset 4, now 8; long, now double"}}},
    {"CLASS_ID_CHANGED", true, {{Breaking, "shape", "", "class id {C0DE0000-0000-4000-8000-000000000030}"}}},
    {"CLASS_REMOVED", true, {{Breaking, "Canvas", "", "coclass removed"}}},
    {"CLASS_ADDED", false, {{Compatible, "Circle", "", "coclass added"}}},
    {"DEFAULT_INTERFACE_CHANGED",
     true,
     {{Breaking, "shape", "", "IShape is no longer the default interface"},
      {Compatible, "shape", "", "now also implements ICanvas"}}},
};

class WidlPairs : public ::testing::TestWithParam<WidlPair> {};

TEST_P(WidlPairs, EachChangeIsClassifiedAndNamed) {
    PELORIX_SKIP_WITHOUT_WIDL();
    const WidlPair& pair = GetParam();
    const TypeLibrary oldLib = test::widlLibrary("compat.tlb");
    const TypeLibrary newLib = test::widlLibrary("compat-" + std::string(pair.change) + ".tlb");
    expectDifferences(compare(oldLib, newLib), pair.breaks, pair.expected);
}

INSTANTIATE_TEST_SUITE_P(Widl, WidlPairs, ::testing::ValuesIn(widlPairs),
                         [](const auto& param) { return std::string(param.param.change); });

TEST(WidlPairs, ALibraryComparedWithItselfHasNoDifference) {
    PELORIX_SKIP_WITHOUT_WIDL();
    const TypeLibrary lib = test::widlLibrary("compat.tlb");
    EXPECT_EQ(compare(lib, lib), std::vector<CompatDifference>{});
}

TypeInfo& typeNamed(TypeLibrary& lib, std::string_view name) {
    for (TypeInfo& t : lib.types)
        if (t.name == name)
            return t;
    throw std::runtime_error("no type " + std::string(name));
}

// One change to the sample library, and what the comparison must say of it.
struct Change {
    const char* name;
    std::function<void(TypeLibrary&)> apply;
    bool breaks;
    std::vector<Expected> expected;
};

const std::vector<Change>& changes() {
    static const std::vector<Change> all = {
        {"LibraryIdChanged",
         [](TypeLibrary& l) { l.guid = "{99999999-2222-3333-4444-555555555555}"; },
         true,
         {{Breaking, "(library)", "", "library id"}}},
        {"VersionChanged",
         [](TypeLibrary& l) { l.minorVersion = 2; },
         false,
         {{Compatible, "(library)", "", "version 2.1, now 2.2"}}},
        {"DualBecomesDispinterface",
         [](TypeLibrary& l) { typeNamed(l, "IWidget").flags &= ~typeflag::Dual; },
         true,
         {{Breaking, "IWidget", "", "a dual interface, now a dispinterface"}}},
        {"DispinterfaceBecomesDual",
         [](TypeLibrary& l) { typeNamed(l, "WidgetEvents").flags |= typeflag::Dual; },
         false,
         {{Compatible, "WidgetEvents", "", "a dispinterface, now a dual interface"}}},
        {"PropertyBecomesReadOnly",
         [](TypeLibrary& l) { typeNamed(l, "WidgetEvents").variables[0].flags |= varflag::ReadOnly; },
         true,
         {{Breaking, "WidgetEvents", "Enabled", "now read-only"}}},
        {"PropertyRemoved",
         [](TypeLibrary& l) { typeNamed(l, "WidgetEvents").variables.clear(); },
         true,
         {{Breaking, "WidgetEvents", "Enabled", "property removed"}}},
        {"ClassNoLongerCreatable",
         [](TypeLibrary& l) { typeNamed(l, "Widget").flags = 0; },
         true,
         {{Breaking, "Widget", "", "can no longer be created"}}},
        {"ClassRenamed",
         [](TypeLibrary& l) { typeNamed(l, "Widget").name = "Gadget"; },
         true,
         {{Breaking, "Widget", "", "renamed to Gadget: its programmatic id changes"}}},
        {"InterfaceRenamed",
         [](TypeLibrary& l) { typeNamed(l, "IWidget").name = "IGadget"; },
         false,
         {{Compatible, "IWidget", "", "renamed to IGadget"}}},
        {"RecordGuidChanged",
         [](TypeLibrary& l) { typeNamed(l, "Rect").guid = "{11111111-0000-0000-0000-0000000000AA}"; },
         true,
         {{Breaking, "Rect", "", "GUID {11111111-0000-0000-0000-000000000005}, now"}}},
        {"AliasGuidChanged",
         [](TypeLibrary& l) { typeNamed(l, "HANDLE").guid = "{11111111-0000-0000-0000-0000000000BB}"; },
         false,
         {{Compatible, "HANDLE", "", "GUID {11111111-0000-0000-0000-000000000004}, now"}}},
        {"AliasRetargeted",
         [](TypeLibrary& l) { typeNamed(l, "HANDLE").aliasOf = basic(vt::I2); },
         true,
         {{Breaking, "HANDLE", "", "an alias of long, now short"}}},
        {"EntryPointChanged",
         [](TypeLibrary& l) { typeNamed(l, "Api").functions[0].entry = "GetTickCount64"; },
         true,
         {{Breaking, "Api", "GetTickCount", "entry point GetTickCount, now GetTickCount64"}}},
        {"ModuleConstantChanged",
         [](TypeLibrary& l) {
             typeNamed(l, "Api").variables[0].value = Value{vt::Bstr, "\"hello\""};
         },
         true,
         {{Breaking, "Api", "Greeting", "value \"hi\\n\", now \"hello\""}}},
        {"DefaultValueChanged",
         [](TypeLibrary& l) {
             typeNamed(l, "IWidget").functions[0].params[2].defaultValue = Value{vt::Bstr, "\"slow\""};
         },
         false,
         {{Compatible, "IWidget", "Move", "parameter 3 (mode): default value \"fast\", now \"slow\""}}},
        {"ParameterRenamed",
         [](TypeLibrary& l) { typeNamed(l, "IWidget").functions[0].params[0].name = "left"; },
         false,
         {{Compatible, "IWidget", "Move", "parameter 1 (x) renamed to left"}}},
        {"ParameterAdded",
         [](TypeLibrary& l) {
             typeNamed(l, "IWidget").functions[0].params.push_back(param("z", basic(vt::I4), 1));
         },
         true,
         {{Breaking, "IWidget", "Move", "3 parameters, now 4"}}},
        {"ByValBecomesByRef",
         [](TypeLibrary& l) {
             typeNamed(l, "IWidget").functions[0].params[0].type = pointerTo(basic(vt::I4));
         },
         true,
         {{Breaking, "IWidget", "Move", "parameter 1 (x): ByVal, now ByRef"}}},
        {"ParameterThroughAnAliasOfTheSameType",
         [](TypeLibrary& l) { typeNamed(l, "IWidget").functions[0].params[0].type = internal(5); },
         false,
         {}},
        {"MemberHidden",
         [](TypeLibrary& l) { typeNamed(l, "IWidget").functions[0].flags = 0x40; },
         false,
         {{Compatible, "IWidget", "Move", "attributes none, now hidden"}}},
        {"BaseInterfaceChanged",
         [](TypeLibrary& l) {
             typeNamed(l, "IWidget").implemented[0].ref =
                 external(l, {0, "{00000000-0000-0000-C000-000000000046}", -1, "IUnknown"}).ref;
         },
         true,
         {{Breaking, "IWidget", "", "extends IDispatch, now IUnknown"}}},
        {"IidChangedExtendingTheOldIdInAnotherLibrary",
         [](TypeLibrary& l) {
             TypeInfo& t = typeNamed(l, "IWidget");
             t.implemented[0].ref = external(l, {0, t.guid, -1, "IWidgetOld"}).ref;
             t.guid = "{11111111-0000-0000-0000-0000000000CC}";
         },
         false,
         {{Compatible, "IWidget", "", "which extends {11111111-0000-0000-0000-000000000002}"}}},
        {"SourceInterfaceNoLongerSource",
         [](TypeLibrary& l) { typeNamed(l, "Widget").implemented[1].flags = implflag::Default; },
         true,
         {{Breaking, "Widget", "", "WidgetEvents changed its role"}}},
        {"RecordFieldRenamed",
         [](TypeLibrary& l) { typeNamed(l, "Rect").variables[0].name = "X"; },
         false,
         {{Compatible, "Rect", "Left", "field 1 renamed to X"}}},
        {"KindChanged",
         [](TypeLibrary& l) { typeNamed(l, "Rect").kind = TypeKind::Union; },
         true,
         {{Breaking, "Rect", "", "a struct, now a union"}}},
    };
    return all;
}

TEST(CompatRules, EachChangeToALibraryIsClassified) {
    const TypeLibrary base = sampleLibrary();
    for (const Change& c : changes()) {
        SCOPED_TRACE(c.name);
        TypeLibrary changed = base;
        c.apply(changed);
        const std::vector<CompatDifference> got = compare(base, changed);
        expectDifferences(got, c.breaks, c.expected);
        if (c.expected.empty()) {
            EXPECT_EQ(got, std::vector<CompatDifference>{});
        }
    }
}

TEST(CompatRules, ATypeSpeltAlikeIsShownWithWhatItStandsFor) {
    TypeLibrary base = sampleLibrary();
    typeNamed(base, "IWidget").functions[0].params[0].type = internal(5);
    TypeLibrary changed = base;
    typeNamed(changed, "HANDLE").aliasOf = basic(vt::I8);
    expectDifferences(
        compare(base, changed), true,
        {{Breaking, "HANDLE", "", "an alias of long, now __int64"},
         {Breaking, "IWidget", "Move", "parameter 1 (x): HANDLE (long), now HANDLE (__int64)"}});
}

// A library may give one name to several types (widl does for typedefs), constants or members:
// they are matched in their order.
TEST(CompatRules, ThingsOfOneNameAreMatchedInTheirOrder) {
    TypeLibrary base = sampleLibrary();
    TypeInfo second = makeType(TypeKind::Alias, "HANDLE");
    second.aliasOf = basic(vt::I2);
    base.types.push_back(second);
    typeNamed(base, "alpha")
        .variables.push_back(variable("Last", 0, varkind::Const, basic(vt::I4), Value{vt::I4, "7"}));
    Function again = typeNamed(base, "IWidget").functions[0];
    again.vtableOffset += 12;
    typeNamed(base, "IWidget").functions.push_back(again);
    EXPECT_EQ(compare(base, base), std::vector<CompatDifference>{});

    // Two types of one GUID are matched by name first; a class's interfaces in their order.
    TypeLibrary twins = base;
    typeNamed(twins, "Rect").guid = typeNamed(twins, "Widget").guid;
    typeNamed(twins, "Widget").implemented.push_back({internal(1).ref, 0});
    EXPECT_EQ(compare(twins, twins), std::vector<CompatDifference>{});

    TypeLibrary changed = base;
    changed.types.back().aliasOf = basic(vt::I4);
    typeNamed(changed, "alpha").variables.back().value = Value{vt::I4, "8"};
    typeNamed(changed, "IWidget").functions.back().vtableOffset += 4;
    const std::vector<CompatDifference> got = compare(base, changed);
    ASSERT_EQ(got.size(), 3u) << listed(got);
    EXPECT_EQ(got[0].what, "value 7, now 8");
    EXPECT_EQ(got[1].what, "an alias of short, now long");
    EXPECT_EQ(got[2].what, "vtable slot 12, now 13");
}

TEST(CompatRules, DifferencesComeInTheOrderOfTypeNames) {
    TypeLibrary changed = sampleLibrary();
    typeNamed(changed, "Widget").flags = 0;
    typeNamed(changed, "alpha").variables.pop_back();
    typeNamed(changed, "IWidget").functions.pop_back();
    const std::vector<CompatDifference> got = compare(sampleLibrary(), changed);
    ASSERT_EQ(got.size(), 3u) << listed(got);
    EXPECT_EQ(got[0].type, "alpha");
    EXPECT_EQ(got[1].type, "IWidget");
    EXPECT_EQ(got[2].type, "Widget");
}

} // namespace
} // namespace pelorix
