// Every action against every kind of failing system call: on one rich machine,
// each call of each kind is made to fail in turn, and the action must still
// return its result, release every handle, keep each protk.dat whole (as it was
// or as a successful run leaves it) and change nothing a successful run leaves
// alone. CA_SWEEP_STRIDE=n tries every n-th call only (the sanitizer build uses it).
#include "demo.h"
#include "log_truth.h"
#include "machine_state.h"
#include "model/footprint_store.h"
#include "records/product_records.h"
#include "sim_fixture.h"

#include <cstdio>
#include <cstdlib>

namespace {
namespace fs = std::filesystem;
using Properties = std::map<std::string, std::string>;

struct Snapshot {
    std::map<std::string, std::optional<std::string>> files;  // folders hold nullopt
    std::map<std::string, sim::RegValue> registry;             // "KEY : value"
    std::vector<sim::ControlRow> controlRows;
    Properties properties;
    std::size_t openedTargets = 0;
};

// The files and registry values whose content differs between two snapshots.
std::set<std::string> changedNames(const Snapshot& a, const Snapshot& b)
{
    std::set<std::string> names;
    const auto collect = [&names](const std::string& name, const auto*, const auto*) { names.insert(name); };
    casim::diffMaps(a.files, b.files, collect);
    casim::diffMaps(a.registry, b.registry, collect);
    return names;
}

bool isRegistrationFile(std::string name)
{
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    return name.size() >= 9 && name.compare(name.size() - 9, 9, "protk.dat") == 0;
}

constexpr const char* kProductKey = "Software\\Kestrane\\Orvella";

bool isFootprintRecord(std::string name)
{
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    return name.rfind("software\\kestrane\\orvella : footprint", 0) == 0;
}

std::string property(const Snapshot& s, const std::string& name)
{
    const auto it = s.properties.find(name);
    return it == s.properties.end() ? std::string() : it->second;
}

// Properties as the package leaves them when the actions run; each case changes a few.
const Properties kBaseProperties = {
    {"UILevel", "5"}, {"ALLUSERSPROFILE", "C:\\ProgramData"}, {"BrowseToURL", "https://www.kestrane.example/orvella"},
    {"PROEMBROWSE", "C:\\PTC\\creo2\\"}, {"PROECANAME", "setPROEM1DIR"}, {"ISBROWSEPATHVALID", "1"},
    {"ISCMDINSTALL", "0"}, {"PROEM1", "1"}, {"PROEM1DIR", "C:\\PTC\\wf4-m070"}, {"PROEM1VER", "5"},
    {"PROEWF4", "1"}, {"PROEWF4DIR", "C:\\PTC\\wf4-m040"}, {"PROEWF5", "1"}, {"PROEWF5DIR", "C:\\PTC\\wf5"},
    {"CREO1", "1"}, {"CREO1DIR", "C:\\PTC\\creo1\\"}, {"CREO2", "1"}, {"CREO2DIR", "C:\\PTC\\creo2\\"},
    {"WFCUSTOM_DIR_ONE", "C:\\PTC\\wf5"}, {"PROE_VER_1", "1"}, {"WFCUSTOM_DIR_TWO", "C:\\PTC\\creo2"},
    {"PROE_VER_2", "1"}, {"WFCUSTOM_DIR_THREE", "C:\\PTC\\wf4-m040"}, {"PROE_VER_3", "0"},
    {"USASCIIM1", "C:\\ProgramData\\text\\"}, {"PROEWF3TEMP", "C:\\ProgramData\\proeWF3"},
    {"PROEWF4TEMP", "C:\\ProgramData\\proeWF4"}, {"PROEWF5TEMP", "C:\\ProgramData\\proeWF5"},
    {"CREO1TEMP", "C:\\ProgramData\\creo1"}, {"CREO2TEMP", "C:\\ProgramData\\creo2"},
};

struct Case {
    const char* action;
    const char* variant;
    Properties changes;
    bool earlier = false;  // on the machine as an earlier version left it
    std::vector<std::string> held = {};  // files a running host holds open
};

// What the earlier installation put into C:\PTC\wf4-m040: the module, and the
// add-in's copy of the runtime over the host's own (backed up).
const char* const kHeldModule = "C:\\PTC\\wf4-m040\\x86e_win64\\obj\\orvbridge.dll";
const char* const kHeldRuntime = "C:\\PTC\\wf4-m040\\x86e_win64\\obj\\msvcr90.dll";

const Case kCases[] = {
    {"BrowseToURL", "", {}}, {"isProEInstalled", "", {}},
    {"isProEInstalled", "command line", {{"ISCMDINSTALL", "1"}}}, {"fillInsatlledProeCB", "", {}},
    {"validateProEBrwPath", "descriptor", {}}, {"validateProEBrwPath", "log", {{"PROEMBROWSE", "C:\\PTC\\wf5"}}},
    {"setAdditionalProeOnCB", "", {{"PROEMBROWSE", "C:\\PTC\\wf4-m070"}}}, {"copyProeDllToMoreInstall", "", {}},
    {"copyProeDllToMoreInstall", "command line", {{"ISCMDINSTALL", "1"}}}, {"validateSelection", "", {}},
    {"checkProTKAccess", "", {{"PROEWF5DIR", "C:\\PTC\\wf5-new"}, {"PROEM1DIR", "C:\\PTC\\gone"}}},
    {"checkProEFolderAccessRights", "",
     {{"WFCUSTOM_DIR_ONE", "C:\\PTC\\wf5-new"}, {"WFCUSTOM_DIR_TWO", "C:\\PTC\\gone"}}},
    {"addProEAuxAppInFile", "", {}}, {"addCMDEntriesInProtFile", "", {}}, {"cleanupProEAuxAppInFile", "", {}},
    {"clearTempCommon", "", {}},
    {"clearTempCommon", "command line", {{"ISCMDINSTALL", "1"}, {"PROEWF5DIR", "C:\\PTC\\wf5-new"}}},
    {"copyCMDresourcetoUSASCII", "", {{"PROEM1", "0"}}}, {"cleanCmdResources", "", {}}, {"cleanupDependancies", "", {}},
    {"clearTempCommon", "earlier version", {}, true}, {"cleanupProEAuxAppInFile", "earlier version", {}, true},
    // Files in use: the replacement, the deletion and the restoring wait for the next restart.
    {"clearTempCommon", "files in use", {{"PROE_VER_3", "1"}}, false, {kHeldModule, kHeldRuntime}},
    {"cleanupProEAuxAppInFile", "files in use", {}, false, {kHeldModule, kHeldRuntime}},
};

class FaultSweep {
public:
    FaultSweep()
    {
        std::random_device rd;
        // Every run copies a whole drive: memory-backed storage when the machine has it.
        std::error_code ec;
        const fs::path base = fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
        root_ = base / ("ca-sweep-" + std::to_string(rd()) + std::to_string(rd()));
        casim::writeDemoScenario(root_ / "template");
        buildTemplate();
    }
    ~FaultSweep() { std::error_code ec; fs::remove_all(root_, ec); }

