// The simulated machine behaves like Windows where the library can tell.
#include "platform/files.h"
#include "platform/installer.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/sim/sim_internal.h"
#include "platform/xml.h"
#include "sim_fixture.h"

#include <cstring>

namespace {

using SimPaths = SimTest;
using SimFiles = SimTest;
using SimStream = SimTest;
using SimListing = SimTest;
using SimRegistry = SimTest;
using SimRegText = SimTest;
using SimInstaller = SimTest;
using SimFaults = SimTest;
using SimXml = SimTest;

std::string cwd()
{
    char buf[260];
    return pf::currentDirectory(buf, sizeof buf) ? buf : "<failed>";
}

std::vector<std::string> lines(const char* path, int capacity)
{
    std::vector<std::string> out;
    auto s = pf::TextStream::open(path, "r");
    if (!s) return {"<no stream>"};
    std::vector<char> buf(static_cast<std::size_t>(capacity));
    while (s.getLine(buf.data(), capacity)) out.emplace_back(buf.data());
    return out;
}

std::vector<std::string> listing(const char* pattern)
{
    std::vector<std::string> out;
    pf::DirEntry e;
    auto l = pf::Listing::first(pattern, e);
    if (!l) return {"<invalid>"};
    do out.push_back(e.name + (e.isDirectory ? "/" : ""));
    while (l.next(e) == pf::kSuccess);
    return out;
}

sim::RegValue raw(std::uint32_t type, std::string bytes)
{
    return {type, std::vector<std::uint8_t>(bytes.begin(), bytes.end())};
}

}  // namespace

TEST_F(SimPaths, LookupIgnoresCaseAndKeepsTheCaseGiven)
{
    makeFolder("PTC\\Creo");
    EXPECT_EQ(pf::getFileAttributes("c:\\ptc\\CREO"), pf::kFileAttributeDirectory);
    EXPECT_EQ(pf::getFileAttributes("C:/PTC//creo\\"), pf::kFileAttributeDirectory);
    EXPECT_EQ(pf::getFileAttributes("C:\\PTC\\.\\x\\..\\Creo"), pf::kFileAttributeDirectory);
    EXPECT_EQ(pf::getFileAttributes("C:\\..\\..\\PTC"), pf::kFileAttributeDirectory);  // ".." stops at the root
    EXPECT_EQ(pf::getFileAttributes("C:\\PTC\\Creo\\none"), pf::kInvalidFileAttributes);
    writeFile("PTC\\file.txt");
    EXPECT_NE(pf::getFileAttributes("C:\\PTC\\file.txt"), pf::kInvalidFileAttributes);
    EXPECT_EQ(pf::getFileAttributes("C:\\PTC\\file.txt\\"), pf::kInvalidFileAttributes);
    EXPECT_FALSE(pf::TextStream::open("C:\\PTC\\file.txt\\", "r"));

    EXPECT_EQ(pf::makeDirectory("c:\\ptc\\creo\\NewOne"), 0);
    EXPECT_TRUE(exists("PTC\\Creo\\NewOne"));
    EXPECT_EQ(*machine().hostPath("C:\\ptc\\creo\\newone\\Later"), onC("PTC\\Creo\\NewOne\\Later"));

    // When names differ only in case, the exact one wins.
    writeFile("dup\\a.txt", "lower");
    writeFile("dup\\A.txt", "upper");
    EXPECT_EQ(*machine().hostPath("C:\\dup\\A.txt"), onC("dup\\A.txt"));
    EXPECT_EQ(*machine().hostPath("C:\\dup\\a.txt"), onC("dup\\a.txt"));

    // Z: is the host's root, as under Wine; an unmapped drive has nothing.
    std::string z = "Z:" + onC("PTC").string();
    EXPECT_EQ(pf::getFileAttributes(z.c_str()), pf::kFileAttributeDirectory);
    EXPECT_FALSE(machine().hostPath("Q:\\x"));
    EXPECT_EQ(pf::getFileAttributes("Q:\\x"), pf::kInvalidFileAttributes);
    EXPECT_EQ(pf::makeDirectory("Q:\\x"), pf::kErrnoNoEntry);
    machine().mapDrive('q', onC("PTC"));
    EXPECT_EQ(pf::getFileAttributes("q:\\creo"), pf::kFileAttributeDirectory);
}

TEST_F(SimPaths, RelativePathsFollowTheCurrentFolder)
{
    writeFile("PTC\\Creo\\text\\protk.dat", "x");
    EXPECT_EQ(cwd(), "C:\\");
    EXPECT_TRUE(pf::changeDirectory("c:/ptc/creo"));
    EXPECT_EQ(cwd(), "C:\\PTC\\Creo");  // Windows form, case as on disk
    EXPECT_NE(pf::getFileAttributes("text\\protk.dat"), pf::kInvalidFileAttributes);
    EXPECT_NE(pf::getFileAttributes("..\\Creo\\.\\text\\protk.dat"), pf::kInvalidFileAttributes);
    EXPECT_NE(pf::getFileAttributes("C:text\\protk.dat"), pf::kInvalidFileAttributes);
    EXPECT_EQ(pf::getFileAttributes("\\PTC"), pf::kFileAttributeDirectory);  // the current drive's root
    EXPECT_EQ(pf::getFileAttributes("\\text"), pf::kInvalidFileAttributes);

    EXPECT_FALSE(pf::changeDirectory("text\\protk.dat"));  // a file
    EXPECT_FALSE(pf::changeDirectory("missing"));
    EXPECT_EQ(cwd(), "C:\\PTC\\Creo");
    EXPECT_TRUE(pf::changeDirectory(".."));
    EXPECT_EQ(cwd(), "C:\\PTC");

    char small[8];
    EXPECT_FALSE(pf::currentDirectory(small, 6));
    EXPECT_TRUE(pf::currentDirectory(small, 7));  // "C:\PTC" and its terminator
    EXPECT_STREQ(small, "C:\\PTC");
}

