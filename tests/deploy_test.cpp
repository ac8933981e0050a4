#include "core/actions.h"
#include "core/release_table.h"
#include "deploy/deployment.h"
#include "deploy/product_records.h"
#include "sim_fixture.h"

#include <map>
#include <string>
#include <vector>

using namespace ca;

namespace {

// Every staged file, holding its own staging path so that a copy shows where it came from.
const std::vector<std::string> kStagedFiles = {
    "OvConnector.dll", "optdialog.dll", "sheetbridge2.dll", "ovbatch.dll", "siteext.dll", "orvbridge.dll",
    "libpng13.dll", "OvToExe.exe", "mfc90.dll", "Microsoft.VC90.MFC.manifest", "Microsoft.VC90.CRT.manifest",
    "msvcp90.dll", "msvcr90.dll", "OrvellaHelp.chm", "msvcr80.dll",
    "proeWF3\\orvbridge.dll", "proeWF4\\orvbridge.dll",
    "proeWF5\\orvbridge.dll", "proeWF5\\optdialog.dll", "proeWF5\\ovbatch.dll",
    "proeWF5\\Microsoft.VC100\\mfc100.dll", "proeWF5\\Microsoft.VC100\\msvcp100.dll",
    "proeWF5\\Microsoft.VC100\\msvcr100.dll",
    "proeWF5\\Microsoft.VC90.CRT\\msvcr90.dll", "proeWF5\\Microsoft.VC90.CRT\\msvcp90.dll",
    "proeWF5\\Microsoft.VC90.CRT\\Microsoft.VC90.CRT.manifest",
    "proeWF5\\Microsoft.VC90.MFC\\mfc90.dll", "proeWF5\\Microsoft.VC90.MFC\\Microsoft.VC90.MFC.manifest",
    "creo1\\orvbridge.dll", "creo1\\OrvellaMenu.rbn", "creo2\\orvbridge.dll", "creo2\\OrvellaMenu.rbn",
    "x86e_win64\\obj\\Lang\\orvbridgeResEng.dll", "x86e_win64\\obj\\Lang\\orvbridgeResGer.dll",
    "x86e_win64\\obj\\Lang\\orvbridgeResFre.dll", "x86e_win64\\obj\\Lang\\orvbridgeResJap.dll",
    "x86e_win64\\obj\\Lang\\ovbatchresEng.dll", "x86e_win64\\obj\\Lang\\ovbatchresGer.dll",
    "x86e_win64\\obj\\Lang\\ovbatchresFre.dll", "x86e_win64\\obj\\Lang\\ovbatchresJap.dll",
    "x86e_win64\\obj\\Lang\\OrvellaHelp.chm",
    "text\\usascii\\ov_messages.txt", "text\\resource\\open.png", "text\\resource\\save.png",
    "text\\japanese\\resource\\ja.png", "text\\japanese\\ov_messages.txt",
    "text\\french\\resource\\fr.png", "text\\french\\ov_messages.txt",
    "text\\german\\resource\\de.png", "text\\german\\ov_messages.txt",
};

const std::string kRelativeEntry =
    "\r\nname Orvella\r\nstartup DLL\r\ndelay_start FALSE\r\nallow_stop  TRUE\r\n"
    "exec_file $PRO_DIRECTORY\\$PRO_MACHINE_TYPE\\obj\\orvbridge.dll\r\ntext_dir $PRO_DIRECTORY\r\nend\r\n";

// What the deployment table puts into a host, by target path, from which staged file.
std::map<std::string, std::string> expectedDeployment(const char* module, const char* ribbon)
{
    std::map<std::string, std::string> files;
    const std::string o = "x86e_win64\\obj\\";
    for (const char* name : {"OvConnector.dll", "optdialog.dll", "sheetbridge2.dll", "ovbatch.dll", "siteext.dll",
                             "libpng13.dll", "OvToExe.exe", "mfc90.dll", "Microsoft.VC90.MFC.manifest",
                             "Microsoft.VC90.CRT.manifest", "msvcp90.dll", "msvcr90.dll"})
        files[o + name] = name;
    for (const char* name : {"mfc100.dll", "msvcp100.dll", "msvcr100.dll"})
        files[o + name] = std::string("proeWF5\\Microsoft.VC100\\") + name;
    for (const char* name : {"orvbridgeResEng.dll", "orvbridgeResGer.dll", "orvbridgeResFre.dll", "orvbridgeResJap.dll",
                             "ovbatchresEng.dll", "ovbatchresGer.dll", "ovbatchresFre.dll", "ovbatchresJap.dll",
                             "OrvellaHelp.chm"})
        files[o + "Lang\\" + name] = o + "Lang\\" + name;
    if (module != nullptr) files[o + "orvbridge.dll"] = module;
    if (ribbon != nullptr) files["text\\ribbon\\OrvellaMenu.rbn"] = ribbon;
    for (const char* path : {"text\\usascii\\ov_messages.txt", "text\\japanese\\resource\\ja.png",
                             "text\\japanese\\ov_messages.txt", "text\\french\\resource\\fr.png",
                             "text\\french\\ov_messages.txt", "text\\german\\resource\\de.png",
                             "text\\german\\ov_messages.txt"})
        files[path] = path;
    files["text\\usascii\\resource\\open.png"] = "text\\resource\\open.png";
    files["text\\usascii\\resource\\save.png"] = "text\\resource\\save.png";
    files["text\\protk.dat"] = kRelativeEntry;
    files[o + "xtop.exe"] = "MZ";
    return files;
}

}  // namespace

