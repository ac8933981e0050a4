// Text in the system's ANSI code page. The library walks paths and names by
// characters, so that the second byte of a code page 932 character (表 is
// 0x95 0x5C) is never a separator and never folds; the simulated machine
// keeps every narrow string in its code page and converts only where Unicode
// meets it: .reg text, the host's file names, ca-sim's scenario files.
#include "core/paths.h"
#include "core/text.h"
#include "core/outcome.h"
#include "model/host_folder.h"
#include "model/release_table.h"
#include "platform/files.h"
#include "package.h"
#include "runner.h"
#include "scenario.h"
#include "casim_support.h"
#include "sim_fixture.h"

#include <filesystem>
#include <string>
#include <vector>

using namespace ca;

namespace {

// Code page 932 bytes of the names below, written out so that the
// conversions are checked against Microsoft's table, not against themselves.
const std::string kDesign = "\x90\xdd\x8c\x76\x90\x7d\x95\x5c";  // 設計図表, its last trail byte 0x5C
const std::string kTable = "\x95\x5c";                           // 表
const std::string kSo = "\x83\x5c";                              // ソ
const std::string kAbility = "\x94\x5c";                         // 能
const std::string kA = "\x83\x41";                               // ア, its trail byte 'A'
const std::string kLowerTrail = "\x83\x61";                      // ヂ: ア with its trail byte lower-cased

// Pièces, in UTF-8 as the host names it and in Windows-1252.
const std::string kPiecesUtf8 = std::string("Pi\xc3\xa8") + "ces";
const std::string kPieces = std::string("Pi\xe8") + "ces";

const sim::CodePage kJapanese = *sim::CodePage::of(932);
const sim::CodePage kWestern = *sim::CodePage::of(1252);

class CodePage932 : public SimTest {
protected:
    void SetUp() override
    {
        SimTest::SetUp();
        machine().setCodePage(kJapanese);
    }
};

using CodePage1252 = SimTest;  // the simulated machine's default

}  // namespace

TEST(CodePageText, ConvertsAsWindowsDoes)
{
    // Windows-1252: every byte is a character and comes back, the five
    // undefined ones as C1 controls; what the code page lacks is '?'.
    std::string all;
    for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
    EXPECT_EQ(kWestern.fromWideExactly(kWestern.toWide(all)), all);
    EXPECT_EQ(kWestern.fromUtf8Exactly(kWestern.toUtf8(all)), all);
    EXPECT_EQ(kWestern.toUtf8("C:\\M\xfcller \x80\x81"), "C:\\M\xc3\xbcller \xe2\x82\xac\xc2\x81");
    EXPECT_EQ(kWestern.fromUtf8Exactly(kPiecesUtf8), kPieces);
    // Not UTF-8 (a lone continuation, an overlong slash, a cut sequence) or not Windows-1252 (設, α, an emoji).
    for (const char* bad : {"\x80", "\xc0\xaf", "\xe2\x82", "\xe8\xa8\xad", "\xce\xb1", "\xf0\x9f\x98\x80"})
        EXPECT_EQ(kWestern.fromUtf8Exactly(bad), std::nullopt) << bad;
    EXPECT_EQ(kWestern.fromUtf8("\xe8\xa8\xad\xe8\xa8\x88"), "??");
    EXPECT_FALSE(kWestern.isLeadByte('\x95'));

    // Code page 932: two bytes a character after a lead byte, half-width
    // katakana in one, ASCII as it stands.
    EXPECT_EQ(kJapanese.fromUtf8Exactly("C:\\\xe8\xa8\xad\xe8\xa8\x88\xe5\x9b\xb3\xe8\xa1\xa8"), "C:\\" + kDesign);
    EXPECT_EQ(kJapanese.fromUtf8Exactly("\xe3\x82\xbd\xe8\x83\xbd\xe3\x82\xa2"), kSo + kAbility + kA);  // ソ能ア
    EXPECT_EQ(kJapanese.toUtf8(kTable + "\\" + kSo), "\xe8\xa1\xa8\\\xe3\x82\xbd");
    EXPECT_EQ(kJapanese.toUtf8("\xb1"), "\xef\xbd\xb1");  // ｱ
    EXPECT_EQ(kJapanese.toWide("a\x95"), u"a\u30fb");     // a lead byte that ends the text: the default character
    EXPECT_EQ(kJapanese.fromUtf8Exactly("M\xc3\xbcller"), std::nullopt);  // ü is not in code page 932
    EXPECT_EQ(kJapanese.fromUtf8("M\xc3\xbcller"), "M?ller");
    EXPECT_TRUE(kJapanese.isLeadByte('\x95') && kJapanese.isLeadByte('\xe0') && kJapanese.isLeadByte('\xfc'));
    EXPECT_FALSE(kJapanese.isLeadByte('\x5c') || kJapanese.isLeadByte('\xa1') || kJapanese.isLeadByte('\xa0'));
    EXPECT_EQ(sim::CodePage::of(850), std::nullopt);

    EXPECT_EQ(sim::upperCase(u"m\u00fcller stra\u00dfe \uff41"), u"M\u00dcLLER STRA\u00dfE \uff21");
    EXPECT_TRUE(sim::isUtf8("\xc3\xbc"));
    EXPECT_FALSE(sim::isUtf8("\xfc") || sim::isUtf8("\xc0\xaf") || sim::isUtf8("\xe8\xa8"));
}