    struct Outcome {
        unsigned result = 0;
        bool threw = false;
        std::vector<std::string> log;
        bool injected = false;
        std::string subject;  // the failed call's path, key, property or variable
        platform::Status code = 0;
        std::map<std::string, int> handleKinds;
        std::array<int, static_cast<int>(sim::Op::count_)> calls{};
        Snapshot after;
        std::vector<std::string> untrue;  // what the log says that the machine did not see, or leaves out
        int claimLines = 0;               // log lines held against the machine
    };

    // The case's action on a fresh copy of the machine, with call k of `op` failing (k 0: none).
    Outcome run(const Case& c, sim::Op op, int k)
    {
        fs::remove_all(drive());
        fs::copy(root_ / "template" / "drive_c", drive(), fs::copy_options::recursive);
        Outcome out;
        sim::Machine m(drive());
        logtruth::Checker truth(m);
        m.registry() = c.earlier ? earlier_ : registry_;
        m.setEnv("ALLUSERSPROFILE", "C:\\ProgramData");
        m.properties() = kBaseProperties;
        for (const auto& [name, value] : c.changes) m.properties()[name] = value;
        m.controlRows() = controlRows();
        for (const std::string& file : c.held) m.holdFile(file);
        if (k > 0) m.faults().failAt(op, k);
        try {
            for (const auto& entry : ca::kExportedActions)
                if (std::string(c.action) == entry.name) out.result = entry.entry(m.session());
        } catch (...) {
            out.threw = true;
        }
        out.log = m.logMessages();
        out.untrue = truth.finish();
        out.claimLines = truth.claimLines();
        out.injected = m.faults().injected();
        out.subject = m.faults().injectedSubject();
        out.code = m.faults().injectedCode();
        m.faults().clear();
        out.handleKinds = m.openHandlesByKind();
        for (int i = 0; i < static_cast<int>(sim::Op::count_); ++i) out.calls[i] = m.faults().calls(sim::Op(i));
        out.after = snapshot(m);
        return out;
    }