TEST_F(SimFiles, CopyDeleteAndFoldersAsWindowsDoes)
{
    writeFile("a\\src.txt", "new");
    writeFile("a\\dst.txt", "old");
    makeFolder("a\\folder\\inner");

    EXPECT_FALSE(pf::copyFile("C:\\a\\src.txt", "C:\\a\\dst.txt", true));
    EXPECT_EQ(readFile("a\\dst.txt"), "old");
    EXPECT_TRUE(pf::copyFile("C:\\A\\SRC.TXT", "C:\\a\\DST.txt", false));
    EXPECT_EQ(readFile("a\\dst.txt"), "new");
    EXPECT_FALSE(pf::copyFile("C:\\a\\src.txt", "C:\\a\\nofolder\\x.txt", false));
    EXPECT_FALSE(exists("a\\nofolder"));
    EXPECT_FALSE(pf::copyFile("C:\\a\\folder", "C:\\a\\f2", false));
    EXPECT_FALSE(pf::copyFile("C:\\a\\src.txt", "C:\\a\\folder", false));
    EXPECT_FALSE(pf::copyFile("C:\\a\\missing", "C:\\a\\m2", false));
    EXPECT_TRUE(pf::copyFile("C:\\a\\src.txt", "C:\\a\\Fresh.txt", true));
    EXPECT_TRUE(exists("a\\Fresh.txt"));

    EXPECT_FALSE(pf::deleteFile("C:\\a\\folder"));
    EXPECT_FALSE(pf::removeFile("C:\\a\\folder"));
    EXPECT_FALSE(pf::removeDirectory("C:\\a\\folder"));  // not empty
    EXPECT_FALSE(pf::removeDirectory("C:\\a\\src.txt"));
    EXPECT_TRUE(pf::removeDirectory("C:\\a\\folder\\inner"));
    EXPECT_TRUE(pf::deleteFile("C:\\a\\fresh.txt"));
    EXPECT_FALSE(pf::deleteFile("C:\\a\\fresh.txt"));
    EXPECT_TRUE(pf::removeFile("C:\\a\\dst.txt"));

    EXPECT_EQ(pf::makeDirectory("C:\\a\\folder"), pf::kErrnoExists);
    EXPECT_EQ(pf::makeDirectory("C:\\a\\src.txt"), pf::kErrnoExists);
    EXPECT_EQ(pf::makeDirectory("C:\\a\\no\\deeper"), pf::kErrnoNoEntry);
    EXPECT_EQ(pf::makeDirectory("C:\\a\\src.txt\\below"), pf::kErrnoNoEntry);

    writeFile("a\\target.txt", "old");
    EXPECT_TRUE(pf::replaceFile("C:\\a\\src.txt", "C:\\a\\target.txt"));
    EXPECT_EQ(readFile("a\\target.txt"), "new");
    EXPECT_FALSE(exists("a\\src.txt"));
    EXPECT_FALSE(pf::replaceFile("C:\\a\\target.txt", "C:\\a\\folder"));

    // The installer's environment, not the test process's; names without case.
    std::string v;
    machine().setEnv("ProgramFiles", "C:\\Program Files");
    EXPECT_TRUE(pf::getEnvironmentVariable("PROGRAMFILES", v));
    EXPECT_EQ(v, "C:\\Program Files");
    EXPECT_FALSE(pf::getEnvironmentVariable("PATH", v));
    machine().unsetEnv("programfiles");
    EXPECT_FALSE(pf::getEnvironmentVariable("ProgramFiles", v));
}

TEST_F(SimStream, TextModeTranslatesLineEndsBothWays)
{
    {
        auto s = pf::TextStream::open("C:\\out.txt", "w");
        ASSERT_TRUE(s);
        EXPECT_EQ(machine().openHandlesByKind()["stream"], 1);
        EXPECT_TRUE(s.putText("one\ntwo\n"));
        EXPECT_TRUE(s.putText("three"));
        EXPECT_TRUE(s.close());
    }
    EXPECT_EQ(readFile("out.txt"), "one\r\ntwo\r\nthree");
    EXPECT_EQ(lines("C:\\out.txt", 100), (std::vector<std::string>{"one\n", "two\n", "three"}));

    // A lone CR stays; Ctrl-Z ends a text-mode read.
    writeFile("cr.txt", "a\rb\r\n\r\r\nc\x1A" "hidden\r\n");
    EXPECT_EQ(lines("C:\\cr.txt", 100), (std::vector<std::string>{"a\rb\n", "\r\n", "c"}));

    // fgets hands out at most capacity - 1 characters per call.
    writeFile("long.txt", "abcdefghij\r\nxy\r\n");
    EXPECT_EQ(lines("C:\\long.txt", 4), (std::vector<std::string>{"abc", "def", "ghi", "j\n", "xy\n"}));
    EXPECT_EQ(lines("C:\\long.txt", 3), (std::vector<std::string>{"ab", "cd", "ef", "gh", "ij", "\n", "xy", "\n"}));

    // "w" truncates; opening fails without the folder, on a folder, or "r" on nothing.
    {
        auto s = pf::TextStream::open("c:\\OUT.TXT", "w");
        ASSERT_TRUE(s);
    }
    EXPECT_EQ(readFile("out.txt"), "");
    makeFolder("dir");
    EXPECT_FALSE(pf::TextStream::open("C:\\dir", "r"));
    EXPECT_FALSE(pf::TextStream::open("C:\\dir", "w"));
    EXPECT_FALSE(pf::TextStream::open("C:\\nodir\\x.txt", "w"));
    EXPECT_FALSE(pf::TextStream::open("C:\\missing.txt", "r"));
    EXPECT_FALSE(exists("nodir"));

    // Binary mode passes bytes through.
    {
        auto s = pf::TextStream::open("C:\\bin.txt", "wb");
        ASSERT_TRUE(s);
        EXPECT_TRUE(s.putText("a\nb"));
    }
    EXPECT_EQ(readFile("bin.txt"), "a\nb");
}

