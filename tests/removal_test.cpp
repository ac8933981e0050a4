#include "core/actions.h"
#include "core/release_table.h"
#include "deploy/deployment.h"
#include "removal/deployed_files.h"
#include "removal/tree_removal.h"
#include "sim_fixture.h"

#include <set>
#include <string>

using namespace ca;

class RemovalTest : public SimTest {
protected:
    // Every file and folder below a folder on C:, folders with a trailing "\".
    std::set<std::string> treeBelow(const std::string& folder)
    {
        std::set<std::string> tree;
        const auto base = onC(folder);
        if (!std::filesystem::exists(base)) return tree;
        for (const auto& item : std::filesystem::recursive_directory_iterator(base)) {
            std::string relative = std::filesystem::relative(item.path(), base).generic_string();
            for (char& c : relative)
                if (c == '/') c = '\\';
            tree.insert(item.is_directory() ? relative + "\\" : relative);
        }
        return tree;
    }
    void stageEverything()
    {
        for (const char* file :
             {"OvConnector.dll", "optdialog.dll", "sheetbridge2.dll", "ovbatch.dll", "siteext.dll", "libpng13.dll",
              "OvToExe.exe", "mfc90.dll", "Microsoft.VC90.MFC.manifest", "Microsoft.VC90.CRT.manifest", "msvcp90.dll",
              "msvcr90.dll", "creo2\\orvbridge.dll", "creo2\\OrvellaMenu.rbn", "proeWF5\\Microsoft.VC100\\mfc100.dll",
              "proeWF5\\Microsoft.VC100\\msvcp100.dll", "proeWF5\\Microsoft.VC100\\msvcr100.dll",
              "x86e_win64\\obj\\Lang\\orvbridgeResEng.dll", "x86e_win64\\obj\\Lang\\orvbridgeResGer.dll",
              "x86e_win64\\obj\\Lang\\orvbridgeResFre.dll", "x86e_win64\\obj\\Lang\\orvbridgeResJap.dll",
              "x86e_win64\\obj\\Lang\\ovbatchresEng.dll", "x86e_win64\\obj\\Lang\\ovbatchresGer.dll",
              "x86e_win64\\obj\\Lang\\ovbatchresFre.dll", "x86e_win64\\obj\\Lang\\ovbatchresJap.dll",
              "x86e_win64\\obj\\Lang\\OrvellaHelp.chm", "text\\usascii\\ov_messages.txt", "text\\resource\\open.png",
              "text\\japanese\\resource\\ja.png", "text\\japanese\\ov_messages.txt", "text\\french\\resource\\fr.png",
              "text\\french\\ov_messages.txt", "text\\german\\resource\\de.png", "text\\german\\ov_messages.txt"})
            writeFile(std::string("ProgramData\\") + file, "staged");
        machine().setEnv("ALLUSERSPROFILE", "C:\\ProgramData");
    }
    // A Creo Parametric 2.0 host with files of its own beside where the add-in goes.
    std::set<std::string> makeCreoHost(const std::string& folder)
    {
        makeHost(folder);
        writeFile(folder + "\\x86e_win64\\obj\\host.dll", "host");
        writeFile(folder + "\\text\\usascii\\menu_def.pro", "host");
        writeFile(folder + "\\text\\ribbon\\default.rbn", "host");
        writeFile(folder + "\\text\\protk.dat", "name OtherTool\r\nend\r\n");
        return treeBelow(folder);
    }
};

