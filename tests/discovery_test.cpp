// Host discovery: the registry scan, isProEInstalled and the check-box list.
#include "core/actions.h"
#include "core/state.h"
#include "discovery/check_box_list.h"
#include "discovery/registry_scan.h"
#include "platform/installer.h"
#include "platform/registry.h"
#include "sim_fixture.h"

#include <string>

namespace {

const std::string kWildfire = "SOFTWARE\\PTC\\Pro/ENGINEER\\";
const std::string kCreo = "SOFTWARE\\PTC\\Creo Parametric\\";
const std::string kCreo32 = "SOFTWARE\\Wow6432Node\\PTC\\Creo Parametric\\";

class DiscoveryTest : public SimTest {
protected:
    // A usable installation C:\<folder>, registered as <releaseKey>\<subkey>.
    void addHost(const std::string& releaseKey, const std::string& subkey, const std::string& folder,
                 const std::string& shipcode, const char* folderValue = nullptr)
    {
        makeHost(folder);
        const std::string key = releaseKey + "\\" + subkey;
        const bool creo = releaseKey.find("Creo") != std::string::npos;
        machine().registry().setString(key, folderValue ? folderValue : (creo ? "CommonFilesLocation" : "InstallDir"),
                                       "C:\\" + folder);
        machine().registry().setString(key, "DateCode", "2011130");
        if (!shipcode.empty()) machine().registry().setString(key, "Shipcode", shipcode);
    }

    // The eight check boxes of the destination dialog, and one look-alike
    // on another dialog that must never change.
    void seedCheckBoxes()
    {
        for (int n = 1; n <= 8; ++n) {
            const std::string digit = std::to_string(n);
            machine().controlRows().push_back(sim::ControlRow{
                {"RunTimeDestinationFolder", "Box" + digit, "CheckBox", "20", std::to_string(20 * n), "300", "17", "3",
                 "PROE_VER_" + digit, "[WFCUSTOM_" + digit + "]", "Box" + std::to_string(n + 1), ""}});
        }
        machine().controlRows().push_back(
            sim::ControlRow{{"OtherDialog", "Box1", "CheckBox", "0", "0", "1", "1", "3", "PROE_VER_1", "", "", ""}});
    }

