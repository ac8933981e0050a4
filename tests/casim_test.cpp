// ca-sim as an engineer and a script use it: scenario folders in, a report
// and an exit status out. Every JSON report a test reads is first checked
// against tools/ca-sim/report.schema.json.
#include "conditions.h"
#include "package.h"
#include "report.h"
#include "runner.h"
#include "scenario.h"
#include "text.h"
#include "casim_support.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string>
#include <tuple>

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

using namespace casim_support;
const fs::path kSource = CA_SOURCE_DIR;

struct Result {
    int status;
    std::string out;  // standard output
    std::string err;  // standard error
    std::string all() const { return out + err; }
};

// Runs the real ca-sim; `environment` is a prefix such as "NO_COLOR=1".
Result runCaSim(const std::string& args, const std::string& environment = "")
{
    const fs::path err = scratchFolder("ca-sim-test-stderr-");
    const Output o = runCommand((environment.empty() ? "" : "env " + environment + " ") + CA_SIM_BINARY + " " + args +
                                " 2>" + err.string());
    Result r{o.status, o.out, readFile(err)};
    fs::remove(err);
    return r;
}

// The report, once validate-report accepts it (valid UTF-8 and the schema).
json validReport(const Result& r)
{
    const fs::path file = writeFile(scratchFolder("ca-sim-test-report-"), r.out);
    const Output check = runCommand((kSource / "tools/ca-sim/validate-report").string() + " " + file.string() + " 2>&1");
    fs::remove(file);
    EXPECT_EQ(check.status, 0) << check.out;
    return json::parse(r.out, nullptr, false);
}

// Refused before anything runs: status 2, the message on standard error, nothing on standard output.
void expectRefused(const Result& r, const std::string& message, const std::string& what = "")
{
    EXPECT_EQ(r.status, 2) << what << ": " << r.all();
    EXPECT_NE(r.err.find(message), std::string::npos) << what << ": " << r.err;
    EXPECT_EQ(r.out, "") << what << ": nothing may run";
}

const json* findStep(const json& report, const std::string& action)
{
    for (const auto& step : report["steps"])
        if (step.value("action", "") == action) return &step;
    return nullptr;
}

class CaSimTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = scratchFolder("ca-sim-test-");
        write("drive_c/PTC/wf4/x86e_win64/obj/xtop.exe", "MZ");
        write("machine.reg", kWf4Registry);
        write("scenario.txt", "run isProEInstalled\nexpect PROEWF4=1\nexpect PROEWF5=\n");
    }
    void TearDown() override { fs::remove_all(dir_); }
    void write(const std::string& name, const std::string& text) { writeFile(dir_ / name, text); }
    std::string dir() const { return dir_.string(); }
    // A package of the scenario's own: the real dialog rows, sequences.txt to be written.
    fs::path ownPackage() { return writeFile(dir_ / "package/Control.idt", readFile(kSource / "package/Control.idt")).parent_path(); }

    fs::path dir_;
};

}  // namespace

