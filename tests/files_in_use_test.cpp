// Files in use: a copy onto or a deletion of a file that a running host
// holds waits for the next restart and asks for it; the write-access checks
// name the hosts whose add-in files are in use.
#include "core/file_work.h"
#include "platform/files.h"
#include "sim_fixture.h"

namespace {

using FilesInUse = SimTest;

const std::string kObjFolder = "PTC\\wf5\\x86e_win64\\obj\\";
const std::string kModule = "C:\\" + kObjFolder + "orvbridge.dll";


}  // namespace

TEST_F(FilesInUse, AReplacementWaitsBesideItsTargetForTheRestart)
{
    writeFile(kObjFolder + "orvbridge.dll", "old");
    writeFile("ProgramData\\one.dll", "one");
    writeFile("ProgramData\\two.dll", "two");
    writeFile("ProgramData\\free.dll", "free");
    machine().holdFile(kModule);
    const ca::Session s = caSession();
    {
        ca::FileWork work(s, "C:\\PTC\\wf5");
        const ca::FileResult first = work.copy("C:\\ProgramData\\one.dll", kModule.c_str());
        EXPECT_TRUE(first.atRestart());
        EXPECT_TRUE(first);
        EXPECT_EQ(first.waiting, kModule + ".~new1");
        EXPECT_EQ(work.copy("C:\\ProgramData\\free.dll", ("C:\\" + kObjFolder + "free.dll").c_str()).outcome,
                  ca::FileOutcome::done);
        work.summary("deployed");
    }
    // A second installation in the same session: the first new file still waits, so the next name is taken.
    setProperty("ORVELLA_RESTART", "");
    {
        ca::FileWork work(s, "C:\\PTC\\wf5");
        EXPECT_EQ(work.copy("C:\\ProgramData\\two.dll", kModule.c_str()).waiting, kModule + ".~new2");
    }
    EXPECT_EQ(readFile(kObjFolder + "orvbridge.dll"), "old");
    EXPECT_EQ(readFile(kObjFolder + "orvbridge.dll.~new1"), "one");
    EXPECT_EQ(readFile(kObjFolder + "orvbridge.dll.~new2"), "two");
    EXPECT_TRUE(machine().restartRequested());
    EXPECT_EQ(property("ORVELLA_RESTART"), "C:\\PTC\\wf5: " + kModule);
    const std::string module = "\\??\\" + kModule;
    EXPECT_EQ(registryText(sim::Machine::kSessionManagerKey, sim::Machine::kPendingRenames),
              module + ".~new1" + '\0' + '!' + module + '\0' + module + ".~new2" + '\0' + '!' + module + '\0' + '\0');
    // The second finds the first waiting and goes after it.
    EXPECT_EQ(logLines("waits as"),
              (std::vector<std::string>{
                  "test: " + kModule + " is in use (host C:\\PTC\\wf5): error 32 (The process cannot access the file "
                  "because it is being used by another process.); the new file waits as " + kModule +
                  ".~new1 and replaces it at the next restart",
                  "test: " + kModule + " has an operation waiting for the next restart already (host C:\\PTC\\wf5); "
                  "the new file waits as " + kModule + ".~new2 and replaces it at the next restart, after that one"}));
    EXPECT_EQ(logLines("deployed"),
              std::vector<std::string>{"test: deployed: 1 file copied, 1 file replaced at the next restart"});
    EXPECT_EQ(logLines("ORVELLA_RESTART set").size(), 2u);

    // The restart carries out both in order: the newest file is the one that stays.
    machine().restart();
    EXPECT_EQ(filesBelow(kObjFolder), (std::map<std::string, std::string>{{"free.dll", "free"}, {"orvbridge.dll", "two"}}));
}