class DeployTest : public SimTest {
protected:
    void SetUp() override
    {
        SimTest::SetUp();
        for (const std::string& file : kStagedFiles) writeFile("ProgramData\\" + file, file);
        machine().setEnv("ALLUSERSPROFILE", "C:\\ProgramData");
        setProperty("ALLUSERSPROFILE", "C:\\ProgramData\\");
    }
    // A host with the folders the deployment needs; Creo hosts have text\ribbon.
    void makeFullHost(const std::string& folder, const std::string& release, bool ribbon)
    {
        makeHost(folder);
        makeFolder(folder + "\\text\\usascii");
        if (ribbon) makeFolder(folder + "\\text\\ribbon");
        if (!release.empty()) writeFile(folder + "\\uninstall\\instlog.txt", "RELEASE " + release + "\r\n");
    }
    // Every file below a folder on C:, by its path below that folder.
    std::map<std::string, std::string> filesBelow(const std::string& folder, bool skipLog = true)
    {
        std::map<std::string, std::string> files;
        const auto base = onC(folder);
        for (const auto& item : std::filesystem::recursive_directory_iterator(base)) {
            if (!item.is_regular_file()) continue;
            std::string relative = std::filesystem::relative(item.path(), base).generic_string();
            for (char& c : relative)
                if (c == '/') c = '\\';
            if (skipLog && relative == "uninstall\\instlog.txt") continue;
            files[relative] = *readFile(folder + "\\" + relative);
        }
        return files;
    }
    std::vector<std::uint8_t> record(const std::string& name)
    {
        auto value = machine().registry().value(kProductKey, name);
        return value ? value->data : std::vector<std::uint8_t>{};
    }
    static std::vector<std::uint8_t> recordData(const std::string& text)
    {
        std::vector<std::uint8_t> data(260, 0);
        std::copy(text.begin(), text.end(), data.begin());
        return data;
    }
};

TEST_F(DeployTest, DeploymentFollowsTheStepTableFileByFile)
{
    makeFullHost("PTC\\creo2", "", true);
    EXPECT_TRUE(deployToInstallation("C:\\PTC\\creo2", kCreo2));
    EXPECT_EQ(filesBelow("PTC\\creo2"), expectedDeployment("creo2\\orvbridge.dll", "creo2\\OrvellaMenu.rbn"));
    // The capital-J message file went into the "japanese" folder that step 30 made.
    EXPECT_TRUE(std::filesystem::is_regular_file(onC("PTC\\creo2\\text\\japanese\\ov_messages.txt")));
    EXPECT_FALSE(std::filesystem::exists(onC("PTC/creo2/text/Japanese")));
    // Again, over the same files and with a trailing separator: no second entry.
    EXPECT_TRUE(deployToInstallation("C:\\PTC\\creo2\\", kCreo2));
    EXPECT_EQ(filesBelow("PTC\\creo2"), expectedDeployment("creo2\\orvbridge.dll", "creo2\\OrvellaMenu.rbn"));

    // The module and ribbon file by release; no ribbon folder is ever created.
    struct Case {
        ReleaseCode code;
        const char* module;
        const char* ribbon;
    };
    for (const Case c : {Case{kWildfire1, "orvbridge.dll", nullptr}, Case{kWildfire2, "orvbridge.dll", nullptr},
                         Case{kWildfire3, "proeWF3\\orvbridge.dll", nullptr},
                         Case{kWildfire4, "proeWF4\\orvbridge.dll", nullptr},
                         Case{kWildfire5, "proeWF5\\orvbridge.dll", nullptr},
                         Case{kOtherRelease5, "proeWF5\\orvbridge.dll", nullptr},
                         Case{kCreo1, "creo1\\orvbridge.dll", "creo1\\OrvellaMenu.rbn"},
                         Case{kNotRecognised, nullptr, nullptr}, Case{1, nullptr, nullptr}}) {
        const std::string host = "hosts\\code" + std::to_string(c.code);
        makeFullHost(host, "", c.ribbon != nullptr);
        deployToInstallation("C:\\" + host, c.code);
        EXPECT_EQ(filesBelow(host), expectedDeployment(c.module, c.ribbon)) << c.code;
    }
    makeFullHost("hosts\\creoNoRibbon", "", false);
    deployToInstallation("C:\\hosts\\creoNoRibbon", kCreo2);
    EXPECT_FALSE(exists("hosts\\creoNoRibbon\\text\\ribbon"));
}

