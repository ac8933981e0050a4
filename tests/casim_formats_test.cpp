// ca-sim as the one reader of the formats that describe a case: scenario.txt
// (and its one writer), the package's sequences, what the package must
// stage, and registry files of both kinds. The harnesses read only what
// these listings print.
#include "registry_files.h"
#include "scenario.h"
#include "staging.h"
#include "casim_support.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cctype>
#include <optional>
#include <set>
#include <string>

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

using namespace casim_support;

struct Scratch {
    fs::path path = scratchFolder("ca-sim-formats-");
    Scratch() { fs::create_directories(path); }
    ~Scratch() { fs::remove_all(path); }
    fs::path write(const std::string& name, const std::string& text) const { return writeFile(path / name, text); }
};

Output caSim(const std::string& args) { return runCommand(std::string(CA_SIM_BINARY) + " " + args + " 2>&1"); }

}  // namespace

TEST(CaSimScenario, EveryStatementReadsBackFromTheOneWriter)
{
    // Values keep their trailing blanks; UTF-8 reaches the machine in its code
    // page, named after the value or before it (表 is 0x95 0x5C in 932).
    const std::string text =
        "# a comment\n"
        "property OWNER=\xe8\xa1\xa8 \n"
        "env ALLUSERSPROFILE=C:\\Daten\n"
        "codepage 932\n"
        "feature Main=3\n"
        "component Note=2 installed=3\n"
        "hold \"C:\\PTC\\wf 5\\x86e_win64\\obj\\msvcr90.dll\" remove\n"
        "hold C:\\PTC\\creo1\\text\\protk.dat\n"
        "sequence install\n"
        "restart\n"
        "hold C:\\PTC\\wf5\\x86e_win64\\obj\\orvbridge.dll install\n"
        "sequence install remove\n"
        "expect PROTK_WRITE=\n";
    const casim::Scenario s = casim::parseScenarioText(text, "s.txt");
    ASSERT_EQ(s.properties.size(), 1u);
    EXPECT_EQ(s.properties[0].value, "\x95\x5c ");
    EXPECT_EQ(s.properties[0].line, 2);
    ASSERT_TRUE(s.codePage.has_value());
    EXPECT_EQ(s.codePage->number, 932);
    EXPECT_EQ(s.components.at(0).installed, 3);
    ASSERT_EQ(s.holds.size(), 3u);
    EXPECT_EQ(s.holds[0].path, "C:\\PTC\\wf 5\\x86e_win64\\obj\\msvcr90.dll");
    EXPECT_EQ(s.holds[0].sequences, std::vector<std::string>{"remove"});
    EXPECT_TRUE(s.holds[1].sequences.empty());
    // A hold after a sequence line leaves the sequences before it alone (an upgrade's second installation).
    // A restart ends the holds before it.
    EXPECT_EQ(s.holds[1].afterSequences, 0u);
    EXPECT_EQ(s.holds[1].untilSequences, std::optional<std::size_t>(1));
    EXPECT_EQ(s.holds[2].afterSequences, 1u);
    EXPECT_EQ(s.holds[2].untilSequences, std::nullopt);
    ASSERT_EQ(s.restarts.size(), 1u);
    EXPECT_EQ(s.restarts[0].afterSequences, 1u);
    EXPECT_EQ(s.restarts[0].line, 10);
    ASSERT_EQ(s.sequences.size(), 3u);
    EXPECT_EQ(s.expectations.at(0).value, "");

    const std::string written = casim::scenarioText(s, {"saved"});
    EXPECT_EQ(written,
              "# saved\n"
              "property OWNER=\xe8\xa1\xa8 \n"
              "env ALLUSERSPROFILE=C:\\Daten\n"
              "codepage 932\n"
              "feature Main=3 installed=2\n"
              "component Note=2 installed=3\n"
              "hold \"C:\\PTC\\wf 5\\x86e_win64\\obj\\msvcr90.dll\" remove\n"
              "hold C:\\PTC\\creo1\\text\\protk.dat\n"
              "sequence install\n"
              "restart\n"
              "hold C:\\PTC\\wf5\\x86e_win64\\obj\\orvbridge.dll install\n"
              "sequence install remove\n"
              "expect PROTK_WRITE=\n");
    EXPECT_EQ(casim::scenarioText(casim::parseScenarioText(written, "again.txt")), casim::scenarioText(s));

    EXPECT_EQ(errorOf("restart\nsequence install\n"), "s.txt:1: \"restart\" goes after a \"sequence\" line");
    EXPECT_EQ(errorOf("sequence install\nrestart now\n"), "s.txt:2: \"restart\" takes nothing after it");
    EXPECT_EQ(errorOf("codepage 1252\ncodepage 932\n"), "s.txt:2: a second codepage line (the first is line 1)");
    EXPECT_EQ(errorOf("codepage ansi\n"), "s.txt:1: expected codepage 1252 or codepage 932");
    EXPECT_EQ(errorOf("hold \"C:\\a b.dll install\n"), "s.txt:1: unterminated quote in the path");
    EXPECT_EQ(errorOf("hold\n"), "s.txt:1: expected hold PATH [SEQUENCE...]");
    EXPECT_EQ(errorOf("hold C:\\\xce\xb1.dll\n"), "s.txt:1: the path is not text that code page 1252 can hold");
    EXPECT_EQ(errorOf("run isProEInstalled\nsequence install\n"),
              "s.txt: a scenario has \"run\" lines or \"sequence\" lines, not both");
}

