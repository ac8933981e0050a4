// Release identification, the descriptor reader, browsing to a folder and
// the module copy to the browsed installation.
#include "core/actions.h"
#include "core/state.h"
#include "identify/release_identification.h"
#include "sim_fixture.h"

#include <string>

namespace {

const char* kDescriptor =
    "<?xml version=\"1.0\"?>\r\n<release "
    "shipcode=\"M030\" datecode=\"2012100\"/>\r\n";

class IdentifyTest : public SimTest {
protected:
    void writeLog(const std::string& folder, const std::string& text)
    {
        writeFile(folder + "\\uninstall\\instlog.txt", text);
    }
    void writeDescriptor(const std::string& folder, const std::string& xml = kDescriptor)
    {
        writeFile(folder + "\\bin\\pim\\xml\\creobase.p.xml", xml);
    }
    // Direct calls below the action boundary start from the load-time state.
    void beginDirectCall(int uiLevel = 5)
    {
        ca::resetProcessState();
        ca::actionContext().session = session();
        ca::actionContext().uiLevel = uiLevel;
    }
    const ca::DescriptorValues& descriptor() { return ca::processState().descriptorValues; }

    void browse(const std::string& folder)
    {
        setProperty("PROEMBROWSE", folder);
        validateProEBrwPath(session());
    }
};

TEST_F(IdentifyTest, TheFirstReleaseLineOfTheLogTellsTheRelease)
{
    beginDirectCall();
    const struct {
        std::string log;
        ca::ReleaseCode code;
    } cases[] = {
        {"PRODUCT=\"proe\"\r\nRELEASE=\"Wildfire 5.0\"\r\n", 6},
        {"RELEASE=\"Wildfire\"\r\n", 2},
        {"RELEASE=\"Wildfire 2.0\"\r\n", 3},
        {"RELEASE=\"Wildfire 3.0\"\r\n", 4},
        {"RELEASE=\"Wildfire 4.0\"", 5},
        {"RELEASE=\"Creo Elements/Pro 5.0\"\r\n", 7},
        {"RELEASE=\"Wildfire 4.0\" BUILD=\"1.0\"\r\n", 8},  // "1.0" anywhere in the line wins
        {"RELEASE=\"Creo 1.0\"\r\n", 8},
        {"RELEASE=\"wildfire 4.0\"\r\n", 0},
        {"RELEASE=\"Wildfire 2.0\"\r\nRELEASE=\"Wildfire 5.0\"\r\n", 3},
        {"DATECODE=\"2009\"\r\nSHIPCODE=\"M040\"\r\n", 0},
        {"", 0},
        // Read in pieces of 259 characters: the piece with the keyword decides.
        {std::string(300, '-') + " RELEASE=\"Wildfire 3.0\"\r\n", 4},
        {std::string(1000, 'x') + "\r\nRELEASE=\"Wildfire 5.0\"\r\n", 6},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::string folder = "host" + std::to_string(n++);
        writeLog(folder, c.log);
        EXPECT_EQ(ca::identifyRelease(("C:\\" + folder).c_str()), c.code) << c.log.substr(0, 60);
        EXPECT_EQ(ca::identifyRelease(("C:\\" + folder + "\\").c_str()), c.code) << "with a trailing separator";
    }
    EXPECT_TRUE(machine().messageBoxes().empty());
}

TEST_F(IdentifyTest, DescriptorBeforeLogBeforeRegistry)
{
    beginDirectCall();
    writeLog("both", "RELEASE=\"Wildfire 4.0\"\r\n");
    writeDescriptor("both");
    EXPECT_EQ(ca::identifyRelease("C:\\both"), 9);

    makeFolder("neither");
    EXPECT_EQ(ca::identifyRelease("C:\\neither"), 0);
    EXPECT_EQ(ca::identifyRelease(""), 0);

    // Creo Parametric 2.0 registered anywhere makes any folder without
    // either file a Creo Parametric 2.0 folder; a standard user may read.
    machine().standardUser = true;
    machine().registry().createKey("SOFTWARE\\Wow6432Node\\PTC\\Creo Parametric\\2.0");
    EXPECT_EQ(ca::identifyRelease("C:\\neither"), 9);
    machine().registry().deleteKey("SOFTWARE\\Wow6432Node");
    machine().registry().createKey("SOFTWARE\\PTC\\Creo Parametric\\2.0");
    EXPECT_EQ(ca::identifyRelease("C:\\neither"), 9);
    machine().registry().deleteKey("SOFTWARE\\PTC\\Creo Parametric\\2.0");
    machine().registry().createKey("SOFTWARE\\PTC\\Creo Parametric\\1.0");
    EXPECT_EQ(ca::identifyRelease("C:\\neither"), 0);

    // A folder too long for its derived paths is not identified, whatever
    // the registry holds, and nothing is written past a buffer.
    machine().registry().createKey("SOFTWARE\\PTC\\Creo Parametric\\2.0");
    const std::string longFolder = "C:\\" + std::string(100, 'a') + "\\" + std::string(140, 'b');
    EXPECT_EQ(ca::identifyRelease(longFolder.c_str()), 0);
    std::string release = "r", shipcode = "s", datecode = "d";
    ca::readInstallLog(longFolder.c_str(), release, shipcode, datecode);
    EXPECT_EQ(release, "2.0 ");
}

TEST_F(IdentifyTest, DescriptorValuesComeFromTheFirstElementWithAVersion)
{
    beginDirectCall();
    writeDescriptor("creo", R"(<?xml version="1.0" encoding="UTF-8"?>
<release shipcode="S0" datecode="D0">
  <component ship="x" versions="v" Version="V" Shipcode="no" datecode="D1"/>
  <component datecode="D2" version="2.0" shipcode="after-version"/>
  <component version="3.0" shipcode="S3"/>
</release>
)");
    EXPECT_EQ(ca::identifyRelease("C:\\creo"), 9);
    EXPECT_EQ(descriptor().descriptorVersion, "2.0");
    EXPECT_EQ(descriptor().descriptorShipcode, "S0");
    EXPECT_EQ(descriptor().descriptorDatecode, "D2");

    // Without a version the next descriptor is read again; once a version
    // is known, a descriptor is not read at all.
    beginDirectCall();
    writeDescriptor("noversion", "<release><a shipcode=\"S9\"/><b datecode=\"D9\"/></release>");
    writeDescriptor("empty", "<release/>");
    writeDescriptor("second", "<release shipcode=\"S8\" version=\"2.0\"/>");
    writeDescriptor("broken", "<release version=");
    EXPECT_EQ(ca::identifyRelease("C:\\noversion"), 9);
    EXPECT_EQ(descriptor().descriptorVersion, "");
    EXPECT_EQ(descriptor().descriptorShipcode, "S9");
    EXPECT_EQ(descriptor().descriptorDatecode, "D9");
    EXPECT_EQ(ca::identifyRelease("C:\\empty"), 9);
    EXPECT_EQ(descriptor().descriptorShipcode, "S9");
    EXPECT_EQ(ca::identifyRelease("C:\\second"), 9);
    EXPECT_EQ(descriptor().descriptorShipcode, "S8");
    EXPECT_EQ(ca::identifyRelease("C:\\broken"), 9);
    EXPECT_TRUE(machine().messageBoxes().empty());

    beginDirectCall();
    EXPECT_EQ(ca::identifyRelease("C:\\broken"), 0);
    ASSERT_EQ(machine().messageBoxes().size(), 1u);
    EXPECT_EQ(machine().messageBoxes()[0].text, "Error: failed to load XML file. Check the file name.");
    EXPECT_EQ(machine().messageBoxes()[0].caption, "Load XML file");
    EXPECT_EQ(machine().messageBoxes()[0].style, 0x30u);
}

TEST_F(IdentifyTest, DescriptorMessagesShowOnlyWithAUserInterface)
{
    makeHost("broken");
    writeDescriptor("broken", "<release version=\"2.0\"");
    setProperty("UILevel", "2");
    browse("C:\\broken");
    EXPECT_EQ(property("ISBROWSEPATHVALID"), "0");
    EXPECT_TRUE(machine().messageBoxes().empty());
    int logged = 0;
    for (const std::string& line : machine().logMessages())
        logged += line.find("Error: failed to load XML file. Check the file name.") != std::string::npos;
    EXPECT_EQ(logged, 1);

    setProperty("UILevel", "5");
    browse("C:\\broken");
    ASSERT_EQ(machine().messageBoxes().size(), 1u);
    EXPECT_EQ(machine().messageBoxes()[0].caption, "Load XML file");

    // A COM failure is reported, and the folder still counts as a descriptor
    // folder.
    machine().messageBoxes().clear();
    makeHost("creo");
    writeDescriptor("creo");
    machine().faults().resetCounts();
    machine().faults().failAt(sim::Op::xmlCreate, 1);
    browse("C:\\creo");
    ASSERT_EQ(machine().messageBoxes().size(), 1u);
    EXPECT_EQ(machine().messageBoxes()[0].text, "*** Exception occurred ***");
    EXPECT_EQ(machine().messageBoxes()[0].caption, "Error message");
    EXPECT_EQ(machine().messageBoxes()[0].style, 0u);
    EXPECT_EQ(property("ISBROWSEPATHVALID"), "1");
    EXPECT_EQ(property("WFCUSTOM_ONE"), "Creo Parametric 2.0 [(Datecode: )] ");
}

TEST_F(IdentifyTest, InstallLogKeepsTheLastValues)
{
    beginDirectCall();
    writeLog("wf1",
             "DATECODE=\"D-early\"\r\nSHIPCODE=\"S-early\"\r\nRELEASE="
             "\"Wildfire\"\r\n");
    std::string release, shipcode, datecode = "kept";
    ca::readInstallLog("C:\\wf1", release, shipcode, datecode);
    EXPECT_EQ(release, "Wildfire 1.0 ");
    EXPECT_EQ(shipcode, "S-early");
    EXPECT_EQ(datecode, "D-early");

    writeLog("wf4",
             "RELEASE=\"Wildfire 2.0\"\r\nRELEASE=\"Wildfire 4.0\" "
             "SHIPCODE=\"S1\"\r\n" +
                 std::string(600, '.') +
                 " SHIPCODE=\"S2\"\r\nDATECODE=\"open-ended\r\nPRODUCT="
                 "\"x\" SHIPCODE");
    release = "r", shipcode = "s", datecode = "d";
    ca::readInstallLog("C:\\wf4", release, shipcode, datecode);
    EXPECT_EQ(release, "Wildfire 4.0");
    EXPECT_EQ(datecode, "open-ended");
    EXPECT_EQ(shipcode, "");  // the keyword ends the line: an empty value

    writeLog("nothing", "PRODUCT=\"proe\"\r\n");
    release = "r", shipcode = "s", datecode = "d";
    ca::readInstallLog("C:\\nothing", release, shipcode, datecode);
    EXPECT_EQ(release + shipcode + datecode, "rsd");

    // No log: a Creo Parametric 2.0 folder, with what its descriptor gave.
    makeFolder("creo");
    ca::readInstallLog("C:\\creo", release, shipcode, datecode);
    EXPECT_EQ(release, "2.0 ");
    EXPECT_EQ(shipcode + datecode, "");
    writeDescriptor("creo");
    ASSERT_EQ(ca::identifyRelease("C:\\creo"), 9);
    ca::readInstallLog("C:\\creo", release, shipcode, datecode);
    EXPECT_EQ(shipcode, "M030");
    EXPECT_EQ(datecode, "2012100");
}

TEST_F(IdentifyTest, BrowsingAcceptsHostsOfTheAllowedReleases)
{
    for (const char* host : {"wf5", "wf4", "other5", "creo1", "creo2"}) makeHost(host);
    writeLog("wf5", "RELEASE=\"Wildfire 5.0\"\r\nDATECODE=\"2010\"\r\nSHIPCODE=\"M050\"\r\n");
    writeLog("wf4", "RELEASE=\"Wildfire 4.0\"\r\nDATECODE=\"D\"\r\n");
    writeLog("other5", "RELEASE=\"Creo Elements/Pro 5.0\"\r\n");
    writeLog("creo1", "RELEASE=\"Creo 1.0\"\r\n");
    writeDescriptor("creo2");
    writeLog("noexe", "RELEASE=\"Wildfire 4.0\"\r\n");

    setProperty("WF5MSI", "1");
    for (const char* rejected : {"C:\\wf4", "C:\\other5", "C:\\creo1", "C:\\noexe", "C:\\nothere"}) {
        browse(rejected);
        EXPECT_EQ(property("ISBROWSEPATHVALID"), "0") << rejected;
        EXPECT_FALSE(hasProperty("WFCUSTOM_DIR_ONE")) << rejected;
    }
    browse("C:\\wf5");
    EXPECT_EQ(property("ISBROWSEPATHVALID"), "1");
    EXPECT_EQ(property("WFCUSTOM_ONE"), "Pro/ENGINEER Wildfire 5.0[(Datecode: M050)] ");
    browse("C:\\creo2");
    EXPECT_EQ(property("WFCUSTOM_TWO"), "Creo Parametric 2.0 [(Datecode: M030)] ");
    EXPECT_EQ(property("WFCUSTOM_DIR_TWO"), "C:\\creo2");

    setProperty("WF5MSI", "");
    browse("C:\\wf4");
    EXPECT_EQ(property("WFCUSTOM_THREE"), "Pro/ENGINEER Wildfire 4.0[(Datecode: D)] ");
    browse("C:\\creo1");
    EXPECT_EQ(property("WFCUSTOM_FOUR"), "Creo Parametric Creo 1.0[(Datecode: )] ");
    browse("C:\\other5");
    EXPECT_EQ(property("WFCUSTOM_FIVE"), "Pro/ENGINEER Creo Elements/Pro 5.0[(Datecode: )] ");
    for (const char* box : {"PROE_VER_1", "PROE_VER_2", "PROE_VER_3", "PROE_VER_4", "PROE_VER_5"})
        EXPECT_EQ(property(box), "1") << box;
    // A browsed folder ticks no release of its own.
    for (const char* release : {"PROEWF4", "PROEWF5", "CREO1", "CREO2"}) EXPECT_FALSE(hasProperty(release));
    EXPECT_FALSE(hasProperty("PROEM1DIR"));
    EXPECT_FALSE(hasProperty("PROEVER"));
}

TEST_F(IdentifyTest, BrowsedFolderFillsOneFreeSlotOnce)
{
    for (int n = 1; n <= 8; ++n)
        machine().controlRows().push_back(
            sim::ControlRow{{"RunTimeDestinationFolder", "Box" + std::to_string(n), "CheckBox", "", "", "", "", "",
                             "PROE_VER_" + std::to_string(n), "", "", ""}});
    makeHost("wf4");
    writeLog("wf4", "RELEASE=\"Wildfire 4.0\"\r\nDATECODE=\"D\"\r\nSHIPCODE=\"M040\"\r\n");
    setProperty("WFCUSTOM_DIR_ONE", "C:\\elsewhere");
    setProperty("PROECANAME", "SetProEM1dir");

    browse("C:\\wf4\\");
    EXPECT_EQ(property("WFCUSTOM_DIR_TWO"), "C:\\wf4");
    EXPECT_EQ(property("WFCUSTOM_TWO"), "Pro/ENGINEER Wildfire 4.0[(Datecode: M040)] ");
    EXPECT_EQ(property("PROE_VER_2"), "1");
    EXPECT_EQ(property("PROEM1DIR"), "C:\\wf4\\");
    EXPECT_EQ(property("PROEVER"), "5");
    EXPECT_EQ(machine().controlRows().back().fields[8], "PROE_VER_2");
    EXPECT_EQ(machine().controlRows().back().fields[11], "C:\\wf4|");
    EXPECT_TRUE(machine().controlRows().back().temporary);

    // The same folder again adds nothing; another purpose leaves PROEM1DIR alone.
    setProperty("PROECANAME", "other");
    setProperty("PROEM1DIR", "C:\\before");
    browse("C:\\wf4");
    EXPECT_EQ(property("ISBROWSEPATHVALID"), "1");
    EXPECT_FALSE(hasProperty("PROE_VER_3"));
    EXPECT_EQ(property("PROEM1DIR"), "C:\\before");

    // With every slot taken, the folder is valid but listed nowhere.
    const char* dirs[] = {"THREE", "FOUR", "FIVE", "SIX", "SEVEN", "EIGHT"};
    for (const char* d : dirs) setProperty(std::string("WFCUSTOM_DIR_") + d, std::string("C:\\x") + d);
    makeHost("wf4b");
    writeLog("wf4b", "RELEASE=\"Wildfire 4.0\"\r\n");
    const auto before = machine().properties().size();
    browse("C:\\wf4b");
    EXPECT_EQ(property("ISBROWSEPATHVALID"), "1");
    EXPECT_EQ(machine().properties().size(), before);

    // On its own, the action adds only a folder that was found valid.
    setProperty("WFCUSTOM_DIR_EIGHT", "");
    setProperty("PROEMBROWSE", "C:\\wf4b");
    setProperty("ISBROWSEPATHVALID", "0");
    setAdditionalProeOnCB(session());
    EXPECT_FALSE(hasProperty("WFCUSTOM_DIR_EIGHT"));
    setProperty("ISBROWSEPATHVALID", "1");
    setAdditionalProeOnCB(session());
    EXPECT_EQ(property("WFCUSTOM_DIR_EIGHT"), "C:\\wf4b");
    EXPECT_EQ(property("WFCUSTOM_EIGHT"), "Pro/ENGINEER Wildfire 4.0[(Datecode: )] ");
}

TEST_F(IdentifyTest, ModuleComesFromTheStagingFolderOfTheRelease)
{
    const struct {
        const char* property;
        const char* folder;
    } staging[] = {{"ALLUSERSPROFILE", "stage"},      {"PROEWF3TEMP", "stage\\proeWF3"},
                   {"PROEWF4TEMP", "stage\\proeWF4"}, {"PROEWF5TEMP", "stage\\proeWF5"},
                   {"CREO1TEMP", "stage\\creo1"},     {"CREO2TEMP", "stage\\creo2"}};
    for (const auto& s : staging) {
        writeFile(std::string(s.folder) + "\\orvbridge.dll", s.property);
        setProperty(s.property, std::string("C:\\") + s.folder + "\\");
    }
    const struct {
        const char* release;  // nullptr: a descriptor folder
        const char* expected;
    } cases[] = {{"Wildfire", "ALLUSERSPROFILE"},      {"Wildfire 2.0", "ALLUSERSPROFILE"},
                 {"Wildfire 3.0", "PROEWF3TEMP"},      {"Wildfire 4.0", "PROEWF4TEMP"},
                 {"Wildfire 5.0", "PROEWF5TEMP"},      {"Creo Elements/Pro 5.0", "CREO1TEMP"},
                 {"Creo Parametric 1.0", "CREO2TEMP"}, {nullptr, "CREO2TEMP"}};
    setProperty("PROEM1", "1");
    int n = 0;
    for (const auto& c : cases) {
        const std::string host = "host" + std::to_string(n++);
        makeHost(host);
        writeFile(host + "\\x86e_win64\\obj\\orvbridge.dll", "old");
        if (c.release)
            writeLog(host, std::string("RELEASE=\"") + c.release + "\"\r\n");
        else
            writeDescriptor(host);
        setProperty("PROEM1DIR", "C:\\" + host + (n % 2 ? "\\" : ""));
        copyProeDllToMoreInstall(session());
        EXPECT_EQ(readFile(host + "\\x86e_win64\\obj\\orvbridge.dll"), c.expected) << host;
    }

    // Not selected, or an empty source folder: nothing is copied.
    makeHost("wf5");
    writeLog("wf5", "RELEASE=\"Wildfire 5.0\"\r\n");
    setProperty("PROEM1DIR", "C:\\wf5");
    setProperty("PROEM1", "0");
    copyProeDllToMoreInstall(session());
    EXPECT_FALSE(exists("wf5\\x86e_win64\\obj\\orvbridge.dll"));
    setProperty("PROEM1", "1");
    setProperty("PROEWF5TEMP", "");
    copyProeDllToMoreInstall(session());
    EXPECT_FALSE(exists("wf5\\x86e_win64\\obj\\orvbridge.dll"));

    // A command-line installation takes the release from PROEM1VER alone.
    setProperty("ISCMDINSTALL", "1");
    setProperty("PROEM1VER", "5");
    copyProeDllToMoreInstall(session());
    EXPECT_EQ(readFile("wf5\\x86e_win64\\obj\\orvbridge.dll"), "PROEWF4TEMP");
    setProperty("PROEM1VER", "12");
    setProperty("PROEWF5TEMP", "C:\\stage\\proeWF5");
    copyProeDllToMoreInstall(session());
    EXPECT_EQ(readFile("wf5\\x86e_win64\\obj\\orvbridge.dll"), "PROEWF5TEMP");
    setProperty("PROEM1VER", "abc");
    setProperty("PROEWF5TEMP", "C:\\stage\\proeWF4");
    copyProeDllToMoreInstall(session());
    EXPECT_EQ(readFile("wf5\\x86e_win64\\obj\\orvbridge.dll"), "PROEWF5TEMP");
}

}  // namespace
