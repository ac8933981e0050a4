#include "core/actions.h"
#include "core/release_table.h"
#include "registration/registration_file.h"
#include "sim_fixture.h"

#include <string>

using namespace ca;

namespace {

const std::string kEntry =
    "\r\nname Orvella\r\nstartup DLL\r\ndelay_start FALSE\r\nallow_stop  TRUE\r\n"
    "exec_file $PRO_DIRECTORY\\$PRO_MACHINE_TYPE\\obj\\orvbridge.dll\r\ntext_dir $PRO_DIRECTORY\r\nend\r\n";

std::string absoluteEntry(const std::string& execFolder, const std::string& textDir)
{
    return "\r\nname Orvella\r\nstartup DLL\r\ndelay_start FALSE\r\nallow_stop  TRUE\r\nexec_file " + execFolder +
           "\\x86e_win64\\obj\\orvbridge.dll\r\ntext_dir " + textDir + "\r\nend\r\n";
}

// Another vendor's add-in, with a percent sign, and a last line without a line end.
const std::string kOtherAddIns =
    "name OtherTool\r\nstartup dll\r\nexec_file C:\\Tools\\50%\\other.dll\r\ntext_dir C:\\Tools\\%TEXT%\r\nend";

}  // namespace

class RegistrationTest : public SimTest {
protected:
    void SetUp() override
    {
        SimTest::SetUp();
        makeHost("PTC\\wf4");
        makeFolder("PTC\\wf4\\text");
    }
    std::string protk() { return readFile("PTC\\wf4\\text\\protk.dat").value_or("<missing>"); }
    void setProtk(const std::string& bytes) { writeFile("PTC\\wf4\\text\\protk.dat", bytes); }
    bool tempFileLeft() { return exists("PTC\\wf4\\text\\123protk_xyz.dat") || exists("123protk_xyz.dat"); }
};

TEST_F(RegistrationTest, AppendWritesTheEntryOnceBehindOtherAddIns)
{
    addAuxAppEntry("C:\\PTC\\wf4");
    EXPECT_EQ(protk(), kEntry);  // a missing file is created

    setProtk(kOtherAddIns);
    addAuxAppEntry("C:\\PTC\\wf4\\");
    // The separator line completes the unterminated last line.
    EXPECT_EQ(protk(), kOtherAddIns + kEntry);
    addAuxAppEntry("C:\\PTC\\wf4");
    EXPECT_EQ(protk(), kOtherAddIns + kEntry) << "the name line marks the add-in as registered";

    // Only the exact whole line counts as the name line.
    setProtk("name Orvella \r\nNAME ORVELLA\r\n");
    addAuxAppEntry("C:\\PTC\\wf4");
    EXPECT_EQ(protk(), "name Orvella \r\nNAME ORVELLA\r\n" + kEntry);
    setProtk(std::string(4095, 'x') + "name Orvella\r\n");  // its tail is a piece, not a line
    addAuxAppEntry("C:\\PTC\\wf4");
    EXPECT_EQ(protk(), std::string(4095, 'x') + "name Orvella\r\n" + kEntry);
    setProtk("first\r\nname Orvella\r\nrest\r\n");
    addAuxAppEntry("C:\\PTC\\wf4");
    EXPECT_EQ(protk(), "first\r\nname Orvella\r\nrest\r\n");

    // No text folder, no folder at all: nothing is created.
    makeHost("PTC\\bare");
    addAuxAppEntry("C:\\PTC\\bare");
    addAuxAppEntry("");
    EXPECT_FALSE(exists("PTC\\bare\\text"));
    EXPECT_FALSE(exists("text\\protk.dat"));
}