TEST(CaSimScenario, ChangesStandBetweenSequencesWhereTheirLinesPutThem)
{
    // A folder with blanks is quoted, a trailing slash dropped; restarts and
    // changes after the same sequence keep their lines' order.
    const std::string text =
        "sequence install\n"
        "change patch/\n"
        "restart\n"
        "change \"host update\"\n"
        "hold C:\\PTC\\wf5\\x86e_win64\\obj\\orvbridge.dll remove\n"
        "sequence remove\n"
        "restart\n"
        "change reinstall/PTC\n";
    const casim::Scenario s = casim::parseScenarioText(text, "s.txt");
    ASSERT_EQ(s.changes.size(), 3u);
    EXPECT_EQ(s.changes[0].folder, "patch");
    EXPECT_EQ(s.changes[0].afterSequences, 1u);
    EXPECT_EQ(s.changes[0].line, 2);
    EXPECT_EQ(s.changes[1].folder, "host update");
    EXPECT_EQ(s.changes[1].afterSequences, 1u);
    EXPECT_EQ(s.changes[2].folder, "reinstall/PTC");
    EXPECT_EQ(s.changes[2].afterSequences, 2u);
    EXPECT_EQ(s.changes[2].line, 8);
    const auto order = [&](std::size_t after) {
        std::string seen;
        for (const casim::Between& b : casim::betweenSequences(s, after))
            seen += (b.kind == casim::Between::Kind::restart ? "restart " : "change ") + std::to_string(b.index) + ";";
        return seen;
    };
    EXPECT_EQ(order(0), "");
    EXPECT_EQ(order(1), "change 0;restart 0;change 1;");
    EXPECT_EQ(order(2), "restart 1;change 2;");
    EXPECT_EQ(casim::scenarioText(s),
              "sequence install\n"
              "change patch\n"
              "restart\n"
              "change \"host update\"\n"
              "hold C:\\PTC\\wf5\\x86e_win64\\obj\\orvbridge.dll remove\n"
              "sequence remove\n"
              "restart\n"
              "change reinstall/PTC\n");
    // Without lines (a scenario put together in code), a restart goes first.
    casim::Scenario built;
    built.sequences = {{"install", 0}, {"remove", 0}};
    built.changes = {{"patch", 1, 0, {}}};
    built.restarts = {{1, 0}};
    EXPECT_EQ(casim::scenarioText(built), "sequence install\nrestart\nchange patch\nsequence remove\n");

    EXPECT_EQ(errorOf("change patch\nsequence install\n"), "s.txt:1: \"change\" goes after a \"sequence\" line");
    EXPECT_EQ(errorOf("sequence install\nchange\n"), "s.txt:2: expected change FOLDER");
    EXPECT_EQ(errorOf("sequence install\nchange patch reinstall\n"), "s.txt:2: \"change\" takes one folder");
    for (const char* outside : {"../patch", "/tmp/patch", "patch//PTC", "./patch", "C:/patch"})
        EXPECT_EQ(errorOf(std::string("sequence install\nchange ") + outside + "\n"),
                  "s.txt:2: the folder is a path of names below the scenario folder")
            << outside;
    EXPECT_EQ(errorOf("sequence install\nchange patch\\PTC\n"),
              "s.txt:2: write the folder with /, relative to the scenario folder");
    EXPECT_EQ(errorOf("sequence install\nchange drive_c/PTC\n"), "s.txt:2: the folder lies outside drive_c/ and registry/");
    EXPECT_EQ(errorOf("run isProEInstalled\nchange patch\n"), "s.txt:2: \"change\" goes after a \"sequence\" line");

    // The listing carries them; a folder that is not there is refused with its line.
    Scratch dir;
    dir.write("machine.reg", "Windows Registry Editor Version 5.00\r\n");
    dir.write("scenario.txt", "sequence install\nchange patch\nsequence remove\n");
    const Output missing = caSim("scenario " + dir.path.string() + " --json");
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.out.find("scenario.txt:2: no folder patch beside scenario.txt"), std::string::npos) << missing.out;
    fs::create_directories(dir.path / "patch");
    const Output listed = caSim("scenario " + dir.path.string() + " --json");
    ASSERT_EQ(listed.status, 0) << listed.out;
    EXPECT_EQ(json::parse(listed.out)["changes"],
              json::parse(R"([{"folder": "patch", "afterSequences": 1, "line": 2}])"));
    EXPECT_EQ(caSim("scenario " + dir.path.string()).out, "sequence install\nchange patch\nsequence remove\n");
}