TEST_F(FilesInUse, ADeletionWaitsAndTakesItsEmptiedFolderAlong)
{
    const std::string lang = kObjFolder + "Lang\\";
    writeFile(lang + "orvbridgeResEng.dll", "res");
    writeFile(lang + "ovbatchresEng.dll", "res");
    writeFile(kObjFolder + "keep\\in.dll", "in");
    writeFile(kObjFolder + "keep\\host.txt", "host");
    machine().holdFile("C:\\" + lang + "orvbridgeResEng.dll");
    machine().holdFile("C:\\" + kObjFolder + "keep\\in.dll");
    const ca::Session s = caSession();
    {
        ca::FileWork work(s, "C:\\PTC\\wf5");
        EXPECT_TRUE(work.deleteFile(("C:\\" + lang + "orvbridgeResEng.dll").c_str()).atRestart());
        EXPECT_EQ(work.deleteFile(("C:\\" + lang + "ovbatchresEng.dll").c_str()).outcome, ca::FileOutcome::done);
        EXPECT_EQ(work.deleteFile(("C:\\" + lang + "missing.dll").c_str()).outcome, ca::FileOutcome::done);
        // A folder that holds only what the restart deletes goes after it; one with something else stays.
        EXPECT_TRUE(work.removeFolder(("C:\\" + kObjFolder + "LANG").c_str()));
        // A loaded module answers a deletion with access denied, not a sharing violation.
        machine().faults().resetCounts();
        machine().faults().failAt(sim::Op::deleteFile, 1);
        EXPECT_TRUE(work.deleteFile(("C:\\" + kObjFolder + "keep\\in.dll").c_str()).atRestart());
        machine().faults().clear();
        EXPECT_FALSE(work.removeFolder(("C:\\" + kObjFolder + "keep").c_str()));
        EXPECT_EQ(work.failures(), 0);
        EXPECT_EQ(work.atRestart(), 3);
        work.summary("removed");
    }
    EXPECT_EQ(property("ORVELLA_RESTART"), "C:\\PTC\\wf5: C:\\" + lang + "orvbridgeResEng.dll");
    EXPECT_EQ(logLines("removed"),
              std::vector<std::string>{"test: removed: 1 file deleted, 2 files deleted at the next restart, 1 folder "
                                       "removed at the next restart"});
    EXPECT_TRUE(exists(lang + "orvbridgeResEng.dll"));
    machine().restart();
    EXPECT_EQ(filesBelow(kObjFolder, true),
              (std::map<std::string, std::string>{{"keep\\", "\\"}, {"keep\\host.txt", "host"}}));

    // Someone else's update waiting for the restart leaves its file in place:
    // a folder that holds it, with nothing of the add-in's doomed, stays.
    writeFile(kObjFolder + "patched\\ours.dll", "ours");
    writeFile(kObjFolder + "patched\\host.dll", "host");
    const std::string list = std::string("\\??\\C:\\Temp\\host.new") + '\0' + "!\\??\\C:\\" + kObjFolder +
                             "patched\\host.dll" + '\0' + '\0';
    machine().registry().setValue(sim::Machine::kSessionManagerKey, sim::Machine::kPendingRenames,
                                  sim::RegValue{7, {list.begin(), list.end()}});
    {
        ca::FileWork work(s, "C:\\PTC\\wf5");
        EXPECT_EQ(work.deleteFile(("C:\\" + kObjFolder + "patched\\ours.dll").c_str()).outcome, ca::FileOutcome::done);
        EXPECT_FALSE(work.removeFolder(("C:\\" + kObjFolder + "patched").c_str()));
        EXPECT_EQ(work.atRestart(), 0);
    }
    EXPECT_EQ(registryText(sim::Machine::kSessionManagerKey, sim::Machine::kPendingRenames), list);
}