    const Snapshot& before(const Case& c) const { return c.earlier ? beforeEarlier_ : before_; }
    // The files the hosts had before the add-in came: no run may delete one.
    const std::vector<std::string>& hostFiles() const { return hostFiles_; }

private:
    fs::path drive() const { return root_ / "run"; }

    static std::vector<sim::ControlRow> controlRows()
    {
        std::vector<sim::ControlRow> rows;
        for (int i = 1; i <= 8; ++i) {
            const std::string n = std::to_string(i);
            rows.push_back({{"RunTimeDestinationFolder", "CheckBox" + n, "CheckBox", "20", "40", "330", "17", "3",
                             "PROE_VER_" + n, "[WFCUSTOM]", "CheckBox" + std::to_string(i % 8 + 1), "|"}});
        }
        return rows;
    }

    Snapshot snapshot(sim::Machine& m) const
    {
        Snapshot s;
        for (const auto& item : fs::recursive_directory_iterator(drive())) {
            const std::string name = fs::relative(item.path(), drive()).generic_string();
            if (item.is_directory()) {
                s.files[name] = std::nullopt;
            } else {
                std::ifstream in(item.path(), std::ios::binary);
                s.files[name] = std::string(std::istreambuf_iterator<char>(in), {});
            }
        }
        for (const auto& [key, values] : m.registry().flatten())
            for (const auto& [name, value] : values) s.registry[key + " : " + name] = value;
        s.controlRows = m.controlRows();
        s.properties = m.properties();
        s.openedTargets = m.openedTargets().size();
        return s;
    }

    // The demo's five hosts and staging area, plus what an earlier installation
    // of this version left: two listed installations deployed and registered
    // with their footprints (one host file backed up), their records, the
    // release records, a release folder that received the resources, and a
    // Wildfire 5.0 folder without the host that received the runtime. A second registry has what an earlier version left instead:
    // the same records, no footprint.
    void buildTemplate()
    {
        const fs::path c = root_ / "template" / "drive_c";
        fs::create_directories(c / "PTC/wf5-runtime/x86e_win64/obj");
        // A host's own file of the add-in's name, which removal must give back.
        std::ofstream(c / "PTC/wf4-m040/x86e_win64/obj/msvcr90.dll", std::ios::binary) << "host";
        for (const auto& item : fs::recursive_directory_iterator(c / "PTC"))
            if (item.is_regular_file()) hostFiles_.push_back(fs::relative(item.path(), c).generic_string());
        fs::create_directories(c / "PTC/wf5-new/x86e_win64/obj");
        fs::create_directories(c / "PTC/wf5-new/text/usascii");
        std::ofstream(c / "PTC/wf5-new/text/usascii/host.txt", std::ios::binary) << "host";
        {
            sim::Machine m(c);
            m.registry().importFile(root_ / "template" / "machine.reg");
            m.setEnv("ALLUSERSPROFILE", "C:\\ProgramData");
            const ca::Session session(m.session(), "setup");
            for (const auto& [name, folder] :
                 {std::pair{"WFCUSTOM_DIR_ONE", "C:\\PTC\\wf4-m040"}, {"WFCUSTOM_DIR_TWO", "C:\\PTC\\creo1"},
                  {"Install_CREO1_dir", "C:\\PTC\\creo1\\"}, {"Install_CREO2_dir", "C:\\PTC\\creo2\\"},
                  {"Install_WF5_dir", "C:\\PTC\\wf5-runtime\\"}, {"Install_WF4_dir", "C:\\PTC\\wf4-m040\\"}})
                m.registry().setString(kProductKey, name, folder);
            // The earlier version's machine: the same files, but only the records.
            earlier_ = m.registry();
            ca::SourceDigests digests;
            for (const auto& [folder, code] : {std::pair{"C:\\PTC\\wf4-m040", 5}, {"C:\\PTC\\creo1", 8}}) {
                ca::deployToInstallation(session, ca::HostFolder::given(folder), code, ca::addInManifest(), digests);
                if (ca::recordEntryAhead(session, folder)) ca::addAuxAppEntry(session, folder);
            }
            for (const ca::RuntimeFolder* runtime : {&ca::kMfcRuntime, &ca::kCrtRuntime})
                ca::stageRuntime(session, *runtime, "C:\\PTC\\wf5-runtime\\", digests);
            ca::copyResources(session, "C:\\ProgramData\\text\\resource", ca::HostFolder::stripped("C:\\PTC\\creo2"),
                              digests);
            ca::markFootprintEra(session);
            registry_ = m.registry();
        }
        // The "before" state, taken on a fresh copy as every run starts from one.
        fs::copy(c, drive(), fs::copy_options::recursive);
        sim::Machine fresh(drive());
        fresh.registry() = registry_;
        fresh.controlRows() = controlRows();
        before_ = snapshot(fresh);
        fresh.registry() = earlier_;
        beforeEarlier_ = snapshot(fresh);
    }