TEST(CaSimListings, ScenarioAndSequencesAsTheHarnessesReadThem)
{
    Scratch dir;
    dir.write("machine.reg", "Windows Registry Editor Version 5.00\r\n");
    dir.write("scenario.txt", "property PROEMBROWSE=C:\\M\xc3\xbcller\nhold C:\\x.dll install\nsequence install\n"
                              "restart\nsequence remove\nexpect PROEM1=1\n");
    const Output listed = caSim("scenario " + dir.path.string() + " --json");
    ASSERT_EQ(listed.status, 0) << listed.out;
    const json s = json::parse(listed.out);
    EXPECT_EQ(s["properties"], json::parse(R"([{"name": "PROEMBROWSE", "value": "C:\\M\u00fcller", "line": 1}])"));
    EXPECT_EQ(s["holds"],
              json::parse(R"([{"path": "C:\\x.dll", "sequences": ["install"], "afterSequences": 0,
                                "untilSequences": 1, "line": 2}])"));
    EXPECT_EQ(s["sequences"], json::parse(R"([{"name": "install", "line": 3}, {"name": "remove", "line": 5}])"));
    EXPECT_EQ(s["restarts"], json::parse(R"([{"afterSequences": 1, "line": 4}])"));
    EXPECT_EQ(s["codepage"], nullptr);
    EXPECT_EQ(s["expect"], json::parse(R"([{"name": "PROEM1", "value": "1", "line": 6}])"));

    // Steps in the file's order across sequences; a set step's property and value; conditions as written.
    const fs::path file = dir.write("sequences.txt", "# steps\ninstall isProEInstalled NOT Installed\n"
                                                     "remove cleanupDependancies\n"
                                                     "install set OWNER=M\xc3\xbcller  PROEM1=\"1\" \n");
    const Output steps = caSim("sequences --file " + file.string() + " --json");
    ASSERT_EQ(steps.status, 0) << steps.out;
    EXPECT_EQ(json::parse(steps.out)["steps"], json::parse(R"([
        {"sequence": "install", "action": "isProEInstalled", "condition": "NOT Installed", "line": 2},
        {"sequence": "remove", "action": "cleanupDependancies", "condition": "", "line": 3},
        {"sequence": "install", "action": "set", "property": "OWNER", "value": "M\u00fcller",
         "condition": "PROEM1=\"1\"", "line": 4}])"));
    // A condition that does not parse is refused when the file is read, with its line.
    dir.write("sequences.txt", "install isProEInstalled\ninstall checkProTKAccess PROEM1=\n");
    const Output bad = caSim("sequences --file " + file.string() + " --json");
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.out.find("sequences.txt:2: condition \"PROEM1=\": an operand is missing"), std::string::npos) << bad.out;
}

