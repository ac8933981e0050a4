// Removal by the hosts' footprints: exactly what the add-in wrote goes, what
// it replaced comes back, what the host added or changed since stays; the
// machines an earlier version installed; the cleanup actions.
#include "core/outcome.h"
#include "model/release_table.h"
#include "records/earlier_version.h"
#include "removal/tree_removal.h"
#include "sim_fixture.h"

using namespace ca;

namespace {
using Files = std::map<std::string, std::string>;  // folders map to "\\"
}

class RemovalTest : public SimTest {
protected:
    Files tree(const std::string& folder) { return filesBelow(folder, true); }
    // A Creo Parametric 2.0 host with files of its own, some of them where the add-in writes.
    Files makeCreoHost(const std::string& folder)
    {
        makeHost(folder);
        writeFile(folder + "\\x86e_win64\\obj\\host.dll", "host");
        writeFile(folder + "\\x86e_win64\\obj\\msvcr90.dll", "the host's runtime");
        writeFile(folder + "\\text\\usascii\\menu_def.pro", "host");
        writeFile(folder + "\\text\\usascii\\resource\\host.png", "the host's icon");
        writeFile(folder + "\\text\\ribbon\\default.rbn", "host");
        writeFile(folder + "\\text\\german\\host.txt", "host");
        writeFile(folder + "\\text\\protk.dat", "name OtherTool\r\nend\r\n");
        return tree(folder);
    }
    // The backup folders that hold something, below the product's own folder.
    std::vector<std::string> backups()
    {
        std::vector<std::string> files;
        for (const auto& [name, content] : filesBelow("ProgramData\\Kestrane"))
            files.push_back(name);
        return files;
    }
    std::optional<Footprint> footprintOf(const std::string& folder)
    {
        Footprint footprint;
        if (readFootprint(caSession(), folder, footprint) != Found::yes) return std::nullopt;
        return footprint;
    }
};

TEST_F(RemovalTest, FoldersAreEmptiedButOnlyRemovedWhenNothingIsLeft)
{
    writeFile("only\\a.txt");
    writeFile("mixed\\a.txt");
    writeFile("mixed\\sub\\c.txt");
    machine().setCurrentDirectory("C:\\mixed");
    EXPECT_EQ(emptyAndRemoveFolder(caSession(), "C:\\only"), 0);
    EXPECT_EQ(emptyAndRemoveFolder(caSession(), "C:\\mixed"), 0);
    EXPECT_FALSE(exists("only"));
    EXPECT_EQ(tree("mixed"), (Files{{"sub\\", "\\"}, {"sub\\c.txt", ""}}));
    // A folder that stays, and the listing's "." and "..", are no file to
    // delete: the one failed call is the current folder's removal.
    EXPECT_EQ(logLines("failed"), (std::vector<std::string>{"test: remove folder C:\\mixed failed: error 32 (The process "
                                                            "cannot access the file because it is being used by another "
                                                            "process.)"}));
    // A folder that is not there has nothing to empty, and an empty text names
    // no folder (the current one stays untouched): neither is a failed call.
    writeFile("mixed\\d.txt");
    const std::size_t logged = machine().logMessages().size();
    EXPECT_EQ(emptyAndRemoveFolder(caSession(), "C:\\missing"), 3);
    EXPECT_EQ(emptyAndRemoveFolder(caSession(), ""), 3);
    for (std::size_t n = logged; n < machine().logMessages().size(); ++n)
        EXPECT_EQ(machine().logMessages()[n].find("error"), std::string::npos) << machine().logMessages()[n];
    EXPECT_TRUE(exists("mixed\\d.txt"));
    EXPECT_EQ(machine().currentDirectory(), "C:\\mixed");
}

