// The simulated machine with files in use: a file held open by another
// process refuses every change, MoveFileEx's delayed operations are recorded
// as the system records them, and a restart carries them out.
#include "core/pending_restart.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/installer.h"
#include "sim_fixture.h"

namespace {

using SimInUse = SimTest;

constexpr const char* kKey = sim::Machine::kSessionManagerKey;
constexpr const char* kValue = sim::Machine::kPendingRenames;

std::string pending(sim::Machine& m)
{
    const auto value = m.registry().value(kKey, kValue);
    if (!value) return "<none>";
    EXPECT_EQ(value->type, 7u) << "REG_MULTI_SZ";
    return std::string(value->data.begin(), value->data.end());
}

// REG_MULTI_SZ data: each string and its NUL, then one more NUL.
std::string multi(std::initializer_list<std::string> strings)
{
    std::string data;
    for (const std::string& s : strings) data += s + '\0';
    return data + '\0';
}

}  // namespace

TEST_F(SimInUse, AHeldFileRefusesEveryChangeUntilReleased)
{
    using platform::File;
    using platform::FileOpen;
    writeFile("PTC\\wf5\\x86e_win64\\obj\\orvbridge.dll", "running");
    writeFile("ProgramData\\orvbridge.dll", "new");
    machine().holdFile("c:/ptc/WF5/x86e_win64/obj/ORVBRIDGE.DLL");
    const char* held = "C:\\PTC\\wf5\\x86e_win64\\obj\\orvbridge.dll";
    EXPECT_TRUE(machine().isHeld("C:\\ptc\\wf5\\X86E_WIN64\\obj\\orvbridge.dll"));
    // Every call that opens the file's data, or deletes or moves it, fails with a sharing violation.
    const std::vector<std::pair<std::string, bool>> calls{
        {"copy onto", platform::copyFile("C:\\ProgramData\\orvbridge.dll", held, false)},
        {"copy from", platform::copyFile(held, "C:\\ProgramData\\copy.dll", false)},
        {"delete", platform::deleteFile(held)},
        {"remove", platform::removeFile(held)},
        {"rename", platform::replaceFile(held, "C:\\PTC\\wf5\\x86e_win64\\obj\\old.dll")},
        {"replace", platform::replaceFile("C:\\ProgramData\\orvbridge.dll", held)},
        {"open", static_cast<bool>(File::open(held, FileOpen::read))},
        {"open to append", static_cast<bool>(File::open(held, FileOpen::readAppend))},
        {"text stream", static_cast<bool>(platform::TextStream::open(held, "r"))}};
    for (const auto& [call, result] : calls) EXPECT_FALSE(result) << call;
    EXPECT_EQ(platform::lastError(), platform::kSharingViolation);
    EXPECT_TRUE(platform::isFileInUse(held));
    EXPECT_EQ(platform::lastError(), platform::kSharingViolation);
    // Its attributes and its folder's listing still read; its folder cannot move while it is open.
    EXPECT_EQ(platform::getFileAttributes(held), 0x20u);
    EXPECT_FALSE(platform::replaceFile("C:\\PTC\\wf5\\x86e_win64", "C:\\PTC\\wf5\\moved"));
    EXPECT_EQ(platform::lastError(), platform::kAccessDenied);
    EXPECT_EQ(readFile("PTC\\wf5\\x86e_win64\\obj\\orvbridge.dll"), "running");
    EXPECT_FALSE(exists("ProgramData\\copy.dll"));

    // Files beside it, and files that are missing, are not in use.
    writeFile("PTC\\wf5\\x86e_win64\\obj\\other.dll", "x");
    EXPECT_FALSE(platform::isFileInUse("C:\\PTC\\wf5\\x86e_win64\\obj\\other.dll"));
    EXPECT_FALSE(platform::isFileInUse("C:\\PTC\\wf5\\x86e_win64\\obj\\missing.dll"));
    EXPECT_TRUE(platform::deleteFile("C:\\PTC\\wf5\\x86e_win64\\obj\\other.dll"));

    // A link to the held file opens the held file.
    std::filesystem::create_symlink(onC("PTC/wf5/x86e_win64/obj/orvbridge.dll"), onC("link.dll"));
    EXPECT_FALSE(File::open("C:\\link.dll", FileOpen::read));
    EXPECT_TRUE(platform::deleteFile("C:\\link.dll")) << "the link itself is not in use";

    machine().releaseFiles();
    EXPECT_FALSE(platform::isFileInUse(held));
    EXPECT_TRUE(platform::copyFile("C:\\ProgramData\\orvbridge.dll", held, false));
    EXPECT_EQ(readFile("PTC\\wf5\\x86e_win64\\obj\\orvbridge.dll"), "new");
}