TEST_F(DeployTest, ClearTempCommonDeploysRecordsAndEmptiesTheStagingArea)
{
    makeFullHost("PTC\\wf4", "Wildfire 4.0", false);
    makeFullHost("PTC\\creo1", "1.0", true);
    makeFullHost("PTC\\unticked", "Wildfire 4.0", false);
    writeFile("PTC\\wf4\\text\\protk.dat", "name OtherTool\r\nend\r\n");
    setProperty("WFCUSTOM_DIR_ONE", "C:\\PTC\\wf4");
    setProperty("PROE_VER_1", "1");
    setProperty("WFCUSTOM_DIR_TWO", "C:\\PTC\\creo1\\");
    setProperty("PROE_VER_2", "1");
    setProperty("WFCUSTOM_DIR_THREE", "C:\\PTC\\unticked");
    setProperty("PROE_VER_3", "0");
    setProperty("PROEWF5DIR", "C:\\PTC\\wf5\\");

    EXPECT_EQ(clearTempCommon(session()), 0u);

    auto wf4 = expectedDeployment("proeWF4\\orvbridge.dll", nullptr);
    wf4["text\\protk.dat"] = "name OtherTool\r\nend\r\n" + kRelativeEntry;
    EXPECT_EQ(filesBelow("PTC\\wf4"), wf4);
    EXPECT_EQ(filesBelow("PTC\\creo1"), expectedDeployment("creo1\\orvbridge.dll", "creo1\\OrvellaMenu.rbn"));
    EXPECT_EQ(filesBelow("PTC\\unticked").size(), 1u);

    EXPECT_EQ(record("WFCUSTOM_DIR_ONE"), recordData("C:\\PTC\\wf4"));
    EXPECT_EQ(record("WFCUSTOM_DIR_TWO"), recordData("C:\\PTC\\creo1\\"));
    EXPECT_FALSE(machine().registry().value(kProductKey, "WFCUSTOM_DIR_THREE"));
    EXPECT_EQ(record("Install_WF5_dir"), recordData("C:\\PTC\\wf5\\"));
    for (const ReleaseSlot& slot : kReleaseSlots)
        if (slot.slot != Slot::proeWf5) EXPECT_EQ(record(slot.productRecordValue), recordData("")) << slot.name;

    // What the staging cleanup does not list stays; everything else is gone.
    EXPECT_EQ(filesBelow("ProgramData"),
              (std::map<std::string, std::string>{
                  {"creo2\\OrvellaMenu.rbn", "creo2\\OrvellaMenu.rbn"},
                  {"creo2\\orvbridge.dll", "creo2\\orvbridge.dll"},
                  {"proeWF5\\Microsoft.VC100\\mfc100.dll", "proeWF5\\Microsoft.VC100\\mfc100.dll"},
                  {"proeWF5\\Microsoft.VC100\\msvcp100.dll", "proeWF5\\Microsoft.VC100\\msvcp100.dll"},
                  {"proeWF5\\Microsoft.VC100\\msvcr100.dll", "proeWF5\\Microsoft.VC100\\msvcr100.dll"},
                  {"proeWF5\\Microsoft.VC90.CRT\\Microsoft.VC90.CRT.manifest",
                   "proeWF5\\Microsoft.VC90.CRT\\Microsoft.VC90.CRT.manifest"},
                  {"proeWF5\\Microsoft.VC90.CRT\\msvcp90.dll", "proeWF5\\Microsoft.VC90.CRT\\msvcp90.dll"},
                  {"proeWF5\\Microsoft.VC90.CRT\\msvcr90.dll", "proeWF5\\Microsoft.VC90.CRT\\msvcr90.dll"},
                  {"proeWF5\\Microsoft.VC90.MFC\\Microsoft.VC90.MFC.manifest",
                   "proeWF5\\Microsoft.VC90.MFC\\Microsoft.VC90.MFC.manifest"},
                  {"proeWF5\\Microsoft.VC90.MFC\\mfc90.dll", "proeWF5\\Microsoft.VC90.MFC\\mfc90.dll"},
              }));
    for (const char* gone : {"text", "x86e_win64", "proeWF3", "proeWF4", "creo1"})
        EXPECT_FALSE(exists(std::string("ProgramData\\") + gone)) << gone;
    EXPECT_EQ(machine().currentDirectory(), "C:\\");
}