TEST_F(CaSimTest, SavesAFolderThatRunsAsItIsAndNeverOverwritesByAccident)
{
    write("scenario.txt", "property PROEM1=0\nrun isProEInstalled\nexpect PROEWF4=1\n");
    write("drive_c/Empty/.keep", "");
    const fs::path saved = dir_ / "after";
    const Result r = runCaSim("run " + dir() + " --save " + saved.string());
    ASSERT_EQ(r.status, 0) << r.all();
    EXPECT_NE(r.out.find("+ PROEWF4DIR = \"C:\\PTC\\wf4\""), std::string::npos) << r.out;
    EXPECT_NE(readFile(saved / "properties.txt").find("SHIPCODE4=(Datecode: M040)\n"), std::string::npos);
    const std::string scenario = readFile(saved / "scenario.txt");
    EXPECT_NE(scenario.find("\nproperty PROEM1=0\nrun isProEInstalled\n"), std::string::npos) << scenario;
    EXPECT_TRUE(fs::exists(saved / "drive_c/Empty/.keep"));
    EXPECT_TRUE(fs::exists(saved / "drive_c/PTC/wf4/x86e_win64/obj/xtop.exe"));
    // The saved folder runs as it is.
    const Result again = runCaSim("run " + saved.string());
    EXPECT_EQ(again.status, 0) << again.all();
    EXPECT_NE(again.out.find("== isProEInstalled -> 0"), std::string::npos) << again.out;

    // A folder with something in it, the scenario's own folder included, is
    // refused before anything runs; --force writes the scenario's files and
    // leaves the folder's other files.
    write("after/notes.txt", "mine");
    for (const fs::path& target : {saved, dir_})
        expectRefused(runCaSim("run " + dir() + " --save " + target.string()),
                      "--save: the folder is not empty (--force writes into it)", target.string());
    EXPECT_EQ(readFile(dir_ / "scenario.txt"), "property PROEM1=0\nrun isProEInstalled\nexpect PROEWF4=1\n");
    EXPECT_EQ(runCaSim("run " + dir() + " --save " + saved.string() + " --force").status, 0);
    EXPECT_EQ(readFile(saved / "notes.txt"), "mine");
    for (const auto& entry : fs::directory_iterator(saved))
        EXPECT_EQ(entry.path().filename().string().rfind(".ca-sim", 0), std::string::npos) << entry.path();

    // A folder that cannot be made is reported before anything runs (status 2) ...
    expectRefused(runCaSim("run " + dir() + " --save " + (dir_ / "scenario.txt" / "out").string()),
                  "--save: cannot create the folder");
    // ... one that fails while being written after the run is status 3 (here a
    // machine path that fits below the scenario but not below the target).
    std::string deep = "drive_c";
    for (int i = 0; i < 17; ++i) deep += "/" + std::string(200, static_cast<char>('a' + i));
    write(deep + "/f.txt", "x");
    const fs::path far = dir_ / std::string(250, 'x') / std::string(250, 'y') / std::string(250, 'z');
    const Result failed = runCaSim("run " + dir() + " --save " + far.string());
    EXPECT_EQ(failed.status, 3) << failed.all();
    EXPECT_NE(failed.out.find("== isProEInstalled"), std::string::npos);
    EXPECT_NE(failed.err.find("ca-sim: --save " + far.string() + ": "), std::string::npos) << failed.err;
    EXPECT_TRUE(fs::is_empty(far)) << "a failed save leaves nothing half-written";

    // demo --keep follows the same rule.
    expectRefused(runCaSim("demo --keep " + saved.string()), "--keep: the folder is not empty");
    EXPECT_FALSE(fs::exists(saved / "before"));
    EXPECT_EQ(runCaSim("demo --keep " + saved.string() + " --force").status, 0);
    // It runs again; the first installation emptied its staging area, which
    // msiexec would fill again from the package and ca-sim does not, so the
    // deployment now fails and the package's error 25004 ends it.
    EXPECT_EQ(runCaSim("run " + (saved / "after").string()).status, 4) << "the demo's machine after it runs again";
}