TEST_F(RemovalTest, RemovalUndoesExactlyTheFootprintWhateverTheHostDidSince)
{
    stageAddIn();
    Files expected = makeCreoHost("PTC\\creo2");
    deployAndRegister("C:\\PTC\\creo2", kCreo2);
    ASSERT_EQ(readFile("PTC\\creo2\\x86e_win64\\obj\\msvcr90.dll"), "msvcr90.dll");
    ASSERT_EQ(readFile("PTC\\creo2\\text\\usascii\\resource\\open.png"), "text\\resource\\open.png");
    const auto footprint = footprintOf("C:\\PTC\\creo2");
    ASSERT_TRUE(footprint);
    const FootprintItem* runtime = const_cast<Footprint&>(*footprint).findFile("x86e_win64\\obj\\msvcr90.dll");
    ASSERT_TRUE(runtime && runtime->mark == Mark::replaced);
    EXPECT_TRUE(const_cast<Footprint&>(*footprint).find(Mark::folder, "x86e_win64\\obj\\Lang"));
    EXPECT_FALSE(const_cast<Footprint&>(*footprint).find(Mark::folder, "text\\german")) << "the host's folder";
    EXPECT_EQ(backups().size(), 1u);

    // A repair writes the same again: the backup keeps the host's copy, not the add-in's.
    deployAndRegister("C:\\PTC\\creo2\\", kCreo2);
    EXPECT_EQ(footprintOf("C:\\PTC\\creo2")->lines(), footprint->lines());
    EXPECT_EQ(readFile("ProgramData\\Kestrane\\" + backups().at(0)), "the host's runtime");

    // The host changes: a patch adds files in the add-in's folders, a reinstall
    // brings its own new libpng13.dll, and someone edits the add-in's messages.
    writeFile("PTC\\creo2\\text\\usascii\\resource\\patch.png", "patch");
    writeFile("PTC\\creo2\\x86e_win64\\obj\\Lang\\patch.dll", "patch");
    writeFile("PTC\\creo2\\x86e_win64\\obj\\libpng13.dll", "the host's libpng");
    writeFile("PTC\\creo2\\text\\usascii\\ov_messages.txt", "edited");
    std::filesystem::remove(onC("PTC/creo2/text/usascii/resource/open.png"));
    writeFile("PTC\\creo2\\text\\usascii\\resource\\open.png\\mine.txt", "mine");
    expected["text\\usascii\\resource\\open.png\\"] = "\\";
    expected["text\\usascii\\resource\\open.png\\mine.txt"] = "mine";
    expected["text\\usascii\\resource\\patch.png"] = "patch";
    expected["x86e_win64\\obj\\Lang\\"] = "\\";
    expected["x86e_win64\\obj\\Lang\\patch.dll"] = "patch";
    expected["x86e_win64\\obj\\libpng13.dll"] = "the host's libpng";
    expected["text\\usascii\\ov_messages.txt"] = "edited";

    const RemovalOutcome outcome = removeDeployments();
    EXPECT_TRUE(outcome.unfinished.empty());
    EXPECT_EQ(tree("PTC\\creo2"), expected);
    EXPECT_EQ(readFile("PTC\\creo2\\text\\protk.dat"), "name OtherTool\r\nend\r\n");
    EXPECT_FALSE(footprintOf("C:\\PTC\\creo2"));
    EXPECT_FALSE(exists("ProgramData\\Kestrane")) << "the backup folder goes with the last backup";
    EXPECT_FALSE(logLines("C:\\PTC\\creo2\\text\\usascii\\ov_messages.txt changed since the add-in wrote it").empty());
    // A folder now where the add-in wrote a file is someone's: it stays, and is no failure.
    EXPECT_FALSE(logLines("C:\\PTC\\creo2\\text\\usascii\\resource\\open.png changed since the add-in wrote it").empty());
    // Nothing is left to do the second time.
    EXPECT_EQ(removeDeployments().undone, 0);
    EXPECT_EQ(tree("PTC\\creo2"), expected);
}

