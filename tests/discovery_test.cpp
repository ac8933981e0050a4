// Host discovery: the registry scan, isProEInstalled and the check-box list.
#include "discovery/registry_scan.h"
#include "model/listed_installations.h"
#include "platform/installer.h"
#include "platform/registry.h"
#include "platform/sim/machine_internal.h"
#include "sim_fixture.h"

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
        auto& reg = machine().registry();
        reg.setString(key, folderValue ? folderValue : (creo ? "CommonFilesLocation" : "InstallDir"), "C:\\" + folder);
        reg.setString(key, "DateCode", "2011130");
        if (!shipcode.empty()) reg.setString(key, "Shipcode", shipcode);
    }
    bool scan(const std::string& releaseKey, ca::PathBuffer& folder, ca::PathBuffer& label, ca::InstallationMap& map)
    {
        platform::RegKey key;
        EXPECT_EQ(platform::regOpenKey(nullptr, releaseKey.c_str(), platform::kKeyRead, key), platform::kSuccess);
        const bool creo = releaseKey.find("Creo") != std::string::npos;
        const char* folderValue = ca::releaseSlot(creo ? ca::Slot::creo1 : ca::Slot::proeWf4).folderValue;
        return ca::scanReleaseKey(caSession(), key, folderValue, {"test", releaseKey}, folder, label, map);
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
    const std::string release = kWildfire + "Wildfire 4.0";
    auto& reg = machine().registry();
    addHost(release, "a", "wf4\\m020", "M020");
    addHost(release, "b", "wf4\\m010", "M010");
    addHost(release, "c", "wf4\\dup", "M010");   // same label: the map keeps the first
    addHost(release, "d", "wf4\\noship", "");    // label from DateCode
    reg.setString(release + "\\e", "InstallDir", "C:\\wf4\\noexe");  // no xtop.exe
    reg.setString(release + "\\e", "DateCode", "2011130");
    addHost(release, "f", "wf4\\letters", "M999");
    reg.setString(release + "\\f", "DateCode", "M999");  // not a positive number
    addHost(release, "g", "wf4\\creoonly", "M888", "CommonFilesLocation");
    addHost(release, "h", std::string(200, 'x'), "M777");
    reg.setString(release + "\\i", "InstallDir", "C:\\" + std::string(260, 'y'));
    reg.setString(release + "\\i", "DateCode", "2011130");
    addHost(release, "j", "wf4\\longship", std::string(300, 'M'));  // too long: labelled by its DateCode
    reg.setString(release + "\\j", "DateCode", "2011131");
    makeHost("wf4\\nodate");
    reg.setString(release + "\\k", "InstallDir", "C:\\wf4\\nodate");
    // A label of 262 characters is not listed, but its folder, read first, stays in the buffer.
    addHost(release, "l", "wf4\\longlabel", std::string(250, 'L'));

    ca::InstallationMap map;
    ca::PathBuffer folder, label;
    EXPECT_TRUE(scan(release, folder, label, map));
    EXPECT_EQ(folder.str(), "C:\\wf4\\longlabel");
    EXPECT_EQ(label.str(), "(Datecode: 2011131)");
    EXPECT_EQ(map, (ca::InstallationMap{{"(Datecode: 2011130)", "C:\\wf4\\noship"},
                                        {"(Datecode: 2011131)", "C:\\wf4\\longship"},
                                        {"(Datecode: M010)", "C:\\wf4\\m010"},
                                        {"(Datecode: M020)", "C:\\wf4\\m020"},
                                        {"(Datecode: M777)", "C:\\" + std::string(200, 'x')}}));

    // Every subkey gets one line: where it was found, or why it was passed over.
    EXPECT_EQ(logLines("test: test "),
              (std::vector<std::string>{
                  "test: test a: found in C:\\wf4\\m020, (Datecode: M020)",
                  "test: test b: found in C:\\wf4\\m010, (Datecode: M010)",
                  "test: test c: found in C:\\wf4\\dup, (Datecode: M010)",
                  "test: test d: found in C:\\wf4\\noship, (Datecode: 2011130)",
                  "test: test e: skipped: C:\\wf4\\noexe holds no x86e_win64\\obj\\xtop.exe",
                  "test: test f: skipped: DateCode \"M999\" is not a positive number",
                  "test: test g: skipped: no InstallDir text of at most 259 characters",
                  "test: test h: found in C:\\" + std::string(200, 'x') + ", (Datecode: M777)",
                  "test: test i: skipped: no InstallDir text of at most 259 characters",
                  "test: test j: found in C:\\wf4\\longship, (Datecode: 2011131)",
                  "test: test k: skipped: no DateCode text of at most 259 characters",
                  "test: test l: found in C:\\wf4\\longlabel, its label from \"" + std::string(160, 'L') +
                      "\"... (250 characters) longer than 259 characters: not listed"}));
    // A Shipcode that holds only its terminator gives an empty code; one without data falls back to DateCode.
    const std::string other = kWildfire + "Wildfire 3.0";
    addHost(other, "a", "wf3\\empty", "");
    reg.setValue(other + "\\a", "Shipcode", sim::RegValue{1, {0}});
    addHost(other, "b", "wf3\\nodata", "");
    reg.setValue(other + "\\b", "Shipcode", sim::RegValue{1, {}});
    map.clear();
    scan(other, folder, label, map);
    EXPECT_EQ(map, (ca::InstallationMap{{"(Datecode: )", "C:\\wf3\\empty"},
                                        {"(Datecode: 2011130)", "C:\\wf3\\nodata"}}));

    // A key without subkeys leaves the buffers as they were.
    reg.createKey(kWildfire + "Wildfire 2.0");
    ca::PathBuffer untouched("C:\\before"), keptLabel("kept"), empty;
    EXPECT_TRUE(scan(kWildfire + "Wildfire 2.0", untouched, keptLabel, map));
    EXPECT_FALSE(scan(kWildfire + "Wildfire 2.0", empty, keptLabel, map));
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
    setProperties({{"PROEWF3", "1"}, {"PROEWF3DIR", "C:\\stale"}, {"PROEM1DIR", "C:\\wf1"}});
    makeHost("");  // must not make an empty folder a host

    isProEInstalled(session());
    for (const auto& [name, value] :
         {std::pair{"CREO2", "1"}, {"CREO2DIR", "C:\\creo2\\wow"}, {"SHIPCODECREO2", "(Datecode: M020)"},
          {"PROEWF1DIR", "C:\\wf1"}, {"SHIPCODE1", "(Datecode: M100)"}, {"PROEWF5DIR", "C:\\wf5\\last"},
          {"SHIPCODE5", "(Datecode: M400)"}, {"PROEDUMPDEPENDANCIES", "1"}})
        EXPECT_EQ(property(name), value) << name;
    for (const char* name : {"PROEWF4", "PROEWF3", "PROEWF3DIR", "CREO1", "PROEM1DIR"})
        EXPECT_FALSE(hasProperty(name)) << name;

    // A command-line installation keeps PROEM1DIR and tests that folder.
    setProperties({{"ISCMDINSTALL", "1"}, {"PROEM1", "1"}, {"PROEM1DIR", "C:\\wf1"}});
    isProEInstalled(session());
    EXPECT_EQ(property("PROEM1DIR"), "C:\\wf1");
    EXPECT_EQ(property("PROEDUMPDEPENDANCIES"), "0");

    // With the browsed slot switched off, nothing changes at all.
    setProperties({{"PROEM1", "0"}, {"PROEWF3", "1"}});
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
    addHost(kWildfire + "Wildfire 4.0", "c", "wf4\\twin", "M040");  // same label: only the first
    setProperties({{"SHIPCODE5", "(Datecode: OLD)"}, {"PROEWF5", "kept"}});
    // A list left by an earlier run is no reason to skip a slot or a label.
    setProperties({{"WFCUSTOM_ONE", "Creo Parametric 1.0 [(Datecode: M030)]"}, {"WFCUSTOM_DIR_ONE", "C:\\old"},
                   {"WFCUSTOM_DIR_TWO", "C:\\wf4\\m040"}, {"WFCUSTOM_DIR_EIGHT", "C:\\eight"}});
    machine().standardUser = true;

    for (int run = 0; run < 2; ++run) {  // a second run starts from a fresh list and fills the same slots
        fillInsatlledProeCB(session());
        for (const auto& [name, value] :
             {std::pair{"WFCUSTOM_ONE", "Creo Parametric 1.0 [(Datecode: M030)]"}, {"WFCUSTOM_DIR_ONE", "C:\\creo1"},
              {"WFCUSTOM_TWO", "Pro/ENGINEER WildFire 4.0 [(Datecode: M040)]"}, {"WFCUSTOM_DIR_TWO", "C:\\wf4\\m040"},
              {"WFCUSTOM_THREE", "Pro/ENGINEER WildFire 4.0 [(Datecode: M070)]"},
              {"WFCUSTOM_DIR_THREE", "C:\\wf4\\m070"}, {"PROE_VER_1", "1"}, {"PROE_VER_2", "1"}, {"PROE_VER_3", "1"},
              {"CREO1", "1"}, {"PROEWF4", "1"}, {"PROEWF5", "kept"}})
            EXPECT_EQ(property(name), value) << name;
        for (const char* name : {"PROE_VER_4", "WFCUSTOM_FOUR", "CREO2", "SHIPCODE5"})
            EXPECT_FALSE(hasProperty(name)) << name;
        const std::string tooltips[] = {"C:\\creo1|", "C:\\wf4\\m040|", "C:\\wf4\\m070|", "", "", "", "", ""};
        for (int n = 1; n <= 8; ++n) {
            const sim::ControlRow* row = rowFor("RunTimeDestinationFolder", "PROE_VER_" + std::to_string(n));
            ASSERT_NE(row, nullptr);
            EXPECT_EQ(row->fields[1], "Box" + std::to_string(n));
            EXPECT_EQ(row->temporary, n <= 3) << n;
            EXPECT_EQ(row->fields[11], tooltips[n - 1]) << n;
        }
        EXPECT_EQ(rowFor("OtherDialog", "PROE_VER_1")->fields[11], "");
    }
}

