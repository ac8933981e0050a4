// Input the library does not control: registry values, installer properties,
// folder names, host logs, registration files and descriptors of every odd
// shape. Each must get the sound answer, and none may crash, hang or leak.
#include "sim_fixture.h"

#include <chrono>
#include <cstdint>
#include <tuple>

namespace {

const char* const kWf4Key = "SOFTWARE\\PTC\\Pro/ENGINEER\\Wildfire 4.0\\M070";
const char* const kProductKey = "Software\\Kestrane\\Orvella";

std::vector<std::uint8_t> bytes(const std::string& text) { return {text.begin(), text.end()}; }
std::vector<std::uint8_t> zeroEnded(const std::string& text) { return bytes(text + '\0'); }

class HostileInputTest : public SimTest {
protected:
    void SetUp() override
    {
        SimTest::SetUp();
        setProperty("UILevel", "5");
    }
    void setValue(const char* key, const char* name, std::uint32_t type, std::vector<std::uint8_t> data)
    {
        machine().registry().setValue(key, name, sim::RegValue{type, std::move(data)});
    }
    void registerWf4(const std::string& folder)
    {
        for (const auto& [name, value] : {std::pair{"InstallDir", folder.c_str()}, {"DateCode", "2009070"},
                                          {"Shipcode", "M070"}})
            machine().registry().setString(kWf4Key, name, value);
    }
};

// InstallDir, DateCode and Shipcode of every type and size: the installation
// counts only when each value is text that fits its 260-byte buffer.
TEST_F(HostileInputTest, RegistryValuesOfEveryShape)
{
    makeHost("PTC\\wf4");
    const std::string dir = "C:\\PTC\\wf4";
    using Bytes = std::vector<std::uint8_t>;
    const std::tuple<const char*, std::uint32_t, Bytes, bool> cases[] = {  // the value, its type and data, found
        {"InstallDir", 1, zeroEnded(dir), true}, {"InstallDir", 2, zeroEnded(dir), true},
        {"InstallDir", 1, bytes(dir), true},  // no terminating zero: the cleared buffer ends it
        {"InstallDir", 7, zeroEnded(dir + '\0'), true}, {"InstallDir", 4, {1, 0, 0, 0}, false},
        {"InstallDir", 3, {0xff, 0xfe, 0x00, 0x41}, false}, {"InstallDir", 1, {}, false}, {"InstallDir", 1, {0}, false},
        {"InstallDir", 1, zeroEnded(dir + std::string(259 - dir.size(), '\0')), true},  // 260 bytes, zeros after
        {"InstallDir", 1, bytes(std::string(260, 'x')), false},
        {"InstallDir", 1, zeroEnded(std::string(260, 'x')), false},  // 261 bytes
        {"DateCode", 1, zeroEnded(std::string(259, '7')), true}, {"DateCode", 1, bytes(std::string(260, '7')), false},
        {"DateCode", 1, zeroEnded(std::string(260, '7')), false}, {"DateCode", 1, bytes("2009"), true},
        {"DateCode", 4, {0x31, 0x32, 0, 0}, true},  // its bytes read as "12"
        {"DateCode", 1, {}, false}, {"DateCode", 1, zeroEnded("-5"), false},
        {"DateCode", 1, zeroEnded("99999999999999999999999"), true},
        {"Shipcode", 1, zeroEnded(std::string(259, 'S')), true},  // its label does not fit: no label
        {"Shipcode", 1, bytes(std::string(260, 'S')), true}, {"Shipcode", 1, zeroEnded(std::string(260, 'S')), true},
        {"Shipcode", 3, {}, true}, {"Shipcode", 1, bytes(std::string("M0\0" "70", 5)), true},
    };
    // The label of a found installation: its Shipcode where that is text that
    // fits with its label, else its DateCode; none when the Shipcode's label
    // would not fit.
    const auto label = [](const std::string& value, const Bytes& data) -> std::string {
        if (value != "Shipcode") return "(Datecode: M070)";
        if (data == zeroEnded(std::string(259, 'S'))) return "";
        if (data == bytes(std::string("M0\0" "70", 5))) return "(Datecode: M0)";
        return "(Datecode: 2009070)";
    };
    for (const auto& [value, type, data, found] : cases) {
        registerWf4(dir);
        setValue(kWf4Key, value, type, data);
        machine().properties().clear();
        run("isProEInstalled");
        const std::string what = std::string(value) + " of " + std::to_string(data.size()) + " bytes";
        EXPECT_EQ(property("PROEWF4"), found ? "1" : "") << what;
        const std::string expected = found ? label(value, data) : "";
        EXPECT_EQ(hasProperty("SHIPCODE4"), !expected.empty()) << what;
        EXPECT_EQ(property("SHIPCODE4"), expected) << what;
        run("fillInsatlledProeCB");
        EXPECT_EQ(property("WFCUSTOM_ONE"), expected.empty() ? "" : "Pro/ENGINEER WildFire 4.0 [" + expected + "]")
            << what;
    }

    // Product records of every shape: only a text that fits names a folder.
    writeFile("PTC\\rt\\x86e_win64\\obj\\Microsoft.VC100\\mfc100.dll", "runtime");
    const std::string rt = "C:\\PTC\\rt\\";
    const std::tuple<std::uint32_t, Bytes, unsigned> records[] = {
        {1, zeroEnded(rt), 1}, {1, bytes(rt), 1}, {1, zeroEnded(rt + std::string(259 - rt.size(), '\0')), 1},
        {4, {7, 0, 0, 0}, 0},  // any type is taken as text: "\a" names a folder where nothing is
        {3, {}, 0}, {1, bytes(std::string(260, 'r')), 0}, {1, zeroEnded(std::string(260, 'r')), 0}};
    for (const auto& [type, data, result] : records) {
        // Each time a machine that an earlier version installed, which kept no footprint.
        machine().registry().deleteKey(kProductKey);
        writeFile("PTC\\rt\\x86e_win64\\obj\\Microsoft.VC100\\mfc100.dll", "runtime");
        for (const char* name : {"Install_WF5_dir", "WFCUSTOM_DIR_ONE", "Install_CREO1_dir"})
            setValue(kProductKey, name, type, data);
        run("cleanupProEAuxAppInFile");
        EXPECT_EQ(run("cleanupDependancies"), result) << data.size() << " bytes";
        run("cleanCmdResources");
        EXPECT_FALSE(machine().registry().value(kProductKey, "WFCUSTOM_DIR_ONE"));
        // The runtime goes only from a folder that a record names.
        EXPECT_EQ(exists("PTC\\rt\\x86e_win64\\obj\\Microsoft.VC100\\mfc100.dll"), result == 0) << data.size();
    }
}

// Properties far longer than the buffers: read as nothing, never in part, and
// every action still returns what it documents.
TEST_F(HostileInputTest, OverlongProperties)
{
    makeHost("PTC\\wf4");
    writeFile("PTC\\wf4\\text\\protk.dat", "name Other\r\n");
    for (const std::size_t length : {259u, 260u, 1039u, 1040u, 5000u}) {
        machine().properties().clear();
        machine().openedTargets().clear();
        // A path that leads to the host, then runs on.
        const std::string value = "C:\\PTC\\wf4\\" + std::string(length - 11, '9');
        for (const char* name : {"PROEMBROWSE", "BrowseToURL", "PROEM1VER", "PROEM1DIR", "PROEWF4DIR", "CREO2DIR",
                                 "USASCIIM1", "ALLUSERSPROFILE", "WFCUSTOM_DIR_ONE", "PROEWF5TEMP", "PROECANAME",
                                 "ISCMDINSTALL"})
            setProperty(name, value);
        for (const char* name : {"PROEWF4", "PROEM1", "PROE_VER_1", "ISBROWSEPATHVALID"}) setProperty(name, "1");
        unsigned results = 0;
        for (const auto& entry : ca::kExportedActions) results += run(entry.name);
        EXPECT_EQ(results, 0u) << length;
        EXPECT_EQ(machine().openedTargets().size(), length < 1040 ? 1u : 0u) << length;
        EXPECT_EQ(readFile("PTC\\wf4\\text\\protk.dat"), "name Other\r\n") << length;
        EXPECT_EQ(property("PROEM1VER"), value);
        for (const auto& [name, text] : machine().properties())
            if (text != value) EXPECT_LT(text.size(), 300u) << name;
    }
}

// A folder counts only while every path built from it fits 260 bytes: one
// character more and nothing is read, written or registered there.
TEST_F(HostileInputTest, FoldersWhoseDerivedPathsJustFitOrNot)
{
    const std::pair<const char*, std::size_t> cases[] = {  // the action, the longest folder that still works
        {"isProEInstalled", 259 - std::string("\\x86e_win64\\obj\\xtop.exe").size()},
        {"addProEAuxAppInFile", 259 - std::string("\\text\\protk.dat").size()},
        {"addCMDEntriesInProtFile", 259 - std::string("exec_file \\x86e_win64\\obj\\orvbridge.dll").size()},
    };
    for (const auto& [action, longest] : cases) {
        for (const std::size_t length : {longest, longest + 1}) {
            const std::string folder = folderOfLength(length);
            ASSERT_EQ(folder.size(), length);
            makeHost(folder.substr(3), true);
            registerWf4(folder);
            machine().properties().clear();
            setProperties({{"PROEWF4", "1"}, {"PROEWF4DIR", folder}});
            run(action);
            const bool works = length == longest;
            if (std::string(action) == "isProEInstalled")
                EXPECT_EQ(property("PROEWF4DIR"), works ? folder : "") << length;
            else
                EXPECT_EQ(exists(folder.substr(3) + "\\text\\protk.dat"), works) << action << " " << length;
            std::filesystem::remove_all(onC("long"));
        }
    }
}

// Installation logs and registration files with overlong lines, NUL bytes,
// lone CRs, no final line end and random bytes: the release is told from the
// log where it can be, and an entry added to protk.dat comes out again leaving
// exactly what was there.
TEST_F(HostileInputTest, HostileLinesInLogsAndRegistrationFiles)
{
    std::mt19937 random(6);
    std::string garbage;
    while (garbage.size() < 20000)
        if (const char c = static_cast<char>(random()); c != 0x1A) garbage += c;  // Ctrl-Z would end the text
    const std::string release = "RELEASE=\"Wildfire 4.0\"";
    const std::pair<std::string, bool> cases[] = {  // the text, whether the log tells the release
        {std::string(4095, 'a') + "\r\n" + release + "\r\n", true},
        {std::string(4096, 'a') + "\r\n" + release + "\r\n", true},
        {std::string(100000, 'a') + "\r\n" + release + "\r\n", true},
        {std::string(4095, 'a') + "name Orvella\r\n" + release, true},
        {std::string(2 * 4095, 'a') + "name Orvella\r\nstartup DLL\r\n", false},
        {std::string("x\0y\r\n", 5) + release + std::string("\0\0\r\n", 4), true},
        {"PRODUCT\r" + release + "\rend", true}, {"a\rb\r\r\n\r", false}, {release, true}, {"", false},
        {"\r\n\r\n", false}, {garbage, false},
        {garbage + "\r\n" + release + "\r\n", true},
    };
    makeHost("PTC\\wf4", true);
    int n = 0;
    for (const auto& [text, logTellsRelease] : cases) {
        const std::string what = std::to_string(n++) + ": " + text.substr(0, 20);
        machine().properties().clear();
        writeLog("PTC\\wf4", text);
        setProperties({{"ISCMDINSTALL", "1"}, {"PROEM1DIR", "C:\\PTC\\wf4"}});
        run("validateSelection");
        EXPECT_EQ(hasProperty("PROEM1VER"), logTellsRelease) << what;
        EXPECT_EQ(property("PROEM1VER"), logTellsRelease ? "5" : "") << what;
        setProperties({{"PROEMBROWSE", "C:\\PTC\\wf4"}, {"ISBROWSEPATHVALID", "1"}});
        run("setAdditionalProeOnCB");
        // The label carries the release text exactly as the log gives it.
        EXPECT_EQ(property("WFCUSTOM_ONE"),
                  logTellsRelease ? "Pro/ENGINEER Wildfire 4.0[(Datecode: )] " : "Pro/ENGINEER [(Datecode: )] ")
            << what;

        writeFile("PTC\\wf4\\text\\protk.dat", text);
        setProperties({{"PROEWF4", "1"}, {"PROEWF4DIR", "C:\\PTC\\wf4"}});
        run("addProEAuxAppInFile");
        // The entry takes the file's own line ends: LF where every line ends so.
        const bool crLf = text.find("\r\n") != std::string::npos;
        const bool lineFeedsOnly = !crLf && text.find('\n') != std::string::npos;
        std::string entry = kRelativeEntry;
        if (lineFeedsOnly) std::erase(entry, '\r');
        EXPECT_TRUE(readFile("PTC\\wf4\\text\\protk.dat") == text + entry) << what;
        run("cleanupProEAuxAppInFile");
        // Every byte comes back; a last line without a line end keeps the one it got.
        const bool ended = text.empty() || text.back() == '\n';
        EXPECT_TRUE(readFile("PTC\\wf4\\text\\protk.dat") == text + (ended ? "" : lineFeedsOnly ? "\n" : "\r\n"))
            << what;
        EXPECT_FALSE(exists("PTC\\wf4\\text\\protk.tmp"));
    }
}

// Descriptors that are malformed, huge, nested deeper than any stack, or that
// define entities: each is read in bounded time, and one that declares a DTD
// is refused, so no entity is ever expanded nor anything outside it fetched.
TEST_F(HostileInputTest, HostileDescriptors)
{
    auto repeat = [](const std::string& text, int times) {
        std::string out;
        for (int i = 0; i < times; ++i) out += text;
        return out;
    };
    std::string laughs = "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY l0 \"lol\">";
    for (int i = 1; i <= 9; ++i)
        laughs += "<!ENTITY l" + std::to_string(i) + " \"" + repeat("&l" + std::to_string(i - 1) + ";", 10) + "\">";
    laughs += "<!ENTITY x SYSTEM \"file:///etc/passwd\">]><r version=\"2.0\" shipcode=\"&l9;&x;\"/>";
    const struct {
        const char* what;
        std::string xml;
        const char* shipcode;  // nullptr: the descriptor is refused
    } cases[] = {
        {"truncated", "<release version=\"2.0\"", nullptr}, {"two roots", "<a version=\"2.0\"/><b/>", nullptr},
        {"attribute twice", "<a version=\"2.0\" version=\"3.0\"/>", nullptr},
        {"binary", std::string("\0\xff\xfe<\x01", 5), nullptr}, {"empty", "", nullptr},
        {"huge",
         "<release>" + repeat("<component name=\"c\" datecode=\"1\"/>", 120000) +
             "<base shipcode=\"M030\" version=\"2.0\"/></release>",
         "M030"},
        {"deep", repeat("<n>", 100000) + "<base shipcode=\"M040\" version=\"2.0\"/>" + repeat("</n>", 100000), "M040"},
        {"deep doctype",
         "<!DOCTYPE r [" + repeat("<![INCLUDE[", 100000) + repeat("]]>", 100000) +
             "]><r version=\"2.0\" shipcode=\"M050\"/>",
         nullptr},
        {"entities", laughs, nullptr},
    };
    makeHost("PTC\\creo2");
    for (const auto& c : cases) {
        machine().properties().clear();
        machine().messageBoxes().clear();
        writeDescriptor("PTC\\creo2", c.xml);
        setProperties({{"PROEMBROWSE", "C:\\PTC\\creo2"}, {"UILevel", "5"}});
        const auto start = std::chrono::steady_clock::now();
        run("validateProEBrwPath");
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10)) << c.what;
        EXPECT_EQ(property("ISBROWSEPATHVALID"), c.shipcode ? "1" : "0") << c.what;
        EXPECT_EQ(machine().messageBoxes().size(), c.shipcode ? 0u : 1u) << c.what;
        if (c.shipcode)
            EXPECT_EQ(property("WFCUSTOM_ONE"), std::string("Creo Parametric 2.0 [(Datecode: ") + c.shipcode + ")] ")
                << c.what;
    }
}

}  // namespace