TEST(CaSimListings, ManifestListsWhatThePackageMustStageOnce)
{
    const auto payload = casim::stagedPayload();
    const auto find = [&](const std::string& path) -> const casim::StagedEntry* {
        for (const auto& e : payload)
            if (e.path == path) return &e;
        return nullptr;
    };
    // Each release build's module under its staging subfolder (Wildfire 1.0 and 2.0: the staging area itself),
    // the ribbon for Creo Parametric only, the private runtime under proeWF5.
    for (const char* path : {"orvbridge.dll", "proeWF3\\orvbridge.dll", "proeWF5\\orvbridge.dll", "creo2\\orvbridge.dll",
                             "creo1\\OrvellaMenu.rbn", "creo2\\OrvellaMenu.rbn", "proeWF5\\Microsoft.VC90.CRT\\msvcr90.dll",
                             "proeWF5\\Microsoft.VC100\\mfc100.dll", "x86e_win64\\obj\\Lang\\OrvellaHelp.chm"})
        EXPECT_NE(find(path), nullptr) << path;
    for (const char* path : {"proeWF5\\OrvellaMenu.rbn", "msvcp80.dll", "proeWF5\\OvConnector.dll", "OrvellaHelp.chm"})
        EXPECT_EQ(find(path), nullptr) << path << ": no host receives it";
    ASSERT_NE(find("text\\resource\\"), nullptr);
    EXPECT_TRUE(find("text\\resource\\")->folder);
    EXPECT_EQ(find("text\\resource\\")->what, "its files copied into text\\usascii\\resource");
    EXPECT_EQ(find("proeWF4\\orvbridge.dll")->what, "the Wildfire 4.0 build, copied to x86e_win64\\obj\\orvbridge.dll");
    EXPECT_EQ(find("proeWF5\\Microsoft.VC100\\msvcr100.dll")->what,
              "copied to x86e_win64\\obj\\msvcr100.dll; the package keeps it staged");
    std::set<std::string> seen;
    for (const auto& e : payload) {
        std::string lower = e.path;
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_TRUE(seen.insert(lower).second) << e.path << " twice";
        EXPECT_EQ(e.folder, e.path.back() == '\\') << e.path;
    }
    // The command prints the same list, and as JSON with kinds.
    const Output text = caSim("manifest");
    const json listed = json::parse(caSim("manifest --json").out);
    ASSERT_EQ(listed["entries"].size(), payload.size());
    std::string expected;
    for (const auto& e : listed["entries"]) expected += e["path"].get<std::string>() + "\n";
    EXPECT_EQ(text.out, expected);
    EXPECT_EQ(listed["entries"][0], json::parse(R"({"path": "OvConnector.dll", "kind": "file",
                                                     "what": "copied to x86e_win64\\obj\\OvConnector.dll"})"));
}