    const sim::ControlRow* rowFor(const std::string& dialog, const std::string& property)
    {
        for (const sim::ControlRow& row : machine().controlRows())
            if (row.fields[0] == dialog && row.fields[8] == property) return &row;
        return nullptr;
    }
};

TEST_F(DiscoveryTest, ScanKeepsLastInBuffersAndEveryUsableInstallationInTheMap)
{
    ca::resetProcessState();
    const std::string release = kWildfire + "Wildfire 4.0";
    addHost(release, "a", "wf4\\m020", "M020");
    addHost(release, "b", "wf4\\m010", "M010");
    addHost(release, "c", "wf4\\dup",
            "M010");                           // same label: the map keeps the first
    addHost(release, "d", "wf4\\noship", "");  // label from DateCode
    machine().registry().setString(release + "\\e", "InstallDir",
                                   "C:\\wf4\\noexe");  // no xtop.exe
    machine().registry().setString(release + "\\e", "DateCode", "2011130");
    addHost(release, "f", "wf4\\letters", "M999");
    machine().registry().setString(release + "\\f", "DateCode",
                                   "M999");  // not a positive number
    addHost(release, "g", "wf4\\creoonly", "M888", "CommonFilesLocation");
    addHost(release, "h", std::string(200, 'x'), "M777");
    const std::string tooLong(260, 'y');
    machine().registry().setString(release + "\\i", "InstallDir", "C:\\" + tooLong);
    machine().registry().setString(release + "\\i", "DateCode", "2011130");

    ca::InstallationMap map;
    ca::PathBuffer folder, label;
    {
        pf::RegKey key;
        ASSERT_EQ(pf::regOpenKey(nullptr, release.c_str(), pf::kKeyRead, key), pf::kSuccess);
        EXPECT_TRUE(ca::scanReleaseKey(key, folder, label, map));
    }
    EXPECT_EQ(folder.str(), "C:\\" + std::string(200, 'x'));
    EXPECT_EQ(label.str(), "(Datecode: M777)");
    ASSERT_EQ(map.size(), 4u);
    auto it = map.begin();
    EXPECT_EQ(it->first, "(Datecode: 2011130)");
    EXPECT_EQ(it->second, "C:\\wf4\\noship");
    ++it;
    EXPECT_EQ(it->first, "(Datecode: M010)");
    EXPECT_EQ(it->second, "C:\\wf4\\m010");
    ++it;
    EXPECT_EQ(it->first, "(Datecode: M020)");
    ++it;
    EXPECT_EQ(it->first, "(Datecode: M777)");

    // A Shipcode that holds only its terminator gives an empty code; one
    // without any data falls back to DateCode.
    const std::string other = kWildfire + "Wildfire 3.0";
    addHost(other, "a", "wf3\\empty", "");
    machine().registry().setValue(other + "\\a", "Shipcode", sim::RegValue{1, {0}});
    addHost(other, "b", "wf3\\nodata", "");
    machine().registry().setValue(other + "\\b", "Shipcode", sim::RegValue{1, {}});
    map.clear();
    {
        pf::RegKey key;
        ASSERT_EQ(pf::regOpenKey(nullptr, other.c_str(), pf::kKeyRead, key), pf::kSuccess);
        ca::scanReleaseKey(key, folder, label, map);
    }
    EXPECT_EQ(map.count("(Datecode: )"), 1u);
    EXPECT_EQ(map.count("(Datecode: 2011130)"), 1u);

    // A key without subkeys leaves the buffers as they were.
    machine().registry().createKey(kWildfire + "Wildfire 2.0");
    ca::PathBuffer untouched("C:\\before");
    ca::PathBuffer keptLabel("kept");
    {
        pf::RegKey key;
        ASSERT_EQ(pf::regOpenKey(nullptr, (kWildfire + "Wildfire 2.0").c_str(), pf::kKeyRead, key), pf::kSuccess);
        EXPECT_TRUE(ca::scanReleaseKey(key, untouched, keptLabel, map));
        ca::PathBuffer empty;
        EXPECT_FALSE(ca::scanReleaseKey(key, empty, keptLabel, map));
    }
    EXPECT_EQ(untouched.str(), "C:\\before");
    EXPECT_EQ(keptLabel.str(), "kept");
}

TEST_F(DiscoveryTest, IsProEInstalledPublishesEachReleaseAndTheBrowsedFolderVerdict)
{
    machine().standardUser = true;  // discovery only reads: a standard user finds the hosts too
    addHost(kCreo + "2.0", "a", "creo2\\native", "M010");
    addHost(kCreo32 + "2.0", "a", "creo2\\wow", "M020");
    addHost(kWildfire + "Wildfire", "a", "wf1", "M100");
    addHost(kWildfire + "Wildfire 1.0", "a", "wf1numbered", "M200");
    addHost(kWildfire + "Wildfire 5.0", "a", "wf5\\first", "M300");
    addHost(kWildfire + "Wildfire 5.0", "b", "wf5\\last", "M400");
    addHost(kWildfire + "Wildfire 4.0", "a", "wf4\\creovalue", "M500", "CommonFilesLocation");
    setProperty("PROEWF3", "1");
    setProperty("PROEWF3DIR", "C:\\stale");
    setProperty("PROEM1DIR", "C:\\wf1");
    writeFile("x86e_win64\\obj\\xtop.exe",
              "MZ");  // must not make an empty folder a host

    isProEInstalled(session());
    EXPECT_EQ(property("CREO2"), "1");
    EXPECT_EQ(property("CREO2DIR"), "C:\\creo2\\wow");
    EXPECT_EQ(property("SHIPCODECREO2"), "(Datecode: M020)");
    EXPECT_EQ(property("PROEWF1DIR"), "C:\\wf1");
    EXPECT_EQ(property("SHIPCODE1"), "(Datecode: M100)");
    EXPECT_EQ(property("PROEWF5DIR"), "C:\\wf5\\last");
    EXPECT_EQ(property("SHIPCODE5"), "(Datecode: M400)");
    EXPECT_FALSE(hasProperty("PROEWF4"));
    EXPECT_FALSE(hasProperty("PROEWF3"));
    EXPECT_FALSE(hasProperty("PROEWF3DIR"));
    EXPECT_FALSE(hasProperty("CREO1"));
    EXPECT_FALSE(hasProperty("PROEM1DIR"));
    EXPECT_EQ(property("PROEDUMPDEPENDANCIES"), "1");

    // A command-line installation keeps PROEM1DIR and tests that folder.
    setProperty("ISCMDINSTALL", "1");
    setProperty("PROEM1", "1");
    setProperty("PROEM1DIR", "C:\\wf1");
    isProEInstalled(session());
    EXPECT_EQ(property("PROEM1DIR"), "C:\\wf1");
    EXPECT_EQ(property("PROEDUMPDEPENDANCIES"), "0");

    // With the browsed slot switched off, nothing changes at all.
    setProperty("PROEM1", "0");
    setProperty("PROEWF3", "1");
    const auto before = machine().properties();
    isProEInstalled(session());
    EXPECT_EQ(machine().properties(), before);
}

TEST_F(DiscoveryTest, CheckBoxesGetLabelsFoldersAndTooltipsInKeyOrder)
{
    seedCheckBoxes();
    addHost(kCreo + "1.0", "a", "creo1", "M030");
    addHost(kWildfire + "Wildfire 4.0", "a", "wf4\\m070", "M070");
    addHost(kWildfire + "Wildfire 4.0", "b", "wf4\\m040", "M040");
    addHost(kWildfire + "Wildfire 4.0", "c", "wf4\\twin",
            "M040");  // same label: only the first
    setProperty("SHIPCODE5", "(Datecode: OLD)");
    setProperty("PROEWF5", "kept");
    machine().standardUser = true;

    fillInsatlledProeCB(session());
    EXPECT_EQ(property("WFCUSTOM_ONE"), "Creo Parametric 1.0 [(Datecode: M030)]");
    EXPECT_EQ(property("WFCUSTOM_DIR_ONE"), "C:\\creo1");
    EXPECT_EQ(property("WFCUSTOM_TWO"), "Pro/ENGINEER WildFire 4.0 [(Datecode: M040)]");
    EXPECT_EQ(property("WFCUSTOM_DIR_TWO"), "C:\\wf4\\m040");
    EXPECT_EQ(property("WFCUSTOM_THREE"), "Pro/ENGINEER WildFire 4.0 [(Datecode: M070)]");
    EXPECT_EQ(property("WFCUSTOM_DIR_THREE"), "C:\\wf4\\m070");
    for (const char* box : {"PROE_VER_1", "PROE_VER_2", "PROE_VER_3"}) EXPECT_EQ(property(box), "1") << box;
    EXPECT_FALSE(hasProperty("PROE_VER_4"));
    EXPECT_FALSE(hasProperty("WFCUSTOM_FOUR"));
    EXPECT_EQ(property("CREO1"), "1");
    EXPECT_EQ(property("PROEWF4"), "1");
    EXPECT_EQ(property("PROEWF5"), "kept");
    EXPECT_FALSE(hasProperty("CREO2"));
    EXPECT_FALSE(hasProperty("SHIPCODE5"));

    const std::string expected[] = {"C:\\creo1|", "C:\\wf4\\m040|", "C:\\wf4\\m070|"};
    for (int n = 1; n <= 8; ++n) {
        const sim::ControlRow* row = rowFor("RunTimeDestinationFolder", "PROE_VER_" + std::to_string(n));
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->fields[1], "Box" + std::to_string(n));
        EXPECT_EQ(row->temporary, n <= 3) << n;
        EXPECT_EQ(row->fields[11], n <= 3 ? expected[n - 1] : "") << n;
    }
    EXPECT_EQ(rowFor("OtherDialog", "PROE_VER_1")->fields[11], "");