// The backup follows the host's latest copy of a file the add-in replaced: a
// host patch over the add-in's copy is what a repair backs up, in the same
// backup, and what the removal puts back; a copy someone deleted takes its
// backup with it. Either way no backup is left behind.
TEST_F(RemovalTest, ABackupFollowsTheHostsLatestCopyAndNoneIsLeft)
{
    stageAddIn();
    Files expected = makeCreoHost("PTC\\creo2");
    deployAndRegister("C:\\PTC\\creo2", kCreo2);
    writeFile("PTC\\creo2\\x86e_win64\\obj\\msvcr90.dll", "the host's patched runtime");
    deployAndRegister("C:\\PTC\\creo2", kCreo2);
    ASSERT_EQ(backups().size(), 1u);
    EXPECT_EQ(readFile("ProgramData\\Kestrane\\" + backups().at(0)), "the host's patched runtime");
    EXPECT_TRUE(removeDeployments().unfinished.empty());
    expected["x86e_win64\\obj\\msvcr90.dll"] = "the host's patched runtime";
    EXPECT_EQ(tree("PTC\\creo2"), expected);
    EXPECT_FALSE(exists("ProgramData\\Kestrane"));

    // A repair that cannot back up a second patch leaves it in place, and the footprint keeps the backup
    // it had: the removal leaves the patch, and no backup behind.
    deployAndRegister("C:\\PTC\\creo2", kCreo2);
    writeFile("PTC\\creo2\\x86e_win64\\obj\\msvcr90.dll", "the host's second patch");
    machine().faults().resetCounts();
    machine().faults().failAt(sim::Op::copyFile, 1);
    deployAndRegister("C:\\PTC\\creo2", kCreo2);
    machine().faults().clear();
    EXPECT_EQ(readFile("PTC\\creo2\\x86e_win64\\obj\\msvcr90.dll"), "the host's second patch");
    ASSERT_EQ(backups().size(), 1u);
    EXPECT_EQ(readFile("ProgramData\\Kestrane\\" + backups().at(0)), "the host's patched runtime");
    removeDeployments();
    expected["x86e_win64\\obj\\msvcr90.dll"] = "the host's second patch";
    EXPECT_EQ(tree("PTC\\creo2"), expected);
    EXPECT_FALSE(exists("ProgramData\\Kestrane"));
    EXPECT_FALSE(footprintOf("C:\\PTC\\creo2"));
    writeFile("PTC\\creo2\\x86e_win64\\obj\\msvcr90.dll", "the host's patched runtime");

    deployAndRegister("C:\\PTC\\creo2", kCreo2);
    std::filesystem::remove(onC("PTC/creo2/x86e_win64/obj/msvcr90.dll"));
    EXPECT_TRUE(removeDeployments().unfinished.empty());
    expected.erase("x86e_win64\\obj\\msvcr90.dll");
    EXPECT_EQ(tree("PTC\\creo2"), expected);
    EXPECT_FALSE(exists("ProgramData\\Kestrane"));

    // A product folder above the backups that cannot go now (the current
    // folder of the process) stays named, and the next removal takes it.
    writeFile("PTC\\creo2\\x86e_win64\\obj\\msvcr90.dll", "the host's runtime");
    deployAndRegister("C:\\PTC\\creo2", kCreo2);
    ASSERT_EQ(backups().size(), 1u);
    machine().setCurrentDirectory("C:\\ProgramData\\Kestrane\\Orvella");
    removeDeployments();
    expected["x86e_win64\\obj\\msvcr90.dll"] = "the host's runtime";
    EXPECT_EQ(tree("PTC\\creo2"), expected);
    EXPECT_TRUE(exists("ProgramData\\Kestrane\\Orvella"));
    machine().setCurrentDirectory("C:\\");
    // With the staging area cleared, the product's folder is all ALLUSERSPROFILE holds; that one stays.
    for (const auto& staged : std::filesystem::directory_iterator(onC("ProgramData")))
        if (staged.path().filename() != "Kestrane") std::filesystem::remove_all(staged.path());
    removeDeployments();
    EXPECT_FALSE(exists("ProgramData\\Kestrane"));
    EXPECT_TRUE(exists("ProgramData"));
    EXPECT_FALSE(footprintOf("C:\\PTC\\creo2"));

    // A host copy that cannot be put back keeps its backup, and the backup
    // folder is left to the next removal without a word about others' files.
    stageAddIn();
    deployAndRegister("C:\\PTC\\creo2", kCreo2);
    machine().faults().resetCounts();
    machine().faults().failAt(sim::Op::copyFile, 1);
    EXPECT_FALSE(removeDeployments().unfinished.empty());
    machine().faults().clear();
    ASSERT_EQ(backups().size(), 1u);
    EXPECT_EQ(readFile("ProgramData\\Kestrane\\" + backups().at(0)), "the host's runtime");
    EXPECT_EQ(logLines("no backup of this footprint"), std::vector<std::string>{});
    EXPECT_TRUE(removeDeployments().unfinished.empty());
    EXPECT_EQ(tree("PTC\\creo2"), expected);
    EXPECT_FALSE(exists("ProgramData\\Kestrane"));
    EXPECT_FALSE(footprintOf("C:\\PTC\\creo2"));

    // So does an emptied backup folder that cannot go now.
    deployAndRegister("C:\\PTC\\creo2", kCreo2);
    const std::string folder = footprintOf("C:\\PTC\\creo2")->backups();
    machine().setCurrentDirectory(folder);
    EXPECT_FALSE(removeDeployments().unfinished.empty());
    EXPECT_EQ(tree("PTC\\creo2"), expected);
    ASSERT_TRUE(footprintOf("C:\\PTC\\creo2"));
    EXPECT_EQ(footprintOf("C:\\PTC\\creo2")->backups(), folder);
    machine().setCurrentDirectory("C:\\");
    EXPECT_TRUE(removeDeployments().unfinished.empty());
    EXPECT_FALSE(exists("ProgramData\\Kestrane"));
    EXPECT_FALSE(footprintOf("C:\\PTC\\creo2"));
}

// A protk.dat that the add-in created goes with its entry, and nothing of
// that host is left to remember: a mark kept would make the next removal
// take the host's own protk.dat for the add-in's.
TEST_F(RemovalTest, AProtkDatTheAddInCreatedGoesWithItsFootprint)
{
    stageAddIn();
    makeHost("PTC\\creo2", true);
    const Files before = tree("PTC\\creo2");
    deployAndRegister("C:\\PTC\\creo2", kCreo2);
    ASSERT_TRUE(exists("PTC\\creo2\\text\\protk.dat"));
    ASSERT_TRUE(footprintOf("C:\\PTC\\creo2")->has(Mark::registration));
    EXPECT_TRUE(removeDeployments().unfinished.empty());
    EXPECT_EQ(tree("PTC\\creo2"), before);
    EXPECT_FALSE(footprintOf("C:\\PTC\\creo2"));
}

