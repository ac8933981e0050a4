#include "core/boundary.h"
#include "core/digest.h"
#include "core/file_work.h"
#include "core/log.h"
#include "core/paths.h"
#include "core/session.h"
#include "model/host_folder.h"
#include "sim_fixture.h"

#include <new>
#include <stdexcept>

using namespace ca;

TEST(CoreFixedString, NeverWritesPastItsBuffer)
{
    FixedString<8> s("abc");
    EXPECT_TRUE(s.append("defg"));  // 7 characters and the terminator
    EXPECT_FALSE(s.append("h") || s.appendAll("x", "y") || s.assign("12345678"));  // all or nothing
    EXPECT_EQ(s.view(), "abcdefg");
    for (const auto& [before, after] : {std::pair{"C:\\host\\\\", "C:\\host\\"}, {"C:/host/", "C:/host"},
                                        {"C:/host", "C:/host"}, {"", ""}}) {
        PathBuffer p(before);
        stripTrailingSeparator(p);  // only one separator goes
        EXPECT_EQ(p.view(), after);
    }
}

using CoreTest = SimTest;

// A logged value is printable ASCII inside its quotes, whatever it holds, and
// a long one is cut with its length said, so that no value can forge a line.
TEST(CoreLogText, ValuesAreShownPrintableQuotedAndCut)
{
    EXPECT_EQ(ca::shown("C:\\PTC"), "\"C:\\PTC\"");
    EXPECT_EQ(ca::shown(std::string("a\x7F" "b\"c\t\0", 7)), "\"a\\x7Fb\\x22c\\x09\\x00\"");
    EXPECT_EQ(ca::escaped("\x01\xE9\x1A"), "\\x01\\xE9\\x1A");
    EXPECT_EQ(ca::shown(std::string(160, 'x')), "\"" + std::string(160, 'x') + "\"");
    EXPECT_EQ(ca::shown(std::string(161, 'x') + "tail"), "\"" + std::string(160, 'x') + "\"... (165 characters)");
}

// Footprints stored by every earlier build hold these digests: the text of a
// digest, and the content it stands for, never change. A text that is not a
// digest's whole, exact form is none.
TEST_F(CoreTest, DigestsStayWhatStoredFootprintsHold)
{
    for (const auto& [content, text] : {std::pair{"", "0:cbf29ce484222325"}, {"a", "1:af63dc4c8601ec8c"},
                                        {"abcdefgh", "8:3919eeb00ee1e68c"}, {"abcdefghi", "9:e8f77a2949db571f"},
                                        {"the host's runtime", "18:fd199fa8c6195382"}}) {
        EXPECT_EQ(formatDigest(digestText(content)), text);
        writeFile("d.bin", content);
        ContentDigest fromFile;
        ASSERT_TRUE(digestFile("C:\\d.bin", fromFile));
        EXPECT_EQ(fromFile, digestText(content)) << content;
        EXPECT_EQ(parseDigest(text), digestText(content)) << text;
    }
    ContentDigest none;
    EXPECT_FALSE(digestFile("C:\\missing.bin", none));
    for (const char* bad : {"", "18", ":fd199fa8c6195382", "18fd199fa8c6195382", "1x:fd199fa8c6195382", "-1:fd199fa8c6195382",
                            "18:fd199fa8c619538", "18:fd199fa8c61953822", "18:fd199fa8c619538g", "18:+d199fa8c6195382"})
        EXPECT_FALSE(parseDigest(bad)) << bad;
}

