// The simulated Windows machine behind the Linux build of the platform layer.
// A test or ca-sim builds one Machine; while it lives, every platform:: call of the
// library goes to it. It records what a test needs to observe: open handles,
// message boxes, opened addresses, log messages and temporary Control rows.
#pragma once

#include "platform/sim/code_page.h"
#include "platform/types.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

// Case-insensitive ordering of names in the machine's code page, as the registry and NTFS compare them.
struct NoCaseLess {
    bool operator()(const std::string& a, const std::string& b) const;
};

struct RegValue {
    std::uint32_t type = 1;  // REG_SZ
    std::vector<std::uint8_t> data;
    bool operator==(const RegValue&) const = default;
};

// A refused .reg file: nothing of it was loaded.
struct RegParseError : std::runtime_error {
    RegParseError(std::string file, int line, std::string reason);
    std::string file;
    int line;
    std::string reason;
};

// HKEY_LOCAL_MACHINE. Key paths are relative to it ("SOFTWARE\\PTC\\..."),
// names compare without case, subkeys enumerate in case-insensitive order.
class Registry {
public:
    struct Key {
        std::string name;  // as created
        std::map<std::string, Key, NoCaseLess> subkeys;
        // name -> (the name as first written, the value)
        std::map<std::string, std::pair<std::string, RegValue>, NoCaseLess> values;
    };

    void createKey(const std::string& path);
    bool hasKey(const std::string& path) const;
    bool deleteKey(const std::string& path);  // with everything below it
    void setValue(const std::string& path, const std::string& name, RegValue value);  // creates the key
    void setString(const std::string& path, const std::string& name, const std::string& text);  // REG_SZ + NUL
    std::optional<RegValue> value(const std::string& path, const std::string& name) const;
    bool deleteValue(const std::string& path, const std::string& name);
    const Key* findKey(const std::string& path) const;
    Key* findKey(const std::string& path);
    const Key& root() const { return root_; }

    // regedit text: "Windows Registry Editor Version 5.00" (UTF-16LE with BOM, or UTF-8)
    // or "REGEDIT4" (the code page). Only HKEY_LOCAL_MACHINE is accepted. All or nothing.
    // Names and strings are kept in the running machine's code page.
    void importText(std::string_view bytes, const std::string& fileName);
    void importFile(const std::filesystem::path& file);
    // "Windows Registry Editor Version 5.00" text (UTF-8, CR LF) of every key below HKLM.
    std::string exportText() const;

    // Every value, flattened: "KEY\\PATH" -> value name -> value (names as created).
    using Flat = std::map<std::string, std::map<std::string, RegValue>>;
    Flat flatten() const;

private:
    Key root_;
};

// One row of the Control table (12 columns, field 1 is Dialog_, field 12 is Help).
struct ControlRow {
    std::array<std::string, 12> fields;
    bool temporary = false;
    bool operator==(const ControlRow&) const = default;
};

struct MessageBoxCall {
    std::string text;
    std::string caption;
    unsigned style = 0;
};

// Kinds of system call that a test can make fail.
enum class Op {
    fileOpen, fileRead, fileWrite, fileClose, copyFile, deleteFile, removeDirectory, makeDirectory, replaceFile,
    listing, changeDirectory, currentDirectory, getEnvironment,
    regOpen, regCreate, regEnum, regQuery, regSet, regDelete,
    propertyGet, propertySet, database, xmlCreate, xmlLoad, moveAtRestart, requestRestart, count_
};
const char* opName(Op op);

// Fails the k-th call (1-based) of one kind; counts every call of every kind.
class Faults {
public:
    void failAt(Op op, int k) { target_ = op; k_ = k; }
    void clear() { k_ = 0; }
    int calls(Op op) const { return calls_[static_cast<int>(op)]; }
    void resetCounts() { calls_.fill(0); }
    bool injected() const { return injected_; }
    // Called by the simulated platform at the start of each call: true means fail it.
    bool shouldFail(Op op);
    // What the injected failure was: the call's subject (a path, a registry
    // key, a property or variable name; "" for calls without one) and the
    // Win32 code (or HRESULT) it failed with.
    void noteInjected(std::string_view subject, platform::Status code)
    {
        injectedSubject_ = subject;
        injectedCode_ = code;
    }
    const std::string& injectedSubject() const { return injectedSubject_; }
    platform::Status injectedCode() const { return injectedCode_; }

private:
    std::array<int, static_cast<int>(Op::count_)> calls_{};
    Op target_ = Op::fileOpen;
    int k_ = 0;
    bool injected_ = false;
    std::string injectedSubject_;
    platform::Status injectedCode_ = 0;
};

// A change that a call of the library made to the machine, noted when the
// call succeeded, in the order made. Tests hold the log against them.
struct Effect {
    enum class Kind {
        fileCreated, fileWritten, fileCopied, fileMoved, fileDeleted, folderCreated, folderRemoved,
        keyCreated, valueSet, valueDeleted,
        // Left for the next restart (MoveFileEx's delayed moves): a file
        // replaced by another, a file deleted, a folder removed.
        replacedAtRestart, deletedAtRestart, removedAtRestart
    };
    Kind kind;
    std::string path;      // a file's Windows path as the library named it (made absolute), or "HKLM\\KEY"
    std::string detail;    // what a copy, move or replacement came from; a registry value's name
    std::size_t logLines;  // lines in the log when it was made
};
const char* effectName(Effect::Kind kind);

