// Deployment into hosts, the product records and runtime staging.
#include "core/outcome.h"
#include "model/footprint_store.h"
#include "model/release_table.h"
#include "records/product_records.h"
#include "removal/staging_cleanup.h"
#include "sim_fixture.h"

#include <set>
#include <tuple>
#include <vector>

using namespace ca;

namespace {

using Files = std::map<std::string, std::string>;
using Names = std::set<std::string>;

// What the manifest puts into a host, by target path, from which staged file.
Files expectedDeployment(const char* module, const char* ribbon)
{
    Files files;
    for (const auto& name : kObjFiles) files[kObj + name] = name;
    for (const char* name : {"mfc100.dll", "msvcp100.dll", "msvcr100.dll"}) files[kObj + name] = kVc + "100\\" + name;
    for (const auto& name : kLangFiles) files[kObj + "Lang\\" + name] = kObj + "Lang\\" + name;
    for (const auto& path : kTextFiles) files[path] = path;
    if (module) files[kObj + "orvbridge.dll"] = module;
    if (ribbon) files["text\\ribbon\\OrvellaMenu.rbn"] = ribbon;
    files["text\\usascii\\resource\\open.png"] = "text\\resource\\open.png";
    files["text\\usascii\\resource\\save.png"] = "text\\resource\\save.png";
    files["text\\protk.dat"] = kRelativeEntry;
    files[kObj + "xtop.exe"] = "MZ";
    return files;
}

std::vector<std::uint8_t> recordData(const std::string& text)
{
    std::vector<std::uint8_t> data(260, 0);
    std::copy(text.begin(), text.end(), data.begin());
    return data;
}

}  // namespace

class DeployTest : public SimTest {
protected:
    void SetUp() override
    {
        SimTest::SetUp();
        stageAddIn();
        setProperty("ALLUSERSPROFILE", "C:\\ProgramData\\");
    }
    // A host with the folders the deployment needs; Creo hosts have text\ribbon.
    void makeFullHost(const std::string& folder, bool ribbon, const std::string& release = "")
    {
        makeHost(folder);
        makeFolder(folder + "\\text\\usascii");
        if (ribbon) makeFolder(folder + "\\text\\ribbon");
        if (!release.empty()) writeLog(folder, "RELEASE " + release + "\r\n");
    }
    Files deployed(const std::string& folder)
    {
        Files files = filesBelow(folder);
        files.erase("uninstall\\instlog.txt");
        return files;
    }
    std::vector<std::uint8_t> record(const std::string& name)
    {
        auto value = machine().registry().value(kProductKey, name);
        return value ? value->data : std::vector<std::uint8_t>{};
    }
};