TEST_F(DeployTest, AnEmptyFolderNamesNoFolder)
{
    // Files at the root of the current drive that an empty text would reach.
    for (const char* file : {"OvConnector.dll", "orvbridge.dll", "text\\resource\\open.png", "x86e_win64\\obj\\a.dll",
                             "proeWF3\\orvbridge.dll"})
        writeFile(file, "root");
    makeFullHost("PTC\\wf4", "Wildfire 4.0", false);
    setProperty("WFCUSTOM_DIR_ONE", "C:\\PTC\\wf4");
    setProperty("PROE_VER_1", "1");
    setProperty("PROE_VER_2", "1");  // ticked, with no folder

    for (const bool unset : {true, false}) {
        if (unset)
            machine().unsetEnv("ALLUSERSPROFILE");
        else
            machine().setEnv("ALLUSERSPROFILE", "");
        setProperty("ALLUSERSPROFILE", "");
        EXPECT_EQ(clearTempCommon(session()), 0u);
        EXPECT_EQ(filesBelow("PTC\\wf4").size(), 1u) << "nothing copied, created or registered";
        EXPECT_EQ(filesBelow("PTC\\wf4\\text").size(), 0u);
        EXPECT_EQ(record("WFCUSTOM_DIR_ONE"), recordData("C:\\PTC\\wf4")) << "the folder is still recorded";
        for (const char* file : {"OvConnector.dll", "orvbridge.dll", "text\\resource\\open.png",
                                 "x86e_win64\\obj\\a.dll", "proeWF3\\orvbridge.dll"})
            EXPECT_EQ(readFile(file), "root") << file;
        EXPECT_EQ(filesBelow("ProgramData").size(), kStagedFiles.size());
    }
    EXPECT_FALSE(exists("x86e_win64\\obj\\Lang"));
    EXPECT_FALSE(exists("text\\usascii"));
}

TEST_F(DeployTest, RuntimeStagingAndResourceCopyReachTheReleaseFolders)
{
    makeFolder("PTC\\wf5\\x86e_win64\\obj");  // a Wildfire 5.0 folder without the host executable
    setProperty("ISCMDINSTALL", "1");
    setProperty("PROEWF5", "1");
    setProperty("PROEWF5DIR", "C:\\PTC\\wf5\\");
    EXPECT_EQ(clearTempCommon(session()), 0u);
    const std::string obj = "PTC\\wf5\\x86e_win64\\obj\\";
    for (const char* file : {"Microsoft.VC90.CRT\\msvcr90.dll", "Microsoft.VC90.CRT\\msvcp90.dll",
                             "Microsoft.VC90.CRT\\Microsoft.VC90.CRT.manifest", "Microsoft.VC90.MFC\\mfc90.dll",
                             "Microsoft.VC90.MFC\\Microsoft.VC90.MFC.manifest"})
        EXPECT_EQ(readFile(obj + file), "proeWF5\\" + std::string(file)) << file;
    EXPECT_EQ(record("Install_WF5_dir"), recordData("C:\\PTC\\wf5\\"));

    // With the host executable, or without ISCMDINSTALL, only the records are written.
    for (const char* host : {"PTC\\real5", "PTC\\gui5"}) {
        makeHost(host);
        setProperty("PROEWF5DIR", std::string("C:\\") + host);
        setProperty("ISCMDINSTALL", host == std::string("PTC\\gui5") ? "0" : "1");
        EXPECT_EQ(clearTempCommon(session()), 0u);
        EXPECT_FALSE(exists(std::string(host) + "\\x86e_win64\\obj\\Microsoft.VC90.CRT"));
        EXPECT_EQ(record("Install_WF5_dir"), recordData(std::string("C:\\") + host));
    }

    // Resources go to every release folder that has text\usascii.
    machine().registry().deleteKey(kProductKey);
    makeFullHost("PTC\\creo1", "", true);
    makeHost("PTC\\wf4");  // no text\usascii: nothing copied, nothing created
    for (const char* file : {"text\\resource\\open.png", "text\\resource\\save.png"})
        writeFile(std::string("ProgramData\\") + file, file);  // the staging area was emptied above
    writeFile("ProgramData\\text\\resource\\sub\\nested.png", "nested");
    setProperty("USASCIIM1", "C:\\ProgramData\\text\\");
    setProperty("CREO1DIR", "C:\\PTC\\creo1\\");
    setProperty("PROEWF4DIR", "C:\\PTC\\wf4");
    setProperty("PROEWF5DIR", "");
    setProperty("PROEM1", "1");
    EXPECT_EQ(copyCMDresourcetoUSASCII(session()), 0u);
    EXPECT_FALSE(exists("PTC\\creo1\\text\\usascii\\resource"));
    EXPECT_FALSE(machine().registry().hasKey(kProductKey));
    setProperty("PROEM1", "0");
    EXPECT_EQ(copyCMDresourcetoUSASCII(session()), 0u);
    EXPECT_EQ(filesBelow("PTC\\creo1\\text\\usascii"),
              (std::map<std::string, std::string>{{"resource\\open.png", "text\\resource\\open.png"},
                                                  {"resource\\save.png", "text\\resource\\save.png"}}));
    EXPECT_FALSE(exists("PTC\\wf4\\text"));
    EXPECT_EQ(record("Install_CREO1_dir"), recordData("C:\\PTC\\creo1\\"));
    EXPECT_EQ(record("Install_WF5_dir"), recordData(""));
    EXPECT_EQ(machine().currentDirectory(), "C:\\");
}

