// Release identification, the descriptor reader, browsing to a folder and
// the module copy to the browsed installation.
#include "identification/release_identification.h"
#include "sim_fixture.h"

#include <tuple>

namespace {

const char* const kXmlMessage = "Error: failed to load XML file. Check the file name.";

class IdentifyTest : public SimTest {
protected:
    // Direct calls below the action boundary, as one action with a user interface makes them.
    void beginDirectCall()
    {
        identifier_.reset();
        setProperty("UILevel", "5");
        session_ = std::make_unique<ca::Session>(session(), "test");
        identifier_ = std::make_unique<ca::ReleaseIdentifier>(*session_);
    }
    ca::ReleaseIdentifier& identifier()
    {
        if (!identifier_) beginDirectCall();
        return *identifier_;
    }
    ca::ReleaseCode identify(const std::string& folder) { return identifier().identify(folder); }
    const ca::DescriptorValues& descriptor() { return identifier().descriptor(); }
    // Release, shipcode and datecode from the log, each starting as given.
    std::string installLog(const char* folder, std::string release = "r", std::string ship = "s",
                           std::string date = "d")
    {
        identifier().readInstallLog(folder, release, ship, date);
        return release + "|" + ship + "|" + date;
    }
    void browse(const std::string& folder)
    {
        setProperty("PROEMBROWSE", folder);
        validateProEBrwPath(session());
    }
    void expectMessageBox(const std::string& text, const std::string& caption, unsigned style)
    {
        ASSERT_EQ(machine().messageBoxes().size(), 1u);
        EXPECT_EQ(machine().messageBoxes()[0].text, text);
        EXPECT_EQ(machine().messageBoxes()[0].caption, caption);
        EXPECT_EQ(machine().messageBoxes()[0].style, style);
        machine().messageBoxes().clear();
    }
    std::unique_ptr<ca::Session> session_;
    std::unique_ptr<ca::ReleaseIdentifier> identifier_;
};

TEST_F(IdentifyTest, TheFirstReleaseLineOfTheLogTellsTheRelease)
{
    beginDirectCall();
    const std::pair<std::string, ca::ReleaseCode> cases[] = {
        {"PRODUCT=\"proe\"\r\nRELEASE=\"Wildfire 5.0\"\r\n", 6}, {"RELEASE=\"Wildfire\"\r\n", 2},
        {"RELEASE=\"Wildfire 2.0\"\r\n", 3}, {"RELEASE=\"Wildfire 3.0\"\r\n", 4}, {"RELEASE=\"Wildfire 4.0\"", 5},
        {"RELEASE=\"Creo Elements/Pro 5.0\"\r\n", 7}, {"RELEASE=\"Creo 1.0\"\r\n", 8},
        {"RELEASE=\"Wildfire 5.0\" BUILD=\"1.0\"\r\n", 8},  // "1.0" anywhere in the line wins
        {"RELEASE=\"wildfire 4.0\"\r\n", 0}, {"RELEASE=\"Wildfire 2.0\"\r\nRELEASE=\"Wildfire 5.0\"\r\n", 3},
        {"DATECODE=\"2009\"\r\nSHIPCODE=\"M040\"\r\n", 0}, {"", 0},
        // Read in pieces of 259 characters: the piece with the keyword decides.
        {std::string(300, '-') + " RELEASE=\"Wildfire 3.0\"\r\n", 4},
        {std::string(1000, 'x') + "\r\nRELEASE=\"Wildfire 5.0\"\r\n", 6},
    };
    int n = 0;
    for (const auto& [log, code] : cases) {
        const std::string folder = "host" + std::to_string(n++);
        writeLog(folder, log);
        EXPECT_EQ(identify("C:\\" + folder), code) << log.substr(0, 60);
        EXPECT_EQ(identify("C:\\" + folder + "\\"), code) << "with a trailing separator";
    }
    EXPECT_TRUE(machine().messageBoxes().empty());
}

TEST_F(IdentifyTest, DescriptorBeforeLogBeforeRegistry)
{
    beginDirectCall();
    writeLog("both", "RELEASE=\"Wildfire 4.0\"\r\n");
    writeDescriptor("both");
    EXPECT_EQ(identify("C:\\both"), 9);
    makeFolder("neither");
    EXPECT_EQ(identify("C:\\neither"), 0);
    EXPECT_EQ(identify(""), 0);

    // Creo Parametric 2.0 registered anywhere makes any folder without either file
    // a Creo Parametric 2.0 folder; a standard user may read.
    machine().standardUser = true;
    auto& reg = machine().registry();
    for (const auto& [key, code] : {std::pair{"SOFTWARE\\Wow6432Node\\PTC\\Creo Parametric\\2.0", 9},
                                    {"SOFTWARE\\PTC\\Creo Parametric\\2.0", 9},
                                    {"SOFTWARE\\PTC\\Creo Parametric\\1.0", 0}}) {
        reg.deleteKey("SOFTWARE");
        reg.createKey(key);
        EXPECT_EQ(identify("C:\\neither"), code) << key;
    }
    // A folder too long for its derived paths is not identified, whatever the registry holds.
    reg.createKey("SOFTWARE\\PTC\\Creo Parametric\\2.0");
    const std::string longFolder = "C:\\" + std::string(100, 'a') + "\\" + std::string(140, 'b');
    EXPECT_EQ(identify(longFolder), 0);
    EXPECT_EQ(installLog(longFolder.c_str()), "2.0 |M030|2012100");  // what the descriptor above gave
}

TEST_F(IdentifyTest, DescriptorValuesComeFromTheFirstElementWithAVersion)
{
    beginDirectCall();
    writeDescriptor("creo", R"(<?xml version="1.0" encoding="UTF-8"?>
<release shipcode="S0" datecode="D0">
  <component ship="x" versions="v" Version="V" Shipcode="no" datecode="D1"/>
  <component datecode="D2" version="2.0" shipcode="after-version"/>
  <component version="3.0" shipcode="S3"/>
</release>)");
    EXPECT_EQ(identify("C:\\creo"), 9);
    EXPECT_EQ(descriptor().descriptorVersion, "2.0");
    EXPECT_EQ(descriptor().descriptorShipcode, "S0");
    EXPECT_EQ(descriptor().descriptorDatecode, "D2");

    // Without a version the next descriptor is read again; once a version is known, none is read.
    beginDirectCall();
    writeDescriptor("noversion", "<release><a shipcode=\"S9\"/><b datecode=\"D9\"/></release>");
    writeDescriptor("empty", "<release/>");
    writeDescriptor("second", "<release shipcode=\"S8\" version=\"2.0\"/>");
    writeDescriptor("broken", "<release version=");
    for (const auto& [folder, valuesAfter] : {std::pair{"C:\\noversion", "|S9|D9"}, {"C:\\empty", "|S9|D9"},
                                              {"C:\\second", "2.0|S8|D9"}, {"C:\\broken", "2.0|S8|D9"}}) {
        EXPECT_EQ(identify(folder), 9) << folder;
        const auto& d = descriptor();
        EXPECT_EQ(d.descriptorVersion + "|" + d.descriptorShipcode + "|" + d.descriptorDatecode, valuesAfter);
    }
    EXPECT_TRUE(machine().messageBoxes().empty());
    beginDirectCall();
    EXPECT_EQ(identify("C:\\broken"), 0);
    expectMessageBox(kXmlMessage, "Load XML file", 0x30u);
}

TEST_F(IdentifyTest, DescriptorMessagesShowOnlyWithAUserInterface)
{
    makeHost("broken");
    writeDescriptor("broken", "<release version=\"2.0\"");
    setProperty("UILevel", "2");
    browse("C:\\broken");
    EXPECT_EQ(property("ISBROWSEPATHVALID"), "0");
    EXPECT_TRUE(machine().messageBoxes().empty());
    EXPECT_EQ(logLines(kXmlMessage).size(), 1u);
    setProperty("UILevel", "5");
    browse("C:\\broken");
    expectMessageBox(kXmlMessage, "Load XML file", 0x30u);

    // A COM failure is reported, and the folder still counts as a descriptor folder.
    makeHost("creo");
    writeDescriptor("creo");
    machine().faults().resetCounts();
    machine().faults().failAt(sim::Op::xmlCreate, 1);
    browse("C:\\creo");
    expectMessageBox("*** Exception occurred ***", "Error message", 0u);
    EXPECT_EQ(property("ISBROWSEPATHVALID"), "1");
    EXPECT_EQ(property("WFCUSTOM_ONE"), "Creo Parametric 2.0 [(Datecode: )] ");
}

TEST_F(IdentifyTest, InstallLogKeepsTheLastValues)
{
    beginDirectCall();
    writeLog("wf1", "DATECODE=\"D-early\"\r\nSHIPCODE=\"S-early\"\r\nRELEASE=\"Wildfire\"\r\n");
    EXPECT_EQ(installLog("C:\\wf1", "", "", "kept"), "Wildfire 1.0 |S-early|D-early");
    writeLog("wf4", "RELEASE=\"Wildfire 2.0\"\r\nRELEASE=\"Wildfire 4.0\" SHIPCODE=\"S1\"\r\n" + std::string(600, '.') +
                        " SHIPCODE=\"S2\"\r\nDATECODE=\"open-ended\r\nPRODUCT=\"x\" SHIPCODE");
    EXPECT_EQ(installLog("C:\\wf4"), "Wildfire 4.0||open-ended");  // the keyword ends the line: an empty value
    writeLog("nothing", "PRODUCT=\"proe\"\r\n");
    EXPECT_EQ(installLog("C:\\nothing"), "r|s|d");
    // A line longer than one read: its first piece counts too.
    writeLog("long", "SHIPCODE=\"M070\"" + std::string(300, ' ') + "\r\nRELEASE=\"Wildfire 4.0\"\r\n");
    EXPECT_EQ(installLog("C:\\long"), "Wildfire 4.0|M070|d");

    // No log: a Creo Parametric 2.0 folder, with what its descriptor gave.
    makeFolder("creo");
    EXPECT_EQ(installLog("C:\\creo"), "2.0 ||");
    writeDescriptor("creo");
    ASSERT_EQ(identify("C:\\creo"), 9);
    EXPECT_EQ(installLog("C:\\creo"), "2.0 |M030|2012100");
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
    const std::tuple<const char*, const char*, const char*, bool> accepted[] = {  // the label's trailing blank too
        {"C:\\wf5", "ONE", "Pro/ENGINEER Wildfire 5.0[(Datecode: M050)] ", true},
        {"C:\\creo2", "TWO", "Creo Parametric 2.0 [(Datecode: M030)] ", true},
        {"C:\\wf4", "THREE", "Pro/ENGINEER Wildfire 4.0[(Datecode: D)] ", false},
        {"C:\\creo1", "FOUR", "Creo Parametric Creo 1.0[(Datecode: )] ", false},
        {"C:\\other5", "FIVE", "Pro/ENGINEER Creo Elements/Pro 5.0[(Datecode: )] ", false}};
    int box = 0;
    for (const auto& [folder, slot, label, wf5Msi] : accepted) {
        setProperty("WF5MSI", wf5Msi ? "1" : "");
        browse(folder);
        EXPECT_EQ(property("ISBROWSEPATHVALID"), "1") << folder;
        EXPECT_EQ(property(std::string("WFCUSTOM_") + slot), label);
        EXPECT_EQ(property(std::string("WFCUSTOM_DIR_") + slot), folder);
        EXPECT_EQ(property("PROE_VER_" + std::to_string(++box)), "1");
    }
    // A browsed folder ticks no release of its own.
    for (const char* name : {"PROEWF4", "PROEWF5", "CREO1", "CREO2", "PROEM1DIR", "PROEVER"})
        EXPECT_FALSE(hasProperty(name)) << name;
}

TEST_F(IdentifyTest, BrowsedFolderFillsOneFreeSlotOnce)
{
    seedCheckBoxes();
    makeHost("wf4");
    writeLog("wf4", "RELEASE=\"Wildfire 4.0\"\r\nDATECODE=\"D\"\r\nSHIPCODE=\"M040\"\r\n");
    setProperties({{"WFCUSTOM_DIR_ONE", "C:\\elsewhere"}, {"PROECANAME", "SetProEM1dir"}});
    browse("C:\\wf4\\");
    EXPECT_EQ(property("WFCUSTOM_DIR_TWO"), "C:\\wf4");
    EXPECT_EQ(property("WFCUSTOM_TWO"), "Pro/ENGINEER Wildfire 4.0[(Datecode: M040)] ");
    EXPECT_EQ(property("PROE_VER_2"), "1");
    EXPECT_EQ(property("PROEM1DIR"), "C:\\wf4\\");
    EXPECT_EQ(property("PROEVER"), "5");
    const sim::ControlRow& tooltip = machine().controlRows().back();
    EXPECT_EQ(tooltip.fields[8] + " " + tooltip.fields[11], "PROE_VER_2 C:\\wf4|");
    EXPECT_TRUE(tooltip.temporary);

    // The same folder again, with or without its separator, adds nothing;
    // another purpose leaves PROEM1DIR alone.
    setProperties({{"PROECANAME", "other"}, {"PROEM1DIR", "C:\\before"}});
    browse("C:\\wf4");
    browse("C:\\wf4\\");
    EXPECT_EQ(property("ISBROWSEPATHVALID"), "1");
    EXPECT_FALSE(hasProperty("PROE_VER_3"));
    EXPECT_EQ(property("PROEM1DIR"), "C:\\before");

    // With every slot taken, the folder is valid but listed nowhere.
    for (const char* d : {"THREE", "FOUR", "FIVE", "SIX", "SEVEN", "EIGHT"})
        setProperty(std::string("WFCUSTOM_DIR_") + d, std::string("C:\\x") + d);
    makeHost("wf4b");
    writeLog("wf4b", "RELEASE=\"Wildfire 4.0\"\r\n");
    const auto before = machine().properties().size();
    browse("C:\\wf4b");
    EXPECT_EQ(property("ISBROWSEPATHVALID"), "1");
    EXPECT_EQ(machine().properties().size(), before);

    // On its own, the action adds only a folder that was found valid.
    setProperties({{"WFCUSTOM_DIR_EIGHT", ""}, {"PROEMBROWSE", "C:\\wf4b"}, {"ISBROWSEPATHVALID", "0"}});
    setAdditionalProeOnCB(session());
    EXPECT_FALSE(hasProperty("WFCUSTOM_DIR_EIGHT"));
    setProperty("ISBROWSEPATHVALID", "1");
    setAdditionalProeOnCB(session());
    EXPECT_EQ(property("WFCUSTOM_DIR_EIGHT"), "C:\\wf4b");
    EXPECT_EQ(property("WFCUSTOM_EIGHT"), "Pro/ENGINEER Wildfire 4.0[(Datecode: )] ");
    // A lone separator names no folder once it is stripped.
    setProperties({{"WFCUSTOM_DIR_EIGHT", ""}, {"WFCUSTOM_EIGHT", ""}, {"PROEMBROWSE", "\\"}});
    setAdditionalProeOnCB(session());
    EXPECT_FALSE(hasProperty("WFCUSTOM_DIR_EIGHT"));
    EXPECT_FALSE(hasProperty("WFCUSTOM_EIGHT"));
    EXPECT_EQ(logLines("no browsed folder: no check box for it").size(), 1u);
}

TEST_F(IdentifyTest, ModuleComesFromTheStagingFolderOfTheRelease)
{
    for (const auto& [name, folder] : {std::pair{"ALLUSERSPROFILE", "stage"}, {"PROEWF3TEMP", "stage\\proeWF3"},
                                       {"PROEWF4TEMP", "stage\\proeWF4"}, {"PROEWF5TEMP", "stage\\proeWF5"},
                                       {"CREO1TEMP", "stage\\creo1"}, {"CREO2TEMP", "stage\\creo2"}}) {
        writeFile(std::string(folder) + "\\orvbridge.dll", name);
        setProperty(name, std::string("C:\\") + folder + "\\");
    }
    // Where the hosts' own modules are backed up before they are replaced.
    machine().setEnv("ALLUSERSPROFILE", "C:\\stage");
    const std::pair<const char*, const char*> cases[] = {  // release (nullptr: a descriptor folder), source
        {"Wildfire", "ALLUSERSPROFILE"}, {"Wildfire 2.0", "ALLUSERSPROFILE"}, {"Wildfire 3.0", "PROEWF3TEMP"},
        {"Wildfire 4.0", "PROEWF4TEMP"}, {"Wildfire 5.0", "PROEWF5TEMP"}, {"Creo Elements/Pro 5.0", "CREO1TEMP"},
        {"Creo Parametric 1.0", "CREO2TEMP"}, {nullptr, "CREO2TEMP"}};
    setProperty("PROEM1", "1");
    int n = 0;
    for (const auto& [release, expected] : cases) {
        const std::string host = "host" + std::to_string(n++);
        makeHost(host);
        writeFile(host + "\\x86e_win64\\obj\\orvbridge.dll", "old");
        if (release)
            writeLog(host, std::string("RELEASE=\"") + release + "\"\r\n");
        else
            writeDescriptor(host);
        setProperty("PROEM1DIR", "C:\\" + host + (n % 2 ? "\\" : ""));
        copyProeDllToMoreInstall(session());
        EXPECT_EQ(readFile(host + "\\x86e_win64\\obj\\orvbridge.dll"), expected) << host;
    }

    // Not selected, or an empty source folder: nothing is copied. On the command
    // line, the release comes from PROEM1VER alone.
    makeHost("wf5");
    writeLog("wf5", "RELEASE=\"Wildfire 5.0\"\r\n");
    const std::pair<std::vector<std::pair<std::string, std::string>>, const char*> steps[] = {  // changes, module
        {{{"PROEM1DIR", "C:\\wf5"}, {"PROEM1", "0"}}, nullptr}, {{{"PROEM1", "1"}, {"PROEWF5TEMP", ""}}, nullptr},
        {{{"ISCMDINSTALL", "1"}, {"PROEM1VER", "5"}}, "PROEWF4TEMP"},
        {{{"PROEM1VER", "12"}, {"PROEWF5TEMP", "C:\\stage\\proeWF5"}}, "PROEWF5TEMP"},
        {{{"PROEM1VER", "abc"}, {"PROEWF5TEMP", "C:\\stage\\proeWF4"}}, "PROEWF5TEMP"}};
    for (const auto& [changes, module] : steps) {
        setProperties(changes);
        copyProeDllToMoreInstall(session());
        EXPECT_EQ(readFile("wf5\\x86e_win64\\obj\\orvbridge.dll").value_or("none"), module ? module : "none");
    }
}

}  // namespace
