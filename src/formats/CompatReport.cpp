#include "formats/CompatReport.h"

#include "formats/XmlText.h"

#include <map>
#include <set>

namespace pelorix {

namespace {

std::string printable(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    return out;
}

std::string differenceText(const CompatDifference& d) {
    return (d.member.empty() ? std::string() : d.member + ": ") + d.what;
}

struct TypeCase {
    std::vector<const CompatDifference*> breaking;
    std::vector<const CompatDifference*> compatible;
};

std::string testCase(const std::string& name, const TypeCase& c, std::string_view className) {
    std::string xml = "    <testcase" + xmlAttribute("name", name) + xmlAttribute("classname", className) +
                      xmlAttribute("time", "0.000");
    if (c.breaking.empty() && c.compatible.empty())
        return xml + "/>\n";
    xml += ">\n";
    if (!c.breaking.empty()) {
        std::string text;
        for (const CompatDifference* d : c.breaking)
            text += differenceText(*d) + "\n";
        xml += "      <failure" + xmlAttribute("message", differenceText(*c.breaking.front())) +
               xmlAttribute("type", "breaking") + ">" + xmlText(text, false) + "</failure>\n";
    }
    if (!c.compatible.empty()) {
        std::string text;
        for (const CompatDifference* d : c.compatible)
            text += "compatible: " + differenceText(*d) + "\n";
        xml += "      <system-out>" + xmlText(text, false) + "</system-out>\n";
    }
    return xml + "    </testcase>\n";
}

} // namespace

std::string compatLine(const CompatDifference& d) {
    return std::string(severityText(d.severity)) + "\t" + printable(d.type) + "\t" + printable(d.member) +
           "\t" + printable(d.what);
}

std::string compatJUnitXml(const TypeLibrary& oldLib, const TypeLibrary& newLib,
                           const std::vector<CompatDifference>& differences, std::string_view suiteName) {
    std::map<std::string, TypeCase> cases;
    for (const TypeInfo& t : oldLib.types)
        cases[t.name];
    for (const CompatDifference& d : differences)
        (d.severity == CompatSeverity::Breaking ? cases[d.type].breaking : cases[d.type].compatible)
            .push_back(&d);
    std::size_t failures = 0;
    for (const auto& [name, c] : cases)
        failures += c.breaking.empty() ? 0 : 1;
    const std::string totals = xmlAttribute("tests", std::to_string(cases.size())) +
                               xmlAttribute("failures", std::to_string(failures)) +
                               xmlAttribute("errors", "0") + xmlAttribute("skipped", "0");
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites" +
                      xmlAttribute("name", "pelorix-cli compat") + totals + ">\n";
    xml += "  <testsuite" + xmlAttribute("name", suiteName) + totals + ">\n";
    const std::string className = oldLib.name.empty() ? newLib.name : oldLib.name;
    for (const auto& [name, c] : cases)
        xml += testCase(name, c, className);
    return xml + "  </testsuite>\n</testsuites>\n";
}

} // namespace pelorix
