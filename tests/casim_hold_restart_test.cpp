// ca-sim runs a scenario's files in use and restarts: a file is held only
// while the sequences its line names run, the session that met it asks for
// a restart, and a restart is a step of its own that carries out what waited.
#include "casim_support.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <sstream>
#include <string>

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

using namespace casim_support;

class CaSimHoldRestart : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = scratchFolder("ca-sim-hold-");
        write("machine.reg", kWf4Registry);
        write("drive_c/PTC/wf4/x86e_win64/obj/xtop.exe", "MZ");
        write("drive_c/PTC/wf4/x86e_win64/obj/orvbridge.dll", "old module");
        write("drive_c/PTC/wf4/text/protk.dat", "name Other\r\nend\r\n");
        write("drive_c/PTC/wf4/text/usascii/host_messages.txt", "host");
        write("drive_c/PTC/wf4/uninstall/instlog.txt", "RELEASE=\"Wildfire 4.0\"\r\n");
        // The whole staging area, as the package places it, so that the installation succeeds.
        std::istringstream staged(output(std::string(CA_SIM_BINARY) + " manifest"));
        for (std::string line; std::getline(staged, line);) {
            std::replace(line.begin(), line.end(), '\\', '/');
            std::transform(line.begin(), line.end(), line.begin(), [](unsigned char c) { return std::tolower(c); });
            if (line.ends_with('/')) line += "stand-in.txt";
            write("drive_c/ProgramData/" + line, "staged " + line);
        }
        write("drive_c/ProgramData/proewf4/orvbridge.dll", "new module");
    }
    void TearDown() override { fs::remove_all(dir_); }
    void write(const std::string& name, const std::string& text) { writeFile(dir_ / name, text); }
    std::string run(const std::string& options)
    {
        return output(std::string(CA_SIM_BINARY) + " run " + dir_.string() + " " + options);
    }
    std::string output(const std::string& command)
    {
        const Output o = runCommand(command);
        status_ = o.status;
        return o.out;
    }

    fs::path dir_;
    int status_ = -1;
};

// A report step's file changes, each as "CHANGE PATH".
std::vector<std::string> fileChanges(const json& step)
{
    std::vector<std::string> files;
    for (const json& c : step["changes"]["files"])
        files.push_back(c["change"].get<std::string>() + " " + c["path"].get<std::string>());
    return files;
}

}  // namespace

TEST_F(CaSimHoldRestart, HoldsOnlyAfterItsLineAndRestartsBetweenSequences)
{
    // The host runs only after the installation: the removal meets its module
    // in use and puts the host's own module (backed up by the installation)
    // back at the restart.
    write("scenario.txt", "sequence install\nhold C:\\PTC\\wf4\\x86e_win64\\obj\\orvbridge.dll\nsequence remove\n"
                          "restart\n");
    const fs::path saved = dir_ / "saved";
    const json report = json::parse(run("--json --save " + saved.string()), nullptr, false);
    ASSERT_EQ(status_, 0);
    ASSERT_TRUE(report.is_object());
    EXPECT_EQ(report["sessions"], json::parse(R"([{"session": "install", "restartRequested": false},
                                                  {"session": "remove", "restartRequested": true}])"));
    std::vector<std::string> asked;
    const json* restart = nullptr;
    for (const json& step : report["steps"]) {
        if (step["restartRequested"] == true) asked.push_back(step["session"].get<std::string>() + " " +
                                                              step.value("action", ""));
        if (step["kind"] == "restart") restart = &step;
    }
    EXPECT_EQ(asked, std::vector<std::string>{"remove cleanupProEAuxAppInFile"});
    ASSERT_NE(restart, nullptr);
    EXPECT_EQ((*restart)["session"], "restart");
    EXPECT_EQ((*restart)["result"], nullptr);
    // The restart moved the host's module over the add-in's and cleared the list.
    const std::vector<std::string> files = fileChanges(*restart);
    EXPECT_EQ(files, (std::vector<std::string>{"changed C:\\PTC\\wf4\\x86e_win64\\obj\\orvbridge.dll",
                                               "removed C:\\PTC\\wf4\\x86e_win64\\obj\\orvbridge.dll.~new1"}));
    ASSERT_EQ((*restart)["changes"]["registry"].size(), 1u);
    EXPECT_EQ((*restart)["changes"]["registry"][0]["name"], "PendingFileRenameOperations");
    EXPECT_EQ((*restart)["changes"]["registry"][0]["change"], "removed");
    EXPECT_EQ(readFile(saved / "drive_c/PTC/wf4/x86e_win64/obj/orvbridge.dll"), "old module");

    // Held from the start, the installation meets the host's module in use:
    // it cannot be backed up, which is a failure that stops the installation,
    // not a wait for the restart.
    write("scenario.txt", "hold C:\\PTC\\wf4\\x86e_win64\\obj\\orvbridge.dll install\nsequence install\nrestart\n");
    const std::string text = run("--color never");
    EXPECT_EQ(status_, 4);  // the package's error step stops it: msiexec ends with 1603
    EXPECT_NE(text.find("== restart: held files let go, pending file operations carried out"), std::string::npos);
    EXPECT_NE(text.find("to C:\\ProgramData\\Kestrane\\Orvella\\Backup\\fe30189652689458\\1-orvbridge.dll failed: "
                        "error 32"),
              std::string::npos);
    EXPECT_EQ(text.find("asks the installer for a restart"), std::string::npos);
}