TEST_F(RemovalTest, FoldersAreEmptiedButOnlyRemovedWhenNothingIsLeft)
{
    writeFile("only\\a.txt");
    writeFile("only\\b.txt");
    writeFile("mixed\\a.txt");
    writeFile("mixed\\sub\\c.txt");
    machine().setCurrentDirectory("C:\\mixed");
    EXPECT_EQ(emptyAndRemoveFolder("C:\\only"), 0);
    EXPECT_EQ(emptyAndRemoveFolder("C:\\mixed"), 0);
    EXPECT_FALSE(exists("only"));
    EXPECT_EQ(treeBelow("mixed"), (std::set<std::string>{"sub\\", "sub\\c.txt"}));
    EXPECT_EQ(emptyAndRemoveFolder("C:\\missing"), 3);
    EXPECT_EQ(machine().currentDirectory(), "C:\\mixed");
    // An empty text names no folder: the current one stays untouched.
    writeFile("mixed\\d.txt");
    EXPECT_EQ(emptyAndRemoveFolder(""), 3);
    EXPECT_TRUE(exists("mixed\\d.txt"));

    // Resource chains: the resource folder goes, then what is left empty up to the base.
    writeFile("h\\text\\usascii\\resource\\r1.png");
    writeFile("h\\text\\german\\resource\\r2.png");
    writeFile("h\\x86e_win64\\obj\\xtop.exe");
    removeResourceTree("C:\\h", "");  // no trailing separator: "C:\\htext" is no folder
    EXPECT_TRUE(exists("h\\text\\usascii\\resource\\r1.png"));
    removeResourceTree("C:\\h\\", "\\french");  // nothing of that name: nothing at all happens
    removeResourceTree("C:\\h\\", "");
    EXPECT_EQ(treeBelow("h"), (std::set<std::string>{"text\\", "text\\german\\", "text\\german\\resource\\",
                                                     "text\\german\\resource\\r2.png", "x86e_win64\\",
                                                     "x86e_win64\\obj\\", "x86e_win64\\obj\\xtop.exe"}));
    removeResourceTree("C:\\h\\", "\\german");
    EXPECT_EQ(treeBelow("h"), (std::set<std::string>{"text\\", "text\\german\\", "x86e_win64\\",
                                                     "x86e_win64\\obj\\", "x86e_win64\\obj\\xtop.exe"}));
    // A tree holding only the resource folder goes entirely, the base included.
    writeFile("bare\\text\\usascii\\resource\\r.png");
    removeResourceTree("C:\\bare\\", "");
    EXPECT_FALSE(exists("bare"));
    writeFile("text\\usascii\\resource\\root.png");
    removeResourceTree("", "");
    EXPECT_TRUE(exists("text\\usascii\\resource\\root.png"));
    EXPECT_EQ(machine().currentDirectory(), "C:\\mixed");
}

TEST_F(RemovalTest, RemovingADeploymentLeavesTheHostAsItWas)
{
    stageEverything();
    const std::set<std::string> before = makeCreoHost("PTC\\creo2");
    deployToInstallation("C:\\PTC\\creo2", kCreo2);
    ASSERT_TRUE(exists("PTC\\creo2\\x86e_win64\\obj\\orvbridge.dll"));
    ASSERT_TRUE(exists("PTC\\creo2\\text\\usascii\\resource\\open.png"));

    EXPECT_TRUE(removeDeployedFiles("C:\\PTC\\creo2\\"));  // doubled separators are accepted
    std::set<std::string> expected = before;
    for (const char* kept : {"text\\japanese\\", "text\\french\\", "text\\german\\"}) expected.insert(kept);
    EXPECT_EQ(treeBelow("PTC\\creo2"), expected);
    EXPECT_EQ(readFile("PTC\\creo2\\text\\protk.dat"), "name OtherTool\r\nend\r\n\r\n");

    EXPECT_TRUE(removeDeployedFiles(""));
    EXPECT_TRUE(removeDeployedFiles("C:\\nowhere"));
}

TEST_F(RemovalTest, UnregistrationCleansRecordedInstallationsAndDeletesTheirRecords)
{
    stageEverything();
    const std::set<std::string> two = makeCreoHost("PTC\\two");
    const std::set<std::string> five = makeCreoHost("PTC\\five");
    writeFile("PTC\\gone\\text\\protk.dat", "\r\nname Orvella\r\n");  // no host executable any more
    for (const char* host : {"C:\\PTC\\two", "C:\\PTC\\five"}) deployToInstallation(host, kCreo2);
    auto& registry = machine().registry();
    registry.setString(kProductKey, "WFCUSTOM_DIR_TWO", "C:\\PTC\\two");
    registry.setString(kProductKey, "WFCUSTOM_DIR_FIVE", "C:\\PTC\\five\\");
    registry.setString(kProductKey, "WFCUSTOM_DIR_SIX", "C:\\PTC\\gone");
    registry.setString(kProductKey, "WFCUSTOM_DIR_SEVEN", "");
    registry.setString(kProductKey, "Install_WF5_dir", "C:\\PTC\\wf5\\");
    writeFile("text\\protk.dat", "\r\nname Orvella\r\n");  // what an empty folder would reach
    makeHost("PTC\\wf4");
    writeFile("PTC\\wf4\\text\\protk.dat", "a\r\n\r\nname Orvella\r\n1\r\n2\r\n3\r\n4\r\n5\r\n6\r\nb\r\n");
    setProperty("PROEWF4DIR", "C:\\PTC\\wf4");  // its check box is cleared

    for (int run = 0; run < 2; ++run) {
        EXPECT_EQ(cleanupProEAuxAppInFile(session()), 0u);
        std::set<std::string> expected = two;
        for (const char* kept : {"text\\japanese\\", "text\\french\\", "text\\german\\"}) expected.insert(kept);
        EXPECT_EQ(treeBelow("PTC\\two"), expected);
        EXPECT_EQ(treeBelow("PTC\\five"), expected);
        EXPECT_FALSE(exists("PTC\\gone\\text\\protk.dat"));
        EXPECT_EQ(readFile("text\\protk.dat"), "\r\nname Orvella\r\n");
        EXPECT_EQ(readFile("PTC\\wf4\\text\\protk.dat"), "a\r\n\r\nb\r\n");
        const sim::Registry::Key* key = registry.findKey(kProductKey);
        ASSERT_NE(key, nullptr);
        EXPECT_EQ(key->values.size(), 1u) << "only the release record stays";
    }

    // Without the product key the release slots are still unregistered.
    registry.deleteKey(kProductKey);
    writeFile("PTC\\wf4\\text\\protk.dat", "\r\nname Orvella\r\n1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n");
    setProperty("PROEWF4DIR", "");
    setProperty("PROEM1DIR", "C:\\PTC\\wf4\\");
    EXPECT_EQ(cleanupProEAuxAppInFile(session()), 0u);
    EXPECT_EQ(readFile("PTC\\wf4\\text\\protk.dat"), "\r\n");
}