TEST_F(FilesInUse, WhatCannotWaitForTheRestartFailsAsBefore)
{
    writeFile(kObjFolder + "orvbridge.dll", "old");
    writeFile("ProgramData\\orvbridge.dll", "new");
    const ca::Session s = caSession();
    // The source in use, not the target: a plain failure.
    machine().holdFile("C:\\ProgramData\\orvbridge.dll");
    {
        ca::FileWork work(s, "C:\\PTC\\wf5");
        EXPECT_EQ(work.copy("C:\\ProgramData\\orvbridge.dll", kModule.c_str()).outcome, ca::FileOutcome::failed);
        EXPECT_EQ(work.failures(), 1);
    }
    machine().releaseFiles();
    // A standard user may not schedule anything: the new file does not stay behind.
    machine().holdFile(kModule);
    machine().standardUser = true;
    {
        ca::FileWork work(s, "C:\\PTC\\wf5");
        EXPECT_EQ(work.copy("C:\\ProgramData\\orvbridge.dll", kModule.c_str()).outcome, ca::FileOutcome::failed);
        EXPECT_EQ(work.deleteFile(kModule.c_str()).outcome, ca::FileOutcome::failed);
        EXPECT_EQ(work.failures(), 2);
    }
    EXPECT_EQ(filesBelow(kObjFolder), (std::map<std::string, std::string>{{"orvbridge.dll", "old"}}));
    EXPECT_FALSE(machine().restartRequested());
    EXPECT_FALSE(hasProperty("ORVELLA_RESTART"));
    EXPECT_EQ(logLines("failed:"),
              (std::vector<std::string>{
                  "test: copy C:\\ProgramData\\orvbridge.dll to " + kModule +
                      " failed: error 32 (The process cannot access the file because it is being used by another "
                      "process.)",
                  "test: replace at the next restart: move " + kModule + ".~new1 to " + kModule +
                      " failed: error 5 (Access is denied.)",
                  "test: delete at the next restart: " + kModule + " failed: error 5 (Access is denied.)"}));

    // Every name a new file could wait under taken, or too long: the copy fails
    // as the held file answered, and what stands at those names stays.
    machine().standardUser = false;
    for (int n = 1; n <= 99; ++n) writeFile(kObjFolder + "orvbridge.dll.~new" + std::to_string(n), "someone's");
    const std::string deep = folderOfLength(253) + "\\a.dll";
    writeFile(deep.substr(3), "old");
    machine().holdFile(deep);
    machine().logMessages().clear();
    {
        ca::FileWork work(s, "C:\\PTC\\wf5");
        EXPECT_EQ(work.copy("C:\\ProgramData\\orvbridge.dll", kModule.c_str()).outcome, ca::FileOutcome::failed);
        EXPECT_EQ(work.copy("C:\\ProgramData\\orvbridge.dll", deep.c_str()).outcome, ca::FileOutcome::failed);
    }
    const auto files = filesBelow(kObjFolder);
    EXPECT_EQ(files.size(), 100u);
    for (const auto& [name, content] : files) EXPECT_EQ(content, name == "orvbridge.dll" ? "old" : "someone's") << name;
    EXPECT_EQ(readFile(deep.substr(3)), "old");
    const std::string inUse = " failed: error 32 (The process cannot access the file because it is being used by another process.)";
    EXPECT_EQ(logLines("failed:"),
              (std::vector<std::string>{"test: copy C:\\ProgramData\\orvbridge.dll to " + kModule + inUse,
                                        "test: copy C:\\ProgramData\\orvbridge.dll to " + deep + inUse}));
    EXPECT_FALSE(machine().restartRequested());
}

TEST_F(FilesInUse, AFailedRestartRequestIsLoggedAndTheFileStillWaits)
{
    writeFile(kObjFolder + "orvbridge.dll", "old");
    machine().holdFile(kModule);
    machine().faults().failAt(sim::Op::requestRestart, 1);
    const ca::Session s = caSession();
    ca::FileWork work(s);
    EXPECT_TRUE(work.deleteFile(kModule.c_str()).atRestart());
    EXPECT_FALSE(machine().restartRequested());
    EXPECT_EQ(property("ORVELLA_RESTART"), kModule);
    EXPECT_EQ(logLines("restart at the end"),
              std::vector<std::string>{"test: ask the installer for a restart at the end failed: error 5 (Access is denied.)"});
    // The first file to wait stays the one named, whatever waits after it for another host.
    const std::string other = "C:\\PTC\\wf4\\x86e_win64\\obj\\orvbridge.dll";
    writeFile("PTC\\wf4\\x86e_win64\\obj\\orvbridge.dll", "old");
    machine().holdFile(other);
    ca::FileWork later(s, "C:\\PTC\\wf4");
    EXPECT_TRUE(later.deleteFile(other.c_str()).atRestart());
    EXPECT_TRUE(machine().restartRequested());
    EXPECT_EQ(property("ORVELLA_RESTART"), kModule);
}

