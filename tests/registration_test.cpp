// protk.dat editing and the registration actions.
#include "registration/registration_file.h"
#include "sim_fixture.h"

using namespace ca;

namespace {

std::string absoluteEntry(const std::string& execFolder, const std::string& textDir)
{
    return "\r\nname Orvella\r\nstartup DLL\r\ndelay_start FALSE\r\nallow_stop  TRUE\r\nexec_file " + execFolder +
           "\\x86e_win64\\obj\\orvbridge.dll\r\ntext_dir " + textDir + "\r\nend\r\n";
}

// Another vendor's add-in, with percent signs, and a last line without a line end.
const std::string kOtherAddIns =
    "name OtherTool\r\nstartup dll\r\nexec_file C:\\Tools\\50%\\other.dll\r\ntext_dir C:\\Tools\\%TEXT%\r\nend";
const std::string kLongPiece(4095, 'x');  // a line's first piece: its tail is a piece too, never a line

}  // namespace

class RegistrationTest : public SimTest {
protected:
    void SetUp() override
    {
        SimTest::SetUp();
        makeHost("PTC\\wf4", true);
    }
    std::string protk() { return readFile("PTC\\wf4\\text\\protk.dat").value_or("<missing>"); }
    void setProtk(const std::string& bytes) { writeFile("PTC\\wf4\\text\\protk.dat", bytes); }
    bool tempFileLeft() { return exists("PTC\\wf4\\text\\123protk_xyz.dat") || exists("123protk_xyz.dat"); }
};

TEST_F(RegistrationTest, AppendWritesTheEntryOnceBehindOtherAddIns)
{
    addAuxAppEntry(caSession(), "C:\\PTC\\wf4");
    EXPECT_EQ(protk(), kRelativeEntry);  // a missing file is created
    const struct {
        std::string before;
        std::string after;
    } cases[] = {
        {kOtherAddIns, kOtherAddIns + kRelativeEntry},  // the separator line ends the last line
        {kOtherAddIns + kRelativeEntry, kOtherAddIns + kRelativeEntry},  // the name line marks it as registered
        // Only the exact whole line counts as the name line.
        {"name Orvella \r\nNAME ORVELLA\r\n", "name Orvella \r\nNAME ORVELLA\r\n" + kRelativeEntry},
        {kLongPiece + "name Orvella\r\n", kLongPiece + "name Orvella\r\n" + kRelativeEntry},
        {"first\r\nname Orvella\r\nrest\r\n", "first\r\nname Orvella\r\nrest\r\n"},
    };
    for (const auto& c : cases) {
        setProtk(c.before);
        addAuxAppEntry(caSession(), "C:\\PTC\\wf4\\");
        EXPECT_EQ(protk(), c.after) << c.before.substr(0, 40);
    }
    // No text folder, no folder at all: nothing is created.
    makeHost("PTC\\bare");
    makeFolder("text");
    addAuxAppEntry(caSession(), "C:\\PTC\\bare");
    addAuxAppEntry(caSession(), "");
    EXPECT_FALSE(exists("PTC\\bare\\text"));
    EXPECT_FALSE(exists("text\\protk.dat"));
}

TEST_F(RegistrationTest, AbsoluteEntryNamesTheWholeFolderOrNothing)
{
    setProtk("name OtherTool\r\n%x%\r\n");
    addCmdAuxAppEntry(caSession(), "C:\\PTC\\wf4\\");
    const std::string registered = "name OtherTool\r\n%x%\r\n" + absoluteEntry("C:\\PTC\\wf4", "C:\\PTC\\wf4\\");
    EXPECT_EQ(protk(), registered);
    addAuxAppEntry(caSession(), "C:\\PTC\\wf4");  // the other variant finds the first one's name line
    EXPECT_EQ(protk(), registered);

    // The file path fits, the exec_file line does not: nothing truncated is written.
    const std::string longName(230, 'L');
    writeFile(longName + "\\text\\protk.dat", "keep\r\n");
    addCmdAuxAppEntry(caSession(), "C:\\" + longName);
    EXPECT_EQ(readFile(longName + "\\text\\protk.dat"), "keep\r\n");
    const std::string fitting(210, 'F');
    makeFolder(fitting + "\\text");
    addCmdAuxAppEntry(caSession(), "C:\\" + fitting);
    EXPECT_EQ(readFile(fitting + "\\text\\protk.dat"), absoluteEntry("C:\\" + fitting, "C:\\" + fitting));
}

