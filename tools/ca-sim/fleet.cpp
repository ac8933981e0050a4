#include "fleet.h"

#include "platform/sim/machine.h"

#include <cstdio>
#include <fstream>
#include <random>

namespace casim {
namespace fs = std::filesystem;
namespace {

struct Release {
    const char* key;          // below SOFTWARE\PTC
    const char* folderValue;  // the value naming the folder
    const char* folder;       // a usual folder name
    const char* logRelease;   // RELEASE of the installation log; "" for Creo Parametric 2.0's descriptor
    bool ribbon;
};

const Release kReleases[] = {
    {"Pro/ENGINEER\\Wildfire 2.0", "InstallDir", "wildfire2", "Wildfire 2.0", false},
    {"Pro/ENGINEER\\Wildfire 3.0", "InstallDir", "wildfire3", "Wildfire 3.0", false},
    {"Pro/ENGINEER\\Wildfire 4.0", "InstallDir", "Wildfire 4.0", "Wildfire 4.0", false},
    {"Pro/ENGINEER\\Wildfire 5.0", "InstallDir", "proeWildfire 5.0", "Wildfire 5.0", false},
    {"Creo Parametric\\1.0", "CommonFilesLocation", "Creo 1.0\\Common Files\\F000", "Creo Parametric 1.0", true},
    {"Creo Parametric\\2.0", "CommonFilesLocation", "Creo 2.0\\Common Files\\M030", "", true},
};

const char* const kOtherVendor =
    "name VendorTools\r\nstartup dll\r\nexec_file C:\\Vendor\\vendortools.dll\r\ntext_dir C:\\Vendor\\text\r\nend\r\n";
const char* const kOurEntry = "name Orvella\r\nstartup dll\r\nexec_file orvbridge.dll\r\nend\r\n";

void put(const fs::path& driveC, std::string windowsPath, const std::string& content)
{
    for (char& c : windowsPath)
        if (c == '\\') c = '/';
    const fs::path file = driveC / windowsPath;
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << content;
}

std::string utf16(const std::string& ascii)
{
    std::string bytes = "\xff\xfe";
    for (char c : ascii) bytes += std::string{c, '\0'};
    return bytes;
}

// The host's registration file, as seats have it: another vendor's entries
// mostly, now and then none, ours already, or one the add-in cannot take.
void writeProtk(const fs::path& driveC, const std::string& folder, std::mt19937& rng)
{
    const auto pick = rng() % 100;
    const std::string protk = folder + "\\text\\protk.dat";
    if (pick < 4)
        put(driveC, protk, utf16(kOtherVendor));
    else if (pick < 7)
        fs::create_directories(driveC / (folder + "/text/protk.dat"));
    else if (pick < 10)
        put(driveC, protk, std::string(kOtherVendor) + kOurEntry);
    else if (pick < 75)
        put(driveC, protk, kOtherVendor);
}

std::string writeHost(const fs::path& driveC, sim::Registry& registry, int number, std::mt19937& rng)
{
    const Release& r = kReleases[rng() % std::size(kReleases)];
    const char* base = rng() % 3 == 0 ? "Program Files\\PTC\\" : "PTC\\";
    const std::string folder = base + std::string(r.folder) + (number > 1 ? " (" + std::to_string(number) + ")" : "");
    char code[8];
    std::snprintf(code, sizeof code, "M0%02u", static_cast<unsigned>(10 + rng() % 80));
    const std::string key = std::string("SOFTWARE\\PTC\\") + r.key + "\\" + code;
    registry.setString(key, r.folderValue, "C:\\" + folder);
    registry.setString(key, "DateCode", std::string("20") + std::to_string(10 + rng() % 3) + "0" + (code + 2));
    registry.setString(key, "Shipcode", code);
    put(driveC, folder + "\\x86e_win64\\obj\\xtop.exe", "MZ host executable\r\n");
    if (*r.logRelease != '\0')
        put(driveC, folder + "\\uninstall\\instlog.txt", std::string("RELEASE=\"") + r.logRelease + "\"\r\n");
    else
        put(driveC, folder + "\\bin\\pim\\xml\\creobase.p.xml",
            std::string("<release name=\"Creo Parametric\" shipcode=\"") + code + "\" version=\"2.0\"/>\n");
    if (rng() % 20 == 0) return folder;  // no text folder at all
    put(driveC, folder + "\\text\\usascii\\host_messages.txt", "messages of the host\r\n");
    if (r.ribbon) put(driveC, folder + "\\text\\ribbon\\host.rbn", "ribbon of the host\r\n");
    writeProtk(driveC, folder, rng);
    return folder;
}

void writeSeat(const fs::path& seat, int number, std::mt19937& rng)
{
    fs::remove_all(seat);
    fs::create_directories(seat / "drive_c");
    sim::Registry registry;
    const int hosts = 1 + static_cast<int>(rng() % 3);
    for (int h = 1; h <= hosts; ++h) writeHost(seat / "drive_c", registry, h, rng);
    std::ofstream(seat / "machine.reg", std::ios::binary) << registry.exportText();
    std::ofstream(seat / "scenario.txt", std::ios::binary)
        << "# Seat " << number << " of a generated fleet.\nenv ALLUSERSPROFILE=C:\\ProgramData\nsequence install\n";
}

}  // namespace

std::vector<std::string> writeFleet(const fs::path& folder, int count, std::uint32_t seed)
{
    std::mt19937 rng(seed);
    std::vector<std::string> seats;
    for (int i = 1; i <= count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "seat-%04d", i);
        writeSeat(folder / name, i, rng);
        seats.push_back((folder / name).string());
    }
    return seats;
}

}  // namespace casim