TEST_F(RemovalTest, AHostFileIsNeverOverwrittenWithoutItsBackup)
{
    stageAddIn();
    const Files before = makeCreoHost("PTC\\creo2");
    // Where the backup must go stands a file: no backup, so no overwrite.
    writeFile("ProgramData\\Kestrane", "in the way");
    deployAndRegister("C:\\PTC\\creo2", kCreo2);
    EXPECT_EQ(readFile("PTC\\creo2\\x86e_win64\\obj\\msvcr90.dll"), "the host's runtime");
    EXPECT_TRUE(exists("PTC\\creo2\\x86e_win64\\obj\\orvbridge.dll"));
    EXPECT_NE(property(kInstallErrorProperty).find("C:\\PTC\\creo2: "), std::string::npos);
    // The footprint says nothing of the host's file that stayed.
    const auto footprint = footprintOf("C:\\PTC\\creo2");
    ASSERT_TRUE(footprint);
    EXPECT_FALSE(const_cast<Footprint&>(*footprint).findFile("x86e_win64\\obj\\msvcr90.dll"));
    std::filesystem::remove(onC("ProgramData\\Kestrane"));
    removeDeployments();
    EXPECT_EQ(tree("PTC\\creo2"), before);
}

TEST_F(RemovalTest, AnEarlierVersionsHostsAreTakenIntoFootprintsOnce)
{
    stageAddIn();
    Files survivors = makeCreoHost("PTC\\old");
    installEarlierVersion("PTC\\old", "WFCUSTOM_DIR_ONE");
    // What the earlier version's staging held that this build no longer has.
    writeFile("PTC\\old\\text\\usascii\\resource\\old.png", "earlier");
    setProperty("PROEM1DIR", "");
    EXPECT_EQ(cleanupProEAuxAppInFile(session()), 0u);
    // Its own files go, the language folders too; the runtime files a host
    // may ship stay: with no footprint, whose they are cannot be told. The
    // resources went into the add-in's folder, which goes with them.
    for (const std::string& shared : kSharedRuntimeFiles)
        survivors[kObj + shared] = *readFile("PTC\\old\\" + kObj + shared);
    survivors.erase("text\\usascii\\resource\\host.png");
    survivors.erase("text\\usascii\\resource\\");
    EXPECT_EQ(tree("PTC\\old"), survivors);
    EXPECT_EQ(readFile("PTC\\old\\text\\protk.dat"), "name OtherTool\r\nend\r\n");
    EXPECT_EQ(productValues(), (std::map<std::string, std::string>{{"Footprints", std::string("1\0", 2)}}));

    // A repair on such a machine leaves a footprint from which the final removal is complete.
    Files kept = makeCreoHost("PTC\\old2");
    installEarlierVersion("PTC\\old2", "WFCUSTOM_DIR_TWO");
    writeFile("PTC\\old2\\text\\usascii\\resource\\old.png", "earlier");
    ASSERT_TRUE(adoptEarlierVersion(caSession(), addInManifest(), Moment::installing, [](std::string_view) { return false; }));
    deployAndRegister("C:\\PTC\\old2", kCreo2);
    EXPECT_TRUE(footprintOf("C:\\PTC\\old2")->earlier());
    EXPECT_EQ(removeDeployments().unfinished.size(), 0u);
    for (const auto& [name, content] : tree("PTC\\old2"))
        if (!kept.count(name)) kept[name] = content;  // the shared runtime files, as they were
    kept.erase("text\\usascii\\resource\\host.png");
    kept.erase("text\\usascii\\resource\\");
    kept["x86e_win64\\obj\\msvcr90.dll"] = "msvcr90.dll";  // what the earlier version left there came back
    EXPECT_EQ(tree("PTC\\old2"), kept);
    EXPECT_FALSE(exists("PTC\\old2\\x86e_win64\\obj\\orvbridge.dll"));
    EXPECT_FALSE(exists("PTC\\old2\\text\\usascii\\resource\\old.png"));
    EXPECT_FALSE(exists("ProgramData\\Kestrane"));
}