TEST_F(SimStream, AppendPlusReadsFromTheStartAndWritesAtTheEnd)
{
    writeFile("text\\protk.dat", "first\r\nsecond\r\n\x1A");
    {
        auto s = pf::TextStream::open("C:\\text\\protk.dat", "a+");
        ASSERT_TRUE(s);
        char buf[64];
        ASSERT_TRUE(s.getLine(buf, sizeof buf));
        EXPECT_STREQ(buf, "first\n");
        EXPECT_TRUE(s.putText("third\n"));
        EXPECT_TRUE(s.putText("fourth\n"));
        EXPECT_FALSE(s.getLine(buf, sizeof buf));  // after a write the position is the end
        EXPECT_FALSE(s.hadError());
        EXPECT_TRUE(s.close());
    }
    // The Ctrl-Z that ended the file is dropped, so the appended lines are readable.
    EXPECT_EQ(readFile("text\\protk.dat"), "first\r\nsecond\r\nthird\r\nfourth\r\n");

    {
        auto s = pf::TextStream::open("C:\\text\\new.dat", "a+");
        ASSERT_TRUE(s);
        char buf[8];
        EXPECT_FALSE(s.getLine(buf, sizeof buf));
        EXPECT_TRUE(s.putText("x\n"));
    }
    EXPECT_EQ(readFile("text\\new.dat"), "x\r\n");
    auto r = pf::TextStream::open("C:\\text\\new.dat", "r");
    EXPECT_FALSE(r.putText("no"));
    EXPECT_TRUE(r.hadError());
}

TEST_F(SimListing, DotsFirstThenNamesWithoutCase)
{
    writeFile("PTC\\b.txt");
    writeFile("PTC\\_under");
    makeFolder("PTC\\A");
    makeFolder("PTC\\c");
    // Windows folds to upper case: '_' sorts after the letters.
    const std::vector<std::string> all{"./", "../", "A/", "b.txt", "c/", "_under"};
    EXPECT_EQ(listing("C:\\ptc\\*"), all);
    EXPECT_EQ(listing("C:\\PTC\\*.*"), all);
    EXPECT_EQ(listing("C:/PTC/*.txt"), (std::vector<std::string>{"b.txt"}));
    EXPECT_EQ(listing("C:\\PTC\\B.TXT"), (std::vector<std::string>{"b.txt"}));
    ASSERT_TRUE(pf::changeDirectory("C:\\PTC"));
    EXPECT_EQ(listing("*.*"), all);
    EXPECT_EQ(listing("A\\*"), (std::vector<std::string>{"./", "../"}));
    EXPECT_EQ(listing("C:\\missing\\*"), (std::vector<std::string>{"<invalid>"}));
    EXPECT_EQ(listing("C:\\PTC\\b.txt\\*"), (std::vector<std::string>{"<invalid>"}));
    EXPECT_EQ(listing("C:\\PTC\\*.none"), (std::vector<std::string>{"<invalid>"}));

    pf::DirEntry e;
    auto l = pf::Listing::first("C:\\PTC\\A\\*", e);
    ASSERT_TRUE(l);
    EXPECT_EQ(machine().openHandlesByKind()["listing"], 1);
    EXPECT_EQ(l.next(e), pf::kSuccess);
    EXPECT_EQ(l.next(e), pf::kNoMoreFiles);
    EXPECT_EQ(l.next(e), pf::kNoMoreFiles);
    l.close();
    EXPECT_EQ(machine().openHandles(), 0);
}