TEST_F(CodePage932, PathHelpersNeverTakeATrailByteForASeparator)
{
    const std::pair<std::string, std::string> strips[] = {
        {"C:\\" + kDesign, "C:\\" + kDesign},  // the trail byte at the end stays
        {"C:\\" + kDesign + "\\", "C:\\" + kDesign},
        {"C:\\" + kTable + "\\\\", "C:\\" + kTable + "\\"},
        {"C:\\PTC\\" + kSo + "/", "C:\\PTC\\" + kSo},
        {kSo, kSo},
        {"\x95\\", "\x95\\"},  // a lead byte takes the backslash after it
    };
    for (const auto& [before, after] : strips) {
        PathBuffer fixed(before);
        std::string text = before;
        stripTrailingSeparator(fixed);
        stripTrailingSeparator(text);
        EXPECT_EQ(fixed.view(), after) << before;
        EXPECT_EQ(text, after) << before;
    }
    const std::string path = "C:\\" + kTable + kSo + "\\x" + kAbility + "y";
    EXPECT_EQ(lastSeparator(path), 7u);  // after 表ソ, not inside either
    EXPECT_EQ(parentOf(path), "C:\\" + kTable + kSo);
    EXPECT_EQ(parentOf(kTable + kAbility), kTable + kAbility);
    EXPECT_FALSE(endsWithSeparator(kDesign));
    EXPECT_EQ(lastSeparator(kDesign), std::string::npos);

    // The host folder's paths are built on the whole name.
    const HostFolder host = HostFolder::stripped("C:\\" + kDesign);
    PathBuffer file;
    ASSERT_TRUE(host.path(kRegistrationFile, file));
    EXPECT_EQ(file.view(), "C:\\" + kDesign + "\\text\\protk.dat");

    // In Windows-1252 the same bytes are "•\": there the backslash is one.
    machine().setCodePage(kWestern);
    std::string western = "C:\\" + kDesign;
    stripTrailingSeparator(western);
    EXPECT_EQ(western, "C:\\\x90\xdd\x8c\x76\x90\x7d\x95");
}

TEST_F(CodePage932, NamesLowerAndCompareByCharacters)
{
    EXPECT_EQ(lowerCased("C:\\PTC\\" + kA + "B" + kTable + "Z"), "c:\\ptc\\" + kA + "b" + kTable + "z");
    EXPECT_FALSE(equalsIgnoringCase(kA, kLowerTrail));
    EXPECT_TRUE(equalsIgnoringCase("C:\\" + kA + "X", "c:\\" + kA + "x"));
    EXPECT_TRUE(startsWithIgnoringCase("C:\\" + kA + "X\\obj", "c:\\" + kA + "x"));
    EXPECT_FALSE(startsWithIgnoringCase("C:\\" + kLowerTrail + "\\x", "c:\\" + kA));
    machine().setCodePage(kWestern);  // "ƒA" and "ƒa" are one name there
    EXPECT_EQ(lowerCased(kA), kLowerTrail);
    EXPECT_TRUE(equalsIgnoringCase(kA, kLowerTrail));
}