TEST_F(CaSimHoldRestart, ChangesReachTheMachineBetweenSequencesAndTheRemovalLeavesThem)
{
    // The host's patch after the installation: a file beside the add-in's in
    // a folder the add-in created, a new msvcr90.dll over the add-in's, an
    // empty folder. The patch names the host's folders in another case: they
    // are found as Windows finds them.
    write("patch/ptc/WF4/text/usascii/resource/patch.png", "patch image");
    write("patch/ptc/WF4/x86e_win64/obj/msvcr90.dll", "the host's msvcr90");
    write("patch/ptc/WF4/plugins/.keep", "");
    write("scenario.txt", "sequence install\nchange patch\nsequence remove\n");
    const fs::path saved = dir_ / "saved";
    const json report = json::parse(run("--json --save " + saved.string()), nullptr, false);
    ASSERT_EQ(status_, 0);
    ASSERT_TRUE(report.is_object());
    std::vector<std::string> order;
    const json* change = nullptr;
    for (const json& step : report["steps"]) {
        if (order.empty() || order.back() != step["session"]) order.push_back(step["session"]);
        if (step["kind"] == "change") change = &step;
    }
    EXPECT_EQ(order, (std::vector<std::string>{"install", "change", "remove"}));
    ASSERT_NE(change, nullptr);
    EXPECT_EQ((*change)["folder"], "patch");
    EXPECT_EQ((*change)["result"], nullptr);
    std::vector<std::string> files = fileChanges(*change);
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"added C:\\PTC\\wf4\\plugins",
                                               "added C:\\PTC\\wf4\\text\\usascii\\resource\\patch.png",
                                               "changed C:\\PTC\\wf4\\x86e_win64\\obj\\msvcr90.dll"}));
    std::vector<std::string> log;
    for (const json& step : report["steps"])
        for (const json& line : step["log"])
            if (line.get<std::string>().find("not the add-in's") != std::string::npos ||
                line.get<std::string>().find("left as it stands") != std::string::npos)
                log.push_back(line);
    EXPECT_EQ(log, (std::vector<std::string>{
                       "cleanupProEAuxAppInFile: C:\\PTC\\wf4\\x86e_win64\\obj\\msvcr90.dll changed since the add-in "
                       "wrote it: left as it stands",
                       "cleanupProEAuxAppInFile: C:\\PTC\\wf4\\text\\usascii\\resource holds files that are not the "
                       "add-in's: it stays"}));

    const auto read = [&](const std::string& name) {
        std::ifstream in(saved / name, std::ios::binary);
        return in ? std::string(std::istreambuf_iterator<char>(in), {}) : std::string("(none)");
    };
    const std::string host = "drive_c/PTC/wf4/";
    EXPECT_EQ(read(host + "text/usascii/resource/patch.png"), "patch image");
    EXPECT_EQ(read(host + "x86e_win64/obj/msvcr90.dll"), "the host's msvcr90");
    EXPECT_EQ(read(host + "x86e_win64/obj/orvbridge.dll"), "old module");  // the host's own, put back
    EXPECT_EQ(read(host + "text/usascii/resource/orvella.res"), "(none)");
    EXPECT_EQ(read(host + "text/protk.dat"), "name Other\r\nend\r\n");
    EXPECT_TRUE(fs::is_directory(saved / host / "plugins"));
    EXPECT_FALSE(fs::exists(saved / "drive_c/ptc"));
    // The saved scenario runs as it is: its change's folder goes along.
    EXPECT_EQ(read("scenario.txt").substr(read("scenario.txt").find("sequence")),
              "sequence install\nchange patch\nsequence remove\n");
    EXPECT_EQ(read("patch/ptc/WF4/x86e_win64/obj/msvcr90.dll"), "the host's msvcr90");

    // Another machine that goes on as this scenario went on takes the change
    // from this scenario's folder, and only one that comes after its start.
    const fs::path other = dir_ / "other";
    fs::create_directories(other);
    fs::copy(dir_ / "machine.reg", other / "machine.reg");
    fs::copy(dir_ / "drive_c", other / "drive_c", fs::copy_options::recursive);
    const auto changesFrom = [&](int first) {
        const std::string out = output(std::string(CA_SIM_BINARY) + " run " + other.string() + " --script-from " +
                                       dir_.string() + " --from-sequence " + std::to_string(first) + " --json");
        const json report = json::parse(out, nullptr, false);
        std::string seen;
        for (const json& step : report["steps"])
            if (step["kind"] == "change") seen += step["folder"].get<std::string>() + ";";
        return seen;
    };
    EXPECT_EQ(changesFrom(1), "patch;");
    EXPECT_EQ(status_, 0);
    EXPECT_EQ(changesFrom(2), "");
    EXPECT_EQ(status_, 0);
}