class Machine {
public:
    // C: is `driveC` on the host, Z: is "/". The current directory starts at "C:\".
    explicit Machine(std::filesystem::path driveC);
    ~Machine();
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    // The machine that platform:: calls reach; throws std::logic_error when there is none.
    static Machine& current();

    Registry& registry() { return registry_; }
    Faults& faults() { return faults_; }

    // The ANSI code page, in which every narrow string of the machine is
    // written: set it before anything is put on the machine.
    const CodePage& codePage() const { return codePage_; }
    void setCodePage(CodePage codePage) { codePage_ = codePage; }

    // Drives and paths.
    void mapDrive(char letter, std::filesystem::path hostFolder);
    // The host path for a Windows path (drive, separators, current directory,
    // case-insensitive lookup of existing components); nullopt when the drive
    // is not mapped. A component that does not exist keeps the case given.
    std::optional<std::filesystem::path> hostPath(std::string_view windowsPath) const;
    // The Windows path of a host path on a mapped drive (the drive whose
    // folder holds it most closely), as GetFinalPathNameByHandleA names it: in
    // the code page.
    std::optional<std::string> windowsPath(const std::filesystem::path& hostPath) const;
    std::string currentDirectory() const { return cwd_; }  // "C:\\..." form
    void setCurrentDirectory(std::string windowsPath) { cwd_ = std::move(windowsPath); }

    // Environment of the installer process.
    void setEnv(const std::string& name, const std::string& value);
    void unsetEnv(const std::string& name);
    std::optional<std::string> env(const std::string& name) const;

    // The installer session.
    platform::MsiHandle session() const { return sessionHandle_; }
    std::map<std::string, std::string>& properties() { return properties_; }
    std::vector<ControlRow>& controlRows() { return controlRows_; }
    // A session without an active database (as in a deferred action).
    void setDatabaseAvailable(bool available) { databaseAvailable_ = available; }
    std::vector<std::string>& logMessages() { return log_; }
    // Called with each line as the library logs it (after it is stored).
    std::function<void(const std::string& line)> logObserver;
    // What the library changed on the machine; see Effect.
    std::vector<Effect>& effects() { return effects_; }
    void noteEffect(Effect::Kind kind, std::string_view path, std::string_view detail = {});

    // Standard user: opening or creating an HKLM key with any write right fails with access denied.
    bool standardUser = false;
    // A property too long for its buffer: Windows gives its length, Wine twice
    // that (the room it could take in a double-byte code page).
    bool propertyLengthAsWindows = false;

    std::vector<MessageBoxCall>& messageBoxes() { return messageBoxes_; }
    int messageBoxAnswer = 1;  // IDOK
    std::vector<std::string>& openedTargets() { return opened_; }

    // Files in use, as a running host holds its modules: the file at
    // `windowsPath` is open elsewhere with share mode 0 until releaseFiles(),
    // so that every open, copy from or onto, delete, rename or replace of it
    // fails with ERROR_SHARING_VIOLATION, and renaming a folder that holds
    // it is denied. Its attributes and its folder's listing still read.
    void holdFile(std::string_view windowsPath);
    void releaseFiles();
    bool isHeld(std::string_view windowsPath) const;

    // The replacements and deletions waiting for the next restart, as the
    // system keeps them: REG_MULTI_SZ PendingFileRenameOperations under this key.
    static constexpr const char* kSessionManagerKey = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
    static constexpr const char* kPendingRenames = "PendingFileRenameOperations";
    // An action asked the installer for a restart at the end (MsiSetMode).
    bool restartRequested() const { return restartRequested_; }
    void setRestartRequested(bool requested) { restartRequested_ = requested; }
    // The machine restarts: every held file is released, then the pending
    // operations run in order, as the session manager runs them at boot
    // (one that fails is passed over), and the list is cleared. The
    // installer's restart request is answered.
    void restart();

    // Handles the library holds: registry keys, streams, listings, installer handles, COM.
    int openHandles() const;
    std::map<std::string, int> openHandlesByKind() const;

    // --- used by the simulated platform layer only ---
    struct Internal;
    Internal& internal() { return *internal_; }

private:
    CodePage codePage_;
    Registry registry_;
    Faults faults_;
    std::map<char, std::filesystem::path> drives_;
    std::string cwd_ = "C:\\";
    std::map<std::string, std::string> env_;
    platform::MsiHandle sessionHandle_ = 0;
    std::map<std::string, std::string> properties_;
    std::vector<ControlRow> controlRows_;
    bool databaseAvailable_ = true;
    std::vector<std::string> log_;
    std::vector<Effect> effects_;
    std::vector<MessageBoxCall> messageBoxes_;
    std::vector<std::string> opened_;
    std::vector<std::string> held_;
    bool restartRequested_ = false;
    Internal* internal_ = nullptr;
};

}  // namespace sim