TEST_F(DiscoveryTest, AtMostEightBoxesAcrossReleases)
{
    seedCheckBoxes();
    for (const auto& [key, code] : {std::pair{kCreo + "1.0", "A"}, {kCreo + "2.0", "B"}, {kCreo32 + "2.0", "C"}}) {
        addHost(key, "a", key.substr(key.size() - 3) + code + "a", std::string(code) + "1");
        addHost(key, "b", key.substr(key.size() - 3) + code + "b", std::string(code) + "2");
    }
    addHost(kWildfire + "Wildfire 5.0", "a", "w5a", "M300");
    addHost(kWildfire + "Wildfire 5.0", "b", "w5b", "M100");
    addHost(kWildfire + "Wildfire 5.0", "c", "w5c", "M200");
    addHost(kWildfire + "Wildfire 4.0", "a", "w4a", "M400");

    fillInsatlledProeCB(session());
    EXPECT_EQ(property("WFCUSTOM_FIVE"), "Creo Parametric 2.0 [(Datecode: C1)]");
    EXPECT_EQ(property("WFCUSTOM_DIR_SIX"), "C:\\2.0Cb");
    EXPECT_EQ(property("WFCUSTOM_SEVEN"), "Pro/ENGINEER WildFire 5.0 [(Datecode: M100)]");
    EXPECT_EQ(property("WFCUSTOM_EIGHT"), "Pro/ENGINEER WildFire 5.0 [(Datecode: M200)]");
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
    for (const char* name : {"SHIPCODE5", "PROE_VER_1", "CREO1", "CREO2", "PROEWF1", "PROEWF5"})
        EXPECT_FALSE(hasProperty(name)) << name;
    for (const char* name : {"PROE_VER_9", "proe_ver_1", "WFCUSTOM_ONE"})
        ca::setCheckBoxTooltip(caSession(), name, "C:\\x");
    EXPECT_EQ(machine().controlRows(), rows);

    // Without a database the slot is still filled; only the tooltip is missing.
    addHost(kWildfire + "Wildfire 2.0", "a", "wf2", "M010");
    machine().setDatabaseAvailable(false);
    fillInsatlledProeCB(session());
    EXPECT_EQ(property("WFCUSTOM_ONE"), "Pro/ENGINEER WildFire 2.0 [(Datecode: M010)]");
    EXPECT_EQ(machine().controlRows(), rows);

    // A release key that is not there (the 32-bit view's) finds nothing, not
    // the key opened before it once more.
    addHost(kCreo + "2.0", "a", "creo2", "M020");
    fillInsatlledProeCB(session());
    EXPECT_EQ(property("WFCUSTOM_ONE"), "Creo Parametric 2.0 [(Datecode: M020)]");
    EXPECT_EQ(property("WFCUSTOM_TWO"), "Pro/ENGINEER WildFire 2.0 [(Datecode: M010)]");
    EXPECT_FALSE(hasProperty("WFCUSTOM_THREE"));
    EXPECT_EQ(logLines("HKLM\\SOFTWARE\\Wow6432Node\\PTC\\Creo Parametric not found: no release of it is registered").size(),
              3u);
}

