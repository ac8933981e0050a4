// A fresh simulated machine per test, over its own temporary C: drive, and the
// small helpers that the feature tests share.
#pragma once

#include "actions/exports.h"
#include "core/session.h"
#include "deployment/deploy.h"
#include "registration/registration_file.h"
#include "records/product_records.h"
#include "removal/host_removal.h"
#include "model/footprint_store.h"
#include "platform/files.h"
#include "platform/sim/machine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

// The add-in's registration entry as the relative variant writes it, separator line first.
inline const std::string kRelativeEntry =
    "\r\nname Orvella\r\nstartup DLL\r\ndelay_start FALSE\r\nallow_stop  TRUE\r\n"
    "exec_file $PRO_DIRECTORY\\$PRO_MACHINE_TYPE\\obj\\orvbridge.dll\r\ntext_dir $PRO_DIRECTORY\r\nend\r\n";

// The add-in's files as the installer stages them below ALLUSERSPROFILE: those that go into a host's obj
// folder under the same name, its language files, its text files, and the runtime the staging cleanup keeps.
inline const std::string kObj = "x86e_win64\\obj\\";
inline const std::string kVc = "proeWF5\\Microsoft.VC";
// The runtime files a host may ship itself: after an earlier version, whose
// they are cannot be told, and they stay.
inline const std::vector<std::string> kSharedRuntimeFiles = {
    "msvcr90.dll", "msvcp90.dll", "mfc90.dll", "Microsoft.VC90.CRT.manifest", "Microsoft.VC90.MFC.manifest",
    "libpng13.dll", "mfc100.dll", "msvcp100.dll", "msvcr100.dll"};
inline const std::vector<std::string> kObjFiles = {
    "OvConnector.dll", "optdialog.dll", "sheetbridge2.dll", "ovbatch.dll", "siteext.dll", "libpng13.dll", "OvToExe.exe",
    "mfc90.dll", "Microsoft.VC90.MFC.manifest", "Microsoft.VC90.CRT.manifest", "msvcp90.dll", "msvcr90.dll"};
inline const std::vector<std::string> kLangFiles = {
    "orvbridgeResEng.dll", "orvbridgeResGer.dll", "orvbridgeResFre.dll", "orvbridgeResJap.dll", "ovbatchresEng.dll",
    "ovbatchresGer.dll", "ovbatchresFre.dll", "ovbatchresJap.dll", "OrvellaHelp.chm"};
inline const std::vector<std::string> kTextFiles = {
    "text\\usascii\\ov_messages.txt", "text\\japanese\\resource\\ja.png", "text\\japanese\\ov_messages.txt",
    "text\\french\\resource\\fr.png", "text\\french\\ov_messages.txt", "text\\german\\resource\\de.png",
    "text\\german\\ov_messages.txt"};
inline const std::set<std::string> kKeptRuntime = {
    kVc + "100\\mfc100.dll", kVc + "100\\msvcp100.dll", kVc + "100\\msvcr100.dll", kVc + "90.CRT\\msvcr90.dll",
    kVc + "90.CRT\\msvcp90.dll", kVc + "90.CRT\\Microsoft.VC90.CRT.manifest", kVc + "90.MFC\\mfc90.dll",
    kVc + "90.MFC\\Microsoft.VC90.MFC.manifest"};
inline // A folder on C: of exactly `length` characters, "C:\" included, in parts
// short enough for the host's file system.
std::string folderOfLength(std::size_t length)
{
    std::string folder = "C:\\long";
    while (folder.size() < length) {
        folder += '\\';
        folder += std::string(std::min<std::size_t>(100, length - folder.size()), 'd');
        if (folder.back() == '\\') folder.back() = 'd';
    }
    return folder;
}

// A folder listing as FindFirstFile gives it, folders marked with "/".
inline std::vector<std::string> listing(const std::string& pattern)
{
    std::vector<std::string> out;
    platform::DirEntry e;
    auto l = platform::Listing::first(pattern.c_str(), e);
    if (!l) return {"<invalid>"};
    do out.push_back(e.name + (e.isDirectory ? "/" : ""));
    while (l.next(e) == platform::kSuccess);
    return out;
}