// ア and ヂ differ only in a trail byte that reads as 'A' or 'a': two hosts,
// two backups of their own runtimes, two entries to take out.
TEST_F(CodePage932, HostsWhoseNamesDifferInATrailByteStayApart)
{
    stageAddIn();
    const std::string onDisk[] = {"\xe3\x82\xa2", "\xe3\x83\x82"};
    const std::string folders[] = {"C:\\" + kA, "C:\\" + kLowerTrail};
    std::map<std::string, std::string> before[2];
    for (int i = 0; i < 2; ++i) {
        makeHost(onDisk[i]);
        writeFile(onDisk[i] + "\\x86e_win64\\obj\\msvcr90.dll", "runtime of host " + std::to_string(i));
        writeFile(onDisk[i] + "\\text\\protk.dat", "name OtherTool\r\nend\r\n");
        before[i] = filesBelow(onDisk[i], true);
    }
    for (const std::string& folder : folders) deployAndRegister(folder, kCreo2);
    for (const std::string& host : onDisk) {
        ASSERT_EQ(readFile(host + "\\x86e_win64\\obj\\msvcr90.dll"), "msvcr90.dll") << host;
        ASSERT_NE(readFile(host + "\\text\\protk.dat")->find("name Orvella"), std::string::npos) << host;
    }
    setProperty("ALLUSERSPROFILE", "C:\\ProgramData");
    EXPECT_EQ(cleanupProEAuxAppInFile(session()), 0u);
    EXPECT_EQ(cleanCmdResources(session()), 0u);
    EXPECT_EQ(property(kRemoveErrorProperty), "");
    for (int i = 0; i < 2; ++i) EXPECT_EQ(filesBelow(onDisk[i], true), before[i]) << onDisk[i];
    EXPECT_FALSE(exists("ProgramData\\Kestrane"));
}

// A development build named its survey of a host with every byte lower-cased,
// a trail byte too: the survey of ア stands under ヂ, and is found there.
TEST_F(CodePage932, ADevelopmentBuildsSurveyIsFoundUnderTheNameItGaveIt)
{
    stageAddIn();
    const std::string onDisk = "\xe3\x82\xa2";
    makeHost(onDisk);
    deployAndRegister("C:\\" + kA, kCreo2);
    forgetFootprints();
    auto& registry = machine().registry();
    registry.deleteValue(kProductKey, "Footprints");
    registry.setString(kProductKey, "WFCUSTOM_DIR_ONE", "C:\\" + kA);
    const std::string had = std::string("x86e_win64\\obj\\msvcr90.dll\0\0", 28);
    registry.setValue(kProductKey, "Before c:\\" + kLowerTrail, {7, {had.begin(), had.end()}});
    EXPECT_EQ(cleanupProEAuxAppInFile(session()), 0u);
    // The survey tells msvcr90.dll was the host's; the rest of the runtime was the add-in's.
    EXPECT_EQ(readFile(onDisk + "\\x86e_win64\\obj\\msvcr90.dll"), "msvcr90.dll");
    EXPECT_FALSE(exists(onDisk + "\\x86e_win64\\obj\\msvcp90.dll"));
    EXPECT_EQ(productValues().count("Before c:\\" + kLowerTrail), 0u);
}

