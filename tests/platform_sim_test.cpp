// The simulated machine behaves like Windows where the library's correctness
// depends on it (the end-to-end runs under Wine check the rest).
#include "platform/files.h"
#include "platform/installer.h"
#include "platform/registry.h"
#include "platform/sim/sim_internal.h"
#include "sim_fixture.h"

#include <tuple>
#include <vector>

namespace {

using SimFiles = SimTest;
using SimRegistry = SimTest;
using SimInstaller = SimTest;
using Lines = std::vector<std::string>;

std::string cwd()
{
    char buf[260];
    return pf::currentDirectory(buf, sizeof buf) ? buf : "<failed>";
}

// 'd' a folder, 'f' a file, '-' nothing.
char kind(const std::string& path)
{
    const std::uint32_t a = pf::getFileAttributes(path.c_str());
    return a == pf::kInvalidFileAttributes ? '-' : (a & pf::kFileAttributeDirectory) ? 'd' : 'f';
}

Lines lines(const char* path, int capacity)
{
    Lines out;
    auto s = pf::TextStream::open(path, "r");
    std::vector<char> buf(static_cast<std::size_t>(capacity));
    while (s && s.getLine(buf.data(), capacity)) out.emplace_back(buf.data());
    return out;
}

Lines listing(const char* pattern)
{
    Lines out;
    pf::DirEntry e;
    auto l = pf::Listing::first(pattern, e);
    if (!l) return {"<invalid>"};
    do out.push_back(e.name + (e.isDirectory ? "/" : ""));
    while (l.next(e) == pf::kSuccess);
    return out;
}

sim::RegValue raw(std::uint32_t type, std::string bytes) { return {type, {bytes.begin(), bytes.end()}}; }

}  // namespace

TEST_F(SimFiles, PathsResolveWithoutCaseAgainstTheDriveAndCurrentFolder)
{
    writeFile("PTC\\Creo\\text\\protk.dat");
    EXPECT_TRUE(pf::changeDirectory("c:/ptc/creo"));
    EXPECT_EQ(cwd(), "C:\\PTC\\Creo");  // Windows form, case as on disk
    for (const char* bad : {"text\\protk.dat", "missing"}) EXPECT_FALSE(pf::changeDirectory(bad)) << bad;
    EXPECT_EQ(cwd(), "C:\\PTC\\Creo");
    // ".." stops at the root; "\" starts at the current drive's root; Z: is the host's root, as under Wine.
    const std::pair<std::string, char> cases[] = {
        {"c:\\ptc\\CREO", 'd'}, {"C:/PTC//creo\\", 'd'}, {"C:\\PTC\\.\\x\\..\\Creo", 'd'}, {"C:\\..\\..\\PTC", 'd'},
        {"C:\\PTC\\Creo\\none", '-'}, {"C:\\ptc\\creo\\TEXT\\PROTK.DAT", 'f'},
        {"C:\\PTC\\Creo\\text\\protk.dat\\", '-'}, {"text\\protk.dat", 'f'}, {"..\\Creo\\.\\text\\protk.dat", 'f'},
        {"C:text\\protk.dat", 'f'}, {"\\PTC", 'd'}, {"\\text", '-'}, {"Z:" + onC("PTC").string(), 'd'}, {"Q:\\x", '-'}};
    for (const auto& [path, expected] : cases) EXPECT_EQ(kind(path), expected) << path;
    EXPECT_FALSE(pf::TextStream::open("C:\\PTC\\Creo\\text\\protk.dat\\", "r"));
    EXPECT_EQ(pf::makeDirectory("c:\\ptc\\creo\\NewOne"), 0);  // new names keep the case given
    EXPECT_TRUE(exists("PTC\\Creo\\NewOne"));
}