TEST_F(CaSimTest, JsonIsVersionedStructuredUtf8)
{
    // A host folder, a protk.dat line and a property in Windows-1252 (ü is 0xFC);
    // scenario.txt is UTF-8. The host is the command line's only.
    write("machine.reg", "Windows Registry Editor Version 5.00\r\n");
    const std::string host = "drive_c/PTC/M\xc3\xbcller";  // the host names its files in UTF-8
    write(host + "/x86e_win64/obj/xtop.exe", "MZ");
    write(host + "/text/protk.dat", "name Gr\xfc\xdf" "e\r\nend\r\n");
    write("scenario.txt",
          "property ISCMDINSTALL=1\nproperty PROEM1=0\nproperty PROEWF4=1\nproperty PROEWF4DIR=C:\\PTC\\M\xc3\xbcller\n"
          "property OWNER=J\xc3\xbcrgen \xe2\x82\xac\n"
          "sequence install\nexpect OWNER=J\xc3\xbcrgen \xe2\x82\xac\nexpect PROTK_WRITE=NO\n");
    const Result r = runCaSim("run " + dir() + " --json");
    EXPECT_EQ(r.status, 1) << r.err;  // PROTK_WRITE is not "NO"
    const json report = validReport(r);
    ASSERT_TRUE(report.is_object()) << r.out;
    EXPECT_EQ(report["format"], 1);
    EXPECT_EQ(report["status"], 1);
    EXPECT_EQ(report["properties"]["OWNER"], "J\xc3\xbcrgen \xe2\x82\xac");
    ASSERT_EQ(report["expectations"].size(), 2u);
    EXPECT_EQ(report["expectations"][0]["passed"], true);
    EXPECT_EQ(report["expectations"][1]["line"], 8);
    EXPECT_EQ(report["expectations"][1]["actual"], "");

    const json* add = findStep(report, "addCMDEntriesInProtFile");
    ASSERT_NE(add, nullptr);
    EXPECT_EQ((*add)["result"], 0);
    const json& file = (*add)["changes"]["files"].at(0);
    EXPECT_EQ(file["path"], "C:\\PTC\\M\xc3\xbcller\\text\\protk.dat");
    EXPECT_NE(file["diff"].get<std::string>().find("\n name Gr\xc3\xbc\xc3\x9f" "e\n"), std::string::npos) << file["diff"];

    // A skipped step: no result, and the values its condition read.
    const json* skipped = findStep(report, "addProEAuxAppInFile");
    ASSERT_NE(skipped, nullptr);
    EXPECT_EQ((*skipped)["skipped"], true);
    EXPECT_TRUE((*skipped)["result"].is_null());
    EXPECT_EQ((*skipped)["conditionValues"], json({{"ISCMDINSTALL", "1"}}));
    // A set step: its name and value as the sequence writes them.
    const json& set = report["steps"].at(0);
    EXPECT_EQ(set["kind"], "set");
    EXPECT_EQ(set["set"], json({{"name", "ALLUSERSPROFILE"}, {"value", "[%ALLUSERSPROFILE]"}}));

    // Registry values as key, name, type and data; Control rows as fields.
    const Result demo = runCaSim("demo --json");
    const json d = validReport(demo);
    bool sawRecord = false, sawRow = false;
    for (const auto& step : d["steps"]) {
        for (const auto& change : step["changes"]["registry"])
            if (change["name"] == "Install_CREO1_dir" && change["change"] == "added") {
                sawRecord = true;
                EXPECT_EQ(change["key"], "HKLM\\SOFTWARE\\Kestrane\\Orvella");
                EXPECT_EQ(change["after"]["type"], "REG_SZ");
                EXPECT_EQ(change["after"]["data"], "C:\\PTC\\creo1");
            }
        for (const auto& change : step["changes"]["controls"])
            sawRow = sawRow || (change["after"].is_object() && change["after"]["fields"]["Type"] == "CheckBox");
    }
    EXPECT_TRUE(sawRecord && sawRow) << demo.out.substr(0, 2000);
    ASSERT_TRUE(d["summary"].is_array());
    EXPECT_EQ(d["summary"].size(), 6u);  // five host folders and the staging area
    EXPECT_EQ(d["summary"][0]["afterInstallation"]["orvellaEntries"], 1);
    // Every host comes back exactly as it was, C:\PTC\wf5 too, whose own C runtime the add-in overwrote.
    for (const auto& host : d["summary"])
        if (host["kind"] == "host") EXPECT_EQ(host["afterRemoval"]["asBefore"], true) << host["folder"];
    EXPECT_EQ(d["summary"][4]["folder"], "C:\\PTC\\wf5");
    EXPECT_EQ(d["summary"][4]["afterInstallation"]["changed"], 2);  // protk.dat and the host's msvcr90.dll
}