    // A second run in the same process starts from a fresh list and fills
    // the same slots again.
    fillInsatlledProeCB(session());
    EXPECT_EQ(property("WFCUSTOM_ONE"), "Creo Parametric 1.0 [(Datecode: M030)]");
    EXPECT_FALSE(hasProperty("PROE_VER_4"));
    EXPECT_EQ(rowFor("RunTimeDestinationFolder", "PROE_VER_1")->fields[11], "C:\\creo1|");
}

TEST_F(DiscoveryTest, AtMostEightBoxesAcrossReleases)
{
    seedCheckBoxes();
    addHost(kCreo + "1.0", "a", "c1a", "A1");
    addHost(kCreo + "1.0", "b", "c1b", "A2");
    addHost(kCreo + "2.0", "a", "c2a", "B1");
    addHost(kCreo + "2.0", "b", "c2b", "B2");
    addHost(kCreo32 + "2.0", "a", "c2wa", "C1");
    addHost(kCreo32 + "2.0", "b", "c2wb", "C2");
    addHost(kWildfire + "Wildfire 5.0", "a", "w5a", "M300");
    addHost(kWildfire + "Wildfire 5.0", "b", "w5b", "M100");
    addHost(kWildfire + "Wildfire 5.0", "c", "w5c", "M200");
    addHost(kWildfire + "Wildfire 4.0", "a", "w4a", "M400");

    fillInsatlledProeCB(session());
    EXPECT_EQ(property("WFCUSTOM_FIVE"), "Creo Parametric 2.0 [(Datecode: C1)]");
    EXPECT_EQ(property("WFCUSTOM_DIR_SIX"), "C:\\c2wb");
    EXPECT_EQ(property("WFCUSTOM_SEVEN"), "Pro/ENGINEER WildFire 5.0 [(Datecode: M100)]");
    EXPECT_EQ(property("WFCUSTOM_EIGHT"), "Pro/ENGINEER WildFire 5.0 [(Datecode: M200)]");
    EXPECT_EQ(property("PROE_VER_8"), "1");
    EXPECT_EQ(property("PROEWF5"), "1");
    EXPECT_FALSE(hasProperty("PROEWF4"));  // scanned, but no box was left
    int temporaryRows = 0;
    for (const sim::ControlRow& row : machine().controlRows()) temporaryRows += row.temporary;
    EXPECT_EQ(temporaryRows, 8);
}