TEST_F(DeployTest, DeploymentFollowsTheManifestFileByFile)
{
    makeFullHost("PTC\\creo2", true);
    deployAndRegister("C:\\PTC\\creo2", kCreo2);
    EXPECT_EQ(filesBelow("PTC\\creo2"), expectedDeployment("creo2\\orvbridge.dll", "creo2\\OrvellaMenu.rbn"));
    // The capital-J message file went into the "japanese" folder made before it.
    EXPECT_FALSE(std::filesystem::exists(onC("PTC/creo2/text/Japanese")));
    // Again, over the same files and with a trailing separator: no second entry.
    deployAndRegister("C:\\PTC\\creo2\\", kCreo2);
    EXPECT_EQ(filesBelow("PTC\\creo2"), expectedDeployment("creo2\\orvbridge.dll", "creo2\\OrvellaMenu.rbn"));

    // The module and ribbon file by release. Every host but the Creo Parametric
    // 2.0 one has a ribbon folder, yet only a Creo host gets the ribbon file;
    // no ribbon folder is ever created.
    const std::tuple<ReleaseCode, const char*, const char*> cases[] = {  // the code, the module, the ribbon file
        {kWildfire1, "orvbridge.dll", nullptr}, {kWildfire2, "orvbridge.dll", nullptr},
        {kWildfire3, "proeWF3\\orvbridge.dll", nullptr}, {kWildfire4, "proeWF4\\orvbridge.dll", nullptr},
        {kWildfire5, "proeWF5\\orvbridge.dll", nullptr}, {kOtherRelease5, "proeWF5\\orvbridge.dll", nullptr},
        {kCreo1, "creo1\\orvbridge.dll", "creo1\\OrvellaMenu.rbn"}, {kCreo2, "creo2\\orvbridge.dll", nullptr},
        {kNotRecognised, nullptr, nullptr}, {1, nullptr, nullptr}};
    for (const auto& [code, module, ribbon] : cases) {
        const std::string host = "hosts\\code" + std::to_string(code);
        makeFullHost(host, code != kCreo2);
        deployAndRegister("C:\\" + host, code);
        EXPECT_EQ(filesBelow(host), expectedDeployment(module, ribbon)) << code;
        EXPECT_EQ(exists(host + "\\text\\ribbon"), code != kCreo2) << code;
        // A host without the ribbon folder is passed over for the ribbon file, which is no failure.
        EXPECT_EQ(property(kInstallErrorProperty), "") << code;
    }

    // Another vendor's file where a folder is to be made: the folder's files
    // are not deployed, the failure names the folder, and the file stays.
    makeFullHost("PTC\\german", false);
    writeFile("PTC\\german\\text\\german", "not ours");
    deployAndRegister("C:\\PTC\\german", kCreo2);
    EXPECT_EQ(readFile("PTC\\german\\text\\german"), "not ours");
    EXPECT_EQ(property(kInstallErrorProperty), "C:\\PTC\\german: C:\\PTC\\german\\text\\german could not be created "
                                               "(error 183: Cannot create a file when that file already exists.)");

    // A staged file that cannot be read is neither copied nor recorded, and
    // the failure names it.
    makeFullHost("PTC\\wf4", false);
    machine().properties().erase(kInstallErrorProperty);
    machine().holdFile("C:\\ProgramData\\proeWF4\\orvbridge.dll");
    deployAndRegister("C:\\PTC\\wf4", kWildfire4);
    machine().releaseFiles();
    EXPECT_FALSE(exists("PTC\\wf4\\" + kObj + "orvbridge.dll"));
    EXPECT_EQ(property(kInstallErrorProperty), "C:\\PTC\\wf4: C:\\ProgramData\\proeWF4\\orvbridge.dll could not be read (error "
                                               "32: The process cannot access the file because it is being used by "
                                               "another process.)");
    ca::Footprint footprint;
    ASSERT_EQ(ca::readFootprint(caSession(), "C:\\PTC\\wf4", footprint), ca::Found::yes);
    EXPECT_EQ(footprint.findFile(kObj + "orvbridge.dll"), nullptr);
    EXPECT_NE(footprint.findFile(kObj + "Lang\\orvbridgeResEng.dll"), nullptr);
}