TEST_F(FilesInUse, TheChecksNameEachChosenHostWhoseFilesAreInUse)
{
    for (const std::string host : {"wf5", "wf4", "creo2", "browsed", "listed", "quiet"}) makeHost("PTC\\" + host, true);
    // Each host's file in use; the last is the host's own.
    for (const std::string held : {"wf5\\x86e_win64\\obj\\orvbridge.dll", "wf4\\text\\usascii\\resource\\open.png",
                                   "creo2\\x86e_win64\\obj\\Lang\\orvbridgeResEng.dll",
                                   "browsed\\x86e_win64\\obj\\Microsoft.VC90.CRT\\msvcr90.dll",
                                   "listed\\text\\ribbon\\OrvellaMenu.rbn", "quiet\\x86e_win64\\obj\\host.dll",
                                   "wf5\\text\\german\\ov_messages.txt", "wf5\\x86e_win64\\obj\\Lang\\OrvellaHelp.chm"}) {
        writeFile("PTC\\" + held, held);
        machine().holdFile("C:\\PTC\\" + held);
    }
    setProperties({{"FILESINUSE", "C:\\stale"}, {"PROEWF5", "1"}, {"PROEWF5DIR", "C:\\PTC\\wf5"}, {"PROEWF4", "0"},
                   {"PROEWF4DIR", "C:\\PTC\\wf4"}, {"CREO2", "1"}, {"CREO2DIR", "C:\\PTC\\creo2\\"},
                   {"PROEM1", "1"}, {"PROEM1DIR", "C:\\PTC\\browsed"}});
    run("checkProTKAccess");
    // Creo Parametric 2.0 comes first in the checks' order; Wildfire 4.0 is not chosen.
    EXPECT_EQ(property("FILESINUSE"), "C:\\PTC\\creo2\\; C:\\PTC\\wf5; C:\\PTC\\browsed");
    EXPECT_EQ(property("PROTK_WRITE"), "");
    EXPECT_EQ(logLines("C:\\PTC\\wf5: the add-in's"),
              std::vector<std::string>{"checkProTKAccess: C:\\PTC\\wf5: the add-in's C:\\PTC\\wf5\\x86e_win64\\obj\\"
                                       "orvbridge.dll (and 2 more) in use: replaced or deleted only at the next restart"});

    // The browsed folder counts only while its slot is chosen.
    setProperty("PROEM1", "0");
    run("checkProTKAccess");
    EXPECT_EQ(property("FILESINUSE"), "C:\\PTC\\creo2\\; C:\\PTC\\wf5");
    setProperty("PROEM1", "1");
    run("checkProTKAccess");

    // The listed installations add to it; a folder named already, in any case,
    // is not named twice, and a host's own file in use is no concern of the add-in's.
    setProperties({{"WFCUSTOM_DIR_ONE", "c:\\ptc\\WF5\\"}, {"PROE_VER_1", "1"}, {"WFCUSTOM_DIR_TWO", "C:\\PTC\\wf4"},
                   {"PROE_VER_2", "1"}, {"WFCUSTOM_DIR_THREE", "C:\\PTC\\listed"}, {"PROE_VER_3", "1"},
                   {"WFCUSTOM_DIR_FOUR", "C:\\PTC\\quiet"}, {"PROE_VER_4", "1"}});
    run("checkProEFolderAccessRights");
    EXPECT_EQ(property("FILESINUSE"), "C:\\PTC\\creo2\\; C:\\PTC\\wf5; C:\\PTC\\browsed; C:\\PTC\\wf4; C:\\PTC\\listed");

    // Nothing in use: the first check empties it, and it never stops the installation.
    machine().releaseFiles();
    run("checkProTKAccess");
    EXPECT_FALSE(hasProperty("FILESINUSE"));
    EXPECT_EQ(property("PROTK_WRITE"), "");
}

TEST_F(FilesInUse, AnInstallationAndARemovalWithTheHostRunningFinishAtTheRestart)
{
    makeWildfire4();
    writeFile("PTC\\wf4\\text\\protk.dat", "name Other\r\nend\r\n");
    const auto before = filesBelow("PTC\\wf4", true);
    const std::string module = "C:\\PTC\\wf4\\x86e_win64\\obj\\orvbridge.dll";
    const std::string language = "C:\\PTC\\wf4\\x86e_win64\\obj\\Lang\\orvbridgeResEng.dll";
    const auto install = [this] {
        stageAddIn();
        setProperties({{"WFCUSTOM_DIR_ONE", "C:\\PTC\\wf4"}, {"PROE_VER_1", "1"}});
        EXPECT_EQ(run("clearTempCommon"), 0u);
    };
    install();
    writeFile("PTC\\wf4\\x86e_win64\\obj\\orvbridge.dll", "the module the host runs");
    const auto installed = filesBelow("PTC\\wf4", true);

    // Installed again while the host runs: the new module waits, nothing fails.
    machine().holdFile(module);
    machine().holdFile(language);
    install();
    EXPECT_EQ(property("ORVELLA_INSTALL_ERROR"), "");
    EXPECT_EQ(property("ORVELLA_RESTART"), "C:\\PTC\\wf4: " + module);
    EXPECT_EQ(readFile("PTC\\wf4\\x86e_win64\\obj\\orvbridge.dll"), "the module the host runs");
    machine().restart();
    auto replaced = installed;
    replaced["x86e_win64\\obj\\orvbridge.dll"] = "proeWF4\\orvbridge.dll";
    EXPECT_EQ(filesBelow("PTC\\wf4", true), replaced);

    // Removed while the host runs: the host counts as clean, its record goes,
    // and what is in use goes at the restart, the language folder after it.
    machine().properties().clear();
    machine().holdFile(module);
    machine().holdFile(language);
    EXPECT_EQ(run("cleanupProEAuxAppInFile"), 0u);
    EXPECT_EQ(property("ORVELLA_REMOVE_ERROR"), "");
    EXPECT_EQ(property("ORVELLA_RESTART"), "C:\\PTC\\wf4: " + module);
    EXPECT_TRUE(machine().restartRequested());
    EXPECT_FALSE(machine().registry().value(ca::kProductKey, "WFCUSTOM_DIR_ONE"));
    EXPECT_TRUE(exists("PTC\\wf4\\x86e_win64\\obj\\Lang\\orvbridgeResEng.dll"));
    machine().restart();
    EXPECT_EQ(filesBelow("PTC\\wf4", true), before);
}