TEST_F(SimFiles, CopyDeleteAndFoldersAsWindowsDoes)
{
    writeFile("a\\src.txt", "new");
    writeFile("a\\dst.txt", "old");
    makeFolder("a\\folder\\inner");
    // Braced lists run in order: each call sees what the ones before it did.
    const std::vector<bool> results{
        pf::copyFile("C:\\a\\src.txt", "C:\\a\\dst.txt", true),  // no overwrite
        pf::copyFile("C:\\A\\SRC.TXT", "C:\\a\\DST.txt", false),
        pf::copyFile("C:\\a\\src.txt", "C:\\a\\nofolder\\x.txt", false),  // no folder is made
        pf::copyFile("C:\\a\\folder", "C:\\a\\f2", false), pf::copyFile("C:\\a\\src.txt", "C:\\a\\folder", false),
        pf::deleteFile("C:\\a\\folder"), pf::removeDirectory("C:\\a\\folder"), pf::removeDirectory("C:\\a\\src.txt"),
        pf::removeDirectory("C:\\a\\folder\\inner"), pf::deleteFile("C:\\a\\DST.txt"), pf::deleteFile("C:\\a\\dst.txt"),
        pf::replaceFile("C:\\a\\src.txt", "C:\\a\\folder"), pf::replaceFile("C:\\a\\src.txt", "C:\\a\\target.txt")};
    EXPECT_EQ(results, (std::vector<bool>{false, true, false, false, false, false, false, false, true, true, false,
                                          false, true}));
    EXPECT_EQ(readFile("a\\target.txt"), "new");
    EXPECT_FALSE(exists("a\\src.txt"));
    EXPECT_FALSE(exists("a\\nofolder"));
    for (const auto& [path, error] : {std::pair{"C:\\a\\folder", pf::kErrnoExists},
                                      {"C:\\a\\target.txt", pf::kErrnoExists},
                                      {"C:\\a\\no\\deeper", pf::kErrnoNoEntry}, {"Q:\\x", pf::kErrnoNoEntry}})
        EXPECT_EQ(pf::makeDirectory(path), error) << path;

    // Listings: "." and ".." first, then names ordered as Windows folds them (upper case).
    writeFile("PTC\\b.txt");
    writeFile("PTC\\_under");
    makeFolder("PTC\\A");
    EXPECT_EQ(listing("C:\\ptc\\*"), (Lines{"./", "../", "A/", "b.txt", "_under"}));
    EXPECT_EQ(listing("C:/PTC/*.txt"), Lines{"b.txt"});
    EXPECT_EQ(listing("C:\\PTC\\*.none"), Lines{"<invalid>"});
    ASSERT_TRUE(pf::changeDirectory("C:\\PTC\\A"));
    pf::DirEntry e;
    auto l = pf::Listing::first("*.*", e);
    EXPECT_EQ(machine().openHandlesByKind()["listing"], 1);
    EXPECT_EQ(e.name, ".");
    for (const pf::Status status : {pf::kSuccess, pf::kNoMoreFiles, pf::kNoMoreFiles}) EXPECT_EQ(l.next(e), status);
}

TEST_F(SimFiles, TextStreamsTranslateLineEndsAndHandOutFgetsChunks)
{
    auto out = pf::TextStream::open("C:\\out.txt", "w");
    EXPECT_EQ(machine().openHandlesByKind()["stream"], 1);
    EXPECT_TRUE(out.putText("one\ntwo\n") && out.putText("three") && out.close());
    EXPECT_EQ(readFile("out.txt"), "one\r\ntwo\r\nthree");
    // A lone CR stays; Ctrl-Z ends the text; a call hands out at most capacity - 1 characters.
    const std::tuple<std::string, int, Lines> cases[] = {
        {"one\r\ntwo\r\nthree", 100, {"one\n", "two\n", "three"}},
        {"a\rb\r\n\r\r\nc\x1A" "hidden\r\n", 100, {"a\rb\n", "\r\n", "c"}},
        {"abcdefghij\r\nxy\r\n", 4, {"abc", "def", "ghi", "j\n", "xy\n"}},
        {"abcdefghij\r\nxy\r\n", 3, {"ab", "cd", "ef", "gh", "ij", "\n", "xy", "\n"}}};
    for (const auto& [bytes, capacity, expected] : cases) {
        writeFile("in.txt", bytes);
        EXPECT_EQ(lines("C:\\in.txt", capacity), expected) << bytes << " " << capacity;
    }
    // "w" truncates; nothing opens without its folder, on a folder, or "r" on nothing.
    EXPECT_TRUE(pf::TextStream::open("c:\\OUT.TXT", "w"));
    EXPECT_EQ(readFile("out.txt"), "");
    makeFolder("dir");
    for (const auto& [path, mode] :
         {std::pair{"C:\\dir", "r"}, {"C:\\dir", "a+"}, {"C:\\nodir\\x.txt", "w"}, {"C:\\missing.txt", "r"}})
        EXPECT_FALSE(pf::TextStream::open(path, mode)) << path << " " << mode;
    EXPECT_FALSE(exists("nodir"));

    // "a+" reads from the start, writes at the end (dropping a final Ctrl-Z), creates a missing file.
    writeFile("text\\protk.dat", "first\r\nsecond\r\n\x1A");
    auto s = pf::TextStream::open("C:\\text\\protk.dat", "a+");
    char buf[64];
    ASSERT_TRUE(s.getLine(buf, sizeof buf));
    EXPECT_STREQ(buf, "first\n");
    EXPECT_TRUE(s.putText("third\n"));
    EXPECT_FALSE(s.getLine(buf, sizeof buf));  // after a write the position is the end
    EXPECT_TRUE(s.close());
    EXPECT_EQ(readFile("text\\protk.dat"), "first\r\nsecond\r\nthird\r\n");
    EXPECT_TRUE(pf::TextStream::open("C:\\text\\new.dat", "a+").putText("x\n"));
    EXPECT_EQ(readFile("text\\new.dat"), "x\r\n");
    EXPECT_FALSE(pf::TextStream::open("C:\\text\\new.dat", "r").putText("no"));
}

