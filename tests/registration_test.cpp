// protk.dat editing and the registration actions.
#include "registration/registration_file.h"
#include "sim_fixture.h"

#include <cstring>

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
const std::string kOddBytes("mid\0dle\r\r\n", 10);  // a NUL and a lone CR
const std::string kLongPiece(4095, 'x');  // a long line whose tail looks like a name line

std::string lineFeedsOnly(std::string text)
{
    for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;) text.erase(at, 1);
    return text;
}

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
    bool tempFileLeft() { return exists("PTC\\wf4\\text\\protk.tmp") || exists("PTC\\wf4\\text\\protk.tm1"); }
    bool add() { return addAuxAppEntry(caSession(), "C:\\PTC\\wf4"); }
    bool remove(FileOwner owner = FileOwner::unknown) { return removeAuxAppEntry(caSession(), "C:\\PTC\\wf4", owner); }
    // protk.dat once an edit of the file `before` went through.
    std::string afterAdd(const std::string& before)
    {
        setProtk(before);
        EXPECT_TRUE(add());
        return protk();
    }
    std::string afterRemoval(const std::string& before, FileOwner owner = FileOwner::unknown)
    {
        setProtk(before);
        EXPECT_TRUE(remove(owner));
        return protk();
    }
    // The same where no host is left.
    std::optional<std::string> afterRemovalWithoutHost(const std::string& before, FileOwner owner = FileOwner::unknown)
    {
        writeFile("gone\\text\\protk.dat", before);
        EXPECT_TRUE(removeAuxAppEntry(caSession(), "C:\\gone", owner));
        return readFile("gone\\text\\protk.dat");
    }
};

