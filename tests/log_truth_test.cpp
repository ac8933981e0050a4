// The installer log tells the truth: the demo machine through the dialog, an
// installation, a repair and two removals, every line held against what the
// simulated machine saw (the round trip and the fault sweep hold theirs too).
// Then lines planted into a true log, each of a kind the check must catch.
#include "core/log.h"
#include "demo.h"
#include "log_truth.h"
#include "package.h"
#include "runner.h"
#include "scenario.h"
#include "sim_fixture.h"

#include <cstdio>
#include <functional>

namespace {
namespace fs = std::filesystem;

std::string joined(const std::vector<std::string>& problems)
{
    std::string text;
    for (const std::string& p : problems) text += "\n  " + p;
    return text;
}

class LogTruthTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::random_device rd;
        root_ = fs::temp_directory_path() / ("ca-logtruth-" + std::to_string(rd()) + std::to_string(rd()));
        casim::writeDemoScenario(root_);
        package_ = casim::loadPackage(fs::path(CA_SOURCE_DIR) / "package");
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }

    // Runs "a+b+c" in one session, as msiexec does with its dialog.
    void sequence(casim::SimulatedRun& run, const std::string& names)
    {
        std::vector<casim::SequencedAction> steps;
        std::size_t at = 0;
        while (at <= names.size()) {
            const std::size_t end = std::min(names.find('+', at), names.size());
            const auto& part = package_.sequences.at(names.substr(at, end - at));
            steps.insert(steps.end(), part.begin(), part.end());
            at = end + 1;
        }
        run.runSequence(names, steps, sessionsRun_++);
    }

    // The demo machine's life, each line passed through `edit` on its way to
    // the check (it may change a line, drop it, or add lines after it).
    std::vector<std::string> demoLife(const std::function<std::vector<std::string>(const std::string&)>& edit = {},
                                      const std::vector<std::string>& sessions = {"ui+ui-browse+ui-next+install",
                                                                                  "install", "remove", "remove"})
    {
        casim::Scenario scenario = casim::loadScenario(root_);
        scenario.properties.push_back({"PROEMBROWSE", "C:\\PTC\\creo2\\", 0});
        casim::SimulatedRun run(scenario, package_);
        logtruth::Checker truth(run.machine());
        if (edit) {
            auto honest = run.machine().logObserver;
            run.machine().logObserver = [honest, edit](const std::string& line) {
                for (const std::string& shown : edit(line)) honest(shown);
            };
        }
        // "hold PATH": a host holds the file open from then on; "restart": the
        // machine restarts; "stage": the staging area is filled again.
        for (const std::string& step : sessions) {
            if (step.rfind("hold ", 0) == 0)
                run.machine().holdFile(step.substr(5));
            else if (step == "restart")
                run.machine().restart();
            else if (step == "stage")  // the package places the add-in's files again
                fs::copy(root_ / "drive_c" / "ProgramData", *run.machine().hostPath("C:\\ProgramData"),
                         fs::copy_options::recursive | fs::copy_options::overwrite_existing);
            else
                sequence(run, step);
        }
        std::vector<std::string> problems = truth.finish();
        if (!edit) {
            std::printf(
                "[ log truth ] demo machine: %d actions, %d claiming lines, %d changes held against each other\n",
                truth.actions(), truth.claimLines(), truth.effects());
            EXPECT_GT(truth.claimLines(), 100);
            EXPECT_GT(truth.effects(), 300);
        }
        run.machine().logObserver = nullptr;
        return problems;
    }

    fs::path root_;
    casim::Package package_;
    std::size_t sessionsRun_ = 0;  // the scenario's sequences, counted as ca-sim counts them
};

TEST_F(LogTruthTest, EveryLineOfTheDemoMachinesLifeIsTrue)
{
    const auto problems = demoLife();
    EXPECT_TRUE(problems.empty()) << joined(problems);
}

// A file in use: the repair replaces it at the next restart, the removal
// (the file still in use) deletes it then, with the new file that waits
// beside it, and the folders that hold nothing else go after them.
TEST_F(LogTruthTest, EveryLineAboutAFileInUseIsTrue)
{
    std::vector<std::string> log;
    const auto keep = [&log](const std::string& line) {
        log.push_back(line);
        return std::vector<std::string>{line};
    };
    const std::string hold = "hold C:\\PTC\\wf4-m040\\x86e_win64\\obj\\Lang\\OrvellaHelp.chm";
    const auto problems = demoLife(keep, {"install", hold, "stage", "install", hold, "remove", "restart", "remove"});
    EXPECT_TRUE(problems.empty()) << joined(problems);
    const auto lines = [&](const std::string& text) {
        return std::count_if(log.begin(), log.end(),
                             [&](const std::string& l) { return l.find(text) != std::string::npos; });
    };
    EXPECT_EQ(lines("OrvellaHelp.chm is in use (host C:\\PTC\\wf4-m040): error 32"), 2);
    EXPECT_EQ(lines("and replaces it at the next restart"), 1);
    EXPECT_EQ(lines("; deleted at the next restart"), 2);
    // The new file that waits for the restart has its operation already: it goes after that.
    EXPECT_EQ(lines("OrvellaHelp.chm.~new1 has an operation waiting for the next restart already"), 1);
}