TEST_F(SimRegistry, EnumeratesWithoutCaseReportsMoreDataAndChecksRights)
{
    auto& reg = machine().registry();
    for (const char* k : {"b", "_x", "A", "cc"}) reg.createKey(std::string("SOFTWARE\\PTC\\") + k);
    reg.setValue("SOFTWARE\\PTC", "Raw", raw(pf::kRegSz, "abc"));  // no terminating zero
    pf::RegKey key, writer;
    ASSERT_EQ(pf::regOpenKey(nullptr, "software\\ptc", pf::kKeyRead, key), pf::kSuccess);
    Lines names;
    char name[8];
    std::uint32_t len = sizeof name;
    for (std::uint32_t i = 0; (len = sizeof name, pf::regEnumKey(key, i, name, &len, nullptr, nullptr)) == 0; ++i)
        names.push_back(std::string(name) + ":" + std::to_string(len));
    EXPECT_EQ(names, (Lines{"A:1", "b:1", "cc:2", "_x:2"}));
    len = 2;  // room for "cc" but not its terminator
    EXPECT_EQ(pf::regEnumKey(key, 2, name, &len, nullptr, nullptr), pf::kMoreData);
    std::uint32_t type = 0, size = 2;
    char data[8] = "zzzzzzz";
    EXPECT_EQ(pf::regQueryValue(key, "raw", &type, data, &size), pf::kMoreData);
    EXPECT_EQ(std::string(data, 1) + std::to_string(size), "z3");
    size = sizeof data;
    EXPECT_EQ(pf::regQueryValue(key, "RAW", &type, data, &size), pf::kSuccess);
    EXPECT_EQ(std::string(data, size), "abc");
    EXPECT_EQ(pf::regQueryValue(key, "nothing", &type, data, &size), pf::kFileNotFound);
    EXPECT_EQ(pf::regSetValue(key, "v", pf::kRegSz, "x", 2), pf::kAccessDenied);  // the handle's rights count
    ASSERT_EQ(pf::regOpenKey(&key, "cc", 0x2, writer), pf::kSuccess);
    EXPECT_EQ(machine().openHandlesByKind()["registry"], 2);
    EXPECT_EQ(pf::regSetValue(writer, "V", pf::kRegDword, "\x01\0\0\0", 4), pf::kSuccess);
    EXPECT_EQ(reg.value("SOFTWARE\\PTC\\CC", "v"), raw(pf::kRegDword, std::string("\x01\0\0\0", 4)));
    EXPECT_EQ(pf::regDeleteValue(writer, "v"), pf::kSuccess);
    EXPECT_EQ(pf::regDeleteValue(writer, "v"), pf::kFileNotFound);
    key.reset();
    writer.reset();

    // A standard user may read HKLM but open or create nothing there with a write right.
    machine().standardUser = true;
    EXPECT_EQ(pf::regOpenKey(nullptr, "SOFTWARE\\PTC", pf::kKeyRead, key), pf::kSuccess);
    key.reset();
    for (std::uint32_t access : {pf::kKeyWrite, pf::kKeyAllAccess, 0x2u, 0x4u, pf::kKeyRead | 0x2u}) {
        EXPECT_EQ(pf::regOpenKey(nullptr, "SOFTWARE\\PTC", access, key), pf::kAccessDenied) << access;
        EXPECT_EQ(pf::regCreateKey("SOFTWARE\\Other", access, key), pf::kAccessDenied) << access;
    }
    EXPECT_FALSE(reg.hasKey("SOFTWARE\\Other"));
}