TEST_F(SimRegistry, EnumeratesInRegeditOrderAndReportsMoreData)
{
    auto& reg = machine().registry();
    for (const char* k : {"b", "_x", "A", "cc"}) reg.createKey(std::string("SOFTWARE\\PTC\\") + k);
    reg.setValue("SOFTWARE\\PTC", "Raw", raw(pf::kRegSz, "abc"));  // no terminating zero

    pf::RegKey key;
    ASSERT_EQ(pf::regOpenKey(nullptr, "software\\ptc", pf::kKeyRead, key), pf::kSuccess);
    EXPECT_EQ(machine().openHandlesByKind()["registry"], 1);
    std::vector<std::string> names;
    char name[8];
    std::uint32_t len = sizeof name;
    for (std::uint32_t i = 0; (len = sizeof name, pf::regEnumKey(key, i, name, &len, nullptr, nullptr)) == 0; ++i) {
        EXPECT_EQ(len, std::strlen(name));
        names.emplace_back(name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"A", "b", "cc", "_x"}));
    len = 2;  // room for "cc" but not its terminator
    EXPECT_EQ(pf::regEnumKey(key, 2, name, &len, nullptr, nullptr), pf::kMoreData);
    len = 3;
    EXPECT_EQ(pf::regEnumKey(key, 2, name, &len, nullptr, nullptr), pf::kSuccess);
    EXPECT_EQ(len, 2u);
    EXPECT_EQ(pf::regEnumKey(key, 4, name, &len, nullptr, nullptr), pf::kNoMoreItems);

    std::uint32_t type = 0, size = 0;
    EXPECT_EQ(pf::regQueryValue(key, "RAW", &type, nullptr, &size), pf::kSuccess);
    EXPECT_EQ(size, 3u);
    char data[8] = "zzzzzzz";
    size = 2;
    EXPECT_EQ(pf::regQueryValue(key, "raw", &type, data, &size), pf::kMoreData);
    EXPECT_EQ(size, 3u);
    EXPECT_EQ(data[0], 'z');
    size = sizeof data;
    EXPECT_EQ(pf::regQueryValue(key, "raw", &type, data, &size), pf::kSuccess);
    EXPECT_EQ(std::string(data, size), "abc");
    EXPECT_EQ(type, pf::kRegSz);
    EXPECT_EQ(pf::regQueryValue(key, "nothing", &type, data, &size), pf::kFileNotFound);

    // The handle's rights are checked.
    EXPECT_EQ(pf::regSetValue(key, "v", pf::kRegSz, "x", 2), pf::kAccessDenied);
    EXPECT_EQ(pf::regDeleteValue(key, "raw"), pf::kAccessDenied);
    pf::RegKey writer;
    ASSERT_EQ(pf::regOpenKey(&key, "cc", 0x2, writer), pf::kSuccess);
    EXPECT_EQ(pf::regSetValue(writer, "V", pf::kRegDword, "\x01\0\0\0", 4), pf::kSuccess);
    EXPECT_EQ(reg.value("SOFTWARE\\PTC\\CC", "v"), raw(pf::kRegDword, std::string("\x01\0\0\0", 4)));
    EXPECT_EQ(pf::regQueryValue(writer, "v", &type, nullptr, &size), pf::kAccessDenied);
    EXPECT_EQ(pf::regEnumKey(writer, 0, name, &len, nullptr, nullptr), pf::kAccessDenied);
    EXPECT_EQ(pf::regDeleteValue(writer, "v"), pf::kSuccess);
    EXPECT_EQ(pf::regDeleteValue(writer, "v"), pf::kFileNotFound);
    EXPECT_EQ(pf::regOpenKey(&key, "missing", pf::kKeyRead, writer), pf::kFileNotFound);

    pf::RegKey created;
    ASSERT_EQ(pf::regCreateKey("SOFTWARE\\New\\Deep", pf::kKeyAllAccess, created), pf::kSuccess);
    EXPECT_TRUE(reg.hasKey("software\\new\\deep"));
    EXPECT_EQ(machine().openHandlesByKind()["registry"], 3);
    key.reset();
    writer.reset();
    created.reset();
    EXPECT_EQ(machine().openHandles(), 0);
}

TEST_F(SimRegistry, StandardUserCannotOpenHklmForWriting)
{
    machine().registry().createKey("SOFTWARE\\PTC");
    machine().standardUser = true;
    pf::RegKey key;
    EXPECT_EQ(pf::regOpenKey(nullptr, "SOFTWARE\\PTC", pf::kKeyRead, key), pf::kSuccess);
    key.reset();
    for (std::uint32_t access : {pf::kKeyWrite, pf::kKeyAllAccess, 0x2u, 0x4u, pf::kKeyRead | 0x2u}) {
        EXPECT_EQ(pf::regOpenKey(nullptr, "SOFTWARE\\PTC", access, key), pf::kAccessDenied) << access;
        EXPECT_EQ(pf::regCreateKey("SOFTWARE\\PTC", access, key), pf::kAccessDenied) << access;
    }
    EXPECT_EQ(pf::regCreateKey("SOFTWARE\\Other", pf::kKeyRead, key), pf::kAccessDenied);
    EXPECT_FALSE(machine().registry().hasKey("SOFTWARE\\Other"));
    EXPECT_EQ(pf::regOpenKey(nullptr, "SOFTWARE\\Missing", pf::kKeyWrite, key), pf::kFileNotFound);
    EXPECT_FALSE(key);
}