TEST_F(CodePage932, SimulatedFilesAreNamedInTheCodePage)
{
    // The host holds UTF-8 names; the machine gives and takes code page 932.
    ASSERT_EQ(platform::makeDirectory(("C:\\" + kDesign).c_str()), 0);
    EXPECT_TRUE(std::filesystem::is_directory(onC("\xe8\xa8\xad\xe8\xa8\x88\xe5\x9b\xb3\xe8\xa1\xa8")));
    writeFile("\xe8\xa8\xad\xe8\xa8\x88\xe5\x9b\xb3\xe8\xa1\xa8\\\xe8\xa1\xa8\\a.txt", "x");
    writeFile("\xe8\xa8\xad\xe8\xa8\x88\xe5\x9b\xb3\xe8\xa1\xa8\\\xed\x95\x9c.txt", "x");  // 한: not in 932
    const std::string design = "C:\\" + kDesign;
    EXPECT_EQ(platform::getFileAttributes((design + "\\" + kTable + "\\A.TXT").c_str()), 0x20u);
    EXPECT_EQ(platform::getFileAttributes((design + "\\").c_str()), platform::kFileAttributeDirectory);
    EXPECT_EQ(platform::getFileAttributes((design + "x").c_str()), platform::kInvalidFileAttributes);
    EXPECT_EQ(listing(design + "\\*"), (std::vector<std::string>{"./", "../", kTable + "/", "?.txt"}));
    EXPECT_EQ(listing(design + "\\" + kTable + "*"), (std::vector<std::string>{kTable + "/"}));
    EXPECT_EQ(listing(design + "\\" + kTable + "\\*.TXT"), (std::vector<std::string>{"a.txt"}));
    ASSERT_TRUE(platform::changeDirectory((design + "\\" + kTable).c_str()));
    EXPECT_EQ(machine().currentDirectory(), design + "\\" + kTable);
    EXPECT_EQ(platform::getFileAttributes("a.txt"), 0x20u);
    EXPECT_TRUE(platform::copyFile("a.txt", (design + "\\" + kSo + ".txt").c_str(), true));
    EXPECT_TRUE(std::filesystem::exists(onC("\xe8\xa8\xad\xe8\xa8\x88\xe5\x9b\xb3\xe8\xa1\xa8\\\xe3\x82\xbd.txt")));
    // A link's target is named in the code page too.
    std::filesystem::create_symlink("a.txt", onC("\xe8\xa8\xad\xe8\xa8\x88\xe5\x9b\xb3\xe8\xa1\xa8\\\xe8\xa1\xa8\\link"));
    std::string target;
    ASSERT_TRUE(platform::finalPath((design + "\\" + kTable + "\\link").c_str(), target));
    EXPECT_EQ(target, design + "\\" + kTable + "\\a.txt");
}

TEST_F(CodePage1252, NamesMatchWithoutCaseAsNtfsMatchesThem)
{
    writeFile("M\xc3\xbcller\\" + kPiecesUtf8 + ".txt", "x");
    EXPECT_EQ(platform::getFileAttributes((std::string("C:\\M\xdcLLER\\PI\xc8") + "CES.TXT").c_str()),
              0x20u);  // Ü and È in Windows-1252
    EXPECT_EQ(listing("C:\\m\xfcller\\*"), (std::vector<std::string>{"./", "../", kPieces + ".txt"}));
}

TEST_F(CodePage932, RegistryTextIsUnicodeAndTheRegistryTheCodePage)
{
    // Version 5 in UTF-16: names and strings arrive in code page 932, and the
    // key named 表 is one key, not one ending in a separator.
    const std::u16string wide =
        u"\ufeffWindows Registry Editor Version 5.00\r\n\r\n"
        u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\PTC\\Pro/ENGINEER\\Wildfire 5.0\\\u8868]\r\n"
        u"\"InstallDir\"=\"C:\\\\\u8a2d\u8a08\u56f3\u8868\"\r\n"
        u"\"Before c:\\\\\u8868\"=hex(7):bd,30,00,00,00,00\r\n";
    std::string bytes;
    for (const char16_t c : wide) bytes += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    machine().registry().importText(bytes, "machine.reg");
    const std::string key = "SOFTWARE\\PTC\\Pro/ENGINEER\\Wildfire 5.0\\" + kTable;
    EXPECT_EQ(registryText(key, "InstallDir"), "C:\\" + kDesign + '\0');
    EXPECT_EQ(registryText(key, "BEFORE C:\\" + kTable), kSo + std::string("\0\0", 2));  // names without case
    EXPECT_EQ(machine().registry().findKey("SOFTWARE\\PTC\\Pro/ENGINEER\\Wildfire 5.0")->subkeys.size(), 1u);

    // Exported as UTF-8 text, and read back to the same bytes.
    const std::string text = machine().registry().exportText();
    EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\PTC\\Pro/ENGINEER\\Wildfire 5.0\\\xe8\xa1\xa8]\r\n"
                        "\"Before c:\\\\\xe8\xa1\xa8\"=hex(7):bd,30,00,00,00,00\r\n"
                        "\"InstallDir\"=\"C:\\\\\xe8\xa8\xad\xe8\xa8\x88\xe5\x9b\xb3\xe8\xa1\xa8\"\r\n"),
              std::string::npos)
        << text;
    const sim::Registry::Flat flat = machine().registry().flatten();
    sim::Registry again;
    again.importText(text, "exported.reg");
    EXPECT_EQ(again.flatten(), flat);

    // REGEDIT4 text is in the code page itself: 表 before the closing quote
    // ends in 0x5C, which escapes nothing.
    sim::Registry four;
    four.importText("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\X]\r\n\"InstallDir\"=\"C:\\\\" + kTable + "\"\r\n",
                    "four.reg");
    const auto value = four.value("SOFTWARE\\X", "InstallDir");
    ASSERT_TRUE(value);
    EXPECT_EQ(std::string(value->data.begin(), value->data.end()), "C:\\" + kTable + '\0');
}