TEST_F(RemovalTest, ADevelopmentBuildsSurveyTellsWhatWasTheHosts)
{
    stageAddIn();
    makeFolder("PTC\\dev\\x86e_win64\\obj\\Lang");
    Files before = makeCreoHost("PTC\\dev");
    installEarlierVersion("PTC\\dev", "WFCUSTOM_DIR_ONE");
    // The survey holds its places lower-cased; the add-in names them as the host does.
    std::string had;
    for (const char* place : {"x86e_win64\\obj\\msvcr90.dll", "x86e_win64\\obj\\lang\\",
                              "text\\usascii\\resource\\host.png", "text\\usascii\\resource\\"})
        had.append(place).push_back('\0');
    had.push_back('\0');
    machine().registry().setValue(kProductKey, "Before c:\\ptc\\dev", {7, {had.begin(), had.end()}});
    EXPECT_EQ(cleanupProEAuxAppInFile(session()), 0u);
    // The host had msvcr90.dll (the development build overwrote it) and the
    // empty language folder; the rest of the runtime was the add-in's.
    before["x86e_win64\\obj\\msvcr90.dll"] = "msvcr90.dll";
    EXPECT_EQ(tree("PTC\\dev"), before);
    EXPECT_EQ(productValues().count("Before c:\\ptc\\dev"), 0u);
}

TEST_F(RemovalTest, EachRemovalActionTakesItsOwnDomainAndNoneTouchesAHostThatKeepsItsEntry)
{
    stageAddIn();
    setProperty("ALLUSERSPROFILE", "C:\\ProgramData");
    // A command-line installation into a Wildfire 5.0 folder without the host,
    // which gets the entry, the resources and the private runtime.
    makeFolder("PTC\\wf5\\text\\usascii");
    makeFolder("PTC\\wf5\\x86e_win64\\obj");
    writeFile("PTC\\wf5\\text\\protk.dat", "name OtherTool\r\nend\r\n");
    const Files before = tree("PTC\\wf5");
    setProperties({{"ISCMDINSTALL", "1"}, {"PROEM1", "0"}, {"PROEWF5", "1"}, {"PROEWF5DIR", "C:\\PTC\\wf5\\"},
                   {"USASCIIM1", "C:\\ProgramData\\text\\"}});
    for (const char* action : {"addCMDEntriesInProtFile", "copyCMDresourcetoUSASCII", "clearTempCommon"})
        run(action);
    ASSERT_EQ(property(kInstallErrorProperty), "");
    ASSERT_TRUE(exists("PTC\\wf5\\x86e_win64\\obj\\Microsoft.VC90.CRT\\msvcr90.dll"));
    ASSERT_TRUE(exists("PTC\\wf5\\text\\usascii\\resource\\open.png"));

    // Before the entry is out, the other two leave the host alone, and say so.
    EXPECT_EQ(cleanCmdResources(session()), 0u);
    EXPECT_EQ(cleanupDependancies(session()), 0u);
    EXPECT_TRUE(exists("PTC\\wf5\\text\\usascii\\resource\\open.png"));
    EXPECT_TRUE(exists("PTC\\wf5\\x86e_win64\\obj\\Microsoft.VC90.CRT\\msvcr90.dll"));
    EXPECT_EQ(property(kRemoveErrorProperty).rfind("C:\\PTC\\wf5\\: C:\\PTC\\wf5\\text\\protk.dat still holds", 0), 0u);
    setProperty(kRemoveErrorProperty, "");

    EXPECT_EQ(cleanupProEAuxAppInFile(session()), 0u);
    EXPECT_TRUE(exists("PTC\\wf5\\text\\usascii\\resource\\open.png")) << "the resources are cleanCmdResources'";
    EXPECT_EQ(cleanCmdResources(session()), 0u);
    EXPECT_FALSE(exists("PTC\\wf5\\text\\usascii\\resource"));
    EXPECT_EQ(cleanupDependancies(session()), 1u);
    EXPECT_EQ(cleanupDependancies(session()), 0u) << "nothing left";
    EXPECT_EQ(tree("PTC\\wf5"), before);
    EXPECT_EQ(property(kRemoveErrorProperty), "");
    for (const auto& [name, value] : productValues()) EXPECT_EQ(name.rfind("Footprint ", 0), std::string::npos) << name;
}