TEST_F(CaSimTest, CommandLineNamesWhatIsWrong)
{
    const Result version = runCaSim("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("ca-sim " CA_VERSION, 0), 0u) << version.out;
    for (const char* command : {"run", "demo", "actions", "sequences", "condition", "scenario", "manifest", "registry"}) {
        const Result help = runCaSim(std::string(command) + " --help");
        EXPECT_EQ(help.status, 0) << command;
        EXPECT_NE(help.out.find(std::string("Usage: ca-sim ") + command), std::string::npos) << help.out;
    }
    EXPECT_NE(runCaSim("run --help").out.find("--save DIR"), std::string::npos);

    const std::pair<std::string, std::string> errors[] = {
        {"run", "ca-sim run: SCENARIO_DIR is required"},
        {"run " + dir() + " --keep k", "ca-sim run: --keep does not apply to run (it is an option of demo)"},
        {"actions --json", "ca-sim actions: --json does not apply to actions (it is an option of run, demo, preflight, sequences"},
        {"demo --sequence install", "ca-sim demo: --sequence does not apply to demo (it is an option of run)"},
        {"demo foo", "ca-sim demo: unexpected argument \"foo\""},
        {"run " + dir() + " --frobnicate", "ca-sim run: unknown option --frobnicate"},
        {"frobnicate", "ca-sim: unknown command \"frobnicate\""},
        {"demo --color=sometimes", "--color: sometimes not in {auto,always,never}"},
        {"run " + dir() + " --save", "--save"},
    };
    for (const auto& [args, message] : errors) expectRefused(runCaSim(args), message, args);

    const Result actions = runCaSim("actions");
    EXPECT_EQ(std::count(actions.out.begin(), actions.out.end(), '\n'), 16) << actions.out;
    EXPECT_EQ(actions.out.rfind("BrowseToURL\nisProEInstalled\n", 0), 0u) << actions.out;

    // Colour: auto is off through a pipe, for NO_COLOR and for TERM=dumb; always and never decide alone.
    const std::string run = "run " + dir();
    const std::pair<std::string, bool> colours[] = {
        {"", false}, {" --color=always", true}, {" --color=never", false}, {" --color always", true}};
    for (const auto& [option, expected] : colours)
        EXPECT_EQ(runCaSim(run + option).out.find("\033[") != std::string::npos, expected) << option;
    EXPECT_NE(runCaSim(run + " --color=always", "NO_COLOR=1 TERM=dumb").out.find("\033["), std::string::npos);
    // auto on a terminal: script(1) gives ca-sim one.
    const auto onTerminal = [&](const std::string& environment) {
        return std::system(("env " + environment + " script -qec '" + std::string(CA_SIM_BINARY) + " " + run +
                            "' /dev/null | grep -q '\033\\['")
                               .c_str()) == 0;
    };
    if (std::system("command -v script >/dev/null") == 0) {
        EXPECT_TRUE(onTerminal("TERM=xterm"));
        EXPECT_FALSE(onTerminal("TERM=xterm NO_COLOR=1"));
        EXPECT_FALSE(onTerminal("TERM=dumb"));
    }
}

TEST_F(CaSimTest, MessagesNameTheFileLineAndValues)
{
    // A skipped step names the values that made its condition false.
    write("drive_c/PTC/wf4/text/protk.dat", "");
    write("scenario.txt", "property PROEM1=0\nsequence install\n");
    const Result r = runCaSim("run " + dir());
    EXPECT_EQ(r.status, 4) << r.err;  // no staging area: nothing to deploy, error 25004
    EXPECT_NE(r.out.find("copyProeDllToMoreInstall  skipped: PROEM1=\"1\" does not hold (PROEM1=\"0\")"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("error 25001  skipped: PROTK_WRITE=\"NO\" AND TEMPPROEDIR does not hold (PROTK_WRITE unset, "
                         "TEMPPROEDIR unset)"),
              std::string::npos);

    const std::string file = (dir_ / "scenario.txt").string();
    const std::pair<std::string, std::string> cases[] = {
        {"# comment\nrun isProEInstalled\nrun isProEInstaled\n", file + ":3: unknown action \"isProEInstaled\""},
        {"sequence install\nsequence upgrade\n", file + ":2: unknown sequence \"upgrade\""},
        {"sequence ui+nope\n", file + ":1: unknown sequence \"nope\""},
        {"feature Main=local\n", file + ":1: expected feature NAME=ACTION [installed=STATE]"},
        {"component C=3 installed=\n", file + ":1: expected component NAME=ACTION [installed=STATE]"},
        {"property A=\xff\n", file + ":1: the value is not UTF-8 text"},
    };
    for (const auto& [text, message] : cases) {
        write("scenario.txt", text);
        expectRefused(runCaSim("run " + dir()), message, text);
    }

    // A failed expectation names the scenario file and its line.
    write("scenario.txt", "run isProEInstalled\n\nexpect PROEWF4=0\n");
    const Result failed = runCaSim("run " + dir());
    EXPECT_EQ(failed.status, 1);
    EXPECT_NE(failed.err.find("ca-sim: " + file + ":3: expected PROEWF4=\"0\", found \"1\""), std::string::npos)
        << failed.err;
}

TEST_F(CaSimTest, EachKindOfBadInputHasItsOwnMessageAndStatusTwo)
{
    // Every way the .reg parser refuses a file reaches the user with its line and reason.
    const std::string h = "Windows Registry Editor Version 5.00\r\n\r\n", k = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\X]\r\n";
    const std::string goodReg = readFile(dir_ / "machine.reg");
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
    };
    for (const auto& [args, regText, scenario, expected] : cases) {
        write("machine.reg", regText.empty() ? goodReg : regText);
        write("scenario.txt", scenario.empty() ? "run isProEInstalled\n" : scenario);
        expectRefused(runCaSim(args), expected, expected);
    }

    // Files that cannot be read.
    write("scenario.txt", "run isProEInstalled\n");
    fs::remove(dir_ / "machine.reg");
    EXPECT_NE(runCaSim(run).err.find("machine.reg: missing"), std::string::npos);
    fs::create_directory(dir_ / "machine.reg");
    expectRefused(runCaSim(run), "machine.reg: is a folder, not a file");
}