TEST_F(SimInUse, DelayedOperationsAreRecordedAsTheSystemDoesAndRunAtRestart)
{
    writeFile("PTC\\wf5\\x86e_win64\\obj\\orvbridge.dll", "old");
    writeFile("PTC\\wf5\\x86e_win64\\obj\\orvbridge.dll.~new1", "new");
    writeFile("PTC\\wf5\\x86e_win64\\obj\\Lang\\res.dll", "lang");
    writeFile("PTC\\wf5\\keep.txt", "kept");
    writeFile("PTC\\wf5\\moved.txt", "moved");
    machine().holdFile("C:\\PTC\\wf5\\x86e_win64\\obj\\orvbridge.dll");
    EXPECT_EQ(pending(machine()), "<none>");
    // Full paths behind "\??\", separators and dots resolved, case as given; a
    // replacing target marked "!", an empty one for a deletion; one more NUL ends the list.
    ASSERT_TRUE(platform::moveFileAtRestart("C:\\PTC\\wf5\\x86e_win64\\obj\\orvbridge.dll.~new1",
                                            "c:/PTC/wf5//x86e_win64\\obj\\.\\orvbridge.dll"));
    const std::string module = "\\??\\C:\\PTC\\wf5\\x86e_win64\\obj\\orvbridge.dll";
    EXPECT_EQ(pending(machine()), multi({module + ".~new1", "!\\??\\c:\\PTC\\wf5\\x86e_win64\\obj\\orvbridge.dll"}));
    platform::changeDirectory("C:\\PTC\\wf5");
    ASSERT_TRUE(platform::moveFileAtRestart("x86e_win64\\obj\\Lang\\res.dll", nullptr));
    ASSERT_TRUE(platform::moveFileAtRestart("C:\\PTC\\wf5\\x86e_win64\\obj\\Lang", nullptr));
    ASSERT_TRUE(platform::moveFileAtRestart("C:\\PTC\\wf5\\moved.txt", "C:\\PTC\\wf5\\keep.txt"));
    platform::changeDirectory("C:\\");
    const std::string lang = "\\??\\C:\\PTC\\wf5\\x86e_win64\\obj\\Lang";
    const std::string expected = multi({module + ".~new1", "!\\??\\c:\\PTC\\wf5\\x86e_win64\\obj\\orvbridge.dll",
                                        lang + "\\res.dll", "", lang, "", "\\??\\C:\\PTC\\wf5\\moved.txt",
                                        "!\\??\\C:\\PTC\\wf5\\keep.txt"});
    EXPECT_EQ(pending(machine()), expected);
    // Nothing happens before the restart.
    EXPECT_EQ(readFile("PTC\\wf5\\x86e_win64\\obj\\orvbridge.dll"), "old");
    EXPECT_TRUE(exists("PTC\\wf5\\x86e_win64\\obj\\Lang\\res.dll"));

    // The restart releases the hold and runs the list in order: the file
    // is deleted before its folder, which is then empty.
    EXPECT_TRUE(platform::msiRequestRestart(session()) == platform::kSuccess);
    EXPECT_TRUE(machine().restartRequested());
    machine().restart();
    EXPECT_FALSE(machine().restartRequested());
    EXPECT_FALSE(machine().isHeld("C:\\PTC\\wf5\\x86e_win64\\obj\\orvbridge.dll"));
    EXPECT_EQ(pending(machine()), "<none>");
    EXPECT_EQ(filesBelow("PTC\\wf5", true),
              (std::map<std::string, std::string>{{"keep.txt", "moved"},
                                                  {"x86e_win64\\", "\\"},
                                                  {"x86e_win64\\obj\\", "\\"},
                                                  {"x86e_win64\\obj\\orvbridge.dll", "new"}}));
}

