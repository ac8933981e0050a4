// Folder properties longer than the library takes: 259 characters (the value
// fits its buffer, no path built from it does), 260 (one more than a buffer
// holds) and 5000. For every folder property that an action reads, each
// length gets the action's verdict, a log line names the property with its
// length, and no check passes.
#include "sim_fixture.h"

#include "model/release_table.h"

#include <functional>

namespace {

using ca::kBrowsedFolderProperty;

class OverLongValuesTest : public SimTest {
public:
    // For the verdicts, which the cases hold.
    using SimTest::exists;
    using SimTest::hasProperty;
    using SimTest::property;
    using SimTest::readFile;
    using SimTest::stageAddIn;

protected:
    struct Case {
        std::string action;
        std::string property;
        std::vector<std::pair<std::string, std::string>> setup;  // the other properties
        // The verdict, given the length and the value.
        std::function<void(OverLongValuesTest&, std::size_t, const std::string&)> verdict;
    };

    // The long folder as a host would have it, where the host's file system
    // takes it: the executable, text\usascii and protk.dat with our entry.
    void makeLongHost(const std::string& folder, bool executable)
    {
        if (folder.size() > 1000) return;
        const std::string below = folder.substr(3);
        if (executable) writeFile(below + "\\x86e_win64\\obj\\xtop.exe", "MZ");
        makeFolder(below + "\\x86e_win64\\obj");
        makeFolder(below + "\\text\\usascii");
        writeFile(below + "\\text\\protk.dat", "name Other\r\nend\r\n" + kRelativeEntry);
    }

public:
    // A file below the long folder, when the host's file system could hold it.
    bool existsBelow(const std::string& folder, const std::string& relative)
    {
        return folder.size() < 1000 && exists(folder.substr(3) + "\\" + relative);
    }

protected:
    void check(const Case& c)
    {
        for (const std::size_t length : {259u, 260u, 5000u}) {
            std::filesystem::remove_all(onC("long"));
            machine().properties().clear();
            const std::string value = folderOfLength(length);
            ASSERT_EQ(value.size(), length);
            makeLongHost(value, c.action != "clearTempCommon");
            setProperties(c.setup);
            setProperty(c.property, value);
            const std::size_t from = machine().logMessages().size();
            run(c.action);
            const std::string what = c.action + " with " + c.property + " of " + std::to_string(length) + " characters";
            const std::string count = std::to_string(length) + " characters";
            const auto& log = machine().logMessages();
            EXPECT_TRUE(std::any_of(log.begin() + static_cast<long>(from), log.end(),
                                    [&](const std::string& line) {
                                        return line.find(c.property) != std::string::npos &&
                                               line.find(count) != std::string::npos;
                                    }))
                << what << ": no line names the property and its length";
            c.verdict(*this, length, value);
            if (HasFailure()) {
                ADD_FAILURE() << what;
                for (std::size_t i = from; i < log.size(); ++i) ADD_FAILURE() << log[i];
                return;
            }
        }
    }
};

const std::vector<std::string> kReleaseFolders = {"PROEWF1DIR", "PROEWF2DIR", "PROEWF3DIR", "PROEWF4DIR",
                                                  "PROEWF5DIR", "CREO1DIR",   "CREO2DIR"};
const std::vector<std::string> kListedFolders = {"WFCUSTOM_DIR_ONE",   "WFCUSTOM_DIR_TWO",  "WFCUSTOM_DIR_THREE",
                                                 "WFCUSTOM_DIR_FOUR",  "WFCUSTOM_DIR_FIVE", "WFCUSTOM_DIR_SIX",
                                                 "WFCUSTOM_DIR_SEVEN", "WFCUSTOM_DIR_EIGHT"};

// The selection property of a release folder property: PROEWF4DIR -> PROEWF4.
std::string selectionOf(const std::string& folderProperty)
{
    return folderProperty.substr(0, folderProperty.size() - 3);
}
// The check-box property of a listed slot's folder property.
std::string checkBoxOf(const std::string& dirProperty)
{
    for (const auto& slot : ca::kCustomSlots)
        if (dirProperty == slot.dirProperty) return slot.checkProperty;
    return {};
}

TEST_F(OverLongValuesTest, DetectionAndBrowsing)
{
    check({"isProEInstalled", kBrowsedFolderProperty, {{"ISCMDINSTALL", "1"}, {"PROEM1", "1"}},
           [](OverLongValuesTest& t, std::size_t, const std::string& value) {
               EXPECT_EQ(t.property("PROEDUMPDEPENDANCIES"), "1");
               EXPECT_EQ(t.property(kBrowsedFolderProperty), value);  // a command line's folder stays as given
           }});
    check({"validateProEBrwPath", "PROEMBROWSE", {{"PROECANAME", "setPROEM1DIR"}},
           [](OverLongValuesTest& t, std::size_t, const std::string&) {
               EXPECT_EQ(t.property("ISBROWSEPATHVALID"), "0");
               EXPECT_EQ(t.property("PROE_VER_1"), "");
               EXPECT_EQ(t.property(kBrowsedFolderProperty), "");
           }});
    // Told the folder was validated, the action lists a folder it can hold,
    // and none that it cannot.
    check({"setAdditionalProeOnCB", "PROEMBROWSE", {{"ISBROWSEPATHVALID", "1"}},
           [](OverLongValuesTest& t, std::size_t length, const std::string& value) {
               EXPECT_EQ(t.property("PROE_VER_1"), length < 260 ? "1" : "");
               EXPECT_EQ(t.property("WFCUSTOM_DIR_ONE"), length < 260 ? value : "");
           }});
}

TEST_F(OverLongValuesTest, SelectionAndAccessChecks)
{
    makeWildfire4();
    check({"validateSelection", kBrowsedFolderProperty, {{"ISCMDINSTALL", "1"}, {"PROEM1", "1"}},
           [](OverLongValuesTest& t, std::size_t, const std::string&) {
               EXPECT_EQ(t.property("INVALIDSEL"), "1");
               EXPECT_FALSE(t.hasProperty(kBrowsedFolderProperty));
           }});
    for (const std::string& folder : kReleaseFolders) {
        // A chosen release folder too long to compare is no duplicate of the browsed one.
        check({"validateSelection", folder, {{selectionOf(folder), "1"}, {kBrowsedFolderProperty, "C:\\PTC\\wf4"}},
               [](OverLongValuesTest& t, std::size_t, const std::string&) {
                   EXPECT_EQ(t.property("INVALIDSEL"), "0");
                   EXPECT_EQ(t.property("DUPLICATEDIR"), "");
                   EXPECT_EQ(t.property("PROEM1"), "1");
                   EXPECT_EQ(t.property("PROEM1VER"), "5");
               }});
    }
    std::vector<std::string> checked = kReleaseFolders;
    checked.push_back(kBrowsedFolderProperty);
    for (const std::string& folder : checked)
        check({"checkProTKAccess", folder,
               {{selectionOf(folder), "1"}, {"PROEWF4", "1"}, {"PROEWF4DIR", "C:\\PTC\\wf4"}},
               [](OverLongValuesTest& t, std::size_t, const std::string& value) {
                   EXPECT_EQ(t.property("PROTK_WRITE"), "NO");
                   EXPECT_EQ(t.property("TEMPPROEDIR"), value);
               }});
    for (const std::string& folder : kListedFolders)
        check({"checkProEFolderAccessRights", folder, {{checkBoxOf(folder), "1"}},
               [](OverLongValuesTest& t, std::size_t, const std::string&) {
                   EXPECT_EQ(t.property("PROTK_WRITE"), "NO");
               }});
}

TEST_F(OverLongValuesTest, RegistrationAndRemoval)
{
    std::vector<std::string> registered = kReleaseFolders;
    registered.push_back(kBrowsedFolderProperty);
    const auto untouched = [](OverLongValuesTest& t, std::size_t, const std::string& value) {
        if (value.size() < 1000)
            EXPECT_EQ(t.readFile(value.substr(3) + "\\text\\protk.dat"), "name Other\r\nend\r\n" + kRelativeEntry);
    };
    // A chosen host left without the add-in is told to the package.
    const auto notRegistered = [&](OverLongValuesTest& t, std::size_t length, const std::string& value) {
        untouched(t, length, value);
        const std::string error = t.property("ORVELLA_INSTALL_ERROR");
        EXPECT_NE(error.find(length < 260 ? "did not take the Orvella entry" : "not reached: the folder is too long to take"),
                  std::string::npos)
            << error;
    };
    for (const std::string& folder : registered) {
        const std::string selection = folder == kBrowsedFolderProperty ? "PROEM1" : selectionOf(folder);
        check({"addProEAuxAppInFile", folder, {{selection, "1"}}, notRegistered});
        if (folder != kBrowsedFolderProperty)
            check({"addCMDEntriesInProtFile", folder, {{selection, "1"}}, notRegistered});
        check({"cleanupProEAuxAppInFile", folder, {}, untouched});
    }
}

TEST_F(OverLongValuesTest, CopiesAndDeployment)
{
    stageAddIn();
    makeWildfire4();
    const auto noModule = [](OverLongValuesTest& t, std::size_t, const std::string& value) {
        EXPECT_FALSE(t.existsBelow(value, "x86e_win64\\obj\\orvbridge.dll"));
    };
    const std::vector<std::pair<std::string, std::string>> commandLine = {{"PROEM1", "1"}, {"ISCMDINSTALL", "1"}};
    auto setup = commandLine;
    setup.insert(setup.end(), {{"PROEM1VER", "5"}, {"PROEWF4TEMP", "C:\\ProgramData\\proeWF4"}});
    check({"copyProeDllToMoreInstall", kBrowsedFolderProperty, setup, noModule});
    // Each build's staging folder, by the release code that chooses it.
    for (const auto& [code, build] : {std::pair{"2", "ALLUSERSPROFILE"}, {"4", "PROEWF3TEMP"}, {"5", "PROEWF4TEMP"},
                                      {"6", "PROEWF5TEMP"}, {"7", "CREO1TEMP"}, {"9", "CREO2TEMP"}}) {
        setup = commandLine;
        setup.insert(setup.end(), {{"PROEM1VER", code}, {kBrowsedFolderProperty, "C:\\PTC\\wf4"}});
        check({"copyProeDllToMoreInstall", build, setup, [](OverLongValuesTest& t, std::size_t, const std::string&) {
                   EXPECT_FALSE(t.exists("PTC\\wf4\\x86e_win64\\obj\\orvbridge.dll"));
               }});
    }

    // The runtime goes only into a folder that fits.
    check({"clearTempCommon", "PROEWF5DIR", {{"ISCMDINSTALL", "1"}, {"PROEWF5", "1"}},
           [](OverLongValuesTest& t, std::size_t, const std::string& value) {
               EXPECT_FALSE(t.existsBelow(value, "x86e_win64\\obj\\Microsoft.VC90.CRT"));
               t.stageAddIn();
           }});
    for (const std::string& folder : kListedFolders)
        check({"clearTempCommon", folder, {{checkBoxOf(folder), "1"}},
               [](OverLongValuesTest& t, std::size_t, const std::string& value) {
                   EXPECT_FALSE(t.existsBelow(value, "x86e_win64\\obj\\OvConnector.dll"));
                   t.stageAddIn();
               }});
    // The staging area that a property too long names is not cleared.
    check({"clearTempCommon", "ALLUSERSPROFILE", {}, [](OverLongValuesTest& t, std::size_t, const std::string&) {
               EXPECT_TRUE(t.exists("ProgramData\\OvConnector.dll"));
           }});

    const auto noResources = [](OverLongValuesTest& t, std::size_t, const std::string& value) {
        EXPECT_FALSE(t.existsBelow(value, "text\\usascii\\resource\\open.png"));
        EXPECT_FALSE(t.exists("PTC\\wf4\\text\\usascii\\resource"));
    };
    check({"copyCMDresourcetoUSASCII", "USASCIIM1", {{"PROEWF4DIR", "C:\\PTC\\wf4"}}, noResources});
    for (const std::string& folder : kReleaseFolders)
        check({"copyCMDresourcetoUSASCII", folder, {{"USASCIIM1", "C:\\ProgramData\\text\\"}},
               [](OverLongValuesTest& t, std::size_t, const std::string& value) {
                   EXPECT_FALSE(t.existsBelow(value, "text\\usascii\\resource\\open.png"));
               }});
}

}  // namespace