TEST_F(DeployTest, ClearTempCommonDeploysRecordsAndEmptiesTheStagingArea)
{
    makeFullHost("PTC\\wf4", false, "Wildfire 4.0");
    makeFullHost("PTC\\creo1", true, "1.0");
    makeFullHost("PTC\\unticked", false, "Wildfire 4.0");
    writeFile("PTC\\wf4\\text\\protk.dat", "name OtherTool\r\nend\r\n");
    setProperties({{"WFCUSTOM_DIR_ONE", "C:\\PTC\\wf4"}, {"PROE_VER_1", "1"}, {"WFCUSTOM_DIR_TWO", "C:\\PTC\\creo1\\"},
                   {"PROE_VER_2", "1"}, {"WFCUSTOM_DIR_THREE", "C:\\PTC\\unticked"}, {"PROE_VER_3", "0"},
                   {"PROEWF5DIR", "C:\\PTC\\wf5\\"}});
    EXPECT_EQ(clearTempCommon(session()), 0u);

    auto wf4 = expectedDeployment("proeWF4\\orvbridge.dll", nullptr);
    wf4["text\\protk.dat"] = "name OtherTool\r\nend\r\n" + kRelativeEntry;
    EXPECT_EQ(deployed("PTC\\wf4"), wf4);
    EXPECT_EQ(deployed("PTC\\creo1"), expectedDeployment("creo1\\orvbridge.dll", "creo1\\OrvellaMenu.rbn"));
    EXPECT_EQ(deployed("PTC\\unticked").size(), 1u);
    EXPECT_EQ(logLines("chosen listed installations: "),
              std::vector<std::string>{"clearTempCommon: chosen listed installations: WFCUSTOM_DIR_ONE=\"C:\\PTC\\wf4\", "
                                       "WFCUSTOM_DIR_TWO=\"C:\\PTC\\creo1\\\""});
    EXPECT_EQ(logLines(" is not ticked: "),
              std::vector<std::string>{"clearTempCommon: PROE_VER_3 is not ticked: nothing goes into "
                                       "WFCUSTOM_DIR_THREE=\"C:\\PTC\\unticked\""});

    EXPECT_EQ(record("WFCUSTOM_DIR_ONE"), recordData("C:\\PTC\\wf4"));
    EXPECT_EQ(record("WFCUSTOM_DIR_TWO"), recordData("C:\\PTC\\creo1\\"));
    EXPECT_FALSE(machine().registry().value(kProductKey, "WFCUSTOM_DIR_THREE"));
    EXPECT_EQ(record("Install_WF5_dir"), recordData("C:\\PTC\\wf5\\"));
    for (const ReleaseSlot& slot : kReleaseSlots)
        if (slot.slot != Slot::proeWf5) EXPECT_EQ(record(slot.productRecordValue), recordData("")) << slot.name;

    // What the staging cleanup does not list stays; everything else is gone.
    Names left;
    for (const auto& [path, content] : filesBelow("ProgramData", true)) left.insert(path);
    Names expected = kKeptRuntime;
    for (const char* kept : {"creo2\\", "creo2\\OrvellaMenu.rbn", "creo2\\orvbridge.dll", "proeWF5\\",
                             "proeWF5\\Microsoft.VC100\\", "proeWF5\\Microsoft.VC90.CRT\\",
                             "proeWF5\\Microsoft.VC90.MFC\\"})
        expected.insert(kept);
    EXPECT_EQ(left, expected);
    EXPECT_EQ(machine().currentDirectory(), "C:\\");
}

TEST_F(DeployTest, AnEmptyStagingFolderNamesNoFolder)
{
    // Files at the root of the current drive that an empty text would reach.
    const char* rootFiles[] = {"OvConnector.dll", "orvbridge.dll", "text\\resource\\open.png",
                               "x86e_win64\\obj\\a.dll", "proeWF3\\orvbridge.dll"};
    for (const char* file : rootFiles) writeFile(file, "root");
    makeFullHost("PTC\\wf4", false, "Wildfire 4.0");
    setProperties({{"WFCUSTOM_DIR_ONE", "C:\\PTC\\wf4"}, {"PROE_VER_1", "1"}, {"PROE_VER_2", "1"}});
    for (const bool unset : {true, false}) {
        if (unset)
            machine().unsetEnv("ALLUSERSPROFILE");
        else
            machine().setEnv("ALLUSERSPROFILE", "");
        setProperty("ALLUSERSPROFILE", "");
        EXPECT_EQ(clearTempCommon(session()), 0u);
        EXPECT_EQ(deployed("PTC\\wf4").size(), 1u) << "nothing copied, created or registered";
        EXPECT_FALSE(exists("PTC\\wf4\\text\\protk.dat"));
        EXPECT_EQ(record("WFCUSTOM_DIR_ONE"), recordData("C:\\PTC\\wf4")) << "the folder is still recorded";
        for (const char* file : rootFiles) EXPECT_EQ(readFile(file), "root") << file;
        EXPECT_EQ(filesBelow("ProgramData").size(), stagedFiles().size());
    }
    EXPECT_FALSE(exists("x86e_win64\\obj\\Lang"));
    EXPECT_FALSE(exists("text\\usascii"));
}