TEST_F(SimInUse, DelayedOperationsThatCannotRunArePassedOver)
{
    writeFile("a\\target.txt", "target");
    writeFile("a\\source.txt", "source");
    writeFile("a\\folder\\inside.txt", "inside");
    // A standard user cannot write the list; a failure of the call is injected like any other.
    machine().standardUser = true;
    EXPECT_FALSE(platform::moveFileAtRestart("C:\\a\\source.txt", "C:\\a\\target.txt"));
    EXPECT_EQ(platform::lastError(), platform::kAccessDenied);
    machine().standardUser = false;
    machine().faults().resetCounts();
    machine().faults().failAt(sim::Op::moveAtRestart, 1);
    EXPECT_FALSE(platform::moveFileAtRestart("C:\\a\\source.txt", "C:\\a\\target.txt"));
    machine().faults().failAt(sim::Op::requestRestart, 1);
    EXPECT_EQ(platform::msiRequestRestart(session()), platform::kAccessDenied);
    EXPECT_FALSE(machine().restartRequested());
    EXPECT_EQ(platform::msiRequestRestart(session() + 1), platform::kInvalidHandle);
    EXPECT_EQ(pending(machine()), "<none>");

    // A missing source, a folder that is not empty, a target that is a folder: each is passed over.
    for (const auto& [from, to] : {std::pair<const char*, const char*>{"C:\\a\\none.txt", "C:\\a\\target.txt"},
                                   {"C:\\a\\folder", nullptr},
                                   {"C:\\a\\source.txt", "C:\\a\\folder"},
                                   {"C:\\a\\target.txt", nullptr}})
        ASSERT_TRUE(platform::moveFileAtRestart(from, to));
    machine().restart();
    EXPECT_EQ(filesBelow("a"), (std::map<std::string, std::string>{{"folder\\inside.txt", "inside"},
                                                                   {"source.txt", "source"}}));
}

// What the restart does to a path follows the list's last operation on it, in
// any spelling: another installer's replacement after a deletion brings a file.
TEST_F(SimInUse, TheRestartListTellsWhatItDeletes)
{
    const std::string list = multi({"\\??\\C:\\PTC\\obj\\a.dll", "", "\\??\\C:\\Temp\\a.new",
                                     "!\\??\\c:\\ptc\\OBJ\\A.DLL", "\\??\\C:\\PTC\\obj\\b.dll", "",
                                     "\\??\\C:\\PROGRA~1\\{7}\\d.dll", "", "\\??\\C:\\PTC\\obj\\c.dll"});
    machine().registry().setValue(kKey, kValue, sim::RegValue{7, {list.begin(), list.end()}});
    const ca::Session s = caSession();
    EXPECT_FALSE(ca::deletedAtRestart(s, "C:\\PTC\\obj\\a.dll"));
    EXPECT_TRUE(ca::deletedAtRestart(s, "c:/ptc//obj\\B.dll"));
    EXPECT_FALSE(ca::deletedAtRestart(s, "C:\\PTC\\obj\\c.dll")) << "a source without its target is no operation";
    EXPECT_FALSE(ca::deletedAtRestart(s, "C:\\Temp\\a.new"));
    // Only letters fold: a short name's tilde and a brace are no other character.
    EXPECT_TRUE(ca::deletedAtRestart(s, "c:\\progra~1\\{7}\\D.DLL"));
    EXPECT_FALSE(ca::deletedAtRestart(s, "C:\\PROGRA^1\\[7]\\d.dll"));
    EXPECT_EQ(ca::pendingRestartPaths(s),
              (std::vector<std::string>{"C:\\PTC\\OBJ\\A.DLL", "C:\\TEMP\\A.NEW", "C:\\PTC\\OBJ\\A.DLL",
                                        "C:\\PTC\\OBJ\\B.DLL", "C:\\PROGRA~1\\{7}\\D.DLL"}));
}