TEST(CaSimRegistry, WineHivesAndRegeditFilesReadAsAnAnsiCallerSeesThem)
{
    // 260 bytes, as the library stores its records: the text, its zero and zero padding.
    const std::string padded = std::string("C:\\PTC\\creo1") + std::string(248, '\0');
    std::string hive = "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n#arch=win64\n\n"
                       "[Software\\\\Kestrane\\\\Orvella] 1796565931\n#time=1dd858b2e31f2a4\n"
                       "\"Install_CREO1_dir\"=\"C:\\\\PTC\\\\creo1";
    for (int i = 0; i < 247; ++i) hive += "\\0";
    hive += "\"\n\"Odd \\\"name\\\"\"=\"tab\\there\\x00e9\\0012\\x3b1\"\n"
            "\"Expand\"=str(2):\"%ProgramData%\\\\x\"\n"
            "\"Count\"=dword:0000002a\n"
            "\"Raw\"=hex(1):41,00,42,00,\\\n  43,00\n"
            "@=\"default\"\n\n"
            "[Software\\\\Other] 1\n\"Keep\"=\"me\"\n";
    sim::Registry reg;
    casim::importWineHive(hive, "system.reg", reg);
    const std::string key = "Software\\Kestrane\\Orvella";
    const auto bytes = [](const std::string& s) { return std::vector<std::uint8_t>(s.begin(), s.end()); };
    EXPECT_EQ(reg.value(key, "Install_CREO1_dir"), (sim::RegValue{1, bytes(padded)}));
    // é is Windows-1252's 0xE9; α has no byte there and reads as '?'.
    EXPECT_EQ(reg.value(key, "odd \"NAME\""), (sim::RegValue{1, bytes(std::string("tab\there\xe9\x01" "2?\0", 13))}));
    EXPECT_EQ(reg.value(key, "Expand"), (sim::RegValue{2, bytes(std::string("%ProgramData%\\x\0", 16))}));
    EXPECT_EQ(reg.value(key, "Count"), (sim::RegValue{4, {0x2a, 0, 0, 0}}));
    EXPECT_EQ(reg.value(key, "Raw"), (sim::RegValue{1, bytes("ABC")}));
    EXPECT_EQ(reg.value(key, ""), (sim::RegValue{1, bytes(std::string("default\0", 8))}));
    EXPECT_EQ(reg.value("Software\\Other", "Keep"), (sim::RegValue{1, bytes(std::string("me\0", 3))}));

    sim::Registry refused;
    EXPECT_THROW(casim::importWineHive("WINE REGISTRY Version 2\n[A] 1\n\"v\"=\"open\n", "h", refused), sim::RegParseError);
    EXPECT_THROW(casim::importWineHive("REGEDIT4\n", "h", refused), sim::RegParseError);

    // The command: only the keys asked for, data as hex bytes.
    Scratch dir;
    const fs::path file = dir.write("system.reg", hive);
    const Output listed = caSim("registry " + file.string() + " --under 'software\\kestrane' --json");
    ASSERT_EQ(listed.status, 0) << listed.out;
    const json keys = json::parse(listed.out)["keys"];
    ASSERT_EQ(keys.size(), 2u) << keys;  // Software\Kestrane and its Orvella
    EXPECT_EQ(keys[1]["key"], key);
    bool sawCount = false;
    for (const auto& v : keys[1]["values"])
        if (v["name"] == "Count") sawCount = v["type"] == 4 && v["data"] == "2a000000";
    EXPECT_TRUE(sawCount) << keys[1];

    // Wine's regedit reads version 5 text only as UTF-16; REGEDIT4 stays as it is.
    const fs::path v5 = dir.write("v5.reg", "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\A]\n\"M\xc3\xbc\"=\"x\"\n");
    const std::string wide = caSim("registry " + v5.string() + " --for-wine").out;
    EXPECT_EQ(wide.substr(0, 4), std::string("\xff\xfeW\0", 4));
    EXPECT_NE(wide.find(std::string("\"\0M\0\xfc\0\"\0", 8)), std::string::npos);
    EXPECT_NE(wide.find(std::string("0\0\r\0\n\0\r\0\n\0[\0", 12)), std::string::npos) << "CR LF line ends";
    const std::string ansi = "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"M\xfc\"=\"x\"\r\n";
    EXPECT_EQ(caSim("registry " + dir.write("v4.reg", ansi).string() + " --for-wine").out, ansi);
    EXPECT_EQ(caSim("registry " + dir.write("bad.reg", "REGEDIT5\r\n").string() + " --for-wine").status, 2);
}