TEST_F(SimRegText, ImportsEachFormat)
{
    auto& reg = machine().registry();
    reg.setString("SOFTWARE\\Gone", "x", "1");
    reg.setString("SOFTWARE\\Keep", "Drop", "1");
    const std::string v5 =
        "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n"
        "\r\n"
        "; a comment\r\n"
        "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Gone]\r\n"
        "[HKLM\\SOFTWARE\\Keep]\r\n"
        "\"Drop\"=-\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\PTC\\Creo]\r\n"
        "@=\"default\"\r\n"
        "\"Path\"=\"C:\\\\PTC\\\\\\\"q\\\"\"\r\n"
        "\"Count\"=dword:0000001f\r\n"
        "\"Bin\"=hex:01,02,\\\r\n"
        "  ff\r\n"
        "\"Exp\"=hex(2):25,00,41,00,e9,00,00,00\r\n"
        "\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"
        "\"Q\"=hex(b):01,00,00,00,00,00,00,00\r\n"
        "\"Caf\xC3\xA9\"=\"\xC3\xA9t\xC3\xA9\"\r\n";
    reg.importText(v5, "v5.reg");
    EXPECT_FALSE(reg.hasKey("SOFTWARE\\Gone"));
    EXPECT_FALSE(reg.value("SOFTWARE\\Keep", "drop"));
    const std::string k = "SOFTWARE\\PTC\\Creo";
    EXPECT_EQ(reg.value(k, ""), raw(1, std::string("default\0", 8)));
    EXPECT_EQ(reg.value(k, "path"), raw(1, std::string("C:\\PTC\\\"q\"\0", 11)));
    EXPECT_EQ(reg.value(k, "count"), raw(4, std::string("\x1f\0\0\0", 4)));
    EXPECT_EQ(reg.value(k, "bin"), raw(3, "\x01\x02\xff"));
    EXPECT_EQ(reg.value(k, "exp"), raw(2, std::string("%A\xC3\xA9\0", 5)));  // UTF-16 to narrow
    EXPECT_EQ(reg.value(k, "multi"), raw(7, std::string("a\0b\0\0", 5)));
    EXPECT_EQ(reg.value(k, "q"), raw(11, std::string("\x01\0\0\0\0\0\0\0", 8)));
    EXPECT_EQ(reg.value(k, "caf\xC3\xA9"), raw(1, std::string("\xC3\xA9t\xC3\xA9\0", 6)));

    // UTF-16LE with a BOM, as regedit writes it, read from a file.
    const std::string text =
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\W]\r\n\"N\"=\"\xC3\xA9\"\r\n";
    std::string utf16 = "\xFF\xFE";
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\xC3') {  // the one non-ASCII character: U+00E9
            utf16 += std::string("\xE9\0", 2);
            ++i;
        } else {
            utf16 += std::string{text[i], '\0'};
        }
    }
    writeFile("w.reg", utf16);
    reg.importFile(onC("w.reg"));
    EXPECT_EQ(reg.value("SOFTWARE\\W", "n"), raw(1, std::string("\xC3\xA9\0", 3)));

    // REGEDIT4: expandable strings are already narrow.
    reg.importText("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Four]\n\"E\"=hex(2):25,41,25,00\n", "v4.reg");
    EXPECT_EQ(reg.value("SOFTWARE\\Four", "e"), raw(2, std::string("%A%\0", 4)));
}

TEST_F(SimRegText, RefusesMalformedFilesAndLoadsNothing)
{
    auto& reg = machine().registry();
    reg.setString("SOFTWARE\\Before", "v", "1");
    const auto before = reg.flatten();
    const std::string h = "Windows Registry Editor Version 5.00\n";
    const std::string s = h + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\New]\n\"ok\"=\"1\"\n";  // valid start: lines 1-3
    struct Case {
        std::string text;
        int line;
        std::string reason;
    };
    const std::vector<Case> cases{
        {"", 1, "missing header"},
        {"Windows Registry Editor Version 4.00\n", 1, "unknown header"},
        {h + "\"v\"=\"1\"\n", 2, "value outside a key section"},
        {s + "\"v\"=\"abc\n", 4, "unterminated quote"},
        {s + "\"v\"=\"a\\tb\"\n", 4, "bad escape \\t"},
        {s + "\"v\"=hex:01,zz\n", 4, "bad hex byte 'zz'"},
        {s + "\"v\"=hex:01,\\\n  02,,03\n", 5, "bad hex byte ''"},
        {s + "\"v\"=hex(2):41,00,42\n", 4, "odd UTF-16 length"},
        {s + "\"v\"=dword:1f\n", 4, "dword needs 8 hex digits"},
        {s + "\"v\"=dword:0000001g\n", 4, "dword needs 8 hex digits"},
        {s + "[HKEY_CURRENT_USER\\Software]\n", 4, "only HKEY_LOCAL_MACHINE is simulated"},
        {s + "[HKEY_LOCAL_MACHINE\\SOFTWARE\n", 4, "unterminated section bracket"},
        {s + "garbage\n", 4, "unrecognised line"},
        {s + "\"v\"=qword:1\n", 4, "unknown value type"},
        {s + "\"v\"\n", 4, "expected '=' after the value name"},
        {s + "\"v\"=\"1\" x\n", 4, "text after the closing quote"},
        {std::string("\xFF\xFEW\0\n\0x", 7), 2, "odd UTF-16 length"},
    };
    for (const auto& c : cases) {
        try {
            reg.importText(c.text, "bad.reg");
            ADD_FAILURE() << "accepted: " << c.text;
        } catch (const sim::RegParseError& e) {
            EXPECT_EQ(e.line, c.line) << c.text;
            EXPECT_EQ(e.reason, c.reason) << c.text;
            EXPECT_EQ(std::string(e.what()), "bad.reg:" + std::to_string(c.line) + ": " + c.reason);
        }
        EXPECT_EQ(reg.flatten(), before) << c.text;
    }
    EXPECT_THROW(reg.importFile(onC("none.reg")), sim::RegParseError);
}