TEST_F(CodePage1252, AGermanFolderInARegFileReachesTheLibraryAsOneByte)
{
    machine().registry().importText(
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\X]\r\n"
        "\"InstallDir\"=\"C:\\\\M\xc3\xbcller\"\r\n",
        "machine.reg");
    EXPECT_EQ(registryText("SOFTWARE\\X", "InstallDir"), std::string("C:\\M\xfcller\0", 10));
    EXPECT_NE(machine().registry().exportText().find("\"InstallDir\"=\"C:\\\\M\xc3\xbcller\""), std::string::npos);

    // A folder browsed to by that name is the one on the disk.
    makeHost("M\xc3\xbcller");
    writeLog("M\xc3\xbcller", "RELEASE=\"Wildfire 4.0\"\nDATECODE=\"2009070\"\n");
    setProperties({{"PROEMBROWSE", "C:\\M\xfcller"}, {"PROECANAME", "setPROEM1DIR"}});
    validateProEBrwPath(session());
    EXPECT_EQ(property("ISBROWSEPATHVALID"), "1");
    EXPECT_EQ(property("WFCUSTOM_DIR_ONE"), "C:\\M\xfcller");
}

TEST(CaSimScenario, TheCodePageStatementSetsHowValuesReachTheMachine)
{
    const casim::Scenario japanese = casim::parseScenarioText(
        "property PROEM1DIR=C:\\\xe8\xa8\xad\xe8\xa8\x88\xe5\x9b\xb3\xe8\xa1\xa8\ncodepage 932\nrun isProEInstalled\n",
        "scenario.txt");
    EXPECT_EQ(casim::machineCodePage(japanese), kJapanese);
    ASSERT_EQ(japanese.properties.size(), 1u);
    EXPECT_EQ(japanese.properties[0].value, "C:\\" + kDesign);
    EXPECT_EQ(casim::machineCodePage(casim::parseScenarioText("run isProEInstalled\n", "s")), kWestern);
    // The one writer gives the value back in UTF-8, wherever the code page was named.
    EXPECT_EQ(casim::scenarioText(japanese),
              "property PROEM1DIR=C:\\\xe8\xa8\xad\xe8\xa8\x88\xe5\x9b\xb3\xe8\xa1\xa8\ncodepage 932\nrun isProEInstalled\n");

    // The collector's file is cmd's text in the machine's code page, and says so first.
    const casim::Scenario collected = casim::parseScenarioText(
        "# collected\ncodepage 932 ansi\nenv ALLUSERSPROFILE=C:\\ProgramData\n"
        "hold C:\\\x90\xdd\x8c\x76\x90\x7d\x95\x5c\\text\\protk.dat\nsequence install\n",
        "scenario.txt");
    EXPECT_EQ(casim::machineCodePage(collected), kJapanese);
    ASSERT_EQ(collected.holds.size(), 1u);
    EXPECT_EQ(collected.holds[0].path, "C:\\" + kDesign + "\\text\\protk.dat");
    EXPECT_EQ(casim::scenarioText(collected),
              "env ALLUSERSPROFILE=C:\\ProgramData\ncodepage 932\n"
              "hold C:\\\xe8\xa8\xad\xe8\xa8\x88\xe5\x9b\xb3\xe8\xa1\xa8\\text\\protk.dat\nsequence install\n");
    const casim::Scenario western =
        casim::parseScenarioText("codepage 1252 ansi\nenv ALLUSERSPROFILE=C:\\Gem\xe9insam\n", "s");
    EXPECT_EQ(western.environment.at(0).value, "C:\\Gem\xe9insam");

    const std::pair<std::string, std::string> refused[] = {
        {"codepage 850\nrun isProEInstalled\n", "s:1: expected codepage 1252 or codepage 932"},
        {"codepage 850 ansi\nrun isProEInstalled\n", "s:1: expected codepage 1252 or codepage 932"},
        {"run isProEInstalled\ncodepage 932 ansi\n", "s:2: \"codepage N ansi\" must be the file's first statement"},
        {"codepage 932 utf8\n", "s:1: expected codepage 1252 or codepage 932"},
        {"codepage\nrun isProEInstalled\n", "s:1: expected codepage 1252 or codepage 932"},
        {"codepage 932\ncodepage 1252\n", "s:2: a second codepage line (the first is line 1)"},
        {"codepage 932\nexpect A=M\xc3\xbcller\n", "s:2: the value is not text that code page 932 can hold"},
        {"expect A=\xe8\xa1\xa8\n", "s:1: the value is not text that code page 1252 can hold"},
        {"hold C:\\\xe8\xa1\xa8\\protk.dat\n", "s:1: the path is not text that code page 1252 can hold"},
    };
    for (const auto& [text, message] : refused) EXPECT_EQ(casim_support::errorOf(text, "s"), message) << text;
}