TEST_F(RemovalTest, RemovalActionsClearWhatStagingPutIntoReleaseFolders)
{
    EXPECT_EQ(cleanupDependancies(session()), 0u) << "no product key";
    EXPECT_EQ(cleanCmdResources(session()), 0u);

    const std::string obj = "PTC\\wf5\\x86e_win64\\obj\\";
    for (const char* file : {"Microsoft.VC90.CRT\\Microsoft.VC90.CRT.manifest", "Microsoft.VC90.CRT\\msvcp90.dll",
                             "Microsoft.VC90.CRT\\msvcr90.dll", "Microsoft.VC100\\msvcp100.dll",
                             "Microsoft.VC100\\msvcr100.dll", "Microsoft.VC100\\mfc100.dll",
                             "Microsoft.VC90.MFC\\mfc90.dll", "Microsoft.VC90.MFC\\Microsoft.VC90.MFC.manifest"})
        writeFile(obj + file, "runtime");
    auto& registry = machine().registry();
    registry.setString(kProductKey, "Install_WF5_dir", "");
    writeFile("x86e_win64\\obj\\Microsoft.VC100\\mfc100.dll", "root");  // what an empty record would reach
    EXPECT_EQ(cleanupDependancies(session()), 0u);
    EXPECT_TRUE(exists("x86e_win64\\obj\\Microsoft.VC100\\mfc100.dll"));

    registry.setString(kProductKey, "Install_WF5_dir", "C:\\PTC\\wf5");  // no separator: paths lead nowhere
    EXPECT_EQ(cleanupDependancies(session()), 1u);
    EXPECT_TRUE(exists(obj + "Microsoft.VC100\\mfc100.dll"));
    registry.setString(kProductKey, "Install_WF5_dir", "C:\\PTC\\wf5\\");
    makeHost("PTC\\real5");
    writeFile("PTC\\real5\\x86e_win64\\obj\\Microsoft.VC100\\mfc100.dll", "runtime");
    registry.setString(kProductKey, "Install_WF1_dir", "C:\\PTC\\real5\\");
    EXPECT_EQ(cleanupDependancies(session()), 1u);
    EXPECT_FALSE(exists("PTC\\wf5")) << "the folder held nothing but the runtime";

    registry.setString(kProductKey, "Install_WF5_dir", "C:\\PTC\\real5\\");
    EXPECT_EQ(cleanupDependancies(session()), 0u) << "a host executable keeps its runtime";
    EXPECT_TRUE(exists("PTC\\real5\\x86e_win64\\obj\\Microsoft.VC100\\mfc100.dll"));

    writeFile("PTC\\creo1\\text\\usascii\\resource\\open.png");
    writeFile("PTC\\creo1\\text\\usascii\\menu_def.pro");
    writeFile("PTC\\real5\\text\\usascii\\resource\\open.png");
    writeFile("text\\usascii\\resource\\root.png");
    registry.setString(kProductKey, "Install_CREO1_dir", "C:\\PTC\\creo1\\");
    registry.setString(kProductKey, "Install_CREO2_dir", "");
    EXPECT_EQ(cleanCmdResources(session()), 0u);
    EXPECT_FALSE(exists("PTC\\creo1\\text\\usascii\\resource"));
    EXPECT_TRUE(exists("PTC\\creo1\\text\\usascii\\menu_def.pro"));
    EXPECT_FALSE(exists("PTC\\real5\\text"));
    EXPECT_TRUE(exists("PTC\\real5\\x86e_win64\\obj\\xtop.exe"));
    EXPECT_TRUE(exists("text\\usascii\\resource\\root.png"));
    EXPECT_EQ(registry.findKey(kProductKey)->values.size(), 4u) << "no record is deleted";
}