TEST_F(SimRegText, ExportImportsBackToTheSameTree)
{
    sim::Registry reg;
    reg.setString("SOFTWARE\\PTC\\Creo 1", "", "default");
    reg.setString("SOFTWARE\\PTC\\Creo 1", "Quote\"And\\Slash", "C:\\x \"y\"");
    reg.setValue("SOFTWARE\\PTC\\Creo 1", "NoZero", raw(1, "abc"));
    reg.setValue("SOFTWARE\\PTC\\Creo 1", "TwoZeros", raw(1, std::string("a\0\0", 3)));
    reg.setValue("SOFTWARE\\PTC\\Creo 1", "Lines", raw(1, std::string("a\r\nb\0", 5)));
    reg.setValue("SOFTWARE\\PTC\\Creo 1", "Exp", raw(2, std::string("%P%\xC3\xA9\xFF\0", 7)));  // one byte not UTF-8
    reg.setValue("SOFTWARE\\PTC\\Creo 1", "Multi", raw(7, std::string("a\0b\0\0", 5)));
    reg.setValue("SOFTWARE\\PTC\\Creo 1", "D", raw(4, std::string("\x78\x56\x34\x12", 4)));
    reg.setValue("SOFTWARE\\PTC\\Creo 1", "ShortD", raw(4, "\x01\x02"));
    reg.setValue("SOFTWARE\\PTC\\Creo 1", "Empty", raw(3, ""));
    reg.setValue("SOFTWARE\\PTC\\Creo 1", "Long", raw(3, std::string(100, '\x5a')));
    reg.setValue("SOFTWARE\\PTC\\Creo 1", "None", raw(0, "x"));
    reg.createKey("SOFTWARE\\Empty\\Leaf");
    reg.setString("", "AtRoot", "r");

    const std::string text = reg.exportText();
    EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\r\n", 0), 0u);
    EXPECT_NE(text.find("\"D\"=dword:12345678\r\n"), std::string::npos);
    EXPECT_NE(text.find("@=\"default\"\r\n"), std::string::npos);
    EXPECT_NE(text.find("\"Quote\\\"And\\\\Slash\"=\"C:\\\\x \\\"y\\\"\"\r\n"), std::string::npos);
    EXPECT_LT(text.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Empty]"), text.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\PTC]"));

    sim::Registry back;
    back.importText(text, "export.reg");
    EXPECT_EQ(back.flatten(), reg.flatten());
    EXPECT_EQ(back.exportText(), text);
}

TEST_F(SimInstaller, PropertiesHonourTheOfferedSize)
{
    setProperty("NAME", "abcdef");
    char buf[16] = "untouched";
    std::uint32_t n = sizeof buf;
    EXPECT_EQ(pf::msiGetProperty(session(), "MISSING", buf, &n), pf::kSuccess);
    EXPECT_EQ(n, 0u);
    EXPECT_STREQ(buf, "");
    n = 6;  // the value needs 7 with its terminator
    EXPECT_EQ(pf::msiGetProperty(session(), "NAME", buf, &n), pf::kMoreData);
    EXPECT_EQ(n, 6u);
    EXPECT_STREQ(buf, "abcde");
    n = 7;
    EXPECT_EQ(pf::msiGetProperty(session(), "NAME", buf, &n), pf::kSuccess);
    EXPECT_STREQ(buf, "abcdef");
    n = 0;
    EXPECT_EQ(pf::msiGetProperty(session(), "NAME", nullptr, &n), pf::kMoreData);
    EXPECT_EQ(n, 6u);
    n = sizeof buf;
    EXPECT_EQ(pf::msiGetProperty(session(), "name", buf, &n), pf::kSuccess);  // names keep their case
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(pf::msiGetProperty(session() + 1, "NAME", buf, &n), pf::kInvalidHandle);

    EXPECT_EQ(pf::msiSetProperty(session(), "NEW", "1"), pf::kSuccess);
    EXPECT_EQ(pf::msiSetProperty(session(), "NAME", ""), pf::kSuccess);
    EXPECT_EQ(pf::msiSetProperty(session(), "NEW", "2"), pf::kSuccess);
    EXPECT_FALSE(hasProperty("NAME"));
    EXPECT_EQ(property("NEW"), "2");
    const auto& log = machine().internal().propertyChanges;
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].name, "NEW");
    EXPECT_FALSE(log[0].before);
    EXPECT_EQ(log[1].before, "abcdef");
    EXPECT_FALSE(log[1].after);
    EXPECT_EQ(log[2].before, "1");
    EXPECT_EQ(log[2].after, "2");

    EXPECT_EQ(pf::msiLogInfo(session(), "hello"), pf::kSuccess);
    EXPECT_EQ(machine().logMessages(), std::vector<std::string>{"hello"});
    pf::shellOpen("https://example.com/");
    EXPECT_EQ(machine().openedTargets(), std::vector<std::string>{"https://example.com/"});
    machine().messageBoxAnswer = 2;
    EXPECT_EQ(pf::messageBox("text", "caption", pf::kMbIconExclamation), 2);
    ASSERT_EQ(machine().messageBoxes().size(), 1u);
    EXPECT_EQ(machine().messageBoxes()[0].caption, "caption");
    EXPECT_EQ(machine().messageBoxes()[0].style, pf::kMbIconExclamation);
}