TEST_F(DeployTest, FolderCopiesTakeFilesOnlyAndRestoreTheWorkingDirectory)
{
    writeFile("src\\a.txt", "a");
    writeFile("src\\b.txt", "b");
    writeFile("src\\sub\\c.txt", "c");
    makeFolder("dst");
    EXPECT_TRUE(copyFileSet("C:\\src", "C:\\dst"));
    EXPECT_EQ(filesBelow("dst"), (std::map<std::string, std::string>{{"a.txt", "a"}, {"b.txt", "b"}}));
    EXPECT_FALSE(copyFileSet("C:\\missing", "C:\\dst"));
    EXPECT_FALSE(copyFileSet("", "C:\\dst"));

    makeFolder("host\\text\\usascii");
    machine().setCurrentDirectory("C:\\host");
    EXPECT_EQ(copyResourceFolder("C:\\src", "C:\\host"), 0);
    EXPECT_EQ(copyResourceFolder("C:\\src", "C:\\host"), 0) << "an existing target is no obstacle";
    EXPECT_EQ(filesBelow("host\\text\\usascii\\resource").size(), 2u);
    EXPECT_EQ(copyResourceFolder("C:\\missing", "C:\\host"), 3);
    EXPECT_EQ(copyResourceFolder("C:\\src", "C:\\nohost"), 3);
    EXPECT_EQ(copyResourceFolder("C:\\src", ""), 3);
    EXPECT_EQ(machine().currentDirectory(), "C:\\host");
    EXPECT_FALSE(exists("host\\text\\usascii\\resource\\sub"));
}

TEST_F(DeployTest, ProductRecordsExistAndGo)
{
    EXPECT_FALSE(productRecordExists("WFCUSTOM_DIR_ONE"));
    EXPECT_FALSE(deleteProductRecord("WFCUSTOM_DIR_ONE")) << "no key";
    setProperty("CREO2DIR", std::string(259, 'C'));
    writeReleaseFolderRecords(session());
    writeReleaseFolderRecords(session());
    const sim::Registry::Key* key = machine().registry().findKey(kProductKey);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->values.size(), 7u);
    EXPECT_EQ(record("Install_CREO2_dir"), recordData(std::string(259, 'C')));
    EXPECT_EQ(machine().registry().value(kProductKey, "Install_WF1_dir")->type, 1u);
    EXPECT_TRUE(productRecordExists("Install_WF1_dir"));
    EXPECT_TRUE(deleteProductRecord("Install_WF1_dir"));
    EXPECT_FALSE(productRecordExists("Install_WF1_dir"));
    EXPECT_TRUE(deleteProductRecord("Install_WF1_dir")) << "already gone";

    machine().registry().setValue(kProductKey, "WFCUSTOM_DIR_TWO", {1, std::vector<std::uint8_t>(1025, 'x')});
    EXPECT_FALSE(productRecordExists("WFCUSTOM_DIR_TWO")) << "too long to be read";
}
