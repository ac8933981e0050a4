// ca-sim as an engineer uses it: scenario folders in, a report and an exit status out.
#include "conditions.h"
#include "report.h"
#include "scenario.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <tuple>

namespace fs = std::filesystem;

namespace {

struct Result {
    int status;
    std::string output;  // stdout and stderr
};

Result runCaSim(const std::string& args)
{
    const std::string command = std::string(CA_SIM_BINARY) + " " + args + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    std::string output;
    std::array<char, 4096> buffer{};
    while (std::size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe)) output.append(buffer.data(), n);
    const int status = pclose(pipe);
    return {WEXITSTATUS(status), output};
}

class CaSimTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::random_device rd;
        dir_ = fs::temp_directory_path() / ("ca-sim-test-" + std::to_string(rd()));
        fs::create_directories(dir_ / "drive_c" / "PTC" / "wf4" / "x86e_win64" / "obj");
        std::ofstream(dir_ / "drive_c" / "PTC" / "wf4" / "x86e_win64" / "obj" / "xtop.exe") << "MZ";
        write("machine.reg",
              "Windows Registry Editor Version 5.00\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\PTC\\Pro/ENGINEER\\Wildfire 4.0\\M040]\r\n"
              "\"InstallDir\"=\"C:\\\\PTC\\\\wf4\"\r\n\"DateCode\"=\"2008040\"\r\n\"Shipcode\"=\"M040\"\r\n");
        write("scenario.txt", "run isProEInstalled\nexpect PROEWF4=1\nexpect PROEWF5=\n");
    }
    void TearDown() override { fs::remove_all(dir_); }
    void write(const std::string& name, const std::string& text) { std::ofstream(dir_ / name, std::ios::binary) << text; }
    std::string dir() const { return dir_.string(); }

    fs::path dir_;
};

}  // namespace

TEST_F(CaSimTest, RunsAScenarioAndSavesTheMachineAfterIt)
{
    const fs::path saved = dir_ / "after";
    const Result r = runCaSim("run " + dir() + " --save " + saved.string());
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("+ PROEWF4DIR = \"C:\\PTC\\wf4\""), std::string::npos) << r.output;
    std::ifstream props(saved / "properties.txt");
    const std::string text((std::istreambuf_iterator<char>(props)), {});
    EXPECT_NE(text.find("SHIPCODE4=(Datecode: M040)\n"), std::string::npos) << text;
    EXPECT_TRUE(fs::exists(saved / "drive_c" / "PTC" / "wf4" / "x86e_win64" / "obj" / "xtop.exe"));
    EXPECT_TRUE(fs::exists(saved / "machine.reg"));

    // A failed expectation is exit status 1, with the property named.
    write("scenario.txt", "run isProEInstalled\nexpect PROEWF4=0\n");
    const Result failed = runCaSim("run " + dir());
    EXPECT_EQ(failed.status, 1);
    EXPECT_NE(failed.output.find("expected PROEWF4=\"0\", found \"1\""), std::string::npos) << failed.output;

    const Result json = runCaSim("run " + dir() + " isProEInstalled --json");
    EXPECT_EQ(json.output.rfind("[\n {\"session\":\"run\",\"action\":\"isProEInstalled\"", 0), 0u) << json.output;
}