TEST_F(SimInstaller, ControlRowsDeleteInsertTemporaryAndRefresh)
{
    auto row = [](std::string dialog, std::string control, std::string type, std::string property) {
        sim::ControlRow r;
        r.fields = {dialog, control, type, "0", "0", "10", "10", "3", property, "", "", ""};
        return r;
    };
    auto& rows = machine().controlRows();
    rows = {row("D", "c1", "CheckBox", "P"), row("D", "t", "Text", "P"), row("E", "c1", "CheckBox", "P"),
            row("D", "c2", "CheckBox", "P")};
    const char* query =
        "SELECT * FROM `Control` WHERE `Control`.`Dialog_`='D' AND `Control`.`Type`='CheckBox' AND "
        "`Control`.`Property`='P'";

    pf::UniqueMsiHandle db(pf::msiGetActiveDatabase(session()));
    ASSERT_TRUE(db);
    pf::UniqueMsiHandle view;
    EXPECT_EQ(pf::msiDatabaseOpenView(db.get(), "SELECT * FROM `Control`", view.put()), pf::kBadQuerySyntax);
    EXPECT_FALSE(view);
    ASSERT_EQ(pf::msiDatabaseOpenView(db.get(), query, view.put()), pf::kSuccess);
    ASSERT_EQ(pf::msiViewExecute(view.get(), 0), pf::kSuccess);

    pf::UniqueMsiHandle first, second, none;
    ASSERT_EQ(pf::msiViewFetch(view.get(), first.put()), pf::kSuccess);
    ASSERT_EQ(pf::msiViewFetch(view.get(), second.put()), pf::kSuccess);
    EXPECT_EQ(pf::msiViewFetch(view.get(), none.put()), pf::kNoMoreItems);
    EXPECT_EQ(machine().openHandlesByKind()["msi"], 4);

    EXPECT_EQ(pf::msiViewModify(view.get(), pf::kModifyDelete, first.get()), pf::kSuccess);
    EXPECT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].fields[1], "t");

    // A new control row under a new name, kept only for this session.
    EXPECT_EQ(pf::msiRecordSetString(second.get(), 0, "x"), pf::kInvalidParameter);
    EXPECT_EQ(pf::msiRecordSetString(second.get(), 13, "x"), pf::kInvalidParameter);
    EXPECT_EQ(pf::msiViewModify(view.get(), pf::kModifyInsertTemporary, second.get()), pf::kFunctionFailed);
    ASSERT_EQ(pf::msiRecordSetString(second.get(), 2, "c9"), pf::kSuccess);
    ASSERT_EQ(pf::msiRecordSetString(second.get(), 10, "Label"), pf::kSuccess);
    ASSERT_EQ(pf::msiViewModify(view.get(), pf::kModifyInsertTemporary, second.get()), pf::kSuccess);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_TRUE(rows.back().temporary);
    EXPECT_EQ(rows.back().fields[1], "c9");
    EXPECT_EQ(rows.back().fields[9], "Label");

    // Refresh reads the inserted row back, not what the record was changed to since.
    auto fields = [&](const pf::UniqueMsiHandle& r) {
        return std::get<sim::Machine::Internal::Record>(machine().internal().msi.at(r.get())).fields;
    };
    ASSERT_EQ(pf::msiRecordSetString(second.get(), 10, "changed"), pf::kSuccess);
    rows.back().fields[10] = "from table";
    ASSERT_EQ(pf::msiViewModify(view.get(), pf::kModifyRefresh, second.get()), pf::kSuccess);
    EXPECT_EQ(fields(second)[9], "Label");
    EXPECT_EQ(fields(second)[10], "from table");
    EXPECT_EQ(pf::msiViewModify(view.get(), pf::kModifyInsertTemporary, second.get()), pf::kFunctionFailed);
    EXPECT_EQ(pf::msiViewModify(view.get(), pf::kModifyDelete, first.get()), pf::kFunctionFailed);
    EXPECT_EQ(pf::msiViewModify(view.get(), pf::kModifyRefresh, first.get()), pf::kFunctionFailed);

    // A fresh run sees the changes, in table order.
    ASSERT_EQ(pf::msiViewExecute(view.get(), 0), pf::kSuccess);
    std::vector<std::string> seen;
    for (pf::UniqueMsiHandle r; pf::msiViewFetch(view.get(), r.put()) == pf::kSuccess;) seen.push_back(fields(r)[1]);
    EXPECT_EQ(seen, (std::vector<std::string>{"c2", "c9"}));

    first.reset();
    second.reset();
    none.reset();
    view.reset();
    db.reset();
    EXPECT_EQ(pf::msiCloseHandle(12345), pf::kInvalidHandle);
    machine().setDatabaseAvailable(false);
    EXPECT_EQ(pf::msiGetActiveDatabase(session()), 0u);
}