// One false line of each kind, planted into the true log: each is caught,
// and nothing else is.
TEST_F(LogTruthTest, PlantedFalseLinesAreCaught)
{
    using Lines = std::vector<std::string>;
    using Edit = std::function<Lines(const std::string&)>;
    struct Plant {
        const char* what;
        Edit edit;
        const char* caught;  // part of a problem found
        const char* every;   // part of every problem found: they are all about the plant
    };
    // The first line that holds `text` (at its start, when `atStart`) goes through `make`; every other line stays.
    int once = 0;
    const auto first = [&once](std::string text, bool atStart, Edit make) -> Edit {
        return [&once, text, atStart, make](const std::string& line) {
            const std::size_t at = line.find(text);
            return at == std::string::npos || (atStart && at != 0) || once++ != 0 ? Lines{line} : make(line);
        };
    };
    const auto followedBy = [](std::string added) -> Edit {
        return [added](const std::string& line) { return Lines{line, added}; };
    };
    const Plant plants[] = {
        {"a walk that counts one copy too many",
         first("deployment into C:\\PTC\\wf5 from", false,
               [](std::string line) { return Lines{line.replace(line.find(" files copied"), 1, "1 ")}; }),
         "the machine saw 33 copied", "331 files copied"},
        {"a record said written that was not",
         first("clearTempCommon: record Install_WF5_dir=", true,
               followedBy("clearTempCommon: record Install_WF9_dir=\"C:\\PTC\\nowhere\" written")),
         "the record was not written", "Install_WF9_dir"},
        {"a record written without its line", first(": footprint of ", false, [](const std::string&) { return Lines{}; }),
         "no line names a change: registry value set HKLM\\Software\\Kestrane\\Orvella (Footprint ", "(Footprint "},
        {"protk.dat said to receive the entry in an action that leaves it",
         first("checkProTKAccess: every chosen", true,
               followedBy("checkProTKAccess: C:\\PTC\\wf5\\text\\protk.dat: Orvella entry added (exec_file x)")),
         "protk.dat was not written", "Orvella entry added (exec_file x)"},
        {"a folder said writable whose protk.dat cannot be written",
         first("checkProTKAccess: every chosen", true,
               followedBy("checkProTKAccess: every chosen folder's protk.dat can be written: TEMPPROEDIR=\"x\"")),
         "the protk.dat of TEMPPROEDIR cannot be written", "TEMPPROEDIR"},
        {"a new kind of line that claims an effect",
         first("clearTempCommon: deployment into", true,
               followedBy("clearTempCommon: C:\\PTC\\wf5\\x86e_win64\\obj\\orvbridge.dll backed up")),
         "matches no row", "backed up"},
    };
    for (const Plant& plant : plants) {
        once = 0;
        const auto problems = demoLife(plant.edit, {"ui+ui-browse+ui-next+install"});
        EXPECT_GE(once, 1) << plant.what << ": the line to plant beside was not met";
        EXPECT_TRUE(std::any_of(problems.begin(), problems.end(),
                                [&](const std::string& p) { return p.find(plant.caught) != std::string::npos; }))
            << plant.what << joined(problems);
        EXPECT_TRUE(std::all_of(problems.begin(), problems.end(),
                                [&](const std::string& p) { return p.find(plant.every) != std::string::npos; }))
            << plant.what << joined(problems);
    }
}

// A value is one quoted value in the log, whatever it holds: a quotation
// mark, a line end, DEL or a byte above ASCII is \xNN, and a long value is cut
// with its length.
TEST(LogValues, AValueCannotPassForAnother)
{
    const std::pair<std::string, std::string> cases[] = {
        {"C:\\PTC\\wf5\", WF5MSI=\"1", "\"C:\\PTC\\wf5\\x22, WF5MSI=\\x221\""},
        {"a\r\nvalidateSelection: INVALIDSEL set to 0", "\"a\\x0D\\x0AvalidateSelection: INVALIDSEL set to 0\""},
        {std::string("\x7f\xe4\0", 3), "\"\\x7F\\xE4\\x00\""},
        {std::string(161, 'x'), "\"" + std::string(160, 'x') + "\"... (161 characters)"},
        {"", "\"\""},
    };
    for (const auto& [value, shown] : cases) {
        EXPECT_EQ(ca::shown(value), shown);
        EXPECT_EQ(logtruth::shownValue(value), shown);
    }
    EXPECT_EQ(ca::escaped("C:\\a\"b"), "C:\\a\\x22b");
}

}  // namespace