TEST_F(SimRegistry, ImportsEachFormatAndExportsBackToTheSameTree)
{
    auto& reg = machine().registry();
    reg.setString("SOFTWARE\\Gone", "x", "1");
    reg.setString("SOFTWARE\\Keep", "Drop", "1");
    reg.importText("\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n; a comment\r\n"
                   "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Gone]\r\n[HKLM\\SOFTWARE\\Keep]\r\n\"Drop\"=-\r\n"
                   "[HKEY_LOCAL_MACHINE\\SOFTWARE\\PTC\\Creo]\r\n@=\"default\"\r\n\"Path\"=\"C:\\\\P\\\\\\\"q\\\"\"\r\n"
                   "\"Count\"=dword:0000001f\r\n\"Bin\"=hex:01,02,\\\r\n  ff\r\n"
                   "\"Exp\"=hex(2):25,00,41,00,e9,00,00,00\r\n",
                   "v5.reg");
    // UTF-16LE with a BOM, as regedit writes it, from a file; REGEDIT4 strings are already narrow.
    std::string utf16 = "\xFF\xFE";
    for (char c :
         std::string("Windows Registry Editor Version 5.00\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\W]\r\n\"N\"=\"\xE9\"\r\n"))
        utf16 += std::string{c, '\0'};
    writeFile("w.reg", utf16);
    reg.importFile(onC("w.reg"));
    reg.importText("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Four]\n\"E\"=hex(2):25,41,25,00\n", "v4.reg");
    EXPECT_EQ(reg.flatten(), (sim::Registry::Flat{
                                 {"", {}}, {"SOFTWARE", {}}, {"SOFTWARE\\PTC", {}},
                                 {"SOFTWARE\\Four", {{"E", raw(2, std::string("%A%\0", 4))}}},
                                 {"SOFTWARE\\Keep", {}},
                                 {"SOFTWARE\\PTC\\Creo", {{"", raw(1, std::string("default\0", 8))},
                                                          {"Path", raw(1, std::string("C:\\P\\\"q\"\0", 9))},
                                                          {"Count", raw(4, std::string("\x1f\0\0\0", 4))},
                                                          {"Bin", raw(3, "\x01\x02\xff")},
                                                          {"Exp", raw(2, std::string("%A\xC3\xA9\0", 5))}}},
                                 {"SOFTWARE\\W", {{"N", raw(1, std::string("\xC3\xA9\0", 3))}}}}));

    // Every shape of value survives export and import byte for byte.
    for (const auto& [name, value] :
         {std::pair{"Quote\"And\\Slash", raw(1, std::string("C:\\x \"y\"\0", 9))}, {"NoZero", raw(1, "abc")},
          {"TwoZeros", raw(1, std::string("a\0\0", 3))}, {"Lines", raw(1, std::string("a\r\nb\0", 5))},
          {"Exp", raw(2, std::string("%P%\xC3\xA9\xFF\0", 7))}, {"Multi", raw(7, std::string("a\0b\0\0", 5))},
          {"ShortD", raw(4, "\x01\x02")}, {"Empty", raw(3, "")}, {"None", raw(0, "x")}})
        reg.setValue("SOFTWARE\\PTC\\Creo 1", name, value);
    reg.createKey("SOFTWARE\\Empty\\Leaf");
    reg.setString("", "AtRoot", "r");
    const std::string text = reg.exportText();
    EXPECT_NE(text.find("\"Count\"=dword:0000001f\r\n"), std::string::npos);
    sim::Registry back;
    back.importText(text, "export.reg");
    EXPECT_EQ(back.flatten(), reg.flatten());
    EXPECT_EQ(back.exportText(), text);
}