TEST_F(RegistrationTest, RemovalTakesOutEveryEntryAndKeepsEverythingElse)
{
    const std::string edited = "name Orvella\r\na\r\nb\r\nc\r\nd\r\ne\r\nf\r\n";
    const std::string longLine(5000, 'y');
    const struct {
        std::string before;
        std::string after;
    } cases[] = {
        // A round trip leaves one more line end than before.
        {kOtherAddIns + kRelativeEntry, kOtherAddIns + "\r\n"},
        // Two entries, one edited by hand, around other lines kept in order.
        {"top 100%\r\n" + kRelativeEntry + "middle\r\n" + edited + "bottom\r\n",
         "top 100%\r\n\r\nmiddle\r\nbottom\r\n"},
        // A short entry at the end: the name line and what follows it go.
        {"keep\r\nname Orvella\r\nstartup DLL\r\nend", "keep\r\n"},
        // A long line among the six counts as one line; a piece is never a name line.
        {"name Orvella\r\n" + longLine + "\r\n2\r\n3\r\n4\r\n5\r\n6\r\nafter\r\n" + kLongPiece + "name Orvella\r\n",
         "after\r\n" + kLongPiece + "name Orvella\r\n"},
        // Without an entry the file is left byte for byte, stray line ends and all.
        {"a\nb\r\n", "a\nb\r\n"},
    };
    for (const auto& c : cases) {
        setProtk(c.before);
        removeAuxAppEntry(caSession(), "C:\\PTC\\wf4\\");
        EXPECT_EQ(protk(), c.after) << c.before.substr(0, 40);
        EXPECT_FALSE(tempFileLeft());
    }

    // Without the host executable: other add-ins stay; a file of empty lines goes.
    writeFile("gone\\text\\protk.dat", "name OtherTool\r\nend\r\n" + kRelativeEntry);
    removeAuxAppEntry(caSession(), "C:\\gone");
    EXPECT_EQ(readFile("gone\\text\\protk.dat"), "name OtherTool\r\nend\r\n\r\n");
    writeFile("gone\\text\\protk.dat", "\r\n" + kRelativeEntry + kRelativeEntry);
    removeAuxAppEntry(caSession(), "C:\\gone");
    EXPECT_FALSE(exists("gone\\text\\protk.dat"));
    EXPECT_FALSE(exists("gone\\text\\123protk_xyz.dat"));
}

TEST_F(RegistrationTest, FailedRemovalLeavesTheFileAsItWas)
{
    const std::string original = "top\r\n" + kRelativeEntry + "middle %1\r\n" + kRelativeEntry + "bottom";
    auto& faults = machine().faults();
    // Every read, write, open and close, and the replacing rename, one at a time. Only the
    // close of a file that was just read may fail harmlessly; the copy's close must not.
    const std::string removed = "top\r\n\r\nmiddle %1\r\n\r\nbottom";
    for (const sim::Op op : {sim::Op::fileRead, sim::Op::fileWrite, sim::Op::fileClose, sim::Op::replaceFile,
                             sim::Op::fileOpen}) {
        int kept = 0;
        for (int k = 1;; ++k) {
            setProtk(original);
            faults.resetCounts();
            faults.failAt(op, k);
            removeAuxAppEntry(caSession(), "C:\\PTC\\wf4");
            const std::string what = std::string(sim::opName(op)) + " " + std::to_string(k);
            EXPECT_FALSE(tempFileLeft()) << what;
            if (faults.calls(op) < k) {  // no call left to fail: the removal went through
                EXPECT_EQ(protk(), removed);
                break;
            }
            kept += protk() == original;
            if (op != sim::Op::fileClose) EXPECT_EQ(protk(), original) << what;
            EXPECT_TRUE(protk() == original || protk() == removed) << what;
        }
        EXPECT_GT(kept, 0) << sim::opName(op);
    }
    // A file that cannot be read to its end gets no entry: it may hold one already.
    setProtk("top\r\n");
    faults.failAt(sim::Op::fileRead, faults.calls(sim::Op::fileRead) + 1);
    addAuxAppEntry(caSession(), "C:\\PTC\\wf4");
    EXPECT_EQ(protk(), "top\r\n");
}

TEST_F(RegistrationTest, ActionsRegisterTheChosenSlots)
{
    for (const char* host : {"creo1", "wf1", "wf5", "browsed"}) makeHost(host, true);
    setProperties({{"CREO1", "1"}, {"CREO1DIR", "C:\\creo1\\"}, {"PROEWF1", "1 "} /* not exactly "1" */,
                   {"PROEWF1DIR", "C:\\wf1"}, {"PROEWF5", "1"}, {"PROEWF5DIR", "C:\\wf5"},
                   {"PROEWF4", "1"} /* chosen, but no folder */, {"PROEM1", "0"}, {"PROEM1DIR", "C:\\browsed"}});
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
    EXPECT_EQ(readFile("browsed\\text\\protk.dat"), kRelativeEntry);
    EXPECT_FALSE(exists("wf1\\text\\protk.dat"));
}