    fs::path root_;
    sim::Registry registry_;
    sim::Registry earlier_;
    Snapshot before_;
    Snapshot beforeEarlier_;
    std::vector<std::string> hostFiles_;
};

// What an action does: the machine and the session it leaves.
bool sameOutcome(const FaultSweep::Outcome& a, const FaultSweep::Outcome& b)
{
    return a.result == b.result && a.after.files == b.after.files && a.after.registry == b.after.registry &&
           a.after.controlRows == b.after.controlRows && a.after.properties == b.after.properties &&
           a.after.openedTargets == b.after.openedTargets;
}

// Lower case, one backslash for a run of them: paths compare as Windows reads them.
std::string folded(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        if (c == '\\' && !out.empty() && out.back() == '\\') continue;
        out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

// Some line names the failed call's subject and its error code. The active
// database is the one call with neither: MsiGetActiveDatabase gives no code.
bool failureLogged(const FaultSweep::Outcome& out)
{
    char code[32];
    std::snprintf(code, sizeof code, out.code >= 0x80000000u ? "error 0x%08X " : "error %u ", out.code);
    const std::string subject = folded(out.subject);
    return std::any_of(out.log.begin(), out.log.end(), [&](const std::string& line) {
        const std::string text = folded(line);
        if (out.subject.empty() && text.find("no active database") != std::string::npos) return true;
        return text.find(code) != std::string::npos && text.find(subject) != std::string::npos;
    });
}

int sweepStride()
{
    const char* s = std::getenv("CA_SWEEP_STRIDE");
    return s ? std::max(1, std::atoi(s)) : 1;
}

}  // namespace

TEST(FaultSweep, EveryActionSurvivesEveryFailingCall)
{
    FaultSweep sweep;
    const int stride = sweepStride();
    std::map<std::string, int> perAction;
    int total = 0, reported = 0, changing = 0;
    long claimLines = 0;
    auto fail = [&reported](const std::string& what) {
        if (++reported <= 40) ADD_FAILURE() << what;
    };
    // CA_SWEEP_CASE="files in use" runs only the cases whose action or variant names it.
    const char* only = std::getenv("CA_SWEEP_CASE");
    for (const Case& c : kCases) {
        if (only && std::string(c.action).find(only) == std::string::npos &&
            std::string(c.variant).find(only) == std::string::npos)
            continue;
        const bool cleanup = std::string(c.action) == "cleanupDependancies";
        const FaultSweep::Outcome good = sweep.run(c, sim::Op::fileOpen, 0);
        const std::set<std::string> goodChanges = changedNames(sweep.before(c), good.after);
        ASSERT_FALSE(good.threw) << c.action;
        ASSERT_TRUE(good.handleKinds.empty()) << c.action;
        for (const std::string& file : sweep.hostFiles()) ASSERT_TRUE(good.after.files.count(file)) << c.action << " " << file;
        ASSERT_EQ(good.result, cleanup ? 1u : 0u) << c.action;
        if (!c.held.empty())
            ASSERT_GT(good.calls[static_cast<int>(sim::Op::moveAtRestart)], 0) << c.action << " scheduled nothing";
        for (const std::string& untrue : good.untrue) ADD_FAILURE() << c.action << " " << c.variant << ": " << untrue;
        // Every case must do real work on this machine, or it would prove nothing.
        ASSERT_TRUE(!goodChanges.empty() || good.after.properties != kBaseProperties ||
                    good.after.controlRows != sweep.before(c).controlRows || good.after.openedTargets > 0)
            << c.action << " changed nothing";
        for (int o = 0; o < static_cast<int>(sim::Op::count_); ++o) {
            const sim::Op op = static_cast<sim::Op>(o);
            for (int k = 1; k <= good.calls[o]; k += stride) {
                const FaultSweep::Outcome bad = sweep.run(c, op, k);
                ++total;
                ++perAction[c.action];
                const std::string what = std::string(c.action) + " " + c.variant + ": " + sim::opName(op) + " call " +
                                         std::to_string(k) + " fails";
                if (bad.threw) fail(what + ": an exception escaped");
                claimLines += bad.claimLines;
                for (const std::string& untrue : bad.untrue) fail(what + ": " + untrue);
                // A failure that changes what the action does must say so, with its path and code.
                if (bad.injected && !sameOutcome(good, bad)) {
                    ++changing;
                    if (!failureLogged(bad))
                        fail(what + " (" + bad.subject + ", error " + std::to_string(bad.code) +
                             "): changes what the action does, and no log line names it");
                }
                // cleanupDependancies gives 1 once its removal ran, and a
                // failure may stop it before; every other action gives 0.
                const int removals = bad.calls[static_cast<int>(sim::Op::deleteFile)] +
                                     bad.calls[static_cast<int>(sim::Op::removeDirectory)];
                const bool expected = bad.result == good.result || (cleanup && bad.result == 0 && removals == 0);
                if (!expected)
                    fail(what + ": returned " + std::to_string(bad.result) + ", where a successful run returns " +
                         std::to_string(good.result));
                for (const auto& [kind, n] : bad.handleKinds)
                    fail(what + ": " + std::to_string(n) + " " + kind + " handle(s) left open");
                // A host that an action could not finish keeps its footprint, and says so.
                const bool reported = !property(bad.after, "ORVELLA_REMOVE_ERROR").empty() ||
                                      !property(bad.after, "ORVELLA_INSTALL_ERROR").empty();
                for (const std::string& name : changedNames(sweep.before(c), bad.after)) {
                    if (!goodChanges.count(name) && !(reported && isFootprintRecord(name)))
                        fail(what + ": changed " + name + ", which a successful run leaves");
                    auto file = [&name](const Snapshot& s) {
                        auto it = s.files.find(name);
                        return it == s.files.end() ? std::optional<std::optional<std::string>>() : it->second;
                    };
                    if (isRegistrationFile(name) && file(bad.after) != file(good.after))
                        fail(what + ": " + name + " left half-written");
                }
                for (const std::string& file : sweep.hostFiles())
                    if (!bad.after.files.count(file)) fail(what + ": deleted the host's own " + file);
                // The dialog keeps all its check boxes, tooltip or not.
                for (const sim::ControlRow& row : sweep.before(c).controlRows)
                    if (std::none_of(bad.after.controlRows.begin(), bad.after.controlRows.end(),
                                     [&row](const sim::ControlRow& r) { return r.fields[1] == row.fields[1]; }))
                        fail(what + ": the dialog lost " + row.fields[1]);
            }
        }
    }
    std::printf("[ fault sweep ] %d injected failures (every %d%s call of each kind), %d of them changed what the "
                "action did and were each found in the log with their path and error code\n",
                total, stride, stride == 1 ? "st" : "th", changing);
    std::printf("[ fault sweep ] %ld claiming log lines held against what the machine saw\n", claimLines);
    for (const auto& [action, n] : perAction) std::printf("[ fault sweep ]   %-28s %5d\n", action.c_str(), n);
    if (only == nullptr) EXPECT_EQ(perAction.size(), std::size(ca::kExportedActions));
}