TEST_F(RegistrationTest, AbsoluteEntryNamesTheFolderOrNothing)
{
    setProtk("name OtherTool\r\n%x%\r\n");
    addCmdAuxAppEntry("C:\\PTC\\wf4\\");
    EXPECT_EQ(protk(), "name OtherTool\r\n%x%\r\n" + absoluteEntry("C:\\PTC\\wf4", "C:\\PTC\\wf4\\"));
    addAuxAppEntry("C:\\PTC\\wf4");  // the second variant finds the first one's name line
    EXPECT_EQ(protk(), "name OtherTool\r\n%x%\r\n" + absoluteEntry("C:\\PTC\\wf4", "C:\\PTC\\wf4\\"));

    // The file path fits, the exec_file line does not: nothing truncated is written.
    const std::string longName(230, 'L');
    makeFolder(longName + "\\text");
    writeFile(longName + "\\text\\protk.dat", "keep\r\n");
    addCmdAuxAppEntry(("C:\\" + longName).c_str());
    EXPECT_EQ(readFile(longName + "\\text\\protk.dat"), "keep\r\n");
    // A shorter one fits: both lines hold the whole folder.
    const std::string fitting(210, 'F');
    makeFolder(fitting + "\\text");
    addCmdAuxAppEntry(("C:\\" + fitting).c_str());
    EXPECT_EQ(readFile(fitting + "\\text\\protk.dat"), absoluteEntry("C:\\" + fitting, "C:\\" + fitting));
}

TEST_F(RegistrationTest, RemovalTakesOutEveryEntryAndKeepsEverythingElse)
{
    // Round trip: one more line end than before, nothing else changed.
    setProtk(kOtherAddIns);
    addAuxAppEntry("C:\\PTC\\wf4");
    removeAuxAppEntry("C:\\PTC\\wf4");
    EXPECT_EQ(protk(), kOtherAddIns + "\r\n");
    EXPECT_FALSE(tempFileLeft());

    // Two entries (fourteen lines), one edited by hand, around other lines in order.
    const std::string edited = "name Orvella\r\na\r\nb\r\nc\r\nd\r\ne\r\nf\r\n";
    setProtk("top 100%\r\n" + kEntry + "middle\r\n" + edited + "bottom\r\n");
    removeAuxAppEntry("C:\\PTC\\wf4\\");
    EXPECT_EQ(protk(), "top 100%\r\n\r\nmiddle\r\nbottom\r\n");

    // A short entry at the end: the name line and what follows it go.
    setProtk("keep\r\nname Orvella\r\nstartup DLL\r\nend");
    removeAuxAppEntry("C:\\PTC\\wf4");
    EXPECT_EQ(protk(), "keep\r\n");

    // A long line among the six counts as one line; a piece is never a name line.
    const std::string longLine(5000, 'y');
    setProtk("name Orvella\r\n" + longLine + "\r\n2\r\n3\r\n4\r\n5\r\n6\r\nafter\r\n" + std::string(4095, 'x') +
             "name Orvella\r\n");
    removeAuxAppEntry("C:\\PTC\\wf4");
    EXPECT_EQ(protk(), "after\r\n" + std::string(4095, 'x') + "name Orvella\r\n");

    // Without an entry the file is left byte for byte, stray line ends and all.
    setProtk("a\nb\r\n");
    removeAuxAppEntry("C:\\PTC\\wf4");
    EXPECT_EQ(protk(), "a\nb\r\n");
    EXPECT_FALSE(tempFileLeft());
}

TEST_F(RegistrationTest, RemovalWithoutTheHostExecutableKeepsOtherAddIns)
{
    writeFile("gone\\text\\protk.dat", "name OtherTool\r\nend\r\n" + kEntry);
    removeAuxAppEntry("C:\\gone");
    EXPECT_EQ(readFile("gone\\text\\protk.dat"), "name OtherTool\r\nend\r\n\r\n");

    writeFile("gone\\text\\protk.dat", "\r\n" + kEntry + kEntry);
    removeAuxAppEntry("C:\\gone");
    EXPECT_FALSE(exists("gone\\text\\protk.dat")) << "only empty lines were left";
    EXPECT_FALSE(exists("gone\\text\\123protk_xyz.dat"));
}