TEST_F(SimRegistry, RefusesMalformedFilesWithTheLineAndLoadsNothing)
{
    auto& reg = machine().registry();
    reg.setString("SOFTWARE\\Before", "v", "1");
    const auto before = reg.flatten();
    const std::string h = "Windows Registry Editor Version 5.00\n";
    const std::string s = h + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\New]\n\"ok\"=\"1\"\n";  // valid start: lines 1-3
    const std::tuple<std::string, int, std::string> cases[] = {
        {"", 1, "missing header"}, {"Windows Registry Editor Version 4.00\n", 1, "unknown header"},
        {h + "\"v\"=\"1\"\n", 2, "value outside a key section"}, {s + "\"v\"=\"abc\n", 4, "unterminated quote"},
        {s + "\"v\"=\"a\\tb\"\n", 4, "bad escape \\t"}, {s + "\"v\"=hex:01,\\\n  02,,03\n", 5, "bad hex byte ''"},
        {s + "\"v\"=hex:01,zz\n", 4, "bad hex byte 'zz'"},
        {s + "\"v\"=hex(2):41,00,42\n", 4, "odd UTF-16 length"}, {s + "\"v\"=qword:1\n", 4, "unknown value type"},
        {s + "\"v\"=dword:0000001g\n", 4, "dword needs 8 hex digits"}, {s + "garbage\n", 4, "unrecognised line"},
        {s + "[HKEY_CURRENT_USER\\Software]\n", 4, "only HKEY_LOCAL_MACHINE is simulated"},
        {s + "[HKEY_LOCAL_MACHINE\\SOFTWARE\n", 4, "unterminated section bracket"},
        {std::string("\xFF\xFEW\0\n\0x", 7), 2, "odd UTF-16 length"},
    };
    for (const auto& [text, line, reason] : cases) {
        try {
            reg.importText(text, "bad.reg");
            ADD_FAILURE() << "accepted: " << text;
        } catch (const sim::RegParseError& e) {
            EXPECT_EQ(std::string(e.what()), "bad.reg:" + std::to_string(line) + ": " + reason);
        }
        EXPECT_EQ(reg.flatten(), before) << text;
    }
    EXPECT_THROW(reg.importFile(onC("none.reg")), sim::RegParseError);
}

TEST_F(SimInstaller, PropertiesHonourTheOfferedSize)
{
    setProperty("NAME", "abcdef");
    char buf[16] = "untouched";
    // name, size offered -> status, size returned, value ("name": names keep their case)
    const std::tuple<const char*, std::uint32_t, pf::Status, std::uint32_t, const char*> cases[] = {
        {"MISSING", 16, pf::kSuccess, 0, ""}, {"NAME", 6, pf::kMoreData, 6, "abcde"},
        {"NAME", 7, pf::kSuccess, 6, "abcdef"}, {"name", 16, pf::kSuccess, 0, ""}};
    for (const auto& [name, offered, status, size, value] : cases) {
        std::uint32_t n = offered;
        EXPECT_EQ(pf::msiGetProperty(session(), name, buf, &n), status) << name << " " << offered;
        EXPECT_EQ(n, size) << name << " " << offered;
        EXPECT_STREQ(buf, value) << name << " " << offered;
    }
    std::uint32_t n = 0;
    EXPECT_EQ(pf::msiGetProperty(session(), "NAME", nullptr, &n), pf::kMoreData);
    EXPECT_EQ(n, 6u);
    EXPECT_EQ(pf::msiSetProperty(session(), "NAME", ""), pf::kSuccess);
    EXPECT_FALSE(hasProperty("NAME"));
}

