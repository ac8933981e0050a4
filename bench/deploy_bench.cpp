// Deployment of a staging area with large files into the eight listed
// installations, next to `cp` of the same files to the same places.
#include "support.h"

#include "core/boundary.h"
#include "deployment/deploy.h"
#include "identification/release_identification.h"
#include "model/listed_installations.h"
#include "registration/registration_file.h"
#include "platform/sim/machine_internal.h"

#include <benchmark/benchmark.h>

namespace bench {
namespace {

// What clearTempCommon does for the chosen listed installations, without
// emptying the staging area that the next iteration copies from again.
unsigned deployListed(const ca::Session& session)
{
    const ca::ListedInstallations listed = ca::ListedInstallations::read(session);
    ca::ReleaseIdentifier identifier(session);
    ca::SourceDigests digests;
    for (const ca::ListedSlot& slot : listed.slots()) {
        if (!slot.chosen) continue;
        ca::deployToInstallation(session, ca::HostFolder::given(slot.folder.view()),
                                 identifier.identify(slot.folder.view()), ca::addInManifest(), digests);
        if (ca::recordEntryAhead(session, slot.folder.view())) ca::addAuxAppEntry(session, slot.folder.view());
    }
    return 0;
}


constexpr int kTargets = 8;

// The large files: the connector, the Wildfire 4.0 module and the help file.
const std::pair<const char*, std::uintmax_t> kLargeFiles[] = {
    {"OvConnector.dll", 32u << 20},
    {"proeWF4\\orvbridge.dll", 16u << 20},
    {"x86e_win64\\obj\\Lang\\OrvellaHelp.chm", 16u << 20},
};

std::string target(int i) { return "C:\\PTC\\t" + std::to_string(i); }

void stage(const fs::path& c)
{
    const std::string s = "C:\\ProgramData\\";
    auto put = [&](const std::string& name) { writeFile(onDrive(c, s + name), "staged " + name + "\n"); };
    for (const char* name : {"optdialog.dll", "sheetbridge2.dll", "ovbatch.dll", "siteext.dll", "libpng13.dll",
                             "OvToExe.exe", "mfc90.dll", "Microsoft.VC90.MFC.manifest", "Microsoft.VC90.CRT.manifest",
                             "msvcp90.dll", "msvcr90.dll"})
        put(name);
    for (const char* name : {"mfc100.dll", "msvcp100.dll", "msvcr100.dll"})
        put(std::string("proeWF5\\Microsoft.VC100\\") + name);
    for (const char* name : {"orvbridgeResEng.dll", "orvbridgeResGer.dll", "orvbridgeResFre.dll", "orvbridgeResJap.dll",
                             "ovbatchresEng.dll", "ovbatchresGer.dll", "ovbatchresFre.dll", "ovbatchresJap.dll"})
        put(std::string("x86e_win64\\obj\\Lang\\") + name);
    put("text\\usascii\\ov_messages.txt");
    put("text\\resource\\orvella.res");
    for (const char* lang : {"japanese", "french", "german"}) {
        put(std::string("text\\") + lang + "\\ov_messages.txt");
        put(std::string("text\\") + lang + "\\resource\\orvella.res");
    }
    for (const auto& [name, size] : kLargeFiles) writeRepeated(onDrive(c, s + name), "0123456789abcdef", size);
}

// A Wildfire 4.0 installation, told by its installation log.
void makeHost(const fs::path& c, const std::string& folder)
{
    writeFile(onDrive(c, folder + "\\x86e_win64\\obj\\xtop.exe"), "MZ");
    writeFile(onDrive(c, folder + "\\text\\usascii\\host_messages.txt"), "messages of the host\n");
    writeFile(onDrive(c, folder + "\\uninstall\\instlog.txt"),
              "PRODUCT=\"host\"\r\nRELEASE=\"Wildfire 4.0\"\r\nDATECODE=\"2009070\"\r\nSHIPCODE=\"M070\"\r\n");
    writeFile(onDrive(c, folder + "\\text\\protk.dat"), "name VendorTools\r\nstartup dll\r\nend\r\n");
}

void listTargets(sim::Machine& m, int count, const std::string& (*folder)(int))
{
    for (int i = 0; i < count; ++i) {
        m.properties()[ca::kCustomSlots[i].dirProperty] = folder(i + 1);
        m.properties()[ca::kCustomSlots[i].checkProperty] = "1";
    }
}

struct DeployFixture {
    fs::path driveC;
    fs::path image;  // exactly what deployment writes into one installation
    std::uintmax_t bytesPerTarget = 0;
};

const std::string& targetName(int i)
{
    static std::string names[kTargets + 1];
    if (names[i].empty()) names[i] = target(i);
    return names[i];
}
const std::string& imageName(int)
{
    static const std::string name = "C:\\PTC\\image";
    return name;
}

const DeployFixture& fixture()
{
    static DeployFixture f;
    if (!f.driveC.empty()) return f;
    f.driveC = scratch() / "deploy";
    stage(f.driveC);
    for (int i = 1; i <= kTargets; ++i) makeHost(f.driveC, target(i));
    // One deployment into a folder of its own shows what a deployment copies.
    makeHost(f.driveC, "C:\\PTC\\image");
    {
        sim::Machine m(f.driveC);
        m.setEnv("ALLUSERSPROFILE", "C:\\ProgramData");
        listTargets(m, 1, imageName);
        ca::runAction(m.session(), "bench", deployListed);
    }
    f.image = onDrive(f.driveC, "C:\\PTC\\image");
    fs::remove_all(f.image / "uninstall");
    for (const char* own : {"text/protk.dat", "text/usascii/host_messages.txt", "x86e_win64/obj/xtop.exe"})
        fs::remove(f.image / own);
    for (const auto& entry : fs::recursive_directory_iterator(f.image))
        if (entry.is_regular_file()) f.bytesPerTarget += entry.file_size();
    // Both sides then overwrite files that exist, as every later run does.
    for (int i = 1; i <= kTargets; ++i) runProgram({"cp", "-rT", f.image.string(), onDrive(f.driveC, target(i)).string()});
    return f;
}

void finish(benchmark::State& state, const DeployFixture& f)
{
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.bytesPerTarget * kTargets));
    state.counters["bytes_per_target"] = static_cast<double>(f.bytesPerTarget);
}

void Deployment(benchmark::State& state)
{
    const DeployFixture& f = fixture();
    sim::Machine m(f.driveC);
    m.setEnv("ALLUSERSPROFILE", "C:\\ProgramData");
    listTargets(m, kTargets, targetName);
    for (auto _ : state) {
        ca::runAction(m.session(), "bench", deployListed);
        m.internal().propertyChanges.clear();
    }
    for (int i = 1; i <= kTargets; ++i)
        if (fs::file_size(onDrive(f.driveC, target(i) + "\\x86e_win64\\obj\\OvConnector.dll")) != (32u << 20))
            state.SkipWithError("a target did not get the files");
    finish(state, f);
}

// The baseline: one `cp` per installation writes the same files to the same paths.
void DeploymentCp(benchmark::State& state)
{
    const DeployFixture& f = fixture();
    for (auto _ : state)
        for (int i = 1; i <= kTargets; ++i)
            if (!runProgram({"cp", "-rT", f.image.string(), onDrive(f.driveC, target(i)).string()})) {
                state.SkipWithError("cp failed");
                return;
            }
    finish(state, f);
}

}  // namespace

BENCHMARK(Deployment)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(DeploymentCp)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace bench