TEST_F(RegistrationTest, FailedRemovalLeavesTheFileAsItWas)
{
    const std::string original = "top\r\n" + kEntry + "middle %1\r\n" + kEntry + "bottom";
    struct Case {
        sim::Op op;
        int calls;
    };
    // Every read, every write, the close of the copy and the replacing rename.
    for (const Case c : {Case{sim::Op::fileRead, 20}, Case{sim::Op::fileWrite, 5}, Case{sim::Op::fileClose, 1},
                         Case{sim::Op::replaceFile, 1}, Case{sim::Op::fileOpen, 2}}) {
        for (int k = 1; k <= c.calls; ++k) {
            setProtk(original);
            machine().faults().clear();
            machine().faults().resetCounts();
            machine().faults().failAt(c.op, k);
            removeAuxAppEntry("C:\\PTC\\wf4");
            const bool hit = machine().faults().calls(c.op) >= k;
            EXPECT_TRUE(hit) << sim::opName(c.op) << " " << k;
            EXPECT_EQ(protk(), original) << sim::opName(c.op) << " " << k;
            EXPECT_FALSE(tempFileLeft()) << sim::opName(c.op) << " " << k;
        }
    }
    // A file that cannot be read to its end gets no entry: it may hold one already.
    setProtk("top\r\n");
    machine().faults().clear();
    machine().faults().failAt(sim::Op::fileRead, machine().faults().calls(sim::Op::fileRead) + 1);
    addAuxAppEntry("C:\\PTC\\wf4");
    EXPECT_EQ(protk(), "top\r\n");

    setProtk(original);
    machine().faults().clear();
    removeAuxAppEntry("C:\\PTC\\wf4");
    EXPECT_EQ(protk(), "top\r\n\r\nmiddle %1\r\n\r\nbottom");
}

TEST_F(RegistrationTest, ActionsRegisterTheChosenSlots)
{
    for (const char* host : {"creo1", "wf1", "wf5", "browsed"}) {
        makeHost(host);
        makeFolder(std::string(host) + "\\text");
    }
    setProperty("CREO1", "1");
    setProperty("CREO1DIR", "C:\\creo1\\");
    setProperty("PROEWF1", "1 ");  // not exactly "1"
    setProperty("PROEWF1DIR", "C:\\wf1");
    setProperty("PROEWF5", "1");
    setProperty("PROEWF5DIR", "C:\\wf5");
    setProperty("PROEWF4", "1");  // chosen, but no folder
    setProperty("PROEM1", "0");
    setProperty("PROEM1DIR", "C:\\browsed");

    EXPECT_EQ(addCMDEntriesInProtFile(session()), 0u);
    EXPECT_EQ(readFile("creo1\\text\\protk.dat"), absoluteEntry("C:\\creo1", "C:\\creo1\\"));
    EXPECT_EQ(readFile("wf5\\text\\protk.dat"), absoluteEntry("C:\\wf5", "C:\\wf5"));
    EXPECT_FALSE(exists("wf1\\text\\protk.dat"));
    EXPECT_FALSE(exists("browsed\\text\\protk.dat"));

    EXPECT_EQ(addProEAuxAppInFile(session()), 0u);
    EXPECT_EQ(readFile("wf5\\text\\protk.dat"), absoluteEntry("C:\\wf5", "C:\\wf5")) << "already registered";
    EXPECT_FALSE(exists("browsed\\text\\protk.dat"));
    setProperty("PROEM1", "1");
    EXPECT_EQ(addProEAuxAppInFile(session()), 0u);
    EXPECT_EQ(readFile("browsed\\text\\protk.dat"), kEntry);
    EXPECT_FALSE(exists("wf1\\text\\protk.dat"));

    // Removal cleans every slot with a folder, chosen or not, and the browsed slot.
    setProperty("CREO1", "");
    writeFile("wf1\\text\\protk.dat", "other\r\n" + kEntry);
    EXPECT_EQ(cleanupProEAuxAppInFile(session()), 0u);
    EXPECT_EQ(readFile("creo1\\text\\protk.dat"), "\r\n");
    EXPECT_EQ(readFile("wf1\\text\\protk.dat"), "other\r\n\r\n");
    EXPECT_EQ(readFile("browsed\\text\\protk.dat"), "\r\n");
}