TEST_F(RemovalTest, AnEarlierVersionsReleaseFoldersLoseTheirResourcesAndRuntime)
{
    for (const std::string& file : kKeptRuntime) writeFile("PTC\\wf5\\x86e_win64\\obj\\" + file.substr(8), "runtime");
    makeHost("PTC\\real5");
    writeFile("PTC\\real5\\x86e_win64\\obj\\Microsoft.VC100\\mfc100.dll", "the host's");
    writeFile("PTC\\creo1\\text\\usascii\\resource\\open.png");
    writeFile("PTC\\creo1\\text\\usascii\\menu_def.pro");
    writeFile("text\\usascii\\resource\\root.png");  // what an empty record would reach
    auto& registry = machine().registry();
    EXPECT_EQ(cleanupDependancies(session()), 0u) << "no product key";
    registry.setString(kProductKey, "Install_WF5_dir", "C:\\PTC\\wf5");
    registry.setString(kProductKey, "Install_WF4_dir", "C:\\PTC\\real5\\");
    registry.setString(kProductKey, "Install_CREO1_dir", "C:\\PTC\\creo1\\");
    registry.setString(kProductKey, "Install_CREO2_dir", "");
    // A release folder that holds the entry got the module from the package: it goes with the entry.
    makeHost("PTC\\wf3");
    writeFile("PTC\\wf3\\text\\protk.dat", "name OtherTool\r\nend\r\n" + kRelativeEntry);
    writeFile("PTC\\wf3\\x86e_win64\\obj\\orvbridge.dll", "module");
    setProperty("PROEWF3DIR", "C:\\PTC\\wf3");
    // Until their entries are out (there may be one), the hosts keep everything.
    EXPECT_EQ(cleanupDependancies(session()), 0u);
    EXPECT_TRUE(exists("PTC\\wf5\\x86e_win64\\obj\\Microsoft.VC100\\mfc100.dll"));
    setProperty(kRemoveErrorProperty, "");
    EXPECT_EQ(cleanupProEAuxAppInFile(session()), 0u);
    EXPECT_EQ(tree("PTC\\wf3"), (Files{{"text\\", "\\"},
                                     {"text\\protk.dat", "name OtherTool\r\nend\r\n"},
                                     {"x86e_win64\\", "\\"},
                                     {"x86e_win64\\obj\\", "\\"},
                                     {"x86e_win64\\obj\\xtop.exe", "MZ"}}));
    EXPECT_EQ(cleanupDependancies(session()), 1u);
    // The runtime folders go, and the folders above them once empty, as that
    // version's removal took them; the folder itself is the one the command line named.
    EXPECT_TRUE(exists("PTC\\wf5"));
    EXPECT_EQ(tree("PTC\\wf5"), Files{});
    EXPECT_TRUE(exists("PTC\\real5\\x86e_win64\\obj\\Microsoft.VC100\\mfc100.dll")) << "a host's runtime stays";
    EXPECT_EQ(cleanCmdResources(session()), 0u);
    EXPECT_EQ(tree("PTC\\creo1"), (Files{{"text\\", "\\"}, {"text\\usascii\\", "\\"}, {"text\\usascii\\menu_def.pro", ""}}));
    EXPECT_TRUE(exists("text\\usascii\\resource\\root.png"));
    EXPECT_EQ(property(kRemoveErrorProperty), "");
    EXPECT_EQ(productValues().size(), 5u) << "the release records stay, and the mark";
}

// A file item remembers the last eight contents the add-in wrote there: the
// oldest of them is still the add-in's, one written before them is not.
TEST_F(RemovalTest, AFileHoldingOneOfTheLastEightContentsWrittenIsTheAddIns)
{
    stageAddIn();
    makeHost("PTC\\wf4", true);
    const std::string place = "PTC\\wf4\\x86e_win64\\obj\\OvConnector.dll";
    for (const int writes : {8, 9}) {
        for (int n = 1; n <= writes; ++n) {
            writeFile("ProgramData\\OvConnector.dll", "release " + std::to_string(n));
            deployAndRegister("C:\\PTC\\wf4", kWildfire4);
        }
        ASSERT_EQ(readFile(place), "release " + std::to_string(writes));
        writeFile(place, "release 1");
        EXPECT_TRUE(removeDeployments().unfinished.empty());
        EXPECT_EQ(exists(place), writes == 9) << writes << " contents written";
        std::filesystem::remove(onC("PTC/wf4/x86e_win64/obj/OvConnector.dll"));
    }
}

// An earlier version's host named in different cases by its record and by a
// folder whose protk.dat holds the entry is one host: what each says of it
// goes into its one footprint.
TEST_F(RemovalTest, AnEarlierHostNamedInAnotherCaseIsOneHost)
{
    stageAddIn();
    makeCreoHost("PTC\\old");
    installEarlierVersion("PTC\\old", "Install_CREO2_dir");
    setProperty("CREO2DIR", "c:\\ptc\\OLD");
    ASSERT_TRUE(adoptEarlierVersion(caSession(), addInManifest(), Moment::removing,
                                    [](std::string_view folder) { return folder == "c:\\ptc\\OLD"; }));
    auto footprint = footprintOf("C:\\PTC\\old");
    ASSERT_TRUE(footprint);
    EXPECT_TRUE(footprint->findFile("x86e_win64\\obj\\orvbridge.dll"));   // as the entry says
    EXPECT_TRUE(footprint->findFile("text\\usascii\\resource\\host.png"));  // as the record says
    const auto values = productValues();
    EXPECT_EQ(std::count_if(values.begin(), values.end(),
                            [](const auto& value) { return value.first.starts_with("Footprint "); }),
              1);
}