TEST_F(FilesInUse, WhatWaitsForTheRestartIsNeverUndoneByIt)
{
    const std::string lang = "C:\\" + kObjFolder + "Lang";
    writeFile(kObjFolder + "orvbridge.dll", "old");
    writeFile(kObjFolder + "Lang\\res.dll", "old res");
    writeFile("ProgramData\\v2.dll", "v2");
    writeFile("ProgramData\\res.dll", "new res");
    const ca::Session s = caSession();

    // Removed while the host ran; installed again once it was closed, before the restart.
    machine().holdFile(kModule);
    EXPECT_TRUE(ca::FileWork(s).deleteFile(kModule.c_str()).atRestart());
    machine().releaseFiles();
    {
        ca::FileWork work(s, "C:\\PTC\\wf5");
        const ca::FileResult copied = work.copy("C:\\ProgramData\\v2.dll", kModule.c_str());
        EXPECT_TRUE(copied.atRestart()) << "copied now, the deletion at the restart would take it";
        EXPECT_EQ(copied.waiting, kModule + ".~new1");
    }
    EXPECT_EQ(logLines("already").back(),
              "test: " + kModule + " has an operation waiting for the next restart already (host C:\\PTC\\wf5); the new "
              "file waits as " + kModule + ".~new1 and replaces it at the next restart, after that one");

    // Installed while the host ran; removed once it was closed, before the restart.
    machine().holdFile("C:\\" + kObjFolder + "Lang\\res.dll");
    EXPECT_TRUE(ca::FileWork(s).copy("C:\\ProgramData\\res.dll", (lang + "\\res.dll").c_str()).atRestart());
    machine().releaseFiles();
    {
        ca::FileWork work(s);
        EXPECT_TRUE(work.deleteFile((lang + "\\res.dll").c_str()).atRestart());
        EXPECT_FALSE(exists(kObjFolder + "Lang\\res.dll")) << "deleted now, and again after the restart's move";
        EXPECT_TRUE(work.removeFolder(lang.c_str())) << "what is left in it moves away at the restart";
    }
    machine().restart();
    EXPECT_EQ(filesBelow(kObjFolder, true), (std::map<std::string, std::string>{{"orvbridge.dll", "v2"}}));
}