inline std::vector<std::string> stagedFiles()
{
    std::vector<std::string> files{"orvbridge.dll", "OrvellaHelp.chm", "msvcr80.dll", "proeWF3\\orvbridge.dll",
                                   "proeWF4\\orvbridge.dll", "proeWF5\\orvbridge.dll", "proeWF5\\optdialog.dll",
                                   "proeWF5\\ovbatch.dll", "creo1\\orvbridge.dll", "creo1\\OrvellaMenu.rbn",
                                   "creo2\\orvbridge.dll", "creo2\\OrvellaMenu.rbn", "text\\resource\\open.png",
                                   "text\\resource\\save.png"};
    files.insert(files.end(), kObjFiles.begin(), kObjFiles.end());
    for (const auto& f : kLangFiles) files.push_back(kObj + "Lang\\" + f);
    files.insert(files.end(), kTextFiles.begin(), kTextFiles.end());
    files.insert(files.end(), kKeptRuntime.begin(), kKeptRuntime.end());
    return files;
}

class SimTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::random_device rd;
        root_ = std::filesystem::temp_directory_path() / ("ca-test-" + std::to_string(rd()) + std::to_string(rd()));
        std::filesystem::create_directories(root_ / "c");
        machine_ = std::make_unique<sim::Machine>(root_ / "c");
    }
    void TearDown() override
    {
        if (machine_) EXPECT_EQ(machine_->openHandles(), 0) << "a handle was left open";
        machine_.reset();
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }

    sim::Machine& machine() { return *machine_; }
    platform::MsiHandle session() { return machine_->session(); }
    // The session as an action below the boundary sees it.
    ca::Session caSession() { return ca::Session(machine_->session(), "test"); }

    // Host path of a path on C:, given in Windows form without the drive ("PTC\\wf4\\x").
    std::filesystem::path onC(const std::string& windowsPath) const
    {
        std::string p = windowsPath;
        std::replace(p.begin(), p.end(), '\\', '/');
        return root_ / "c" / p;
    }
    void writeFile(const std::string& windowsPath, const std::string& bytes = "")
    {
        const auto p = onC(windowsPath);
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << bytes;
    }
    std::optional<std::string> readFile(const std::string& windowsPath) const
    {
        std::ifstream in(onC(windowsPath), std::ios::binary);
        if (!in) return std::nullopt;
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    bool exists(const std::string& windowsPath) const { return std::filesystem::exists(onC(windowsPath)); }
    void makeFolder(const std::string& windowsPath) { std::filesystem::create_directories(onC(windowsPath)); }
    // A usable host installation: C:\<folder> with x86e_win64\obj\xtop.exe, and text\ when asked.
    void makeHost(const std::string& folder, bool textFolder = false)
    {
        writeFile((folder.empty() ? "" : folder + "\\") + "x86e_win64\\obj\\xtop.exe", "MZ");
        if (textFolder) makeFolder(folder + "\\text");
    }
    void writeLog(const std::string& folder, const std::string& text)
    {
        writeFile(folder + "\\uninstall\\instlog.txt", text);
    }
    // Wildfire 4.0 at C:\PTC\wf4, told by its installation log, with text\usascii.
    void makeWildfire4()
    {
        makeHost("PTC\\wf4", true);
        makeFolder("PTC\\wf4\\text\\usascii");
        writeLog("PTC\\wf4", "RELEASE=\"Wildfire 4.0\"\r\n");
    }
    void writeDescriptor(const std::string& folder,
                         const std::string& xml = "<release shipcode=\"M030\" datecode=\"2012100\"/>")
    {
        writeFile(folder + "\\bin\\pim\\xml\\creobase.p.xml", xml);
    }
    // Every file below a folder on C: (path below it -> content); with folders, they map to "\\".
    std::map<std::string, std::string> filesBelow(const std::string& folder, bool withFolders = false)
    {
        std::map<std::string, std::string> files;
        const auto base = onC(folder);
        if (!std::filesystem::exists(base)) return files;
        for (const auto& item : std::filesystem::recursive_directory_iterator(base)) {
            std::string relative = std::filesystem::relative(item.path(), base).generic_string();
            std::replace(relative.begin(), relative.end(), '/', '\\');
            if (!item.is_directory())
                files[relative] = *readFile(folder + "\\" + relative);
            else if (withFolders)
                files[relative + "\\"] = "\\";
        }
        return files;
    }

    // Every staged file in C:\ProgramData, holding its own staging path so that a copy shows where it came from.
    void stageAddIn()
    {
        for (const std::string& file : stagedFiles()) writeFile("ProgramData\\" + file, file);
        machine().setEnv("ALLUSERSPROFILE", "C:\\ProgramData");
    }

    // The eight check boxes of the destination dialog, and one look-alike on
    // another dialog that must never change.
    void seedCheckBoxes()
    {
        for (int n = 1; n <= 8; ++n) {
            const std::string digit = std::to_string(n);
            machine().controlRows().push_back(sim::ControlRow{
                {"RunTimeDestinationFolder", "Box" + digit, "CheckBox", "20", std::to_string(20 * n), "300", "17", "3",
                 "PROE_VER_" + digit, "[WFCUSTOM_" + digit + "]", "Box" + std::to_string(n + 1), ""}});
        }
        machine().controlRows().push_back(
            sim::ControlRow{{"OtherDialog", "Box1", "CheckBox", "0", "0", "1", "1", "3", "PROE_VER_1", "", "", ""}});
    }

    // What clearTempCommon does for one chosen listed installation: the
    // deployment, then the registration, each recorded in the host's
    // footprint first; and what removal does for every footprint.
    void deployAndRegister(const std::string& folder, ca::ReleaseCode code)
    {
        const ca::Session s = caSession();
        ca::SourceDigests digests;
        if (ca::deployToInstallation(s, ca::HostFolder::given(folder), code, ca::addInManifest(), digests) &&
            ca::recordEntryAhead(s, folder))
            ca::addAuxAppEntry(s, folder);
    }
    ca::RemovalOutcome removeDeployments()
    {
        const ca::Session s = caSession();
        return ca::removeFromFootprints(s, {ca::Domain::deployment, ca::Domain::registration},
                                        [&s](const ca::Footprint& f) {
                                            return ca::removeAuxAppEntry(s, f.host(),
                                                                         f.has(ca::Mark::registration)
                                                                             ? ca::FileOwner::addIn
                                                                             : ca::FileOwner::host);
                                        });
    }
    // What an earlier version leaves: the same files, but no footprint and no backup.
    void forgetFootprints()
    {
        auto& registry = machine().registry();
        if (auto* key = registry.findKey("Software\\Kestrane\\Orvella")) {
            std::vector<std::string> names;
            for (const auto& [lower, value] : key->values)
                if (value.first.rfind("Footprint", 0) == 0) names.push_back(value.first);
            for (const auto& name : names) registry.deleteValue("Software\\Kestrane\\Orvella", name);
        }
        std::filesystem::remove_all(onC("ProgramData\\Kestrane"));
    }
    // What an earlier version left: its files and records, no footprint.
    void installEarlierVersion(const std::string& folder, const char* record, ca::ReleaseCode code = ca::kCreo2)
    {
        deployAndRegister("C:\\" + folder, code);
        forgetFootprints();
        machine().registry().setString(ca::kProductKey, record, "C:\\" + folder);
    }
    // The product key's values: name -> data as text (up to its first zero).
    std::map<std::string, std::string> productValues()
    {
        std::map<std::string, std::string> values;
        if (const auto* key = machine().registry().findKey("Software\\Kestrane\\Orvella"))
            for (const auto& [lower, value] : key->values)
                values[value.first] = std::string(value.second.data.begin(), value.second.data.end());
        return values;
    }

    // An exported action by name; it must leave no handle open.
    unsigned run(const std::string& action)
    {
        for (const auto& entry : ca::kExportedActions)
            if (action == entry.name) {
                const unsigned result = entry.entry(session());
                EXPECT_EQ(machine().openHandles(), 0) << action;
                return result;
            }
        ADD_FAILURE() << "no action " << action;
        return 0;
    }

    // A registry value's data as text; "<none>" when there is no such value.
    std::string registryText(const std::string& key, const std::string& name)
    {
        const auto value = machine_->registry().value(key, name);
        return value ? std::string(value->data.begin(), value->data.end()) : "<none>";
    }
    // The log lines that hold `part`.
    std::vector<std::string> logLines(const std::string& part)
    {
        std::vector<std::string> lines;
        for (const std::string& line : machine_->logMessages())
            if (line.find(part) != std::string::npos) lines.push_back(line);
        return lines;
    }

    // "" removes the property, as the installer does.
    void setProperty(const std::string& name, const std::string& value)
    {
        if (value.empty())
            machine_->properties().erase(name);
        else
            machine_->properties()[name] = value;
    }
    void setProperties(const std::vector<std::pair<std::string, std::string>>& values)
    {
        for (const auto& [name, value] : values) setProperty(name, value);
    }
    // "" when the property is not set.
    std::string property(const std::string& name)
    {
        auto it = machine_->properties().find(name);
        return it == machine_->properties().end() ? std::string() : it->second;
    }
    bool hasProperty(const std::string& name) { return machine_->properties().count(name) != 0; }

    std::filesystem::path root_;
    std::unique_ptr<sim::Machine> machine_;
};