TEST_F(CaSimTest, UiSequencesRunAtTheFullUiLevel)
{
    // A descriptor that does not load: the browse warns with a box when the
    // dialog is up, and only in the log when msiexec runs silently.
    const std::string scenario = (kSource / "tests/e2e/scenarios/browse-creo2-malformed-descriptor").string();
    const json silent = validReport(runCaSim("run " + scenario + " --json"));
    const json* quiet = findStep(silent, "validateProEBrwPath");
    ASSERT_NE(quiet, nullptr);
    EXPECT_TRUE((*quiet)["messageBoxes"].empty());
    EXPECT_FALSE((*quiet)["log"].empty());
    const json ui = validReport(runCaSim("run " + scenario + " --sequence ui+ui-browse --json"));
    const json* browse = findStep(ui, "validateProEBrwPath");
    ASSERT_NE(browse, nullptr);
    EXPECT_EQ((*browse)["session"], "ui+ui-browse");
    EXPECT_EQ((*browse)["messageBoxes"].size(), 1u) << *browse;
    EXPECT_EQ(ui["properties"]["UILevel"], "5");
    EXPECT_EQ(validReport(runCaSim("run " + scenario + " --sequence install --json"))["properties"]["UILevel"], "2");
}

TEST_F(CaSimTest, FeatureAndComponentStatesDecideSteps)
{
    const fs::path package = ownPackage();
    write("package/sequences.txt",
          "install isProEInstalled &Main=3 AND !Main=2\ninstall fillInsatlledProeCB $Note=3 OR ?Note=3\n");
    const auto steps = [&](const std::string& states) {
        write("scenario.txt", states + "sequence install\n");
        const json report = validReport(runCaSim("run " + dir() + " --package " + package.string() + " --json"));
        std::string ran;
        for (const auto& step : report["steps"]) ran += step["skipped"] == true ? "-" : "+";
        return ran;
    };
    EXPECT_EQ(steps(""), "--");
    EXPECT_EQ(steps("feature Main=3\ncomponent Note=2 installed=3\n"), "++");
    EXPECT_EQ(steps("feature Main=3 installed=3\ncomponent Note=3\n"), "-+");
    EXPECT_EQ(steps("feature Main=2\ncomponent Note=-1\n"), "--");
}

