// The simulated machine behaves like Windows where the library's correctness
// depends on it (the end-to-end runs under Wine check the rest).
#include "platform/files.h"
#include "platform/installer.h"
#include "platform/registry.h"
#include "sim_fixture.h"

#include <vector>

namespace {

using SimFiles = SimTest;
using SimRegistry = SimTest;
using SimInstaller = SimTest;
using Lines = std::vector<std::string>;

// 'd' a folder, 'f' a file, '-' nothing.
char kind(const std::string& path)
{
    const std::uint32_t a = platform::getFileAttributes(path.c_str());
    return a == platform::kInvalidFileAttributes ? '-' : (a & platform::kFileAttributeDirectory) ? 'd' : 'f';
}

sim::RegValue raw(std::uint32_t type, std::string bytes) { return {type, {bytes.begin(), bytes.end()}}; }

}  // namespace

TEST_F(SimFiles, PathsResolveWithoutCaseAgainstTheDriveAndCurrentFolder)
{
    writeFile("PTC\\Creo\\text\\protk.dat");
    EXPECT_FALSE(platform::changeDirectory("missing"));
    EXPECT_TRUE(platform::changeDirectory("c:/ptc/creo"));
    EXPECT_EQ(machine().currentDirectory(), "C:\\PTC\\Creo");  // Windows form, case as on disk
    // ".." stops at the root; "\" starts at the current drive's root; Z: is the host's root, as under Wine.
    const std::pair<std::string, char> cases[] = {
        {"c:\\ptc\\CREO", 'd'}, {"C:/PTC//creo\\", 'd'}, {"C:\\PTC\\.\\x\\..\\Creo", 'd'}, {"C:\\..\\..\\PTC", 'd'},
        {"C:\\PTC\\Creo\\none", '-'}, {"C:\\ptc\\creo\\TEXT\\PROTK.DAT", 'f'},
        {"C:\\PTC\\Creo\\text\\protk.dat\\", '-'}, {"..\\Creo\\.\\text\\protk.dat", 'f'},
        {"C:text\\protk.dat", 'f'}, {"\\PTC", 'd'}, {"\\text", '-'}, {"Z:" + onC("PTC").string(), 'd'}, {"Q:\\x", '-'}};
    for (const auto& [path, expected] : cases) EXPECT_EQ(kind(path), expected) << path;
    EXPECT_EQ(platform::makeDirectory("c:\\ptc\\creo\\NewOne"), 0);  // new names keep the case given
    EXPECT_EQ(listing("C:\\ptc\\creo\\*"), (Lines{"./", "../", "NewOne/", "text/"}));
}

TEST_F(SimFiles, CopyDeleteAndFoldersAsWindowsDoes)
{
    writeFile("a\\src.txt", "new");
    writeFile("a\\dst.txt", "old");
    makeFolder("a\\folder\\inner");
    // Braced lists run in order: each call sees what the ones before it did.
    const std::vector<bool> results{
        platform::copyFile("C:\\a\\src.txt", "C:\\a\\dst.txt", true),  // no overwrite
        platform::copyFile("C:\\A\\SRC.TXT", "C:\\a\\DST.txt", false),
        platform::copyFile("C:\\a\\src.txt", "C:\\a\\nofolder\\x.txt", false),  // no folder is made
        platform::copyFile("C:\\a\\folder", "C:\\a\\f2", false), platform::copyFile("C:\\a\\src.txt", "C:\\a\\folder", false),
        platform::deleteFile("C:\\a\\folder"), platform::removeDirectory("C:\\a\\folder"), platform::removeDirectory("C:\\a\\src.txt"),
        platform::removeDirectory("C:\\a\\folder\\inner"), platform::deleteFile("C:\\a\\DST.txt"), platform::deleteFile("C:\\a\\dst.txt"),
        platform::replaceFile("C:\\a\\src.txt", "C:\\a\\folder"), platform::replaceFile("C:\\a\\src.txt", "C:\\a\\target.txt")};
    EXPECT_EQ(results, (std::vector<bool>{false, true, false, false, false, false, false, false, true, true, false,
                                          false, true}));
    EXPECT_EQ(filesBelow("a", true), (std::map<std::string, std::string>{{"folder\\", "\\"}, {"target.txt", "new"}}));
    for (const auto& [path, error] : {std::pair{"C:\\a\\folder", platform::kErrnoExists},
                                      {"C:\\a\\target.txt", platform::kErrnoExists},
                                      {"C:\\a\\no\\deeper", platform::kErrnoNoEntry}})
        EXPECT_EQ(platform::makeDirectory(path), error) << path;

    // Listings: "." and ".." first, then names ordered as Windows folds them (upper case).
    writeFile("PTC\\b.txt");
    writeFile("PTC\\_under");
    makeFolder("PTC\\A");
    EXPECT_EQ(listing("C:\\ptc\\*"), (Lines{"./", "../", "A/", "b.txt", "_under"}));
    EXPECT_EQ(listing("C:/PTC/*.txt"), Lines{"b.txt"});
    EXPECT_EQ(listing("C:\\PTC\\*.none"), Lines{"<invalid>"});

    // The current folder is in use and cannot be removed.
    makeFolder("busy");
    machine().setCurrentDirectory("C:\\busy");
    EXPECT_FALSE(platform::removeDirectory("C:\\busy"));
    machine().setCurrentDirectory("C:\\");
    EXPECT_TRUE(platform::removeDirectory("C:\\busy"));
}