TEST_F(DiscoveryTest, NoHostFillsNothingAndForeignNamesChangeNoRow)
{
    seedCheckBoxes();
    setProperty("SHIPCODE5", "x");
    const auto rows = machine().controlRows();
    fillInsatlledProeCB(session());
    EXPECT_FALSE(hasProperty("SHIPCODE5"));
    EXPECT_FALSE(hasProperty("PROE_VER_1"));
    for (const char* release : {"CREO1", "CREO2", "PROEWF1", "PROEWF5"}) EXPECT_FALSE(hasProperty(release));
    EXPECT_EQ(machine().controlRows(), rows);

    {
        pf::UniqueMsiHandle database(pf::msiGetActiveDatabase(session()));
        ca::setCheckBoxTooltip(database.get(), "PROE_VER_9", "C:\\x");
        ca::setCheckBoxTooltip(database.get(), "proe_ver_1", "C:\\x");
        ca::setCheckBoxTooltip(database.get(), "WFCUSTOM_ONE", "C:\\x");
    }
    EXPECT_EQ(machine().controlRows(), rows);

    // Without a database the slot is still filled; only the tooltip is missing.
    addHost(kWildfire + "Wildfire 2.0", "a", "wf2", "M010");
    machine().setDatabaseAvailable(false);
    fillInsatlledProeCB(session());
    EXPECT_EQ(property("WFCUSTOM_ONE"), "Pro/ENGINEER WildFire 2.0 [(Datecode: M010)]");
    EXPECT_EQ(machine().controlRows(), rows);
}

}  // namespace
