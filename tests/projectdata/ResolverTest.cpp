#include "ProjectDataTestSupport.h"
#include "formats/TypeLibFiles.h"
#include "platform/Text.h"
#include "projectdata/RegistrationIndex.h"

#include <functional>
#include <random>

namespace pelorix::test {
namespace {

constexpr const char* Guid = "{00020430-0000-0000-C000-000000000046}";

class ResolverTest : public ProjectDataTest {
protected:
    void add(std::string library, std::string keyPath, VbDate time) {
        libraries.push_back(std::move(library));
        keys.push_back(std::move(keyPath));
        times.push_back(time);
    }
    // The registrations added so far, indexed as an update indexes a walk.
    RegistrationIndex index() const {
        return RegistrationIndex(
            std::make_shared<const TypeLibRegistrations>(TypeLibRegistrations{libraries, keys, times}));
    }
    std::string reference(std::string_view line, std::string_view windows = "C:\\WINDOWS",
                          std::string_view project = "C:\\proj\\P.vbp") {
        return data.pGetNewReferenceByLastWriteTime(project, line, index(), windows);
    }
    std::string component(std::string_view line, std::string_view windows = "C:\\WINDOWS") {
        return data.pGetNewComponentByLastWriteTime("C:\\proj\\P.vbp", line, index(), windows);
    }

