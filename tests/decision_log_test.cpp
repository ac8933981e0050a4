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
    std::vector<std::string> absent = {};  // never logged
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
    const std::string deep = folderOfLength(245);
    const std::string tooLong = folderOfLength(300);
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
        // A record that cannot be written is not said to be.
        {"copyCMDresourcetoUSASCII", {}, [this] { machine().faults().failAt(sim::Op::regSet, 2); },
         {"write Install_CREO1_dir of HKLM\\Software\\Kestrane\\Orvella failed: error 5 (Access is denied.)",
          "record Install_CREO2_dir=\"\" written"},
         {"record Install_CREO1_dir=\"\" written"}},
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
        // Registered in the 32-bit view only: the native one is looked up first, and is no failed call.
        {"validateProEBrwPath", {{"PROEMBROWSE", "C:\\unknown"}},
         [&] {
             unknown();
             machine().registry().setString(std::string(ca::kCreoKey32) + "\\2.0", "InstallDir", "C:\\elsewhere");
         },
         {"\"C:\\unknown\" is Creo Parametric 2.0: it has neither uninstall\\instlog.txt nor a release descriptor, "
          "and Creo Parametric 2.0 is registered"}},
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
        // How a folder's release is told, or why it is not.
        {"validateProEBrwPath", {{"PROEMBROWSE", "C:\\nolog"}},
         [this] {
             makeHost("nolog", true);
             writeLog("nolog", "DATECODE=\"2011130\"\r\n");
         },
         {"\"C:\\nolog\" is no known release: its installation log has no RELEASE line"}},
        {"validateProEBrwPath", {{"PROEMBROWSE", "C:\\bad"}},
         [this] {
             makeHost("bad", true);
             writeDescriptor("bad", "<release");
         },
         {"\"C:\\bad\" is no known release: it has the release descriptor bin\\pim\\xml\\creobase.p.xml, which does not "
          "load"}},
        {"validateProEBrwPath", {{"PROEMBROWSE", "C:\\five"}},
         [this] {
             makeHost("five", true);
             writeLog("five", "RELEASE=\"5.0\"\r\n");
         },
         {"\"C:\\five\" is a release 5.0 other than Wildfire 5.0: its installation log's RELEASE line "
          "\"RELEASE=\\x225.0\\x22\""}},
        {"copyProeDllToMoreInstall", {{"PROEM1", "1"}, {"PROEM1DIR", deep}}, nullptr,
         {"\"" + deep.substr(0, 160) + "\"... (245 characters) is no known release: its paths do not fit 259 characters"}},
        // What the removal finds in a protk.dat, and what it leaves.
        {"cleanupProEAuxAppInFile", {{"PROEWF4DIR", "C:\\wf4"}},
         [this] {
             makeHost("wf4", true);
             writeFile("wf4\\text\\protk.dat", "name Other\r\nend\r\n" + kRelativeEntry);
             writeFile("wf4\\text\\protk.tmp", "someone's");
         },
         {"C:\\wf4\\text\\protk.tmp is there already and is not ours: left alone, another name is taken",
          "C:\\wf4\\text\\protk.dat: 1 Orvella entry removed"}},
        // Without a footprint, what is left is the host's; after an earlier
        // version, an empty file goes once the folder holds no host.
        {"cleanupProEAuxAppInFile", {{"PROEWF4DIR", "C:\\wf4"}},
         [this] {
             makeHost("wf4", true);
             writeFile("wf4\\text\\protk.dat", kRelativeEntry + kRelativeEntry);
         },
         {"C:\\wf4\\text\\protk.dat: 2 Orvella entries removed"}},
        {"cleanupProEAuxAppInFile", {},
         [this] {
             makeHost("gone", true);
             installEarlierVersion("gone", "WFCUSTOM_DIR_ONE");
             std::filesystem::remove(onC("gone\\" + kObj + "xtop.exe"));
         },
         {"C:\\gone was reached by an earlier version: its files there are taken into its footprint",
          "C:\\gone\\text\\protk.dat: 1 Orvella entry removed",
          "C:\\gone\\text\\protk.dat deleted: it held nothing of anyone else's, and the folder holds no host any more"}},
        {"cleanupProEAuxAppInFile", {},
         [this] {
             makeHost("bare", true);
             installEarlierVersion("bare", "WFCUSTOM_DIR_ONE");
             std::filesystem::remove(onC("bare\\text\\protk.dat"));
         },
         {"C:\\bare was reached by an earlier version: its files there are taken into its footprint",
          "C:\\bare\\text\\protk.dat is not there: nothing to unregister",
          "footprint of C:\\bare forgotten: the add-in left nothing there"}},
        {"cleanupProEAuxAppInFile", {{"PROEWF4DIR", "C:\\wf4"}, {"PROEWF3DIR", "C:\\wf3"}, {"PROEWF2DIR", "C:\\wf2"}},
         [this] {
             makeHost("wf4", true);
             writeFile("wf4\\text\\protk.dat", std::string("\xFE\xFF\0n", 4));
             makeHost("wf3", true);
             writeFile("wf3\\text\\protk.dat", "name Orvellax\r\n");
         },
         {"C:\\wf4\\text\\protk.dat is UTF-16 text, which the add-in never edits: left alone",
          "C:\\wf3\\text\\protk.dat holds no Orvella entry: left alone",
          "C:\\wf2\\text\\protk.dat is not there: nothing to unregister"}},
        // A folder too long to take is named whole among the ones the removal looks at.
        {"cleanupProEAuxAppInFile", {{"PROEWF3DIR", tooLong}}, nullptr,
         {"release folders: PROEWF3DIR=\"" + tooLong.substr(0, 160) + "\"... (300 characters)"}},
        {"cleanCmdResources", {},
         [this] {
             makeWildfire4();
             setProperties({{"PROEWF4DIR", "C:\\PTC\\wf4"}, {"USASCIIM1", "C:\\ProgramData\\text\\"}});
             run("copyCMDresourcetoUSASCII");
             deployAndRegister("C:\\PTC\\wf4", ca::kWildfire4);
         },
         {"C:\\PTC\\wf4 left as it is: its Orvella entry may still stand in its protk.dat"}},
        // What the deployment passes over, and the build it takes.
        {"clearTempCommon", {{"WFCUSTOM_DIR_ONE", "C:\\creo1"}, {"PROE_VER_1", "1"}, {"WFCUSTOM_DIR_TWO", "C:\\unknown"},
                             {"PROE_VER_2", "1"}, {"ISCMDINSTALL", "1"}, {"PROEWF5", "1"}, {"PROEWF5DIR", "C:\\wf5"}},
         [this] {
             makeHost("creo1", true);
             writeLog("creo1", "RELEASE=\"1.0\"\r\n");
             makeHost("unknown", true);
             for (const char* host : {"creo1", "unknown"}) makeFolder(std::string(host) + "\\text\\usascii");
             writeFile("creo1\\text\\ribbon", "a file, not the folder");
             makeHost("wf5", true);
         },
         {"no Microsoft.VC90.MFC for C:\\wf5: it holds the host executable",
          "no Microsoft.VC90.CRT for C:\\wf5: it holds the host executable",
          "no text\\ribbon\\OrvellaMenu.rbn for C:\\creo1: the host has no folder for it",
          "deployment into C:\\unknown from C:\\ProgramData\\ with no build of the module: 33 files copied, 8 folders created"}},
        {"clearTempCommon", {{"WFCUSTOM_DIR_ONE", "C:\\wf4"}, {"PROE_VER_1", "1"}},
         [this] {
             makeHost("wf4", true);
             writeLog("wf4", "RELEASE=\"Wildfire 4.0\"\r\n");
             machine().setEnv("ALLUSERSPROFILE", folderOfLength(250));
         },
         {"no deployment into \"C:\\wf4\": the staged x86e_win64\\obj folder's path in \"" +
          folderOfLength(250).substr(0, 160) + "\"... (251 characters) does not fit"}},
        {"copyProeDllToMoreInstall", {{"PROEM1", "1"}, {"PROEM1DIR", "C:\\wf4"}, {"PROEWF4TEMP", "C:\\ProgramData\\proeWF4\\"}},
         wf4,
         {"the module's build for release 5: PROEWF4TEMP=\"C:\\ProgramData\\proeWF4\\\"",
          "copy of the module from C:\\ProgramData\\proeWF4\\orvbridge.dll into C:\\wf4\\x86e_win64\\obj: 1 file copied"}},
        {"copyProeDllToMoreInstall", {{"PROEM1", "1"}, {"PROEM1DIR", "C:\\wf4"}, {"PROEWF4TEMP", folderOfLength(250)}}, wf4,
         {"no module copied: the path of orvbridge.dll in \"" + folderOfLength(250).substr(0, 160) +
          "\"... (250 characters) does not fit 259 characters"}},
        // A copy that fails is named by the host file it could not write.
        {"copyProeDllToMoreInstall", {{"PROEM1", "1"}, {"PROEM1DIR", "C:\\wf4"}, {"PROEWF4TEMP", "C:\\ProgramData\\proeWF4\\"}},
         [this, wf4] {
             wf4();
             machine().faults().failAt(sim::Op::copyFile, 1);
         },
         {"copy C:\\ProgramData\\proeWF4\\orvbridge.dll to C:\\wf4\\x86e_win64\\obj\\orvbridge.dll failed: error 5 (Access "
          "is denied.)",
          "ORVELLA_INSTALL_ERROR set: C:\\wf4: C:\\wf4\\x86e_win64\\obj\\orvbridge.dll could not be written (error 5: Access "
          "is denied.)"}},
        {"validateProEBrwPath", {{"PROEMBROWSE", "C:\\wf4\\"}}, wf4,
         {"browsed folder PROEMBROWSE=\"C:\\wf4\\\" accepted: Wildfire 4.0",
          "the dialog has no check box PROE_VER_1: no tooltip"}},
        // Folders too long to take, or whose paths would not fit.
        {"isProEInstalled", {{"ISCMDINSTALL", "1"}, {"PROEM1DIR", std::string(300, 'x')}}, nullptr,
         {"property PROEM1DIR holds 300 characters, more than 259: it does not fit, and none of it is taken",
          "PROEDUMPDEPENDANCIES set to 1: PROEM1DIR holds 300 characters, more than 259, so it holds no usable host"}},
        {"copyProeDllToMoreInstall", {{"PROEM1", "1"}, {"PROEM1DIR", std::string(300, 'x')}}, nullptr,
         {"PROEM1DIR holds 300 characters, more than 259: no module copied"}},
        {"cleanupProEAuxAppInFile", {{"PROEWF4DIR", std::string(300, 'x')}}, nullptr,
         {"PROEWF4DIR holds 300 characters, more than 259: no entry taken out there"}},
        {"copyCMDresourcetoUSASCII", {{"USASCIIM1", "C:\\ProgramData\\text\\"}, {"CREO1DIR", std::string(300, 'x')}},
         nullptr, {"CREO1DIR holds 300 characters, more than 259: no resources copied there"}},
        {"addProEAuxAppInFile", {{"PROEWF4", "1"}, {"PROEWF4DIR", folderOfLength(250)}}, nullptr,
         {"the protk.dat path of \"" + folderOfLength(250).substr(0, 160) +
              "\"... (250 characters) does not fit 259 characters: not registered",
          "ORVELLA_INSTALL_ERROR set: " + folderOfLength(250) +
              ": text\\protk.dat did not take the Orvella entry (error 206: The filename or extension is too long.)"}},
        {"addCMDEntriesInProtFile", {{"PROEWF4", "1"}, {"PROEWF4DIR", folderOfLength(236)}},
         [this] { makeFolder(folderOfLength(236).substr(3) + "\\text"); },
         {"the entry's paths for \"" + folderOfLength(236).substr(0, 160) +
              "\"... (236 characters) do not fit 259 characters: not registered",
          "ORVELLA_INSTALL_ERROR set: " + folderOfLength(236) + ": " + folderOfLength(236) +
              "\\text\\protk.dat did not take the Orvella entry (error 206: The filename or extension is too long.)"}},
        {"validateProEBrwPath", {{"PROEMBROWSE", "C:\\wf4"}, {"PROECANAME", "SetProEM1dir"}, {"WFCUSTOM_DIR_ONE", "C:\\wf4"}},
         wf4,
         {"C:\\wf4 has a check box already: nothing added",
          "it becomes the browsed slot's folder (PROEM1DIR), release code 5"}},
        // The edit goes where a link leads, when the path fits.
        {"cleanupProEAuxAppInFile", {{"PROEWF4DIR", "C:\\wf4"}},
         [this] {
             makeHost("wf4", true);
             writeFile(folderOfLength(250).substr(3) + "\\protk.dat", "name Other\r\n" + kRelativeEntry);
             std::filesystem::create_symlink(onC(folderOfLength(250).substr(3) + "\\protk.dat"), onC("wf4\\text\\protk.dat"));
         },
         {"C:\\wf4\\text\\protk.dat is a link to " + folderOfLength(250) +
              "\\protk.dat, whose path does not fit 259 characters",
          "ORVELLA_REMOVE_ERROR set: C:\\wf4: C:\\wf4\\text\\protk.dat still holds the Orvella entry (error 206: The "
          "filename or extension is too long.)"}},
        // The checks: a protk.dat the add-in's lines would not read in, a path that would not fit.
        {"checkProTKAccess", {{"PROEWF4", "1"}, {"PROEWF4DIR", "C:\\wf4"}},
         [this] {
             makeHost("wf4", true);
             writeFile("wf4\\text\\protk.dat", std::string("\xFF\xFEn\0", 4));
         },
         {"C:\\wf4\\text\\protk.dat is UTF-16 text: the add-in's lines would not read there",
          "PROTK_WRITE set to NO, TEMPPROEDIR to \"C:\\wf4\" (PROEWF4DIR): its protk.dat cannot be written"}},
        {"checkProTKAccess", {{"PROEWF3", "1"}, {"PROEWF3DIR", folderOfLength(250)}}, nullptr,
         {"the protk.dat path of \"" + folderOfLength(250).substr(0, 160) + "\"... (250 characters) does not fit 259 characters"}},
        {"validateSelection", {{"PROEM1DIR", folderOfLength(240)}}, nullptr,
         {"INVALIDSEL set to 1, PROEM1DIR removed: PROEM1DIR=\"" + folderOfLength(240).substr(0, 160) +
          "\"... (240 characters) cannot hold a usable host: the path of its x86e_win64\\obj\\xtop.exe would not fit 259 "
          "characters"}},
        // A value too long to take is still shown, read whole.
        {"validateProEBrwPath", {{"PROEMBROWSE", std::string(300, 'x')}}, nullptr,
         {"browsed folder PROEMBROWSE=\"" + std::string(160, 'x') +
          "\"... (300 characters) rejected: PROEMBROWSE holds 300 characters, more than 259"}},
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
        for (const std::string& line : d.absent)
            EXPECT_EQ(std::count(log.begin(), log.end(), d.action + std::string(": ") + line), 0) << line;
        // A call that fails says so; what is merely not there is no failed call.
        const auto failedCalls = [](const auto& lines, std::string_view prefix) {
            return std::count_if(lines.begin(), lines.end(), [prefix](const std::string& line) {
                return line.starts_with(prefix) && line.find(" failed: ") != std::string::npos;
            });
        };
        EXPECT_EQ(failedCalls(log, d.action + std::string(": ")), failedCalls(d.lines, ""))
            << d.action << "\nlogged:\n" << ::testing::PrintToString(log);
    }
}