TEST_F(SimInstaller, ControlRowsDeleteInsertTemporaryAndRefresh)
{
    auto row = [](std::string dialog, std::string control, std::string type) {
        return sim::ControlRow{{dialog, control, type, "0", "0", "10", "10", "3", "P", "", "", ""}};
    };
    auto& rows = machine().controlRows();
    rows = {row("D", "c1", "CheckBox"), row("D", "t", "Text"), row("E", "c1", "CheckBox"), row("D", "c2", "CheckBox")};
    pf::UniqueMsiHandle db(pf::msiGetActiveDatabase(session()));
    pf::UniqueMsiHandle view, first, second, none;
    EXPECT_EQ(pf::msiDatabaseOpenView(db.get(), "SELECT * FROM `Control`", view.put()), pf::kBadQuerySyntax);
    ASSERT_EQ(pf::msiDatabaseOpenView(db.get(),
                                      "SELECT * FROM `Control` WHERE `Control`.`Dialog_`='D' AND "
                                      "`Control`.`Type`='CheckBox' AND `Control`.`Property`='P'",
                                      view.put()),
              pf::kSuccess);
    ASSERT_EQ(pf::msiViewExecute(view.get(), 0), pf::kSuccess);
    for (const auto& [record, status] :
         {std::pair{&first, pf::kSuccess}, {&second, pf::kSuccess}, {&none, pf::kNoMoreItems}})
        ASSERT_EQ(pf::msiViewFetch(view.get(), record->put()), status);
    EXPECT_EQ(machine().openHandlesByKind()["msi"], 4);

    EXPECT_EQ(pf::msiViewModify(view.get(), pf::kModifyDelete, first.get()), pf::kSuccess);
    EXPECT_EQ(rows[0].fields[1] + std::to_string(rows.size()), "t3");
    // A new row only under a new name, kept for this session only.
    EXPECT_EQ(pf::msiRecordSetString(second.get(), 13, "x"), pf::kInvalidParameter);
    EXPECT_EQ(pf::msiViewModify(view.get(), pf::kModifyInsertTemporary, second.get()), pf::kFunctionFailed);
    ASSERT_EQ(pf::msiRecordSetString(second.get(), 2, "c9") + pf::msiRecordSetString(second.get(), 10, "Label"), 0u);
    ASSERT_EQ(pf::msiViewModify(view.get(), pf::kModifyInsertTemporary, second.get()), pf::kSuccess);
    EXPECT_TRUE(rows.size() == 4 && rows.back().temporary);

    // Refresh reads the inserted row back, not what the record was changed to since.
    auto fields = [&](const pf::UniqueMsiHandle& r) {
        return std::get<sim::Machine::Internal::Record>(machine().internal().msi.at(r.get())).fields;
    };
    ASSERT_EQ(pf::msiRecordSetString(second.get(), 10, "changed"), pf::kSuccess);
    rows.back().fields[10] = "from table";
    ASSERT_EQ(pf::msiViewModify(view.get(), pf::kModifyRefresh, second.get()), pf::kSuccess);
    EXPECT_EQ(fields(second)[9] + "|" + fields(second)[10], "Label|from table");
    EXPECT_EQ(pf::msiViewModify(view.get(), pf::kModifyDelete, first.get()), pf::kFunctionFailed);  // gone

    ASSERT_EQ(pf::msiViewExecute(view.get(), 0), pf::kSuccess);
    Lines seen;
    for (pf::UniqueMsiHandle r; pf::msiViewFetch(view.get(), r.put()) == pf::kSuccess;) seen.push_back(fields(r)[1]);
    EXPECT_EQ(seen, (Lines{"c2", "c9"}));
    machine().setDatabaseAvailable(false);
    EXPECT_EQ(pf::msiGetActiveDatabase(session()), 0u);
}

TEST_F(SimInstaller, FailsOnlyTheKthCallOfItsKind)
{
    machine().registry().setString("SOFTWARE\\K", "v", "x");
    pf::RegKey key;
    ASSERT_EQ(pf::regOpenKey(nullptr, "SOFTWARE\\K", pf::kKeyRead, key), pf::kSuccess);
    auto& faults = machine().faults();
    faults.resetCounts();
    faults.failAt(sim::Op::regQuery, 2);
    std::uint32_t size = 0;
    for (const bool ok : {true, false, true})
        EXPECT_EQ(pf::regQueryValue(key, "v", nullptr, nullptr, &size) == pf::kSuccess, ok);
    EXPECT_EQ(faults.calls(sim::Op::regQuery), 3);
    EXPECT_EQ(faults.calls(sim::Op::regOpen), 0);
    key.reset();

    auto failNext = [&faults](sim::Op op) { faults.failAt(op, faults.calls(op) + 1); };
    writeFile("f.txt", "line\r\n");
    failNext(sim::Op::fileOpen);
    EXPECT_FALSE(pf::TextStream::open("C:\\f.txt", "r"));
    auto s = pf::TextStream::open("C:\\f.txt", "a+");
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
    EXPECT_EQ(pf::msiGetProperty(session(), "P", buf, &n), pf::kFunctionFailed);
    EXPECT_STREQ(buf, "keep");
    failNext(sim::Op::makeDirectory);
    EXPECT_NE(pf::makeDirectory("C:\\new"), 0);
    EXPECT_FALSE(exists("new"));
}