TEST_F(CaSimHoldRestart, AMachineCollectedPartWayGoesOnAsItsScenarioWent)
{
    // The machine as the collector took it after the installation, its module
    // found held; the scenario it came from goes on with a removal, a restart
    // and a second removal.
    write("scenario.txt", "sequence install\n");
    const fs::path installed = dir_ / "installed";
    run("--save " + installed.string());
    ASSERT_EQ(status_, 0);
    std::ofstream(installed / "scenario.txt", std::ios::app) << "hold C:\\PTC\\wf4\\x86e_win64\\obj\\orvbridge.dll\n";
    write("scenario.txt", "sequence install\nhold C:\\PTC\\wf4\\x86e_win64\\obj\\orvbridge.dll remove\nsequence remove\n"
                          "restart\nsequence remove\n");
    const fs::path saved = dir_ / "saved";
    const std::string goOn = std::string(CA_SIM_BINARY) + " run " + installed.string() + " --script-from " +
                             dir_.string() + " --json --save " + saved.string() + " --from-sequence ";
    const json report = json::parse(output(goOn + "2"), nullptr, false);
    ASSERT_EQ(status_, 0);
    ASSERT_TRUE(report.is_object());
    // Its own hold lasts until the scenario's restart, which now follows the first sequence.
    EXPECT_EQ(report["sessions"], json::parse(R"([{"session": "remove", "restartRequested": true},
                                                  {"session": "remove", "restartRequested": false}])"));
    const std::string ranText = readFile(saved / "scenario.txt");
    EXPECT_NE(ranText.find("hold C:\\PTC\\wf4\\x86e_win64\\obj\\orvbridge.dll\nsequence remove\nrestart\nsequence remove\n"),
              std::string::npos)
        << ranText;
    EXPECT_EQ(readFile(saved / "drive_c/PTC/wf4/x86e_win64/obj/orvbridge.dll"), "old module");

    // A start past the scenario's last sequence line is refused, and nothing runs.
    output(goOn + "4 --force 2>/dev/null");
    EXPECT_EQ(status_, 2);
}
