// isProEInstalled: publishes the installed host releases as the selection,
// folder and datecode properties of their slots.
#include "core/boundary.h"
#include "core/paths.h"
#include "core/properties.h"
#include "core/release_table.h"
#include "core/state.h"
#include "discovery/registry_scan.h"

namespace ca {
namespace {

struct ScanBuffers {
    PathBuffer folder;
    PathBuffer label;
};

// Scans one release subkey of an open parent key and publishes what it finds.
// Discovery only reads, so a standard user sees the installed hosts too.
void detectRelease(platform::MsiHandle session, const platform::RegKey& parent, const ReleaseSlot& slot, ScanBuffers& buffers)
{
    platform::RegKey releaseKey;
    if (platform::regOpenKey(&parent, slot.releaseSubkey, platform::kKeyRead, releaseKey) != platform::kSuccess) return;
    if (!scanReleaseKey(releaseKey, buffers.folder, buffers.label, processState().installationMap)) return;
    setProperty(session, slot.name, "1");
    setProperty(session, slot.folderProperty, buffers.folder.view());
    setProperty(session, slot.datecodeProperty, buffers.label.view());
}

void detectCreoRelease(platform::MsiHandle session, const char* parentKey, const ReleaseSlot& slot, ScanBuffers& buffers)
{
    platform::RegKey parent;
    if (platform::regOpenKey(nullptr, parentKey, platform::kKeyRead, parent) != platform::kSuccess) return;
    processState().creoFamily = true;
    detectRelease(session, parent, slot, buffers);
    processState().creoFamily = false;
}

unsigned isProEInstalledBody(platform::MsiHandle session)
{
    PathBuffer value;
    readProperty(session, "PROEM1", value);
    const bool browsedSlotOff = value == "0";
    readProperty(session, "ISCMDINSTALL", value);
    if (value == "1" && browsedSlotOff) return 0;

    ScanBuffers creo1, creo2, wf[5];
    readProperty(session, "ISCMDINSTALL", value);
    const bool commandLineInstall = value == "1";

    for (const char* name : {"CREO1", "CREO1DIR", "CREO2", "CREO2DIR", "PROEWF5", "PROEWF5DIR", "PROEWF4",
                             "PROEWF4DIR", "PROEWF3", "PROEWF3DIR", "PROEWF2", "PROEWF2DIR", "PROEWF1", "PROEWF1DIR",
                             "SHIPCODE1", "SHIPCODE2", "SHIPCODE3", "SHIPCODE4", "SHIPCODE5", "SHIPCODECREO1",
                             "SHIPCODECREO2"})
        removeProperty(session, name);
    if (!commandLineInstall) removeProperty(session, kBrowsedFolderProperty);

    detectCreoRelease(session, kCreoKey, releaseSlot(Slot::creo1), creo1);
    detectCreoRelease(session, kCreoKey, releaseSlot(Slot::creo2), creo2);
    detectCreoRelease(session, kCreoKey32, releaseSlot(Slot::creo2), creo2);

    platform::RegKey proEngineer;
    if (platform::regOpenKey(nullptr, kProEngineerKey, platform::kKeyRead, proEngineer) == platform::kSuccess) {
        const Slot wildfires[] = {Slot::proeWf5, Slot::proeWf4, Slot::proeWf3, Slot::proeWf2, Slot::proeWf1};
        for (int i = 0; i < 5; ++i) detectRelease(session, proEngineer, releaseSlot(wildfires[i]), wf[i]);
    }

    readProperty(session, kBrowsedFolderProperty, value);
    setProperty(session, "PROEDUMPDEPENDANCIES", hasHostExecutable(value.c_str()) ? "0" : "1");
    return 0;
}

}  // namespace
}  // namespace ca

CA_EXPORT_ACTION(isProEInstalled, ca::isProEInstalledBody)