// A footprint as every earlier build stored it reads back to the same text;
// one with any line this version does not know is left alone, not guessed at.
TEST(CoreFootprintText, IsReadBackWholeOrNotAtAll)
{
    const std::vector<std::string> stored = {
        "Orvella footprint 1", "host\tC:\\PTC\\wf4\\", "backups\tC:\\ProgramData\\Kestrane\\Orvella\\Backup\\0a1b",
        "earlier", "entry\te\t", "protk\te\ttext\\protk.dat", "folder\td\tx86e_win64\\obj\\Lang",
        "file\td\tx86e_win64\\obj\\a.dll\t1:af63dc4c8601ec8c 0:cbf29ce484222325",
        "replaced\tu\tx86e_win64\\obj\\msvcr90.dll\t1:af63dc4c8601ec8c\t1-msvcr90.dll",
        "file\tr\ttext\\usascii\\resource\\open.png\t"};
    const auto footprint = Footprint::parse(stored);
    ASSERT_TRUE(footprint);
    EXPECT_EQ(footprint->lines(), stored);
    EXPECT_EQ(footprint->host(), "C:\\PTC\\wf4\\");
    EXPECT_EQ(footprint->backups(), "C:\\ProgramData\\Kestrane\\Orvella\\Backup\\0a1b");
    EXPECT_TRUE(footprint->earlier());
    ASSERT_EQ(footprint->items().size(), 6u);
    const FootprintItem& replaced = footprint->items()[4];
    EXPECT_EQ(replaced.mark, Mark::replaced);
    EXPECT_EQ(replaced.domain, Domain::runtime);
    EXPECT_EQ(replaced.backup, "1-msvcr90.dll");
    EXPECT_EQ(footprint->items()[3].wrote, (std::vector<ContentDigest>{digestText("a"), digestText("")}));
    EXPECT_TRUE(footprint->items()[5].wrote.empty());
    // The backup folder does not tell MSVCR90.DLL from msvcr90.dll: a new backup's name is new in any case.
    EXPECT_EQ(footprint->newBackupName("lib\\MSVCR90.DLL"), "2-MSVCR90.DLL");
    EXPECT_EQ(footprint->newBackupName("open.png"), "1-open.png");

    const std::vector<std::vector<std::string>> unknown = {
        {"Orvella footprint 2", "host\tC:\\h"}, {"Orvella footprint 1"}, {"Orvella footprint 1", "host\t"},
        {"Orvella footprint 1", "folder\td\tx"}, {"Orvella footprint 1", "host\tC:\\h", "backups\t"},
        {"Orvella footprint 1", "host\tC:\\h", "backups\tC:\\b", "backups\tC:\\c"},
        {"Orvella footprint 1", "host\tC:\\h", "backup\tC:\\b"}, {"Orvella footprint 1", "host\tC:\\h", "earlier\tyes"},
        {"Orvella footprint 1", "host\tC:\\h", "dir\td\tx"}, {"Orvella footprint 1", "hosts\tC:\\h"},
        {"Orvella footprint 1", "host\tC:\\h\tC:\\i"},
        {"Orvella footprint 1", "host\tC:\\h", "folder\tq\tx"}, {"Orvella footprint 1", "host\tC:\\h", "folder\tdd\tx"},
        {"Orvella footprint 1", "host\tC:\\h", "folder\td"}, {"Orvella footprint 1", "host\tC:\\h", "folder\td\t"},
        {"Orvella footprint 1", "host\tC:\\h", "folder\td\tx\ty"}, {"Orvella footprint 1", "host\tC:\\h", "file\td\tx"},
        {"Orvella footprint 1", "host\tC:\\h", "file\td\tx\t1:af63dc4c8601ec8"},
        {"Orvella footprint 1", "host\tC:\\h", "file\td\tx\t99999999999999999999:af63dc4c8601ec8c"},
        {"Orvella footprint 1", "host\tC:\\h", "file\td\tx\t1:af63dc4c8601ec8c  0:cbf29ce484222325"},
        {"Orvella footprint 1", "host\tC:\\h", "replaced\td\tx\t1:af63dc4c8601ec8c\t"},
        {"Orvella footprint 1", "host\tC:\\h", "replaced\td\tx\t1:af63dc4c8601ec8c"}};
    for (const auto& lines : unknown) EXPECT_FALSE(Footprint::parse(lines)) << ::testing::PrintToString(lines);
}

// A walk logs its first ten failures one by one and counts them all.
TEST_F(CoreTest, AWalkLogsTenFailuresAndCountsTheRest)
{
    for (const int failures : {10, 11}) {
        machine().logMessages().clear();
        {
            const Session session = caSession();
            FileWork work(session);
            for (int n = 0; n < failures; ++n)
                work.copy(("C:\\missing" + std::to_string(n)).c_str(), ("C:\\copy" + std::to_string(n)).c_str());
            work.summary("walk");
        }
        EXPECT_EQ(logLines(" failed: error 2 ").size(), 10u) << failures;
        EXPECT_EQ(logLines("walk"), std::vector<std::string>{failures == 10 ? "test: walk: 10 failures"
                                                                             : "test: walk: 11 failures (the first 10 logged)"});
    }
}

