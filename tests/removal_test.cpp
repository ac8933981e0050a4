// Tree removal, removal of deployed files and the cleanup actions.
#include "model/release_table.h"
#include "removal/tree_removal.h"
#include "sim_fixture.h"

using namespace ca;

namespace {
using Tree = std::set<std::string>;
}

class RemovalTest : public SimTest {
protected:
    // Every file and folder below a folder on C:, folders with a trailing "\".
    Tree tree(const std::string& folder)
    {
        Tree names;
        for (const auto& [name, content] : filesBelow(folder, true)) names.insert(name);
        return names;
    }
    // A Creo Parametric 2.0 host with files of its own beside where the add-in goes.
    Tree makeCreoHost(const std::string& folder)
    {
        makeHost(folder);
        writeFile(folder + "\\x86e_win64\\obj\\host.dll", "host");
        writeFile(folder + "\\text\\usascii\\menu_def.pro", "host");
        writeFile(folder + "\\text\\ribbon\\default.rbn", "host");
        writeFile(folder + "\\text\\protk.dat", "name OtherTool\r\nend\r\n");
        return tree(folder);
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
    EXPECT_EQ(tree("mixed"), (Tree{"sub\\", "sub\\c.txt"}));
    EXPECT_EQ(emptyAndRemoveFolder(caSession(), "C:\\missing"), 3);
    // An empty text names no folder: the current one stays untouched.
    writeFile("mixed\\d.txt");
    EXPECT_EQ(emptyAndRemoveFolder(caSession(), ""), 3);
    EXPECT_TRUE(exists("mixed\\d.txt"));

    // Resource chains: the resource folder goes, then what is left empty up to the base.
    writeFile("h\\text\\usascii\\resource\\r1.png");
    writeFile("h\\text\\german\\resource\\r2.png");
    makeHost("h");
    const Tree host{"x86e_win64\\", "x86e_win64\\obj\\", "x86e_win64\\obj\\xtop.exe", "text\\", "text\\german\\"};
    removeResourceTree(caSession(), "C:\\h", kMessageResources, true);  // no trailing separator: "C:\htext" is no folder
    EXPECT_TRUE(exists("h\\text\\usascii\\resource\\r1.png"));
    removeResourceTree(caSession(), "C:\\h\\", "text\\french\\resource", false);  // nothing of that name: nothing at all happens
    removeResourceTree(caSession(), "C:\\h\\", kMessageResources, true);
    Tree german = host;
    german.insert({"text\\german\\resource\\", "text\\german\\resource\\r2.png"});
    EXPECT_EQ(tree("h"), german);
    removeResourceTree(caSession(), "C:\\h\\", "text\\german\\resource", false);
    EXPECT_EQ(tree("h"), host);
    // A tree holding only the resource folder goes entirely, the base included.
    writeFile("bare\\text\\usascii\\resource\\r.png");
    removeResourceTree(caSession(), "C:\\bare\\", kMessageResources, true);
    EXPECT_FALSE(exists("bare"));
    writeFile("text\\usascii\\resource\\root.png");
    removeResourceTree(caSession(), "", kMessageResources, true);
    EXPECT_TRUE(exists("text\\usascii\\resource\\root.png"));
    EXPECT_EQ(machine().currentDirectory(), "C:\\mixed");
}

TEST_F(RemovalTest, RemovingADeploymentLeavesTheHostAsItWas)
{
    stageAddIn();
    const Tree before = makeCreoHost("PTC\\creo2");
    // The host's own files of the add-in's names, and its own resource folder.
    writeFile("PTC\\creo2\\x86e_win64\\obj\\msvcr90.dll", "host's");
    writeFile("PTC\\creo2\\text\\usascii\\resource\\host.png", "host's");
    makeFolder("PTC\\creo2\\text\\german");
    const Tree survivors = tree("PTC\\creo2");
    deployAndRegister("C:\\PTC\\creo2", kCreo2);
    ASSERT_TRUE(exists("PTC\\creo2\\x86e_win64\\obj\\orvbridge.dll"));
    ASSERT_TRUE(exists("PTC\\creo2\\text\\usascii\\resource\\open.png"));
    deployAndRegister("C:\\PTC\\creo2\\", kCreo2);  // a repair keeps the first record
    removeDeployment("C:\\PTC\\creo2\\");  // doubled separators are accepted
    EXPECT_EQ(tree("PTC\\creo2"), survivors);
    EXPECT_EQ(readFile("PTC\\creo2\\text\\protk.dat"), "name OtherTool\r\nend\r\n");
    // A host file that the deployment overwrote keeps the add-in's copy.
    EXPECT_EQ(readFile("PTC\\creo2\\x86e_win64\\obj\\msvcr90.dll"), "msvcr90.dll");
    removeDeployment("");
    removeDeployment("C:\\nowhere");

    // Installed by an earlier version, without a record: every file of the add-in's names goes,
    // the language folders stay, and protk.dat keeps the empty line before the entry.
    const Tree legacy = makeCreoHost("PTC\\old");
    deployAndRegister("C:\\PTC\\old", kCreo2, false);
    removeDeployment("C:\\PTC\\old");
    Tree expected = legacy;
    expected.insert({"text\\japanese\\", "text\\french\\", "text\\german\\"});
    EXPECT_EQ(tree("PTC\\old"), expected);
    EXPECT_EQ(readFile("PTC\\old\\text\\protk.dat"), "name OtherTool\r\nend\r\n");
}

TEST_F(RemovalTest, UnregistrationCleansRecordedInstallationsAndDeletesTheirRecords)
{
    stageAddIn();
    const Tree two = makeCreoHost("PTC\\two");
    const Tree five = makeCreoHost("PTC\\five");
    writeFile("PTC\\gone\\text\\protk.dat", "\r\nname Orvella\r\n");  // no host executable any more
    for (const char* host : {"C:\\PTC\\two", "C:\\PTC\\five"}) deployAndRegister(host, kCreo2);
    auto& registry = machine().registry();
    for (const auto& [name, folder] :
         {std::pair{"WFCUSTOM_DIR_TWO", "C:\\PTC\\two"}, {"WFCUSTOM_DIR_FIVE", "C:\\PTC\\five\\"},
          {"WFCUSTOM_DIR_SIX", "C:\\PTC\\gone"}, {"WFCUSTOM_DIR_SEVEN", ""}, {"Install_WF5_dir", "C:\\PTC\\wf5\\"}})
        registry.setString(kProductKey, name, folder);
    writeFile("text\\protk.dat", "\r\nname Orvella\r\n");  // what an empty folder would reach
    makeHost("PTC\\wf4");
    writeFile("PTC\\wf4\\text\\protk.dat", "a\r\n\r\nname Orvella\r\n1\r\nend\r\nb\r\n");
    setProperty("PROEWF4DIR", "C:\\PTC\\wf4");  // its check box is cleared
    // Given on a command line and not detected at removal: its record still names it.
    makeHost("PTC\\cmd5", true);
    writeFile("PTC\\cmd5\\text\\protk.dat", "keep\n\nname Orvella\nend\n");
    registry.setString(kProductKey, "Install_WF5_dir", "C:\\PTC\\cmd5\\");

    for (int run = 0; run < 2; ++run) {
        EXPECT_EQ(cleanupProEAuxAppInFile(session()), 0u);
        EXPECT_EQ(tree("PTC\\two"), two);
        EXPECT_EQ(tree("PTC\\five"), five);
        EXPECT_FALSE(exists("PTC\\gone\\text\\protk.dat"));
        EXPECT_EQ(readFile("text\\protk.dat"), "\r\nname Orvella\r\n");
        EXPECT_EQ(readFile("PTC\\wf4\\text\\protk.dat"), "a\r\nb\r\n");
        EXPECT_EQ(readFile("PTC\\cmd5\\text\\protk.dat"), "keep\n");
        int folderRecords = 0;
        const auto values = registry.flatten()[kProductKey];
        for (const auto& [name, value] : values) folderRecords += name.rfind("Before ", 0) != 0;
        EXPECT_EQ(folderRecords, 1) << "only the release record stays";
    }

    // Without the product key the release slots are still unregistered.
    registry.deleteKey(kProductKey);
    writeFile("PTC\\wf4\\text\\protk.dat", "\r\nname Orvella\r\n1\r\n2\r\n");
    setProperties({{"PROEWF4DIR", ""}, {"PROEM1DIR", "C:\\PTC\\wf4\\"}});
    EXPECT_EQ(cleanupProEAuxAppInFile(session()), 0u);
    EXPECT_EQ(readFile("PTC\\wf4\\text\\protk.dat"), "");
}

TEST_F(RemovalTest, RemovalActionsClearWhatStagingPutIntoReleaseFolders)
{
    EXPECT_EQ(cleanupDependancies(session()), 0u) << "no product key";
    EXPECT_EQ(cleanCmdResources(session()), 0u);

    for (const std::string& file : kKeptRuntime) writeFile("PTC\\wf5\\x86e_win64\\obj\\" + file.substr(8), "runtime");
    auto& registry = machine().registry();
    registry.setString(kProductKey, "Install_WF5_dir", "");
    writeFile("x86e_win64\\obj\\Microsoft.VC100\\mfc100.dll", "root");  // what an empty record would reach
    EXPECT_EQ(cleanupDependancies(session()), 0u);
    EXPECT_TRUE(exists("x86e_win64\\obj\\Microsoft.VC100\\mfc100.dll"));

    registry.setString(kProductKey, "Install_WF5_dir", "C:\\PTC\\wf5");  // no separator: paths lead nowhere
    EXPECT_EQ(cleanupDependancies(session()), 1u);
    EXPECT_TRUE(exists("PTC\\wf5\\x86e_win64\\obj\\Microsoft.VC100\\mfc100.dll"));
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
    EXPECT_EQ(tree("PTC\\creo1"), (Tree{"text\\", "text\\usascii\\", "text\\usascii\\menu_def.pro"}));
    EXPECT_FALSE(exists("PTC\\real5\\text"));
    EXPECT_TRUE(exists("PTC\\real5\\x86e_win64\\obj\\xtop.exe"));
    EXPECT_TRUE(exists("text\\usascii\\resource\\root.png"));
    EXPECT_EQ(registry.flatten()[kProductKey].size(), 4u) << "no record is deleted";
}
