// The reader of a library's identity on files reached through the prefix's drives: where a
// registration's path leads (resource suffixes, long-path prefixes) and what is no regular file.
#include "platform/TypeLibFile.h"

#include "formats/TypeLibFiles.h"
#include "formats/TypeLibText.h"
#include "formats/WidlLibraries.h"
#include "support/RegistryWriter.h"
#include "support/TestEnvironment.h"

#include <algorithm>
#include <filesystem>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <gtest/gtest.h>

namespace pelorix {
namespace {

using test::makeMsft;
using test::makePe;
using test::makeSltg;
using test::MsftOptions;

using test::expectLibrary;

// Files on disk, reached through the prefix's drives.
class TypeLibFileReader : public ::testing::Test {
protected:
    test::TestEnvironment env;
    std::string write(std::string_view relative, std::string_view bytes) {
        const std::string host = env.driveC() + "/" + std::string(relative);
        test::writeFile(host, bytes);
        return host;
    }
};

TEST_F(TypeLibFileReader, FormatIsToldByContentNotExtension) {
    write("libs/raw.dll", makeMsft().bytes);
    write("libs/Control.OCX", makeSltg().bytes);
    write("libs/stdole.tlb", makePe({.typeLibs = {{1, makeMsft().bytes}}}).bytes);
    write("libs/notes.txt", "MSFT is a magic, but this is text");
    expectLibrary(readTypeLibAttributes("C:\\libs\\raw.dll"), "{12345678-9ABC-DEF0-1122-334455667788}", 1,
                  10);
    expectLibrary(readTypeLibAttributes("c:\\LIBS\\control.ocx"), "{0E59F1D2-1FBE-11D0-8FF2-00A0D10038BC}", 3,
                  0x1F);
    expectLibrary(readTypeLibAttributes("C:\\libs\\stdole.tlb"), "{12345678-9ABC-DEF0-1122-334455667788}", 1,
                  10);
    EXPECT_FALSE(readTypeLibAttributes("C:\\libs\\notes.txt"));
}

TEST_F(TypeLibFileReader, TrailingNumberSelectsTheResourceOnlyWhenTheWholeNameIsNoFile) {
    MsftOptions second;
    second.major = 2;
    const std::string host =
        write("windows/system32/multi.dll",
              makePe({.typeLibs = {{1, makeMsft().bytes}, {3, makeMsft(second).bytes}}}).bytes);
    EXPECT_EQ(readTypeLibAttributes("C:\\windows\\system32\\multi.dll\\3")->majorVersion, 2);
    EXPECT_EQ(readTypeLibAttributes("C:\\windows\\system32\\multi.dll\\1")->majorVersion, 1);
    EXPECT_FALSE(readTypeLibAttributes("C:\\windows\\system32\\multi.dll\\2"));
    EXPECT_FALSE(readTypeLibAttributes("C:\\windows\\system32\\multi.dll\\70000"));
    EXPECT_FALSE(readTypeLibAttributes("C:\\windows\\system32\\multi.dll\\3x"));
    EXPECT_FALSE(readTypeLibAttributes("C:\\windows\\system32\\missing.dll\\3"));
    // Registrations written through a final-path look-up.
    EXPECT_EQ(readTypeLibAttributes("\\\\?\\C:\\windows\\system32\\multi.dll\\3")->majorVersion, 2);
    // A host path outside every drive, in Wine's form.
    std::string unixPath = "\\\\?\\unix" + host + "\\3";
    std::replace(unixPath.begin(), unixPath.end(), '/', '\\');
    EXPECT_EQ(readTypeLibAttributes(unixPath)->majorVersion, 2);

    const auto located = locateTypeLib("C:\\windows\\system32\\multi.dll\\3");
    ASSERT_TRUE(located);
    EXPECT_EQ(std::filesystem::path(located->hostPath).make_preferred(),
              std::filesystem::path(host).make_preferred());
    EXPECT_EQ(located->resourceId, 3u);

    // A file whose own name is a number is that file, not a resource of its folder.
    write("numbered/7", makeMsft(second).bytes);
    const auto numbered = locateTypeLib("C:\\numbered\\7");
    ASSERT_TRUE(numbered);
    EXPECT_EQ(numbered->resourceId, 1u);
    EXPECT_EQ(readTypeLibAttributes("C:\\numbered\\7")->majorVersion, 2);
}

// A type of another library is shown by its GUID, and by its name once that library is registered.
TEST_F(TypeLibFileReader, TypesOfAnotherLibraryAreNamedFromItsRegistration) {
    PELORIX_SKIP_WITHOUT_WIDL();
    write("libs/compat.tlb", test::widlLibraryBytes("compat.tlb"));
    write("libs/client.tlb", test::widlLibraryBytes("client.tlb"));
    const std::string unnamed = typeLibraryText(readTypeLibContent("C:\\libs\\client.tlb"));
    EXPECT_NE(unnamed.find("HRESULT Paint([in] {C0DE0000-0000-4000-8000-000000000020}* shape, [in] "
                           "{C0DE0000-0000-4000-8000-000000000010} color);"),
              std::string::npos)
        << unnamed;
    test::RegistryWriter registry;
    test::TypeLibRegistration compat;
    compat.guid = "{C0DE0000-0000-4000-8000-000000000001}";
    compat.win32 = "C:\\libs\\compat.tlb";
    registry.addTypeLib(compat);
    registry.write(env);
    const std::string named = typeLibraryText(readTypeLibContent("C:\\libs\\client.tlb"));
    EXPECT_NE(named.find("HRESULT Paint([in] IShape* shape, [in] Colors color);"), std::string::npos)
        << named;
}

#ifndef _WIN32 // POSIX permissions, processes and limits
TEST_F(TypeLibFileReader, WhatIsNoRegularFileGivesNothingWithoutBlocking) {
    EXPECT_FALSE(readTypeLibAttributes("C:\\windows"));
    EXPECT_FALSE(readTypeLibAttributes("C:\\nowhere\\lib.tlb"));
    EXPECT_FALSE(readTypeLibAttributes("Q:\\unmapped.tlb"));
    EXPECT_FALSE(readTypeLibAttributes(""));
    const std::string fifo = env.driveC() + "/pipe.tlb";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(readTypeLibAttributes("C:\\pipe.tlb"));
    write("empty.tlb", "");
    EXPECT_FALSE(readTypeLibAttributes("C:\\empty.tlb"));
}

#endif

} // namespace
} // namespace pelorix