TEST_F(RegistrationTest, AppendWritesTheEntryOnceWhereTheHostReadsIt)
{
    addAuxAppEntry(caSession(), "C:\\PTC\\wf4");
    EXPECT_EQ(protk(), kRelativeEntry);  // a missing file is created
    const std::string lfEntry = lineFeedsOnly(kRelativeEntry);
    const struct {
        std::string before;
        std::string after;
    } cases[] = {
        {kOtherAddIns, kOtherAddIns + kRelativeEntry},  // the separator line ends the last line
        {kOtherAddIns + kRelativeEntry, kOtherAddIns + kRelativeEntry},  // registered already
        // The name line as the host reads it: any case, blanks or tabs, trailing blanks, no final line end.
        {"NAME   Orvella  \r\nEND\r\n", "NAME   Orvella  \r\nEND\r\n"},
        {"other\n\tName\tOrvella", "other\n\tName\tOrvella"},
        // Another value, or our name in another case, is another add-in.
        {"name Orvella2\r\nname orvella\r\n", "name Orvella2\r\nname orvella\r\n" + kRelativeEntry},
        {"name orvella\r\n", "name orvella\r\n" + kRelativeEntry},
        {kLongPiece + "name Orvella\r\n", kLongPiece + "name Orvella\r\n" + kRelativeEntry},
        // The entry follows the file's own line ends.
        {"a\nb\n", "a\nb\n" + lfEntry},
        {"a\r\nb\n", "a\r\nb\n" + kRelativeEntry},
        {"no line end", "no line end" + kRelativeEntry},
        // The host stops reading at a Ctrl-Z: the entry goes before it, and a name line after it does not count.
        {"a\r\n\x1atail\r\n", "a\r\n" + kRelativeEntry + "\x1atail\r\n"},
        {"a\n\x1aname Orvella\n", "a\n" + lfEntry + "\x1aname Orvella\n"},
        {"name Orvella\r\n\x1a", "name Orvella\r\n\x1a"},
    };
    for (const auto& c : cases) {
        setProtk(c.before);
        EXPECT_TRUE(addAuxAppEntry(caSession(), "C:\\PTC\\wf4\\"));
        EXPECT_EQ(protk(), c.after) << c.before.substr(0, 40);
        EXPECT_FALSE(tempFileLeft());
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
    add();  // the other variant finds the first one's name line
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
    const std::string other = "NAME\tOtherTool\r\nexec_file o.dll\r\nend\r\n";
    const struct {
        std::string before;
        std::string after;
    } cases[] = {
        // A round trip leaves the file as it was; a last line without a line end keeps the one it got.
        {"x 100%\r\n" + kRelativeEntry, "x 100%\r\n"},
        {kOtherAddIns + kRelativeEntry, kOtherAddIns + "\r\n"},
        {"a\nb\n" + lineFeedsOnly(kRelativeEntry), "a\nb\n"},
        {"a\r\nb\n" + kRelativeEntry + "c\n", "a\r\nb\nc\n"},
        // An entry ends at its "end" line, in any form, or else before the next name line.
        {"name Orvella\r\nexec_file x\r\nend\r\n" + other, other},
        {"\tNAME  Orvella \r\nx\r\n  End  \r\ny\r\n", "y\r\n"},
        {"top\r\n\r\nname Orvella\r\nx\r\n" + other + "\r\nname Orvella\r\nz", "top\r\n" + other},
        // Two entries; what is not ours stays, in order, Ctrl-Z, NUL and lone CR included.
        {"top\r\n" + kRelativeEntry + kOddBytes + kRelativeEntry + "\x1aname Other\r\nend\r\n",
         "top\r\n" + kOddBytes + "\x1aname Other\r\nend\r\n"},
        // A piece of a long line is never a name line; without an entry the file is left byte for byte.
        {kLongPiece + "name Orvella\r\n", kLongPiece + "name Orvella\r\n"},
        {"a\nb\r\n\r\n", "a\nb\r\n\r\n"},
    };
    for (const auto& c : cases) {
        setProtk(c.before);
        removeAuxAppEntry(caSession(), "C:\\PTC\\wf4\\");
        EXPECT_EQ(protk(), c.after) << c.before.substr(0, 40);
        EXPECT_FALSE(tempFileLeft());
    }

    // Without the host executable, or when the file was ours: other add-ins stay; a file of line ends goes.
    EXPECT_EQ(afterRemovalWithoutHost("name OtherTool\r\nend\r\n" + kRelativeEntry), "name OtherTool\r\nend\r\n");
    EXPECT_EQ(afterRemovalWithoutHost("\r\n" + kRelativeEntry + kRelativeEntry), std::nullopt);
    EXPECT_EQ(afterRemoval(kRelativeEntry), "");
    EXPECT_EQ(afterRemoval(kRelativeEntry, FileOwner::addIn), "<missing>");
    // A file the host had before stays, even where the host is gone.
    EXPECT_EQ(afterRemovalWithoutHost("\r\n" + kRelativeEntry, FileOwner::host), "\r\n");
}

TEST_F(RegistrationTest, TheTemporaryFileIsNeverWrittenThrough)
{
    // A link at the temporary name, pointing out of the host: it is neither written
    // through nor deleted (some systems delete the target), and another name serves.
    writeFile("outside\\precious.txt", "precious");
    std::filesystem::create_symlink(onC("outside/precious.txt"), onC("PTC/wf4/text/protk.tmp"));
    EXPECT_EQ(afterRemoval("keep\r\n" + kRelativeEntry), "keep\r\n");
    EXPECT_EQ(readFile("outside\\precious.txt"), "precious");
    EXPECT_TRUE(std::filesystem::is_symlink(onC("PTC/wf4/text/protk.tmp")));
    EXPECT_FALSE(exists("PTC\\wf4\\text\\protk.tm1"));
    std::filesystem::remove(onC("PTC/wf4/text/protk.tmp"));
    // A file at the name may be a user's: it stays, and so does a folder; the next name serves.
    writeFile("PTC\\wf4\\text\\protk.tmp", "a user's notes");
    EXPECT_EQ(afterRemoval("keep\r\n" + kRelativeEntry), "keep\r\n");
    EXPECT_EQ(readFile("PTC\\wf4\\text\\protk.tmp"), "a user's notes");
    EXPECT_FALSE(exists("PTC\\wf4\\text\\protk.tm1"));
    std::filesystem::remove(onC("PTC/wf4/text/protk.tmp"));
    makeFolder("PTC\\wf4\\text\\protk.tmp");
    EXPECT_EQ(afterRemoval("keep\r\n" + kRelativeEntry), "keep\r\n");
    EXPECT_FALSE(exists("PTC\\wf4\\text\\protk.tm1"));
    std::filesystem::remove(onC("PTC/wf4/text/protk.tmp"));
    // Ten names in all: with the first nine taken, the last serves; with all ten, protk.dat stays as it is.
    const std::vector<std::string> taken{"tmp", "tm1", "tm2", "tm3", "tm4", "tm5", "tm6", "tm7", "tm8"};
    for (const std::string& name : taken) writeFile("PTC\\wf4\\text\\protk." + name, "not ours");
    setProtk("keep\r\n" + kRelativeEntry);
    EXPECT_TRUE(removeAuxAppEntry(caSession(), "C:\\PTC\\wf4"));
    EXPECT_EQ(protk(), "keep\r\n");
    EXPECT_FALSE(exists("PTC\\wf4\\text\\protk.tm9"));
    writeFile("PTC\\wf4\\text\\protk.tm9", "not ours");
    setProtk("keep\r\n" + kRelativeEntry);
    EXPECT_FALSE(removeAuxAppEntry(caSession(), "C:\\PTC\\wf4"));
    EXPECT_EQ(protk(), "keep\r\n" + kRelativeEntry);
    EXPECT_EQ(logLines("no free name for a temporary file in C:\\PTC\\wf4\\text\\: protk.dat left as it is").size(), 1u);
    for (const std::string& name : taken) {
        EXPECT_EQ(readFile("PTC\\wf4\\text\\protk." + name), "not ours");
        std::filesystem::remove(onC("PTC/wf4/text/protk." + name));
    }
    EXPECT_EQ(readFile("PTC\\wf4\\text\\protk.tm9"), "not ours");
    std::filesystem::remove(onC("PTC/wf4/text/protk.tm9"));

    // A temporary file that another process holds once the replace failed
    // goes at the next restart: no byte of it stays in the host.
    setProtk("keep\r\n" + kRelativeEntry);
    machine().faults().resetCounts();
    machine().faults().failAt(sim::Op::replaceFile, 1);
    machine().logObserver = [this](const std::string& line) {
        if (line.find(": replace ") != std::string::npos) machine().holdFile("C:\\PTC\\wf4\\text\\protk.tmp");
    };
    EXPECT_FALSE(removeAuxAppEntry(caSession(), "C:\\PTC\\wf4"));
    machine().logObserver = nullptr;
    machine().faults().clear();
    EXPECT_EQ(property("ORVELLA_RESTART"), "C:\\PTC\\wf4: C:\\PTC\\wf4\\text\\protk.tmp");
    machine().restart();
    EXPECT_FALSE(exists("PTC\\wf4\\text\\protk.tmp"));
    EXPECT_EQ(protk(), "keep\r\n" + kRelativeEntry);

    // Every folder whose protk.dat path fits also fits the temporary file: what is added can be removed.
    const std::string longest = "L\\" + std::string(kMaxPath - 1 - 3 - 1 - std::strlen("text\\protk.dat") - 2, 'x');
    makeHost(longest, true);
    ASSERT_EQ(("C:\\" + longest + "\\text\\protk.dat").size(), kMaxPath - 1);
    addAuxAppEntry(caSession(), "C:\\" + longest);
    EXPECT_EQ(readFile(longest + "\\text\\protk.dat"), kRelativeEntry);
    writeFile(longest + "\\text\\protk.dat", "keep\r\n" + kRelativeEntry);
    removeAuxAppEntry(caSession(), "C:\\" + longest);
    EXPECT_EQ(readFile(longest + "\\text\\protk.dat"), "keep\r\n");
}

TEST_F(RegistrationTest, NameLinesAroundABlockBoundaryAreFound)
{
    // The file is read in 64 KB blocks: an entry at every offset around the boundary, after other
    // name lines, and right after another's "end" line with no empty line between (that "end" closes it).
    constexpr std::size_t kBlock = 64 * 1024;
    struct Around {
        std::string repeated, last, entry;
    };
    for (const Around& around : {Around{"name Other\r\n", "\r\n", kRelativeEntry},
                                 Around{"name Other\r\nend\r\n", "\r\nend\r\n", kRelativeEntry.substr(2)}})
        for (std::size_t offset = kBlock - 24; offset <= kBlock + 8; ++offset) {
            std::string filler;
            while (filler.size() + around.repeated.size() + around.last.size() <= offset) filler += around.repeated;
            filler += std::string(offset - filler.size() - around.last.size(), 'p') + around.last;
            ASSERT_EQ(filler.size(), offset);
            const std::string file = filler + around.entry + "tail\r\n";
            EXPECT_EQ(afterAdd(file), file) << offset;
            EXPECT_EQ(afterRemoval(protk()), filler + "tail\r\n") << offset;
        }
}

TEST_F(RegistrationTest, FailedRemovalLeavesTheFileAsItWas)
{
    const std::string original = "top\r\n" + kRelativeEntry + "middle %1\r\n" + kRelativeEntry + "bottom";
    auto& faults = machine().faults();
    // Every read, write, open and close, and the replacing rename, one at a time. Only the
    // close of a file that was just read may fail harmlessly; the copy's close must not.
    const std::string removed = "top\r\nmiddle %1\r\nbottom";
    for (const sim::Op op : {sim::Op::fileRead, sim::Op::fileWrite, sim::Op::fileClose, sim::Op::replaceFile,
                             sim::Op::fileOpen}) {
        int kept = 0;
        for (int k = 1;; ++k) {
            setProtk(original);
            faults.resetCounts();
            faults.failAt(op, k);
            remove();
            const std::string what = std::string(sim::opName(op)) + " " + std::to_string(k);
            EXPECT_FALSE(tempFileLeft()) << what;
            if (faults.calls(op) < k) {  // no call left to fail: the removal went through
                EXPECT_EQ(protk(), removed);
                break;
            }
            kept += protk() == original;
            // A temporary file that cannot be created makes way for the next name.
            if (op != sim::Op::fileClose && op != sim::Op::fileOpen) EXPECT_EQ(protk(), original) << what;
            EXPECT_TRUE(protk() == original || protk() == removed) << what;
        }
        EXPECT_GT(kept, 0) << sim::opName(op);
    }
    // The copy is closed last: when that close fails, the original stays.
    faults.resetCounts();
    EXPECT_EQ(afterRemoval(original), removed);
    const int closes = faults.calls(sim::Op::fileClose);
    setProtk(original);
    faults.resetCounts();
    faults.failAt(sim::Op::fileClose, closes);
    remove();
    EXPECT_EQ(protk(), original);
    EXPECT_FALSE(tempFileLeft());
    // A file that cannot be read to its end gets no entry: it may hold one already.
    setProtk("top\r\n");
    faults.failAt(sim::Op::fileRead, faults.calls(sim::Op::fileRead) + 1);
    add();
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
    // Oldest release first; a chosen release without a folder has nothing to register.
    EXPECT_EQ(logLines("chosen release folders: "),
              std::vector<std::string>{"addCMDEntriesInProtFile: chosen release folders: PROEWF5DIR=\"C:\\wf5\", "
                                       "CREO1DIR=\"C:\\creo1\\\""});

    EXPECT_EQ(addProEAuxAppInFile(session()), 0u);
    EXPECT_EQ(readFile("wf5\\text\\protk.dat"), absoluteEntry("C:\\wf5", "C:\\wf5")) << "already registered";
    EXPECT_FALSE(exists("browsed\\text\\protk.dat"));
    setProperty("PROEM1", "1");
    EXPECT_EQ(addProEAuxAppInFile(session()), 0u);
    EXPECT_EQ(readFile("browsed\\text\\protk.dat"), kRelativeEntry);
    EXPECT_FALSE(exists("wf1\\text\\protk.dat"));
}

TEST_F(RegistrationTest, RemovalTakesOnlyTheBytesAnAppendWrote)
{
    const std::string lfEntry = lineFeedsOnly(kRelativeEntry);
    const struct {
        std::string before;  // the host's file
        std::string after;   // after an append and a removal
    } cases[] = {
        // A lone CR of the host's before a Ctrl-Z: the LF that completed its line stays with it.
        {std::string("t\xae\n\r\x1a" "eR\xaeZ\xae"), std::string("t\xae\n\r\n\x1a" "eR\xaeZ\xae")},
        {"a\n\r", "a\n\r\n"},
        {"a\r\n\r", "a\r\n\r\r\n"},
        // The host's own empty lines, in the other line end, stay.
        {"a\r\n\n", "a\r\n\n"},
        {"a\n\n", "a\n\n"},
        {"a\r\n\r\n\x1a", "a\r\n\r\n\x1a"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(afterRemoval(afterAdd(c.before)), c.after) << testing::PrintToString(c.before);
    // An entry that was there before, set apart by a line end of another kind: that line stays.
    EXPECT_EQ(afterRemoval("keep\r\n\n" + kRelativeEntry.substr(2)), "keep\r\n\n");
    EXPECT_EQ(afterRemoval("keep\n" + lfEntry), "keep\n");
}

TEST_F(RegistrationTest, OurNameLineCountsOnlyWhereAnEntryStarts)
{
    // The keyword and the value are two words; a name line after a Ctrl-Z is one the host never reads.
    for (const std::string& unseen : {std::string("nameOrvella\r\n"), std::string("a\r\n\x1a\r\nname Orvella\r\n")}) {
        setProtk(unseen);
        EXPECT_FALSE(holdsAuxAppEntry(caSession(), "C:\\PTC\\wf4")) << unseen;
        const std::size_t ctrlZ = std::min(unseen.find('\x1a'), unseen.size());
        EXPECT_EQ(afterAdd(unseen), unseen.substr(0, ctrlZ) + kRelativeEntry + unseen.substr(ctrlZ)) << unseen;
        EXPECT_TRUE(holdsAuxAppEntry(caSession(), "C:\\PTC\\wf4")) << unseen;
    }
    // An entry of ours with no empty line before it goes alone: what stands before it stays.
    EXPECT_EQ(afterRemoval("\r\nkeep\r\nname Orvella\r\n"), "\r\nkeep\r\n");
    // Where no host is left, a file of nothing but line ends, of either kind, goes.
    for (const char* lineEnds : {"\r\n\r\n", "\n\n"}) {
        EXPECT_EQ(afterRemovalWithoutHost(lineEnds + kRelativeEntry), std::nullopt) << testing::PrintToString(lineEnds);
        // Without the entry it is the host's, where the host is or where it had the file.
        EXPECT_EQ(afterRemoval(lineEnds), lineEnds);
        EXPECT_EQ(afterRemovalWithoutHost(lineEnds, FileOwner::host), lineEnds);
    }

    // Inside another add-in's entry a "name Orvella" line is that entry's: the add-in is
    // registered beside it, and removal keeps every line of the other entry.
    const std::string nested = "name OtherTool\r\n  name Orvella\r\nexec_file C:\\other.dll\r\nend\r\n";
    setProtk(nested);
    EXPECT_FALSE(holdsAuxAppEntry(caSession(), "C:\\PTC\\wf4"));
    EXPECT_EQ(afterAdd(nested), nested + kRelativeEntry);
    EXPECT_EQ(afterRemoval(protk()), nested);
    // Nothing to take out, so no temporary file is made: none stays behind
    // when a deletion would fail.
    machine().faults().resetCounts();
    machine().faults().failAt(sim::Op::deleteFile, 1);
    EXPECT_TRUE(remove());
    machine().faults().clear();
    EXPECT_EQ(filesBelow("PTC\\wf4\\text"), (std::map<std::string, std::string>{{"protk.dat", nested}}));
    // Another entry without its end line runs to the next empty line; at the end of a file
    // without a last line end the entry is set apart by one more line end, so that it is found.
    const std::string open = "name OtherTool\r\nexec_file C:\\other.dll";
    EXPECT_EQ(afterAdd(open), open + "\r\n" + kRelativeEntry);
    EXPECT_EQ(afterAdd(protk()), open + "\r\n" + kRelativeEntry) << "registered once";
    EXPECT_EQ(afterRemoval(protk()), open + "\r\n");
    const std::string apart = "name OtherTool\r\n\r\nname Orvella\r\nend\r\n";
    EXPECT_EQ(afterAdd(apart), apart) << "an empty line closes the other entry";
}

TEST_F(RegistrationTest, FilesThatAreNotOursStayAsTheyAre)
{
    // A protk.dat that is a link: the file it leads to is edited, the link
    // stays a link. The new text is written beside that file, so that it
    // replaces it on its own volume.
    writeFile("shared\\protk.dat", "name OtherTool\r\nend\r\n\x1a");
    writeFile("shared\\protk.tmp", "a user's");
    std::filesystem::create_symlink(onC("shared/protk.dat"), onC("PTC/wf4/text/protk.dat"));
    EXPECT_TRUE(isRegistrationFileWritable(caSession(), "C:\\PTC\\wf4"));
    EXPECT_TRUE(add());
    EXPECT_EQ(readFile("shared\\protk.dat"), "name OtherTool\r\nend\r\n" + kRelativeEntry + "\x1a");
    EXPECT_EQ(logLines("C:\\shared\\protk.tmp is there already and is not ours").size(), 1u);
    EXPECT_EQ(readFile("shared\\protk.tmp"), "a user's");
    std::filesystem::remove(onC("shared/protk.tmp"));
    EXPECT_TRUE(remove(FileOwner::addIn));
    EXPECT_EQ(readFile("shared\\protk.dat"), "name OtherTool\r\nend\r\n\x1a");
    EXPECT_TRUE(std::filesystem::is_symlink(onC("PTC/wf4/text/protk.dat")));
    EXPECT_FALSE(exists("shared\\protk.tmp"));
    // Left with nothing but line ends, the file the link leads to is emptied, not deleted with the link.
    writeFile("shared\\protk.dat", kRelativeEntry);
    EXPECT_TRUE(remove(FileOwner::addIn));
    EXPECT_TRUE(std::filesystem::is_symlink(onC("PTC/wf4/text/protk.dat")));
    EXPECT_EQ(readFile("shared\\protk.dat"), "");
    std::filesystem::remove(onC("PTC/wf4/text/protk.dat"));

    // UTF-16 text would get 8-bit lines: it is never edited, and the check says so.
    const std::string wide("\xff\xfen\0a\0m\0e\0\r\0\n\0", 14);
    for (const std::string& mark : {wide, std::string("\xfe\xff\0n", 4)}) {
        setProtk(mark);
        EXPECT_FALSE(isRegistrationFileWritable(caSession(), "C:\\PTC\\wf4"));
        EXPECT_FALSE(add());
        EXPECT_EQ(afterRemoval(mark, FileOwner::addIn), mark);
    }
    setProperties({{"PROEWF4", "1"}, {"PROEWF4DIR", "C:\\PTC\\wf4"}});
    checkProTKAccess(session());
    EXPECT_EQ(property("PROTK_WRITE"), "NO");
    EXPECT_EQ(property("TEMPPROEDIR"), "C:\\PTC\\wf4");

    // The write-access check reads as bytes: the host's final Ctrl-Z stays.
    setProtk("name OtherTool\r\nend\r\n\x1a");
    EXPECT_TRUE(isRegistrationFileWritable(caSession(), "C:\\PTC\\wf4"));
    EXPECT_EQ(protk(), "name OtherTool\r\nend\r\n\x1a");

    // The host's own empty file stays.
    EXPECT_EQ(afterRemoval(afterAdd(""), FileOwner::host), "");
}

TEST_F(RegistrationTest, EditsSayWhetherTheEntryIsWhereItShouldBe)
{
    auto& faults = machine().faults();
    setProtk("keep\r\n" + kRelativeEntry);
    faults.failAt(sim::Op::replaceFile, 1);
    EXPECT_FALSE(remove());
    EXPECT_EQ(protk(), "keep\r\n" + kRelativeEntry);
    faults.clear();
    faults.resetCounts();
    faults.failAt(sim::Op::fileOpen, 1);
    EXPECT_FALSE(remove());
    faults.clear();
    EXPECT_TRUE(remove());
    EXPECT_TRUE(remove()) << "none left";
    EXPECT_TRUE(removeAuxAppEntry(caSession(), "C:\\nowhere")) << "no file";
    faults.resetCounts();
    faults.failAt(sim::Op::fileOpen, 1);
    EXPECT_FALSE(add());
    EXPECT_TRUE(add());
    EXPECT_TRUE(add()) << "there already";
}