TEST_F(CaSimTest, EachKindOfBadInputHasItsOwnMessageAndStatusTwo)
{
    // Every way the .reg parser refuses a file reaches the user with its line and reason.
    const std::string h = "Windows Registry Editor Version 5.00\r\n\r\n", k = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\X]\r\n";
    const std::string goodReg = [&] {
        std::ifstream in(dir_ / "machine.reg", std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), {});
    }();
    const std::string run = "run " + dir();
    // The arguments, machine.reg and scenario.txt (when not the good ones), and the message.
    const std::tuple<std::string, std::string, std::string, std::string> cases[] = {
        {run + "/nowhere", "", "", "no such scenario folder"},
        {run + " isProEInstaled", "", "", "unknown action \"isProEInstaled\"; the actions are: BrowseToURL, isProEInstalled"},
        {run + " --sequence upgrade", "", "", "unknown sequence \"upgrade\"; the sequences are: install, remove"},
        {run, "", "propery X=1\n", "scenario.txt:1: unknown keyword \"propery\""},
        {run, "[HKEY_LOCAL_MACHINE\\X]\r\n", "", "machine.reg:1: unknown header"},
        {run, h + "\"a\"=\"b\"\r\n", "", "machine.reg:3: value outside a key section"},
        {run, h + k + "\"a\"=\"b\r\n", "", "machine.reg:4: unterminated quote"},
        {run, h + k + "\"a\"=\"\\q\"\r\n", "", "machine.reg:4: bad escape"},
        {run, h + k + "\"a\"=hex:0g\r\n", "", "machine.reg:4: bad hex byte"},
        {run, h + k + "\"a\"=qword:1\r\n", "", "machine.reg:4: unknown value type"},
        {run, h + k + "\"a\" \"b\"\r\n", "", "machine.reg:4: expected '=' after the value name"},
        {run, h + "[HKEY_CURRENT_USER\\X]\r\n", "", "machine.reg:3: only HKEY_LOCAL_MACHINE is simulated"},
        {run, h + "[HKEY_LOCAL_MACHINE\\X\r\n", "", "machine.reg:3: unterminated section bracket"},
        {run, h + k + "what is this\r\n", "", "machine.reg:4: unrecognised line"},
        {run, std::string("\xff\xfeW\0i\0n", 7), "", "machine.reg:1: odd UTF-16 length"},
        {run, "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\X]\r\n\"a\"=dword:1f\r\n", "",
         "machine.reg:4: dword needs 8 hex digits"},
        {run + " --save", "", "", "--save needs a value"},
    };
    for (const auto& [args, regText, scenario, expected] : cases) {
        write("machine.reg", regText.empty() ? goodReg : regText);
        write("scenario.txt", scenario.empty() ? "run isProEInstalled\n" : scenario);
        const Result r = runCaSim(args);
        EXPECT_EQ(r.status, 2) << expected << ": " << r.output;
        EXPECT_NE(r.output.find(expected), std::string::npos) << r.output;
        EXPECT_EQ(r.output.find("== "), std::string::npos) << expected << ": nothing may run";
    }

    // Files that cannot be read.
    write("scenario.txt", "run isProEInstalled\n");
    fs::remove(dir_ / "machine.reg");
    EXPECT_NE(runCaSim(run).output.find("machine.reg: missing"), std::string::npos);
    fs::create_directory(dir_ / "machine.reg");
    const Result r = runCaSim(run);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.output.find("machine.reg: is a folder, not a file"), std::string::npos) << r.output;
}

TEST(CaSimConditions, EvaluateAsTheInstallerDoes)
{
    const casim::Lookup props = [](const std::string& n) -> std::optional<std::string> {
        if (n == "ISCMDINSTALL") return "1";
        if (n == "PROTK_WRITE") return "NO";
        if (n == "COUNT") return "12";
        return std::nullopt;
    };
    const casim::Lookup env = [](const std::string& n) -> std::optional<std::string> {
        return n == "ALLUSERSPROFILE" ? std::optional<std::string>("C:\\ProgramData") : std::nullopt;
    };
    // Integers compare as numbers, strings as text, text against an integer never equal.
    const std::pair<const char*, bool> cases[] = {
        {"", true}, {"ISCMDINSTALL", true}, {"NOT ISCMDINSTALL", false}, {"UNSET", false},
        {"ISCMDINSTALL=\"1\" AND PROTK_WRITE<>\"NO\"", false},
        {"ISCMDINSTALL<>\"1\" OR NOT (PROTK_WRITE=\"NO\")", false}, {"PROTK_WRITE~=\"no\"", true},
        {"PROTK_WRITE=\"no\"", false}, {"COUNT > 9", true}, {"COUNT > \"9\"", false}, {"PROTK_WRITE = 1", false},
        {"PROTK_WRITE <> 1", true}, {"%ALLUSERSPROFILE << \"C:\"", true}, {"%ALLUSERSPROFILE >< \"Data\"", true},
        {"not isCmdInstall or ISCMDINSTALL", true}};
    for (const auto& [text, expected] : cases) EXPECT_EQ(casim::evaluateCondition(text, props, env), expected) << text;
    for (const char* bad : {"(A", "A AND", "\"open", "A ~", "$Component=3"})
        EXPECT_THROW(casim::evaluateCondition(bad, props, env), casim::ConditionError) << bad;
}

TEST(CaSimReport, UnifiedDiffShowsOnlyTheChangeWithContext)
{
    const std::string before = "a\r\nb\r\nc\r\nd\r\ne\r\nf\r\ng\r\nh\r\n";
    const std::string after = "a\r\nb\r\nc\r\nd\r\ne\r\nf\r\ng\r\nh\r\n\r\nname Orvella\r\nend\r\n";
    EXPECT_EQ(casim::unifiedDiff(before, after, "p"),
              "--- p (before)\n+++ p (after)\n@@ -6,3 +6,6 @@\n f\n g\n h\n+\n+name Orvella\n+end\n");
    EXPECT_EQ(casim::unifiedDiff(before, before, "p"), "");
    EXPECT_EQ(casim::unifiedDiff("x\n", "x", "p"), "--- p (before)\n+++ p (after)\n@@ -1,1 +1,1 @@\n-x\n+x\n\\ No newline at end of file\n");
    EXPECT_FALSE(casim::looksLikeText(std::string("MZ\0\0", 4)));
}