TEST_F(CaSimTest, AnErrorStepStopsTheSequenceAsTheInstallerDoes)
{
    // The host has no text folder: the access check fails and the package's
    // error stops the installation there, before anything is registered.
    write("scenario.txt", "property PROEM1=0\nsequence install remove\n");
    const Result text = runCaSim("run " + dir() + " --color never");
    EXPECT_EQ(text.status, 4) << text.err;
    EXPECT_NE(text.out.find("== install: error 25001 -> the installation stops here (msiexec ends with 1603)  "
                            "(PROTK_WRITE=\"NO\" AND TEMPPROEDIR)\n   PROTK_WRITE=\"NO\", TEMPPROEDIR=\"C:\\PTC\\wf4\"\n"),
              std::string::npos)
        << text.out;
    const json report = validReport(runCaSim("run " + dir() + " --json"));
    EXPECT_EQ(report["status"], 4);
    std::vector<std::string> ran;
    for (const auto& step : report["steps"])
        if (step["skipped"] == false) ran.push_back(step["session"].get<std::string>() + ":" + step["kind"].get<std::string>());
    const auto error = std::find(ran.begin(), ran.end(), "install:error");
    ASSERT_NE(error, ran.end());
    // Nothing of the installation after it; the removal, a session of its own, still runs.
    ASSERT_NE(error + 1, ran.end());
    EXPECT_EQ(*(error + 1), "remove:set");
    const json* stop = nullptr;
    for (const auto& step : report["steps"])
        if (step["kind"] == "error" && step["skipped"] == false) stop = &step;
    ASSERT_NE(stop, nullptr);
    EXPECT_EQ((*stop)["error"], 25001);
    EXPECT_EQ((*stop)["result"], 1603);
    EXPECT_EQ((*stop)["conditionValues"], json({{"PROTK_WRITE", "NO"}, {"TEMPPROEDIR", "C:\\PTC\\wf4"}}));
    EXPECT_EQ(findStep(report, "addProEAuxAppInFile"), nullptr);
    EXPECT_EQ(findStep(report, "clearTempCommon"), nullptr);

    // The package's own lines: error and InstallFinalize only where msiexec has them.
    const fs::path package = ownPackage();
    const std::string file = (package / "sequences.txt").string();
    const std::pair<std::string, std::string> bad[] = {
        {"install error 2500\n", file + ":1: expected SEQUENCE error NUMBER [CONDITION] (25000-25999)"},
        {"install error 26001 X\n", file + ":1: expected SEQUENCE error NUMBER [CONDITION] (25000-25999)"},
        {"ui error 25001\n", file + ":1: error belongs to the install or remove sequence"},
        {"install InstallFinalize NOT Installed\n", file + ":1: InstallFinalize stands on a line of its own"},
    };
    for (const auto& [lines, message] : bad) {
        write("package/sequences.txt", lines);
        expectRefused(runCaSim("run " + dir() + " --package " + package.string()), message, lines);
    }
    // The boundary is no step of its own; an error whose condition fails is skipped.
    write("package/sequences.txt", "install isProEInstalled\ninstall error 25006 NOT PROEWF4\ninstall InstallFinalize\n"
                                   "install fillInsatlledProeCB\n");
    write("scenario.txt", "sequence install\n");
    const json passed = validReport(runCaSim("run " + dir() + " --package " + package.string() + " --json"));
    ASSERT_EQ(passed["steps"].size(), 3u);
    EXPECT_EQ(passed["steps"][1]["skipped"], true);
    EXPECT_EQ(passed["steps"][2]["action"], "fillInsatlledProeCB");
    EXPECT_EQ(passed["status"], 0);
}

