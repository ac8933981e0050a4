#include "demo.h"

#include <fstream>
#include <string>
#include <vector>

namespace casim {
namespace fs = std::filesystem;
namespace {

void put(const fs::path& root, const std::string& windowsPath, const std::string& content)
{
    std::string p = windowsPath;
    for (char& c : p)
        if (c == '\\') c = '/';
    const fs::path file = root / p;
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << content;
}

struct Host {
    const char* folder;
    const char* key;         // release key and subkey below SOFTWARE\PTC
    const char* folderValue;
    const char* shipcode;
    const char* datecode;
    const char* release;     // RELEASE value of the installation log ("" = no log)
    bool ribbon;
};

const Host kHosts[] = {
    {"PTC\\wf4-m070", "Pro/ENGINEER\\Wildfire 4.0\\M070", "InstallDir", "M070", "2009070", "Wildfire 4.0", false},
    {"PTC\\wf4-m040", "Pro/ENGINEER\\Wildfire 4.0\\M040", "InstallDir", "M040", "2008040", "Wildfire 4.0", false},
    {"PTC\\wf5", "Pro/ENGINEER\\Wildfire 5.0\\M060", "InstallDir", "M060", "2010060", "Wildfire 5.0", false},
    {"PTC\\creo1", "Creo Parametric\\1.0\\F000", "CommonFilesLocation", "F000", "2011000", "Creo Parametric 1.0", true},
    {"PTC\\creo2", "Creo Parametric\\2.0\\M030", "CommonFilesLocation", "M030", "2012030", "", true},
};

const char* kOtherVendor =
    "name VendorTools\n"
    "startup dll\n"
    "exec_file C:\\Vendor\\vendortools.dll\n"
    "text_dir C:\\Vendor\\text\n"
    "end\n";

std::string crlf(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

std::string escaped(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out;
}

}  // namespace

void writeDemoScenario(const fs::path& folder)
{
    const fs::path c = folder / "drive_c";
    std::string reg = "Windows Registry Editor Version 5.00\r\n";
    for (const Host& h : kHosts) {
        const std::string dir = std::string("C:\\") + h.folder;
        reg += std::string("\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\PTC\\") + h.key + "]\r\n";
        reg += "\"" + std::string(h.folderValue) + "\"=\"" + escaped(dir) + "\"\r\n";
        reg += "\"DateCode\"=\"" + std::string(h.datecode) + "\"\r\n";
        reg += "\"Shipcode\"=\"" + std::string(h.shipcode) + "\"\r\n";

        const std::string f = h.folder;
        put(c, f + "\\x86e_win64\\obj\\xtop.exe", "host executable\n");
        put(c, f + "\\x86e_win64\\obj\\host.dll", "a file of the host\n");
        put(c, f + "\\text\\protk.dat", crlf(kOtherVendor));
        put(c, f + "\\text\\usascii\\host_messages.txt", "messages of the host\n");
        if (h.ribbon) put(c, f + "\\text\\ribbon\\host.rbn", "ribbon of the host\n");
        if (*h.release)
            put(c, f + "\\uninstall\\instlog.txt",
                crlf(std::string("PRODUCT=\"host\"\nRELEASE=\"") + h.release + "\"\nDATECODE=\"" + h.datecode +
                     "\"\nSHIPCODE=\"" + h.shipcode + "\"\n"));
    }
    // A host that ships its own C runtime where the add-in puts its copy:
    // the removal brings the host's back.
    put(c, "PTC\\wf5\\x86e_win64\\obj\\msvcr90.dll", "the host's own C runtime\n");
    put(c, "PTC\\creo2\\bin\\pim\\xml\\creobase.p.xml",
        "<?xml version=\"1.0\"?>\n<release name=\"Creo Parametric\" datecode=\"2012030\" shipcode=\"M030\" "
        "version=\"2.0\">\n  <component name=\"base\"/>\n</release>\n");
    std::ofstream(folder / "machine.reg", std::ios::binary) << reg;

    // The staging area, as the package leaves it before clearTempCommon.
    const std::string s = "ProgramData\\";
    for (const char* name : {"OvConnector.dll", "optdialog.dll", "sheetbridge2.dll", "ovbatch.dll", "siteext.dll",
                             "orvbridge.dll", "libpng13.dll", "OvToExe.exe", "mfc90.dll", "Microsoft.VC90.MFC.manifest",
                             "Microsoft.VC90.CRT.manifest", "msvcp90.dll", "msvcr90.dll"})
        put(c, s + name, std::string("staged ") + name + "\n");
    for (const char* sub : {"proeWF3", "proeWF4", "proeWF5", "creo1", "creo2"})
        put(c, s + sub + "\\orvbridge.dll", std::string("orvbridge.dll built for ") + sub + "\n");
    for (const char* sub : {"creo1", "creo2"})
        put(c, s + sub + "\\OrvellaMenu.rbn", std::string("ribbon for ") + sub + "\n");
    for (const char* name : {"mfc100.dll", "msvcp100.dll", "msvcr100.dll"})
        put(c, s + "proeWF5\\Microsoft.VC100\\" + name, std::string("staged ") + name + "\n");
    for (const char* name : {"msvcr90.dll", "msvcp90.dll", "Microsoft.VC90.CRT.manifest"})
        put(c, s + "proeWF5\\Microsoft.VC90.CRT\\" + name, std::string("staged ") + name + "\n");
    for (const char* name : {"mfc90.dll", "Microsoft.VC90.MFC.manifest"})
        put(c, s + "proeWF5\\Microsoft.VC90.MFC\\" + name, std::string("staged ") + name + "\n");
    for (const char* name : {"orvbridgeResEng.dll", "orvbridgeResGer.dll", "orvbridgeResFre.dll", "orvbridgeResJap.dll",
                             "ovbatchresEng.dll", "ovbatchresGer.dll", "ovbatchresFre.dll", "ovbatchresJap.dll",
                             "OrvellaHelp.chm"})
        put(c, s + "x86e_win64\\obj\\Lang\\" + name, std::string("staged ") + name + "\n");
    put(c, s + "text\\usascii\\ov_messages.txt", "Orvella messages (English)\n");
    put(c, s + "text\\resource\\orvella.res", "resources (English)\n");
    for (const char* lang : {"japanese", "french", "german"}) {
        put(c, s + "text\\" + lang + "\\ov_messages.txt", std::string("Orvella messages (") + lang + ")\n");
        put(c, s + "text\\" + lang + "\\resource\\orvella.res", std::string("resources (") + lang + ")\n");
    }

    std::ofstream(folder / "scenario.txt", std::ios::binary)
        << "# The demo: five host installations of four releases (two of Wildfire 4.0),\n"
           "# another vendor's add-in in every protk.dat, and a filled staging area.\n"
           "# It installs the add-in with the package's install sequence and removes it again.\n"
           "sequence install remove\n";
}

}  // namespace casim