// A removal on a machine the add-in never reached creates nothing; the first
// installation marks it as keeping footprints at once.
TEST_F(RemovalTest, AMachineTheAddInNeverReachedIsMarkedByItsFirstInstallation)
{
    const auto none = [](std::string_view) { return false; };
    ASSERT_TRUE(adoptEarlierVersion(caSession(), addInManifest(), Moment::removing, none));
    EXPECT_FALSE(machine().registry().findKey(kProductKey));
    ASSERT_TRUE(adoptEarlierVersion(caSession(), addInManifest(), Moment::installing, none));
    EXPECT_EQ(productValues(), (std::map<std::string, std::string>{{"Footprints", std::string("1\0", 2)}}));
}

// A footprint this version cannot read tells nothing of what the add-in wrote:
// its host is neither written into nor removed from. A backup that is gone
// leaves the add-in's copy; a stranger in the backup folder keeps the folder.
TEST_F(RemovalTest, WhatTheFootprintCannotTellIsLeftAsItStands)
{
    stageAddIn();
    const Files host = makeCreoHost("PTC\\creo2");
    const std::string value = "Footprint C:\\PTC\\creo2";
    const std::string notOurs = std::string("a later format\0host\tC:\\PTC\\creo2\0\0", 34);
    for (const sim::RegValue& unreadable : {sim::RegValue{1, {'C', ':', '\\', 0}},
                                             sim::RegValue{7, {notOurs.begin(), notOurs.end()}}}) {
        machine().registry().setValue(kProductKey, value, unreadable);
        setProperties({{kInstallErrorProperty, ""}, {kRemoveErrorProperty, ""}});
        deployAndRegister("C:\\PTC\\creo2", kCreo2);
        EXPECT_EQ(tree("PTC\\creo2"), host);
        // The deployment and the resources each stop at it.
        const std::string failure = "C:\\PTC\\creo2: HKLM\\Software\\Kestrane\\Orvella\\" + value +
                                    " could not be read (error 87: The parameter is incorrect.)";
        EXPECT_EQ(property(kInstallErrorProperty), failure + " (and 1 more: see the installer log)");
        const RemovalOutcome outcome = removeDeployments();
        EXPECT_EQ(outcome.unfinished, std::vector<std::string>{"C:\\PTC\\creo2"});
        EXPECT_EQ(logLines("C:\\PTC\\creo2 left as it is: its footprint cannot be read").size(), 1u);
        EXPECT_EQ(logLines("read " + value + " of HKLM\\Software\\Kestrane\\Orvella: " +
                           (unreadable.type == 1 ? "not a REG_MULTI_SZ value" : "not a footprint this version can read"))
                      .size(),
                  3u) << "the deployment, the resources and the removal each read it";
        EXPECT_EQ(property(kRemoveErrorProperty), failure);
        EXPECT_EQ(machine().registry().value(kProductKey, value)->data, unreadable.data);
        machine().logMessages().clear();
    }
    machine().registry().deleteValue(kProductKey, value);

    deployAndRegister("C:\\PTC\\creo2", kCreo2);
    ASSERT_EQ(backups().size(), 1u);
    const std::string backup = "ProgramData\\Kestrane\\" + backups().at(0);
    std::filesystem::remove(onC(backup));
    EXPECT_TRUE(removeDeployments().unfinished.empty());
    Files expected = host;
    expected["x86e_win64\\obj\\msvcr90.dll"] = "msvcr90.dll";
    EXPECT_EQ(tree("PTC\\creo2"), expected);
    EXPECT_EQ(logLines("the host's copy of C:\\PTC\\creo2\\x86e_win64\\obj\\msvcr90.dll is gone from C:\\" + backup +
                       ": the add-in's copy stays").size(),
              1u);
    EXPECT_FALSE(footprintOf("C:\\PTC\\creo2"));

    writeFile("PTC\\creo2\\x86e_win64\\obj\\msvcr90.dll", "the host's runtime");
    deployAndRegister("C:\\PTC\\creo2", kCreo2);
    const std::string folder = backup.substr(0, backup.rfind('\\'));
    writeFile(folder + "\\notes.txt", "a stranger's");
    EXPECT_TRUE(removeDeployments().unfinished.empty());
    EXPECT_EQ(tree("PTC\\creo2"), host);
    EXPECT_EQ(filesBelow("ProgramData\\Kestrane"), (Files{{folder.substr(21) + "\\notes.txt", "a stranger's"}}));
    EXPECT_EQ(logLines(" holds files that are no backup of this footprint: it stays").size(), 1u);
}