namespace {

std::string valueText(const sim::Registry::Flat& registry, const std::string& name)
{
    const auto key = registry.find("SOFTWARE\\Kestrane\\Orvella");
    if (key == registry.end() || key->second.count(name) == 0) return "<none>";
    const auto& data = key->second.at(name).data;
    return std::string(data.begin(), data.end());
}

// The files below the host folders, by their names on the machine.
std::map<std::string, std::optional<std::string>> hostFiles(const casim::MachineState& state)
{
    std::map<std::string, std::optional<std::string>> files;
    for (const auto& [name, content] : state.files)
        if (name.rfind("C:\\ProgramData", 0) != 0) files[name] = content;
    return files;
}

}  // namespace

TEST(CaSimScenario, JapaneseHostsAreDeployedRegisteredRecordedAndLeftAsTheyWere)
{
    const casim::Package package = casim::loadPackage(std::string(CA_SOURCE_DIR) + "/package");
    casim::SimulatedRun run(
        casim::loadScenario(std::string(CA_SOURCE_DIR) + "/tests/e2e/scenarios/japanese-host-folders"), package);
    const std::string design = "C:\\" + kDesign;
    const std::string wf4 = "C:\\PTC\\" + kTable + kSo + "\\wf4\\";
    const std::string creo = "C:\\PTC\\\x94\x5c\x97\xcd" + kA + "\x83\x76\x83\x8a";  // 能力アプリ
    const casim::MachineState before = run.state();
    ASSERT_TRUE(before.files.count(design + "\\text\\protk.dat"));

    run.runSequence("install", package.sequences.at("install"), 0);
    const casim::MachineState installed = run.state();
    for (const std::string& host : {design + "\\", wf4, creo + "\\"}) {
        EXPECT_TRUE(installed.files.count(host + "x86e_win64\\obj\\orvbridge.dll")) << host;
        EXPECT_TRUE(installed.files.count(host + "x86e_win64\\obj\\Lang\\orvbridgeResJap.dll")) << host;
    }
    EXPECT_EQ(installed.files.at(design + "\\text\\protk.dat"),
              *before.files.at(design + "\\text\\protk.dat") +
                  "\nname Orvella\nstartup DLL\ndelay_start FALSE\nallow_stop  TRUE\n"
                  "exec_file $PRO_DIRECTORY\\$PRO_MACHINE_TYPE\\obj\\orvbridge.dll\ntext_dir $PRO_DIRECTORY\nend\n");
    const auto padded = [](const std::string& text) { return text + std::string(260 - text.size(), '\0'); };
    EXPECT_EQ(valueText(installed.registry, "Install_WF5_dir"), padded(design));
    EXPECT_EQ(valueText(installed.registry, "WFCUSTOM_DIR_THREE"), padded(wf4));
    EXPECT_EQ(valueText(installed.registry, "Install_CREO1_dir"), padded(creo));
    // One footprint per host, named by its folder without the separator at its end.
    for (const std::string& host : {creo, design, wf4.substr(0, wf4.size() - 1)}) {
        const std::string footprint = valueText(installed.registry, "Footprint " + host);
        EXPECT_NE(footprint.find("x86e_win64\\obj\\orvbridge.dll"), std::string::npos) << host;
    }

    run.runSequence("remove", package.sequences.at("remove"), 1);
    EXPECT_EQ(hostFiles(run.state()), hostFiles(before));
    EXPECT_EQ(valueText(run.state().registry, "Footprint " + design), "<none>");
}