// What an earlier run found is gone when nothing is found again: each of the
// 21 release properties, removed in this order, and the browsed folder.
TEST_F(DiscoveryTest, DetectionRemovesEveryReleasePropertyOfAnEarlierRun)
{
    const std::vector<std::string> released = {
        "CREO1",      "CREO1DIR",  "CREO2",     "CREO2DIR",  "PROEWF5",   "PROEWF5DIR",    "PROEWF4",
        "PROEWF4DIR", "PROEWF3",   "PROEWF3DIR", "PROEWF2",  "PROEWF2DIR", "PROEWF1",      "PROEWF1DIR",
        "SHIPCODE1",  "SHIPCODE2", "SHIPCODE3", "SHIPCODE4", "SHIPCODE5",  "SHIPCODECREO1", "SHIPCODECREO2"};
    for (const std::string& name : released) setProperty(name, "stale");
    setProperty("PROEM1DIR", "C:\\browsed");
    const std::size_t from = machine().internal().propertyChanges.size();
    isProEInstalled(session());
    std::vector<std::string> removed;
    const auto& changes = machine().internal().propertyChanges;
    for (std::size_t i = from; i < changes.size(); ++i)
        if (!changes[i].after && changes[i].before) removed.push_back(changes[i].name);
    std::vector<std::string> expected = released;
    expected.push_back("PROEM1DIR");
    EXPECT_EQ(removed, expected);
    for (const std::string& name : expected) EXPECT_FALSE(hasProperty(name)) << name;
    EXPECT_EQ(property("PROEDUMPDEPENDANCIES"), "1");
}