    std::vector<std::string> libraries;
    std::vector<std::string> keys;
    std::vector<VbDate> times;
};

TEST_F(ResolverTest, NewestRegistrationOfTheSameFileWinsAndTiesGoToTheLater) {
    add("C:\\lib\\x.tlb", std::string("TypeLib\\") + Guid + "\\1.0\\0", 45000.0);
    add("c:\\LIB\\X.TLB", std::string("TypeLib\\") + Guid + "\\2.0\\0", 45001.0);
    add("C:\\lib\\x.tlb", std::string("TypeLib\\") + Guid + "\\3.0\\411", 44000.0);
    add("C:\\lib\\y.tlb", std::string("TypeLib\\") + Guid + "\\9.0\\0", 46000.0);
    EXPECT_EQ(data.pSearchLastWriteData("C:\\lib\\x.tlb", index()), 1);
    times[0] = 45001.0;
    EXPECT_EQ(data.pSearchLastWriteData("C:\\lib\\x.tlb", index()), 1);
    times[2] = 45001.0;
    EXPECT_EQ(data.pSearchLastWriteData("C:\\lib\\x.tlb", index()), 2);
    EXPECT_EQ(data.pSearchLastWriteData("C:\\lib\\z.tlb", index()), -1);
    EXPECT_EQ(reference(std::string("Reference=*\\G") + Guid + "#1.0#0#C:\\lib\\x.tlb#X Library"),
              std::string("Reference=*\\G") + Guid + "#3.0#411#C:\\lib\\x.tlb#X Library");
}

TEST_F(ResolverTest, ShortNamesAreNeverChosenForReferences) {
    add("C:\\PROGRA~1\\x.tlb", "TypeLib\\{A}\\2.0\\0", 46000.0);
    add("C:\\PROGRA~1\\x.tlb", "TypeLib\\{A}\\1.0\\0", 45000.0);
    EXPECT_EQ(data.pSearchLastWriteData("C:\\PROGRA~1\\x.tlb", index()), -1);
    // Components match by name anywhere, short names included.
    EXPECT_EQ(data.pSearchComponentLastWriteData("x.TLB", index()), 0);
}

// The two searches as the rules state them, one registration at a time from the last index down.
std::int32_t newestByScan(const TypeLibRegistrations& r,
                          const std::function<bool(const std::string&)>& matches) {
    std::int32_t best = -1;
    VbDate bestTime = 0;
    for (std::size_t i = r.libraryPaths.size(); i-- > 0;) {
        const VbDate time = i < r.writeTimes.size() ? r.writeTimes[i] : 0;
        if (matches(r.libraryPaths[i]) && (best == -1 || time > bestTime)) {
            best = static_cast<std::int32_t>(i);
            bestTime = time;
        }
    }
    return best;
}

TEST(RegistrationIndexTest, AnswersAsAScanOfEveryRegistrationWould) {
    // Few distinct paths and times, so that duplicates, ties, short names, names inside other
    // names and names only inside a path (a folder, a resource suffix) all come up often.
    const std::vector<std::string> folders = {"C:\\Lib\\", "c:\\lib\\", "C:\\PROGRA~1\\", "D:\\MsComCtl\\",
                                              ""};
    const std::vector<std::string> names = {"comctl.ocx", "MSCOMCTL.OCX", "x.dll", "x.dll\\2", "a~b.tlb", ""};
    std::mt19937 random(20240607);
    auto pick = [&random](const auto& from) { return from[random() % from.size()]; };
    auto registrations = std::make_shared<TypeLibRegistrations>();
    for (int i = 0; i < 400; ++i) {
        registrations->libraryPaths.push_back(pick(folders) + pick(names));
        registrations->keyPaths.push_back("TypeLib\\{" + std::to_string(i) + "}\\1.0\\0");
        registrations->writeTimes.push_back(45000.0 + static_cast<double>(random() % 4));
    }
    registrations->writeTimes.resize(390); // the last ten have no time: they count as 0
    const RegistrationIndex index(registrations);

    std::vector<std::string> queries = {"", "OCX", "CTL.OCX", "\\2", "LIB\\X", "L\\X.DLL\\2C:", "none"};
    for (const auto& folder : folders)
        for (const auto& name : names)
            queries.push_back(folder + name);
    for (const std::string& q : queries) {
        const std::string variant = toLower(q);
        for (const std::string& query : {q, variant}) {
            EXPECT_EQ(index.newestOfLibrary(query), newestByScan(*registrations,
                                                                 [&](const std::string& p) {
                                                                     return equalsIgnoreCase(p, query) &&
                                                                            p.find('~') == std::string::npos;
                                                                 }))
                << "reference " << query;
            EXPECT_EQ(index.newestContaining(query),
                      newestByScan(*registrations,
                                   [&](const std::string& p) {
                                       return toUpper(p).find(toUpper(query)) != std::string::npos;
                                   }))
                << "component " << query;
            EXPECT_EQ(index.newestContaining(query), index.newestContaining(toUpper(query))) << "asked again";
        }
    }
}

TEST(RegistrationIndexTest, ANameIsFoundWithinOnePathOnly) {
    auto registrations = std::make_shared<TypeLibRegistrations>(
        TypeLibRegistrations{{"C:\\AB", "CD", "x\\vbscript.dll\\3"}, {"k0", "k1", "k2"}, {3.0, 2.0, 1.0}});
    const RegistrationIndex index(registrations);
    EXPECT_EQ(index.newestContaining("BC"), -1) << "the end of one path and the start of the next";
    EXPECT_EQ(index.newestContaining("b"), 0);
    EXPECT_EQ(index.newestContaining("VBScript.dll"), 2) << "a name followed by a resource id";
}

TEST_F(ResolverTest, DescriptionHoldingHashKeepsThePath) {
    add("C:\\lib\\x.tlb", std::string("TypeLib\\") + Guid + "\\2.1\\0", 46000.0);
    EXPECT_EQ(reference(std::string("Reference=*\\G") + Guid + "#2.0#0#C:\\lib\\x.tlb#Desc # more"),
              std::string("Reference=*\\G") + Guid + "#2.1#0#C:\\lib\\x.tlb#Desc # more");
    // A line without a description keeps its path too.
    EXPECT_EQ(reference(std::string("Reference=*\\G") + Guid + "#2.0#0#C:\\lib\\x.tlb"),
              std::string("Reference=*\\G") + Guid + "#2.1#0#C:\\lib\\x.tlb");
}

TEST_F(ResolverTest, RelativePathFoundOnAnotherDriveKeepsItsRelativeForm) {
    const std::string d = env.path("d");
    writeFile(d + "/shared/lib/r.tlb", "x");
    env.mapDrive('d', d);
    std::string found;
    EXPECT_TRUE(data.pAppendDrivePath("shared\\lib\\r.tlb", found));
    EXPECT_EQ(found, "D:\\shared\\lib\\r.tlb");
    EXPECT_FALSE(data.pAppendDrivePath("\\shared\\lib\\none.tlb", found));

    add("D:\\shared\\lib\\r.tlb", "TypeLib\\{R}\\1.1\\0", 46000.0);
    EXPECT_EQ(reference("Reference=*\\G{R}#1.0#0#..\\shared\\lib\\r.tlb#R", "C:\\WINDOWS", "C:\\proj\\P.vbp"),
              "Reference=*\\G{R}#1.1#0#..\\shared\\lib\\r.tlb#R");
}

TEST_F(ResolverTest, WindowsFolderNamesAreExchanged) {
    add("C:\\WINDOWS\\System32\\x.tlb", "TypeLib\\{W}\\2.0\\0", 46000.0);
    EXPECT_EQ(reference("Reference=*\\G{W}#1.0#0#C:\\WINNT\\System32\\x.tlb#W"),
              "Reference=*\\G{W}#2.0#0#C:\\WINDOWS\\System32\\x.tlb#W");
    // Written in mixed case the folder is recognised but not replaced, so nothing matches.
    EXPECT_EQ(reference("Reference=*\\G{W}#1.0#0#C:\\WinNT\\System32\\x.tlb#W"), "");

    libraries = {"C:\\WINNT\\System32\\x.tlb"};
    EXPECT_EQ(reference("Reference=*\\G{W}#1.0#0#c:\\WINDOWS\\System32\\x.tlb#W", "C:\\WINNT"),
              "Reference=*\\G{W}#2.0#0#c:\\WINNT\\System32\\x.tlb#W");
    // A path that also holds "\WINNT" (here as the start of a file name) while this system's
    // folder is C:\WINNT still gets its "\WINDOWS" exchanged.
    libraries = {"C:\\WINNT\\System32\\winntx.tlb"};
    EXPECT_EQ(reference("Reference=*\\G{W}#1.0#0#C:\\WINDOWS\\System32\\winntx.tlb#W", "C:\\WINNT"),
              "Reference=*\\G{W}#2.0#0#C:\\WINNT\\System32\\winntx.tlb#W");
}

TEST_F(ResolverTest, ComponentsMatchByFileName) {
    add("C:\\WINDOWS\\system32\\MSCOMCTL.OCX", "TypeLib\\{C}\\2.2\\0", 46000.0);
    add("C:\\other\\mscomctl.ocx", "TypeLib\\{C}\\2.1\\0", 45000.0);
    EXPECT_EQ(component("Object={C}#2.0#0; MSCOMCTL.OCX"), "Object={C}#2.2#0; MSCOMCTL.OCX");
    EXPECT_EQ(component("Object={C}#2.0#0"), "");
    EXPECT_EQ(component("Object={C}#2.0#0;   "), "");
    EXPECT_EQ(component("Object=*\\A..\\Ocx\\Ocx.vbp"), "");
    EXPECT_EQ(component("Object={C}#2.0#0; none.ocx"), "");
    EXPECT_EQ(errorOf([&] { component("Object={C}#2.0"); }), vberr::SubscriptOutOfRange);
    EXPECT_EQ(data.ErrProcName(), "pGetNewComponentByLastWriteTime");
}

TEST_F(ResolverTest, MalformedReferenceLines) {
    add("C:\\lib\\x.tlb", "TypeLib\\{X}\\2.0\\0", 46000.0);
    EXPECT_EQ(reference("Reference=*\\Gnothing"), "");
    EXPECT_EQ(errorOf([&] { reference("Reference=*\\G{X}#1.0#0"); }), vberr::SubscriptOutOfRange);
    EXPECT_EQ(
        errorOf([&] { data.pGetNewReferenceByTypeLibInfo("C:\\proj\\P.vbp", "Reference=*\\Gnothing"); }),
        vberr::InvalidArgument);
    EXPECT_EQ(data.ErrDescription(), vberr::description(5) + "[]");
}

TEST_F(ResolverTest, TypeLibraryFileSuppliesIdentityWhenNothingIsRegistered) {
    MsftOptions options;
    options.guid = "{12345678-9ABC-DEF0-1122-334455667788}";
    options.major = 2;
    options.minor = 10;
    putC("proj/lib/own.tlb", makeMsft(options).bytes);
    EXPECT_EQ(data.pGetNewReferenceByTypeLibInfo("C:\\proj\\sub\\P.vbp",
                                                 "Reference=*\\G{0}#1.0#0#..\\lib\\own.tlb#Own#extra"),
              "Reference=*\\G{12345678-9ABC-DEF0-1122-334455667788}#2.a#0#..\\lib\\own.tlb#Own#extra");
    putC("proj/lib/bad.tlb", "not a library");
    EXPECT_EQ(data.pGetNewReferenceByTypeLibInfo("C:\\proj\\P.vbp",
                                                 "Reference=*\\G{0}#1.0#0#C:\\proj\\lib\\bad.tlb#B"),
              "Reference=*\\G{0}#1.0#0#C:\\proj\\lib\\bad.tlb#B");
}

TEST_F(ResolverTest, MissingLibraryIsLoggedOnce) {
    EXPECT_EQ(
        data.pGetNewReferenceByTypeLibInfo("C:\\proj\\P.vbp", "Reference=*\\G{0}#1.0#0#C:\\gone\\g.tlb#G"),
        "");
    const std::string logText = env.errorLog();
    EXPECT_NE(logText.find("参照設定:「C:\\gone\\g.tlb」ファイルが見つかりません。"), std::string::npos)
        << logText;
    EXPECT_NE(logText.find("pGetNewReferenceByTypeLibInfo"), std::string::npos);
}

} // namespace
} // namespace pelorix::test