TEST_F(DeployTest, RuntimeStagingAndResourceCopyReachTheReleaseFolders)
{
    // A Wildfire 5.0 folder without the host executable, on the command line, gets the runtime.
    makeFolder("PTC\\wf5\\x86e_win64\\obj");
    setProperties({{"ISCMDINSTALL", "1"}, {"PROEWF5", "1"}, {"PROEWF5DIR", "C:\\PTC\\wf5\\"}});
    EXPECT_EQ(clearTempCommon(session()), 0u);
    Files runtime;
    for (const std::string& file : kKeptRuntime)
        if (file.find("VC90") != std::string::npos) runtime[file.substr(8)] = file;
    EXPECT_EQ(filesBelow("PTC\\wf5\\x86e_win64\\obj"), runtime);
    EXPECT_EQ(record("Install_WF5_dir"), recordData("C:\\PTC\\wf5\\"));

    // With the host executable, without ISCMDINSTALL, or with Wildfire 5.0 not chosen, only the records are written.
    for (const auto& [host, commandLine, chosen] :
         {std::tuple{"PTC\\real5", "1", "1"}, {"PTC\\gui5", "0", "1"}, {"PTC\\unchosen5", "1", "0"}}) {
        makeFolder(std::string(host) + "\\x86e_win64\\obj");
        if (std::string(host) == "PTC\\real5") makeHost(host);
        setProperties({{"PROEWF5DIR", std::string("C:\\") + host}, {"ISCMDINSTALL", commandLine}, {"PROEWF5", chosen}});
        EXPECT_EQ(clearTempCommon(session()), 0u);
        EXPECT_FALSE(exists(std::string(host) + "\\x86e_win64\\obj\\Microsoft.VC90.CRT"));
        EXPECT_EQ(record("Install_WF5_dir"), recordData(std::string("C:\\") + host));
    }

    // Resources go to every release folder that has text\usascii, only without the browsed slot.
    machine().registry().deleteKey(kProductKey);
    makeFullHost("PTC\\creo1", true);
    makeHost("PTC\\wf4");  // no text\usascii: nothing copied, nothing created
    writeFile("ProgramData\\text\\resource\\open.png", "open");  // the staging area was emptied above
    writeFile("ProgramData\\text\\resource\\sub\\nested.png", "nested");
    setProperties({{"USASCIIM1", "C:\\ProgramData\\text\\"}, {"CREO1DIR", "C:\\PTC\\creo1\\"},
                   {"PROEWF4DIR", "C:\\PTC\\wf4"}, {"PROEWF5DIR", ""}, {"PROEM1", "1"}});
    EXPECT_EQ(copyCMDresourcetoUSASCII(session()), 0u);
    EXPECT_FALSE(exists("PTC\\creo1\\text\\usascii\\resource"));
    EXPECT_FALSE(machine().registry().hasKey(kProductKey));
    setProperty("PROEM1", "0");
    EXPECT_EQ(copyCMDresourcetoUSASCII(session()), 0u);
    EXPECT_EQ(filesBelow("PTC\\creo1\\text\\usascii"), (Files{{"resource\\open.png", "open"}}));
    EXPECT_FALSE(exists("PTC\\wf4\\text"));
    EXPECT_EQ(record("Install_CREO1_dir"), recordData("C:\\PTC\\creo1\\"));
    EXPECT_EQ(record("Install_WF5_dir"), recordData(""));
    EXPECT_EQ(machine().currentDirectory(), "C:\\");

    // A host's own resource of the same name is backed up below the
    // environment's ALLUSERSPROFILE; without it, the host keeps its file.
    makeFullHost("PTC\\creo1b", true);
    writeFile("PTC\\creo1b\\text\\usascii\\resource\\open.png", "the host's");
    machine().unsetEnv("ALLUSERSPROFILE");
    setProperties({{"CREO1DIR", "C:\\PTC\\creo1b"}, {"PROEWF4DIR", ""}, {kInstallErrorProperty, ""}});
    EXPECT_EQ(copyCMDresourcetoUSASCII(session()), 0u);
    EXPECT_EQ(filesBelow("PTC\\creo1b\\text\\usascii"), (Files{{"resource\\open.png", "the host's"}}));
    EXPECT_EQ(property(kInstallErrorProperty), "C:\\PTC\\creo1b: C:\\PTC\\creo1b has files that cannot be backed up "
                                               "without ALLUSERSPROFILE (error 203: The system could not find the "
                                               "environment option that was entered.)");
}