// Lists stay bounded: 40 installations of one release give 16 lines one by
// one, one counted line for the rest (a failed registry call among them is
// counted too, not logged apart) and one counted line for those without a
// check box.
TEST_F(DiscoveryTest, ManyInstallationsGiveCountedLines)
{
    seedCheckBoxes();
    for (int n = 0; n < 40; ++n) {
        const std::string number = std::to_string(100 + n);
        addHost(kWildfire + "Wildfire 4.0", "M" + number, "wf4\\" + number, "M" + number);
    }
    // The registry calls of a clean run, then the same run with the last
    // installation key's open failing.
    fillInsatlledProeCB(session());
    const int opens = machine().faults().calls(sim::Op::regOpen);
    machine().logMessages().clear();
    machine().faults().resetCounts();
    // After the 40th installation key, Wildfire 3.0, 2.0 and 1.0 are opened.
    machine().faults().failAt(sim::Op::regOpen, opens - 3);
    fillInsatlledProeCB(session());
    machine().faults().clear();
    ASSERT_TRUE(machine().faults().injected());
    EXPECT_EQ(machine().faults().injectedSubject(), kWildfire + "Wildfire 4.0\\M139");
    const auto count = [&](const std::string& text) { return logLines(text).size(); };
    EXPECT_EQ(count("fillInsatlledProeCB: Wildfire 4.0 M"), 16u);
    EXPECT_EQ(count("Wildfire 4.0: 24 more installation keys under HKLM\\SOFTWARE\\PTC\\Pro/ENGINEER\\Wildfire 4.0, "
                    "not logged one by one"),
              1u);
    EXPECT_EQ(count("failed"), 0u);
    EXPECT_EQ(count("no check box for "), 1u);
    EXPECT_EQ(count("no check box for 31 more installations (the first C:\\wf4\\108): all eight are in use"), 1u);
}

}  // namespace
