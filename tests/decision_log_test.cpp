// Every decision to leave something undone says so, and why, in one line of
// the installer log: the line an installer engineer looks for first.
#include "sim_fixture.h"

#include <functional>

namespace {

using Props = std::vector<std::pair<std::string, std::string>>;

struct Decision {
    const char* action;
    Props properties;
    std::function<void()> machine;   // what stands on the machine, besides the staged add-in
    std::vector<std::string> lines;  // each logged once, after "<action>: "
};

using DecisionLogTest = SimTest;

}  // namespace

TEST_F(DecisionLogTest, EachDecisionToLeaveSomethingUndoneIsLogged)
{
    const auto wf4 = [this] {
        makeHost("wf4", true);
        writeLog("wf4", "RELEASE=\"Wildfire 4.0\"\r\n");
    };
    const auto unknown = [this] { makeHost("unknown", true); };
    const std::string notKnown = "\"C:\\unknown\" is no known release: it has neither uninstall\\instlog.txt nor a "
                                 "release descriptor, and Creo Parametric 2.0 is not registered";
    const std::vector<Decision> decisions = {
        {"checkProEFolderAccessRights", {}, nullptr, {"no chosen listed installation: nothing to check"}},
        {"checkProEFolderAccessRights", {{"WFCUSTOM_DIR_ONE", "C:\\wf4"}, {"PROE_VER_1", "1"}}, wf4,
         {"every chosen listed installation's protk.dat can be written: WFCUSTOM_DIR_ONE=\"C:\\wf4\""}},
        {"checkProTKAccess", {}, nullptr, {"no chosen folder, and no browsed folder: nothing to check"}},
        {"cleanupDependancies", {}, nullptr, {"no footprint names a private runtime: nothing to remove"}},
        {"clearTempCommon", {}, nullptr,
         {"no Microsoft.VC90.MFC: only a command line that chose Wildfire 5.0 stages it",
          "no Microsoft.VC90.CRT: only a command line that chose Wildfire 5.0 stages it",
          "chosen listed installations: none", "ALLUSERSPROFILE is empty: no staging area to clear"}},
        {"copyCMDresourcetoUSASCII", {{"PROEM1", "1"}}, nullptr,
         {"the browsed slot is chosen: no resources copied, no records written"}},
        {"copyCMDresourcetoUSASCII", {}, nullptr, {"USASCIIM1 names no staged resource folder: no resources copied"}},
        {"copyProeDllToMoreInstall", {{"PROEM1", "0"}, {"PROEM1DIR", "C:\\wf4"}}, wf4,
         {"the browsed slot is not chosen: no module copied"}},
        {"copyProeDllToMoreInstall", {{"PROEM1", "1"}, {"PROEM1DIR", "C:\\unknown"}}, unknown,
         {notKnown, "the browsed folder's release is not known: no module copied"}},
        {"copyProeDllToMoreInstall", {{"PROEM1", "1"}, {"PROEM1DIR", "C:\\wf4"}, {"ISCMDINSTALL", "1"}, {"PROEM1VER", "5"}},
         nullptr, {"a command line: the release is PROEM1VER=\"5\"", "PROEWF4TEMP names no staged build: no module copied"}},
        // Only a command line keeps the browsed folder it gave.
        {"isProEInstalled", {{"ISCMDINSTALL", "1"}, {"PROEM1DIR", "C:\\wf4"}}, wf4,
         {"PROEDUMPDEPENDANCIES set to 0: PROEM1DIR=\"C:\\wf4\" holds the host"}},
        {"isProEInstalled", {{"PROEM1DIR", "C:\\wf4"}}, wf4, {"PROEDUMPDEPENDANCIES set to 1: PROEM1DIR=\"\" names no folder"}},
        {"isProEInstalled", {{"ISCMDINSTALL", "1"}, {"PROEM1DIR", "C:\\unknown\\x"}}, nullptr,
         {"PROEDUMPDEPENDANCIES set to 1: PROEM1DIR=\"C:\\unknown\\x\" holds no x86e_win64\\obj\\xtop.exe"}},
        {"isProEInstalled", {{"ISCMDINSTALL", "1"}, {"PROEM1", "0"}}, nullptr,
         {"a command line with the browsed slot off: the release properties stay as given"}},
        {"setAdditionalProeOnCB", {{"ISBROWSEPATHVALID", "0"}, {"PROEMBROWSE", "C:\\wf4"}}, wf4,
         {"the browsed folder was not validated: no check box for it"}},
        {"validateProEBrwPath", {{"PROEMBROWSE", "C:\\unknown"}}, unknown,
         {notKnown, "browsed folder PROEMBROWSE=\"C:\\unknown\" rejected: its release is not recognised"}},
        {"validateSelection", {}, nullptr, {"PROEM1DIR is empty: no browsed folder to check"}},
        {"validateSelection", {{"PROEM1DIR", "C:\\wf4"}, {"PROEWF4", "1"}, {"PROEWF4DIR", "C:\\wf4"}}, wf4,
         {"DUPLICATEDIR set to 1: PROEM1DIR=\"C:\\wf4\" is the folder of a chosen release"}},
        {"validateSelection", {{"PROEM1DIR", "C:\\unknown"}}, unknown,
         {"PROEM1DIR removed: the release of PROEM1DIR=\"C:\\unknown\" is not recognised"}},
        {"addProEAuxAppInFile", {{"PROEWF4", "1"}, {"PROEWF4DIR", "C:\\wf4"}},
         [this] {
             makeHost("wf4", true);
             writeFile("wf4\\text\\protk.dat", std::string("\xFF\xFEn\0", 4));
         },
         {"C:\\wf4\\text\\protk.dat is UTF-16 text: not registered, lines of ours would not read there"}},
    };
    for (const Decision& d : decisions) {
        TearDown();
        SetUp();
        stageAddIn();
        if (d.machine) d.machine();
        setProperties(d.properties);
        run(d.action);
        const auto& log = machine().logMessages();
        for (const std::string& line : d.lines)
            EXPECT_EQ(std::count(log.begin(), log.end(), d.action + std::string(": ") + line), 1)
                << line << "\nlogged:\n" << ::testing::PrintToString(log);
    }
}