TEST_F(CoreTest, HostExecutableTest)
{
    makeHost("PTC\\wf4");
    makeFolder("PTC\\folder\\x86e_win64\\obj\\xtop.exe");  // a folder of that name counts too
    makeHost("");  // an empty folder names no folder, even with xtop.exe at the root of the drive
    const std::string longFolder = "C:\\" + std::string(240, 'a');  // too long for the derived path
    for (const auto& [folder, host] : {std::pair<std::string, bool>{"C:\\PTC\\wf4", true}, {"C:\\PTC\\wf4\\", true},
                                       {"c:/ptc/WF4/", true}, {"C:\\PTC\\folder", true}, {"C:\\PTC", false},
                                       {"", false}, {longFolder, false}})
        EXPECT_EQ(hasHostExecutable(folder), host) << folder;
}

TEST_F(CoreTest, PropertyReadsOfferTheWholeBufferAndNeverKeepATruncatedValue)
{
    setProperty("FOLDER", std::string(259, 'x'));
    PathBuffer value;
    EXPECT_EQ(caSession().read("FOLDER", value), platform::kSuccess);
    EXPECT_EQ(value.size(), 259u);
    setProperty("FOLDER", std::string(260, 'x'));
    EXPECT_EQ(caSession().read("FOLDER", value), platform::kMoreData);
    EXPECT_TRUE(value.empty());
    // A later read after a long one still gets the full capacity.
    setProperty("SHORT", "C:\\PTC");
    EXPECT_EQ(caSession().read("SHORT", value), platform::kSuccess);
    EXPECT_EQ(value.view(), "C:\\PTC");
    EXPECT_EQ(caSession().read("UNSET", value), platform::kSuccess);
    EXPECT_TRUE(value.empty());
}

namespace {
unsigned throwsBadAlloc(const Session&) { throw std::bad_alloc(); }
unsigned returnsSeven(const Session&) { return 7; }
}  // namespace

TEST_F(CoreTest, BoundaryTellsTheLogOfAFailureAndEachActionStartsAfresh)
{
    // A failure nobody caught is said in the log, with the result returned.
    EXPECT_EQ(runAction(session(), "test", throwsBadAlloc, 1), 1u);
    ASSERT_EQ(machine().logMessages().size(), 2u);
    EXPECT_EQ(machine().logMessages()[1], "test: stopped by an unexpected failure (std::bad_alloc); returning 1");
    EXPECT_EQ(runAction(session(), "next", returnsSeven), 7u);
    ASSERT_EQ(machine().logMessages().size(), 3u);
    EXPECT_EQ(machine().logMessages()[2].rfind("next: Entering next in CustomActions.dll, version ", 0), 0u);

    // What one action learnt of a release descriptor does not reach the next:
    // each reads the descriptor of the folder it is given.
    makeHost("creo2");
    writeDescriptor("creo2", "<release version=\"2.0\" shipcode=\"M040\"/>");
    makeHost("broken");
    writeDescriptor("broken", "<release");
    setProperties({{"UILevel", "5"}, {"PROEMBROWSE", "C:\\creo2"}});
    validateProEBrwPath(session());
    EXPECT_EQ(property("ISBROWSEPATHVALID"), "1");
    setProperty("PROEMBROWSE", "C:\\broken");
    validateProEBrwPath(session());
    EXPECT_EQ(property("ISBROWSEPATHVALID"), "0");
    EXPECT_EQ(machine().messageBoxes().size(), 1u);
}

TEST_F(CoreTest, MessagesGoToTheLogUnlessTheInstallerShowsAUserInterface)
{
    auto tell = [](const Session& s) -> unsigned {
        s.tellUser("Something to say.", "Caption", 0x30);
        return 0;
    };
    for (const char* silent : {"2", ""}) {
        setProperty("UILevel", silent);
        runAction(session(), "test", tell);
    }
    EXPECT_TRUE(machine().messageBoxes().empty());
    // Each run: the boundary's first line, then the message, under the action's name.
    ASSERT_EQ(machine().logMessages().size(), 4u);
    EXPECT_EQ(machine().logMessages()[0].rfind("test: Entering test in CustomActions.dll, version ", 0), 0u);
    EXPECT_EQ(machine().logMessages()[1], "test: Caption: Something to say.");

    setProperty("UILevel", "5");
    runAction(session(), "test", tell);
    ASSERT_EQ(machine().messageBoxes().size(), 1u);
    const auto& box = machine().messageBoxes()[0];
    EXPECT_EQ(box.text + "|" + box.caption + "|" + std::to_string(box.style), "Something to say.|Caption|48");
}