TEST(CaSimConditions, AgreeWithTheEngineOnEveryRecordedCase)
{
    // The verdicts MsiEvaluateCondition gave under Wine (tests/e2e/compare-conditions
    // checks them against Wine again); here the evaluator must give each one.
    const fs::path folder = kSource / "tests/e2e/conditions";
    casim::SimulatedRun run(casim::loadScenario(folder / "scenario"), casim::loadPackage(kSource / "package"));
    std::istringstream cases(readFile(folder / "cases.txt"));
    int compared = 0;
    for (std::string line; std::getline(cases, line);) {
        if (line.empty() || line[0] == '#') continue;
        const auto tab = line.find('\t');
        ASSERT_NE(tab, std::string::npos) << line;
        const std::string condition = casim::ansiFromUtf8(line.substr(tab + 1)).value();
        EXPECT_EQ(casim::verdictName(casim::evaluate(condition, run.conditionInputs()).verdict), line.substr(0, tab))
            << line.substr(tab + 1);
        ++compared;
    }
    EXPECT_GE(compared, 200);
}

TEST(CaSimReport, UnifiedDiffFindsTheChangeInLargeFilesAndShowsLineEnds)
{
    const std::string before = "a\r\nb\r\nc\r\nd\r\ne\r\nf\r\ng\r\nh\r\n";
    const std::string after = "a\r\nb\r\nc\r\nd\r\ne\r\nf\r\ng\r\nh\r\n\r\nname Orvella\r\nend\r\n";
    EXPECT_EQ(casim::unifiedDiff(before, after, "p"),
              "--- p (before)\n+++ p (after)\n@@ -6,3 +6,6 @@\n f\n g\n h\n+\n+name Orvella\n+end\n");
    EXPECT_EQ(casim::unifiedDiff(before, before, "p"), "");
    EXPECT_EQ(casim::unifiedDiff("x\n", "x", "p"),
              "--- p (before)\n+++ p (after)\n@@ -1,1 +1,1 @@\n-x  [LF]\n+x\n\\ No newline at end of file\n");
    // A change of line ends alone.
    EXPECT_EQ(casim::unifiedDiff("k\r\nv\r\n", "k\r\nv\n", "p"),
              "--- p (before)\n+++ p (after)\n@@ -1,2 +1,2 @@\n k\n-v  [CR LF]\n+v  [LF]\n");

    // A 2,100-line protk.dat: an entry taken out of the middle, one line edited near the end.
    std::string big, smaller;
    for (int i = 0; i < 2100; ++i) {
        const std::string line = "exec_file C:\\vendor" + std::to_string(i) + "\\x.dll\r\n";
        big += line;
        if (i < 1000 || i > 1004) smaller += i == 2000 ? "exec_file C:\\moved\\x.dll\r\n" : line;
    }
    const std::string d = casim::unifiedDiff(big, smaller, "protk.dat");
    EXPECT_NE(d.find("@@ -998,11 +998,6 @@\n"), std::string::npos) << d;
    EXPECT_NE(d.find("@@ -1998,7 +1993,7 @@\n"), std::string::npos) << d;
    EXPECT_EQ(std::count(d.begin(), d.end(), '\n'), 2 + 1 + 11 + 1 + 8) << d;
    EXPECT_FALSE(casim::looksLikeText(std::string("MZ\0\0", 4)));

    // A rewrite too large for Myers' algorithm in reasonable time says so, after the common head.
    std::string many, rewritten;
    for (int i = 0; i < 30000; ++i) {
        many += "a" + std::to_string(i) + "\n";
        rewritten += "b" + std::to_string(i) + "\n";
    }
    EXPECT_EQ(casim::unifiedDiff("head\n" + many, "head\n" + rewritten, "p"),
              "--- p (before)\n+++ p (after)\n@@ -2,30000 +2,30000 @@\n"
              "  (30000 line(s) replaced by 30000: too many to diff line by line)\n");
}