TEST_F(SimFaults, FailsOnlyTheKthCallOfItsKind)
{
    machine().registry().setString("SOFTWARE\\K", "v", "x");
    pf::RegKey key;
    ASSERT_EQ(pf::regOpenKey(nullptr, "SOFTWARE\\K", pf::kKeyRead, key), pf::kSuccess);
    auto& faults = machine().faults();
    faults.resetCounts();
    faults.failAt(sim::Op::regQuery, 2);
    std::uint32_t size = 0;
    EXPECT_EQ(pf::regQueryValue(key, "v", nullptr, nullptr, &size), pf::kSuccess);
    EXPECT_FALSE(faults.injected());
    EXPECT_NE(pf::regQueryValue(key, "v", nullptr, nullptr, &size), pf::kSuccess);
    EXPECT_TRUE(faults.injected());
    EXPECT_EQ(pf::regQueryValue(key, "v", nullptr, nullptr, &size), pf::kSuccess);
    EXPECT_EQ(faults.calls(sim::Op::regQuery), 3);
    EXPECT_EQ(faults.calls(sim::Op::regOpen), 0);
    key.reset();

    writeFile("f.txt", "line\r\n");
    faults.failAt(sim::Op::fileOpen, 1);
    EXPECT_FALSE(pf::TextStream::open("C:\\f.txt", "r"));
    faults.failAt(sim::Op::fileRead, 1);
    {
        auto s = pf::TextStream::open("C:\\f.txt", "r");
        char buf[16];
        EXPECT_FALSE(s.getLine(buf, sizeof buf));
        EXPECT_TRUE(s.hadError());
    }
    faults.failAt(sim::Op::fileWrite, 2);
    {
        auto s = pf::TextStream::open("C:\\f.txt", "a+");
        EXPECT_TRUE(s.putText("a"));
        EXPECT_FALSE(s.putText("b"));
        faults.failAt(sim::Op::fileClose, faults.calls(sim::Op::fileClose) + 1);
        EXPECT_FALSE(s.close());
    }
    EXPECT_EQ(machine().openHandles(), 0);

    setProperty("P", "value");
    faults.failAt(sim::Op::propertyGet, faults.calls(sim::Op::propertyGet) + 1);
    char buf[16] = "keep";
    std::uint32_t n = sizeof buf;
    EXPECT_EQ(pf::msiGetProperty(session(), "P", buf, &n), pf::kFunctionFailed);
    EXPECT_STREQ(buf, "keep");
    EXPECT_EQ(n, sizeof buf);

    faults.failAt(sim::Op::xmlCreate, faults.calls(sim::Op::xmlCreate) + 1);
    EXPECT_THROW(pf::XmlDocument(), pf::ComError);
    faults.failAt(sim::Op::xmlLoad, faults.calls(sim::Op::xmlLoad) + 1);
    pf::XmlDocument doc;
    EXPECT_THROW(doc.load("C:\\f.txt"), pf::ComError);
    faults.failAt(sim::Op::makeDirectory, faults.calls(sim::Op::makeDirectory) + 1);
    EXPECT_NE(pf::makeDirectory("C:\\new"), 0);
    EXPECT_FALSE(exists("new"));
    faults.clear();
    EXPECT_EQ(pf::makeDirectory("C:\\new"), 0);
}

TEST_F(SimXml, ElementsAndAttributesComeInDocumentOrder)
{
    writeFile("ptc\\d.xml",
              "<?xml version=\"1.0\"?>\n"
              "<r a=\"1\"><x z=\"&lt;&amp;&#65;\" y=\"tab\there\"/><!-- c --><y><x/></y></r>");
    writeFile("bad1.xml", "<r><x></r>");
    writeFile("bad2.xml", "<r/><r/>");
    writeFile("bad3.xml", "<r a=\"1\" a=\"2\"/>");
    writeFile("dtd.xml", "<!DOCTYPE r [<!ENTITY ext SYSTEM \"file:///etc/hostname\">]><r a=\"&ext;\"/>");
    {
        pf::ComApartment com;
        pf::XmlDocument doc;
        EXPECT_EQ(machine().openHandlesByKind()["com"], 2);
        EXPECT_FALSE(doc.load("C:\\missing.xml"));
        EXPECT_FALSE(doc.load("C:\\bad1.xml"));
        EXPECT_FALSE(doc.load("C:\\bad2.xml"));
        EXPECT_FALSE(doc.load("C:\\bad3.xml"));
        EXPECT_FALSE(doc.load("C:\\dtd.xml"));  // a DTD is refused outright
        EXPECT_EQ(doc.elementsByTagName("*").length(), 0);
        ASSERT_TRUE(doc.load("C:\\PTC\\D.XML"));

        auto all = doc.elementsByTagName("*");
        ASSERT_EQ(all.length(), 4);
        auto x = all.item(1);
        ASSERT_TRUE(x);
        EXPECT_EQ(x.typeString(), "element");
        long count = 0;
        ASSERT_TRUE(x.attributeCount(count));
        EXPECT_EQ(count, 2);
        std::string name, text;
        ASSERT_TRUE(x.attribute(0, name, text));
        EXPECT_EQ(name + "=" + text, "z=<&A");
        ASSERT_TRUE(x.attribute(1, name, text));
        EXPECT_EQ(name + "=" + text, "y=tab here");
        EXPECT_FALSE(x.attribute(2, name, text));
        EXPECT_FALSE(all.item(4));
        EXPECT_FALSE(all.item(-1));

        EXPECT_EQ(doc.elementsByTagName("x").length(), 2);
        EXPECT_EQ(doc.elementsByTagName(" ").length(), 0);
        EXPECT_EQ(doc.elementsByTagName("X").length(), 0);
        EXPECT_EQ(machine().openHandlesByKind()["com"], 4);  // the list and the node too
    }
    EXPECT_EQ(machine().openHandles(), 0);
}