TEST_F(DeployTest, ProductRecordsHoldExactly260BytesAndGo)
{
    EXPECT_FALSE(productRecordExists(caSession(), "WFCUSTOM_DIR_ONE"));
    EXPECT_FALSE(deleteProductRecord(caSession(), "WFCUSTOM_DIR_ONE")) << "no key";
    setProperty("CREO2DIR", std::string(259, 'C'));
    writeReleaseFolderRecords(caSession());
    writeReleaseFolderRecords(caSession());
    EXPECT_EQ(machine().registry().findKey(kProductKey)->values.size(), 7u);
    EXPECT_EQ(record("Install_CREO2_dir"), recordData(std::string(259, 'C')));
    EXPECT_EQ(machine().registry().value(kProductKey, "Install_WF1_dir")->type, 1u);
    EXPECT_TRUE(productRecordExists(caSession(), "Install_WF1_dir"));
    EXPECT_TRUE(deleteProductRecord(caSession(), "Install_WF1_dir"));
    EXPECT_FALSE(productRecordExists(caSession(), "Install_WF1_dir"));
    EXPECT_TRUE(deleteProductRecord(caSession(), "Install_WF1_dir")) << "already gone";
    machine().registry().setValue(kProductKey, "WFCUSTOM_DIR_TWO", {1, std::vector<std::uint8_t>(1025, 'x')});
    EXPECT_FALSE(productRecordExists(caSession(), "WFCUSTOM_DIR_TWO")) << "too long to be read";
}

// In a staging area so deep that some staged paths pass 259 characters, the
// cleanup deletes what fits, counts what does not, and touches nothing else.
TEST_F(DeployTest, AStagingAreaTooDeepForSomeFilesClearsWhatFits)
{
    const std::string deep = folderOfLength(230);
    for (const std::string& file : stagedFiles()) writeFile(deep.substr(3) + "\\" + file, file);
    clearStagingArea(caSession(), deep, addInManifest());
    Names left;
    for (const auto& [path, content] : filesBelow(deep.substr(3))) left.insert(path);
    Names expected = kKeptRuntime;
    expected.insert({"creo2\\OrvellaMenu.rbn", "creo2\\orvbridge.dll", "text\\japanese\\ov_messages.txt",
                     "text\\japanese\\resource\\ja.png"});  // 260 and 261 characters
    for (const auto& name : kLangFiles) expected.insert(kObj + "Lang\\" + name);
    EXPECT_EQ(left, expected) << "text\\usascii\\ov_messages.txt, at 259 characters, goes";
    const auto summary = logLines("clearing of the staging area " + deep + ": 29 files deleted, 9 folders removed, ");
    ASSERT_EQ(summary.size(), 1u);
    EXPECT_NE(summary[0].find(" paths longer than 259 characters passed over"), std::string::npos);
}

// The cleanup empties the staging area of what the package staged; the area
// itself is a folder of the system's (ALLUSERSPROFILE) and stays, also when
// the package staged nothing in a release's own folder.
TEST_F(DeployTest, TheStagingAreaItselfStays)
{
    for (const bool subfolders : {true, false}) {
        std::filesystem::remove_all(onC("ProgramData"));
        for (const std::string& file : stagedFiles())
            if (!kKeptRuntime.count(file) && file.rfind("creo2\\", 0) != 0 &&
                (subfolders || file.find('\\') == std::string::npos))
                writeFile("ProgramData\\" + file, file);
        clearStagingArea(caSession(), "C:\\ProgramData", addInManifest());
        EXPECT_TRUE(std::filesystem::is_directory(onC("ProgramData"))) << subfolders;
        EXPECT_EQ(filesBelow("ProgramData", true), Files{});
    }
}