TEST_F(FilesInUse, AnInstallationAfterARemovalThatWaitsKeepsNoBackupOfTheAddInsModule)
{
    makeWildfire4();
    writeFile("PTC\\wf4\\text\\protk.dat", "name Other\r\nend\r\n");
    const auto before = filesBelow("PTC\\wf4", true);
    const std::string module = "C:\\PTC\\wf4\\x86e_win64\\obj\\orvbridge.dll";
    const auto install = [this] {
        stageAddIn();
        machine().properties().clear();
        setProperties({{"WFCUSTOM_DIR_ONE", "C:\\PTC\\wf4"}, {"PROE_VER_1", "1"}});
        EXPECT_EQ(run("clearTempCommon"), 0u);
    };
    const auto remove = [this] {
        machine().properties().clear();
        EXPECT_EQ(run("cleanupProEAuxAppInFile"), 0u);
        EXPECT_EQ(property("ORVELLA_REMOVE_ERROR"), "");
    };

    // Removed with the host running, installed again (the host still running,
    // then closed) before the restart: the module that the restart deletes is
    // no host file to back up, so nothing fails and the new one waits.
    for (const bool held : {true, false}) {
        SCOPED_TRACE(held ? "installed again with the host running" : "installed again with the host closed");
        install();
        machine().holdFile(module);
        remove();
        if (!held) machine().releaseFiles();
        install();
        EXPECT_EQ(property("ORVELLA_INSTALL_ERROR"), "");
        EXPECT_EQ(property("ORVELLA_RESTART"), "C:\\PTC\\wf4: " + module);
        EXPECT_EQ(logLines("is deleted at the next restart").size(), 1u);
        EXPECT_TRUE(logLines("backed up").empty());
        machine().restart();
        EXPECT_EQ(readFile("PTC\\wf4\\x86e_win64\\obj\\orvbridge.dll"), "proeWF4\\orvbridge.dll");
        // The final removal leaves no module of the add-in behind as the host's.
        remove();
        machine().restart();
        EXPECT_EQ(filesBelow("PTC\\wf4", true), before);
        machine().logMessages().clear();
    }
}

// An earlier version's module that the running host holds cannot be read:
// it is taken in as the add-in's all the same, replaced at the restart, and
// the removal leaves the host as it was before any version came.
TEST_F(FilesInUse, AnEarlierVersionsModuleInUseIsTakenInAndReplacedAtTheRestart)
{
    makeWildfire4();
    writeFile("PTC\\wf4\\text\\protk.dat", "name Other\r\nend\r\n");
    const auto before = filesBelow("PTC\\wf4", true);
    const std::string module = "C:\\PTC\\wf4\\x86e_win64\\obj\\orvbridge.dll";
    stageAddIn();
    installEarlierVersion("PTC\\wf4", "WFCUSTOM_DIR_ONE", ca::kWildfire4);
    writeFile("PTC\\wf4\\x86e_win64\\obj\\orvbridge.dll", "the earlier version's module");
    machine().holdFile(module);
    setProperties({{"WFCUSTOM_DIR_ONE", "C:\\PTC\\wf4"}, {"PROE_VER_1", "1"}});
    EXPECT_EQ(run("clearTempCommon"), 0u);
    EXPECT_EQ(property("ORVELLA_INSTALL_ERROR"), "");
    EXPECT_EQ(property("ORVELLA_RESTART"), "C:\\PTC\\wf4: " + module);
    EXPECT_EQ(logLines("taken for the earlier version's"),
              std::vector<std::string>{"clearTempCommon: " + module + " is in use: taken for the earlier version's"});
    machine().restart();
    EXPECT_EQ(readFile("PTC\\wf4\\x86e_win64\\obj\\orvbridge.dll"), "proeWF4\\orvbridge.dll");

    machine().properties().clear();
    machine().holdFile(module);
    EXPECT_EQ(run("cleanupProEAuxAppInFile"), 0u);
    EXPECT_EQ(property("ORVELLA_REMOVE_ERROR"), "");
    machine().restart();
    // The runtime files a host may ship stay, as after any earlier version:
    // without its survey, whose they are cannot be told.
    auto expected = before;
    for (const std::string& shared : kSharedRuntimeFiles)
        expected[kObj + shared] = *readFile("PTC\\wf4\\" + kObj + shared);
    EXPECT_EQ(filesBelow("PTC\\wf4", true), expected);
    EXPECT_FALSE(exists("ProgramData\\Kestrane"));

    // A removal while the host runs and holds protk.dat too stops; the one
    // after the host closed finds the module unchanged and takes it away.
    installEarlierVersion("PTC\\wf4", "WFCUSTOM_DIR_ONE", ca::kWildfire4);
    machine().properties().clear();
    machine().holdFile(module);
    machine().holdFile("C:\\PTC\\wf4\\text\\protk.dat");
    EXPECT_EQ(run("cleanupProEAuxAppInFile"), 0u);
    EXPECT_NE(property("ORVELLA_REMOVE_ERROR"), "");
    machine().releaseFiles();
    machine().properties().clear();
    EXPECT_EQ(run("cleanupProEAuxAppInFile"), 0u);
    EXPECT_EQ(property("ORVELLA_REMOVE_ERROR"), "");
    EXPECT_EQ(filesBelow("PTC\\wf4", true), expected);
}