// The host reads no UTF-16 protk.dat as naming the add-in, so a host that has
// one was never the earlier version's, whatever its files are called.
TEST_F(RemovalTest, AHostWithAWideProtkDatIsNoEarlierVersionsHost)
{
    stageAddIn();
    makeCreoHost("PTC\\old");
    installEarlierVersion("PTC\\old", "WFCUSTOM_DIR_ONE");
    makeHost("PTC\\wide", true);
    const std::string name = "name Orvella\r\n";
    std::string wide = "\xFF\xFE";
    for (const char c : name) wide += std::string{c, '\0'};
    writeFile("PTC\\wide\\text\\protk.dat", wide);
    writeFile("PTC\\wide\\" + kObj + "orvbridge.dll", "the host's module");
    writeFile("PTC\\wide\\" + kObj + "OvConnector.dll", "the host's connector");
    const Files before = tree("PTC\\wide");
    setProperty("PROEWF4DIR", "C:\\PTC\\wide");
    EXPECT_EQ(cleanupProEAuxAppInFile(session()), 0u);
    EXPECT_EQ(cleanCmdResources(session()), 0u);
    EXPECT_EQ(tree("PTC\\wide"), before);
    EXPECT_FALSE(footprintOf("C:\\PTC\\wide"));
}

// After an earlier version, a folder that any folder property of this run
// names, and whose protk.dat holds the entry, is one of its hosts.
TEST_F(RemovalTest, AnEarlierVersionsHostNamedByAnyFolderPropertyIsFound)
{
    std::vector<std::string> names{"PROEM1DIR"};
    for (const ReleaseSlot& slot : kReleaseSlots) names.push_back(slot.folderProperty);
    for (const char* n : {"ONE", "TWO", "THREE", "FOUR", "FIVE", "SIX", "SEVEN", "EIGHT"})
        names.push_back(std::string("WFCUSTOM_DIR_") + n);
    for (const std::string& name : names) {
        makeHost("h\\" + name, true);
        writeFile("h\\" + name + "\\text\\protk.dat", "name Other\r\n" + kRelativeEntry);
        writeFile("h\\" + name + "\\" + kObj + "orvbridge.dll", "module");
        setProperty(name, "C:\\h\\" + name);
    }
    // Once footprints are kept, a file beside a host's entry is the add-in's
    // only where a footprint says so: the entry goes, the file stays.
    machine().registry().setString(kProductKey, "Footprints", "1");
    EXPECT_EQ(cleanupProEAuxAppInFile(session()), 0u);
    for (const std::string& name : names) {
        EXPECT_EQ(readFile("h\\" + name + "\\" + kObj + "orvbridge.dll"), "module") << name;
        writeFile("h\\" + name + "\\text\\protk.dat", "name Other\r\n" + kRelativeEntry);
    }

    machine().registry().deleteValue(kProductKey, "Footprints");
    machine().registry().setString(kProductKey, "Install_WF5_dir", "");
    EXPECT_EQ(cleanupProEAuxAppInFile(session()), 0u);
    for (const std::string& name : names)
        EXPECT_EQ(tree("h\\" + name), (Files{{"text\\", "\\"},
                                             {"text\\protk.dat", "name Other\r\n"},
                                             {"x86e_win64\\", "\\"},
                                             {"x86e_win64\\obj\\", "\\"},
                                             {"x86e_win64\\obj\\xtop.exe", "MZ"}}))
            << name;
}

// A folder the add-in created goes once nothing of its footprint is left
// below it; a name that only begins like it is beside it, not below.
TEST_F(RemovalTest, AFolderGoesWhateverItsNeighboursAreCalled)
{
    makeHost("PTC\\h");
    makeFolder("PTC\\h\\x86e_win64\\obj\\Lang");
    writeFile("PTC\\h\\x86e_win64\\obj\\LangPack.dll", "pack");
    const auto footprint = Footprint::parse(
        {"Orvella footprint 1", "host\tC:\\PTC\\h", "folder\td\tx86e_win64\\obj\\Lang",
         "file\tr\tx86e_win64\\obj\\LangPack.dll\t" + formatDigest(digestText("pack")),
         // Another domain's file whose place has a separator where the folder's name ends.
         "file\tr\tx86e_win64\\lib\\Lang\\f.txt\t" + formatDigest(digestText("f"))});
    ASSERT_TRUE(footprint);
    ASSERT_TRUE(writeFootprint(caSession(), *footprint));
    // A folder that cannot go now (the current folder of the process) stays in the footprint for the next removal.
    machine().setCurrentDirectory("C:\\PTC\\h\\x86e_win64\\obj\\Lang");
    EXPECT_EQ(removeFromFootprints(caSession(), {Domain::deployment}, nullptr).unfinished.size(), 1u);
    EXPECT_EQ(footprintOf("C:\\PTC\\h")->items().size(), 3u);
    machine().setCurrentDirectory("C:\\");
    EXPECT_TRUE(removeFromFootprints(caSession(), {Domain::deployment}, nullptr).unfinished.empty());
    EXPECT_FALSE(exists("PTC\\h\\x86e_win64\\obj\\Lang"));
    EXPECT_EQ(readFile("PTC\\h\\x86e_win64\\obj\\LangPack.dll"), "pack");
    EXPECT_EQ(footprintOf("C:\\PTC\\h")->items().size(), 2u) << "the other domain's files are still to undo";
}