TEST_F(SimFiles, BinaryFilesAreExclusiveAndAFailingCloseLosesWhatWaited)
{
    using platform::File;
    using platform::FileOpen;
    writeFile("f\\taken.txt", "old");
    EXPECT_FALSE(File::open("C:\\f\\taken.txt", FileOpen::createNew));
    std::filesystem::create_symlink(onC("f/nowhere"), onC("f/link"));
    EXPECT_FALSE(File::open("C:\\f\\link", FileOpen::createNew)) << "a link is never written through";
    EXPECT_FALSE(std::filesystem::exists(onC("f/nowhere")));
    EXPECT_TRUE(platform::deleteFile("C:\\f\\link")) << "a link that points nowhere is deleted";
    {
        File appended = File::open("C:\\f\\taken.txt", FileOpen::readAppend);
        char buffer[8];
        std::size_t got = 0;
        ASSERT_TRUE(appended.read(buffer, sizeof buffer, got));
        EXPECT_EQ(std::string(buffer, got), "old");
        EXPECT_TRUE(appended.write("+new", 4));
    }
    EXPECT_EQ(readFile("f\\taken.txt"), "old+new");
    File lost = File::open("C:\\f\\new.txt", FileOpen::createNew);
    ASSERT_TRUE(lost.write("written", 7));
    machine().faults().resetCounts();
    machine().faults().failAt(sim::Op::fileClose, 1);
    EXPECT_FALSE(lost.close());
    EXPECT_EQ(readFile("f\\new.txt"), "");
}

TEST_F(SimRegistry, EnumeratesWithoutCaseReportsMoreDataAndChecksRights)
{
    auto& reg = machine().registry();
    for (const char* k : {"b", "_x", "A", "cc"}) reg.createKey(std::string("SOFTWARE\\PTC\\") + k);
    reg.setValue("SOFTWARE\\PTC", "Raw", raw(platform::kRegSz, "abc"));  // no terminating zero
    platform::RegKey key;
    ASSERT_EQ(platform::regOpenKey(nullptr, "software\\ptc", platform::kKeyRead, key), platform::kSuccess);
    EXPECT_EQ(machine().openHandlesByKind()["registry"], 1);
    Lines names;
    char name[8];
    std::uint32_t len = sizeof name;
    for (std::uint32_t i = 0; (len = sizeof name, platform::regEnumKey(key, i, name, &len, nullptr, nullptr)) == 0; ++i)
        names.push_back(std::string(name) + ":" + std::to_string(len));
    EXPECT_EQ(names, (Lines{"A:1", "b:1", "cc:2", "_x:2"}));
    std::uint32_t type = 0, size = 2;
    char data[8] = "zzzzzzz";
    EXPECT_EQ(platform::regQueryValue(key, "raw", &type, data, &size), platform::kMoreData);
    EXPECT_EQ(std::string(data, 1) + std::to_string(size), "z3");
    EXPECT_EQ(platform::regSetValue(key, "v", platform::kRegSz, "x", 2), platform::kAccessDenied);  // the handle's rights count
    key.reset();

    // A standard user may read HKLM but open or create nothing there with a write right.
    machine().standardUser = true;
    EXPECT_EQ(platform::regOpenKey(nullptr, "SOFTWARE\\PTC", platform::kKeyRead, key), platform::kSuccess);
    key.reset();
    for (std::uint32_t access : {platform::kKeyWrite, platform::kKeyAllAccess, 0x2u, 0x4u, platform::kKeyRead | 0x2u}) {
        EXPECT_EQ(platform::regOpenKey(nullptr, "SOFTWARE\\PTC", access, key), platform::kAccessDenied) << access;
        EXPECT_EQ(platform::regCreateKey("SOFTWARE\\Other", access, key), platform::kAccessDenied) << access;
    }
    EXPECT_FALSE(reg.hasKey("SOFTWARE\\Other"));
}

TEST_F(SimInstaller, FailsOnlyTheKthCallOfItsKind)
{
    machine().registry().setString("SOFTWARE\\K", "v", "x");
    platform::RegKey key;
    ASSERT_EQ(platform::regOpenKey(nullptr, "SOFTWARE\\K", platform::kKeyRead, key), platform::kSuccess);
    auto& faults = machine().faults();
    faults.resetCounts();
    faults.failAt(sim::Op::regQuery, 2);
    std::uint32_t size = 0;
    for (const bool ok : {true, false, true})
        EXPECT_EQ(platform::regQueryValue(key, "v", nullptr, nullptr, &size) == platform::kSuccess, ok);
    EXPECT_EQ(faults.calls(sim::Op::regQuery), 3);
    EXPECT_EQ(faults.calls(sim::Op::regOpen), 0);
    key.reset();

    auto failNext = [&faults](sim::Op op) { faults.failAt(op, faults.calls(op) + 1); };
    writeFile("f.txt", "line\r\n");
    auto s = platform::TextStream::open("C:\\f.txt", "a+");
    char buf[16] = "keep";
    failNext(sim::Op::fileRead);
    EXPECT_FALSE(s.getLine(buf, sizeof buf));
    failNext(sim::Op::fileWrite);
    EXPECT_FALSE(s.putText("b"));
    EXPECT_TRUE(s.hadError());
    failNext(sim::Op::fileClose);
    EXPECT_FALSE(s.close());
    setProperty("P", "value");
    failNext(sim::Op::propertyGet);
    std::uint32_t n = sizeof buf;
    EXPECT_EQ(platform::msiGetProperty(session(), "P", buf, &n), platform::kFunctionFailed);
    failNext(sim::Op::makeDirectory);
    EXPECT_NE(platform::makeDirectory("C:\\new"), 0);
    EXPECT_FALSE(exists("new"));
}
