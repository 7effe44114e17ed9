// The text of a library's content: IDL-like, with types sorted by name and members in the order
// clients bind by, so that dumps of two versions diff well.
#include "formats/TypeLibText.h"

#include "formats/SampleLibrary.h"

#include <gtest/gtest.h>

namespace pelorix {
namespace {

using namespace test::sample;

TEST(TypeLibText, OneLibraryOfEveryKindAsIdlLikeText) {
    EXPECT_EQ(typeLibraryText(sampleLibrary()),
              R"(// MSFT type library, win32, lcid 0x0
[uuid(11111111-2222-3333-4444-555555555555), version(2.1), helpstring("A \"sample\" library")]
library Sample {
    importlib("stdole2.tlb"); // {00020430-0000-0000-C000-000000000046} 2.0

    enum alpha {
        First = 1,
        Last = -1,
    };

    module Api {
        const BSTR Greeting = "hi\n";
        [id(0x60000000), entry("GetTickCount")] unsigned long GetTickCount();
    };

    typedef [uuid(11111111-0000-0000-0000-000000000004)] long HANDLE;

    [uuid(11111111-0000-0000-0000-000000000002), hidden, dual, oleautomation]
    interface IWidget : IDispatch {
        [id(0x60030000), propget] HRESULT Caption([out, retval] BSTR* value); // vtable slot 7
        [id(0x60030000), propput] HRESULT Caption([in] BSTR value); // vtable slot 8
        [id(0x60030002)] HRESULT Move([in] long x, [in, out] long* y, [in, optional, defaultvalue("fast")] VARIANT mode); // vtable slot 9
    };

    [uuid(11111111-0000-0000-0000-000000000005)]
    struct Rect {
        long Left; // offset 0
        unsigned char Data[4][1..2]; // offset 4
    };

    [uuid(11111111-0000-0000-0000-000000000001)]
    coclass Widget {
        [default] interface IWidget;
        [default, source] dispinterface WidgetEvents;
    };

    [uuid(11111111-0000-0000-0000-000000000003), hidden]
    dispinterface WidgetEvents {
    properties:
        [id(0x00000003)] VARIANT_BOOL Enabled;
    methods:
        [id(0x00000001)] void Clicked();
        [id(0x00000002)] void Moved();
    };
};
)");
}

TEST(TypeLibText, TypesAsIdlWritesThem) {
    TypeLibrary lib = sampleLibrary();
    const TypeDesc unnamed = external(lib, {0, "", 3, ""});
    const TypeDesc byGuid = external(lib, {0, "{00000000-0000-0000-0000-00000000ABCD}", -1, ""});
    const std::pair<TypeDesc, const char*> cases[] = {
        {basic(vt::Bool), "VARIANT_BOOL"},
        {basic(vt::Dispatch), "IDispatch*"},
        {pointerTo(pointerTo(basic(vt::Unknown))), "IUnknown***"},
        {TypeDesc::of(vt::SafeArray, basic(vt::Variant)), "SAFEARRAY(VARIANT)"},
        {pointerTo(TypeDesc::of(vt::SafeArray, basic(vt::Bstr))), "SAFEARRAY(BSTR)*"},
        {internal(1), "IWidget"},
        {unnamed, "(type 3 of stdole2.tlb)"},
        {byGuid, "{00000000-0000-0000-0000-00000000ABCD}"},
        {basic(200), "VT_200"},
    };
    for (const auto& [type, text] : cases)
        EXPECT_EQ(typeText(type, lib), text);
}

} // namespace
} // namespace pelorix
