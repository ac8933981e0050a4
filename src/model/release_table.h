// The host releases the library serves, and every name that belongs to one:
// installer properties, registry locations, labels, records, staging folders.
#pragma once

#include <array>
#include <cstddef>

namespace ca {

// The release of an installation folder, as identification tells it. 0 means
// not recognised; there is no code 1; 8 and above are Creo Parametric.
using ReleaseCode = int;
inline constexpr ReleaseCode kNotRecognised = 0;
inline constexpr ReleaseCode kWildfire1 = 2;
inline constexpr ReleaseCode kWildfire2 = 3;
inline constexpr ReleaseCode kWildfire3 = 4;
inline constexpr ReleaseCode kWildfire4 = 5;
inline constexpr ReleaseCode kWildfire5 = 6;
inline constexpr ReleaseCode kOtherRelease5 = 7;  // log names "5.0" without "Wildfire 5.0"
inline constexpr ReleaseCode kCreo1 = 8;
inline constexpr ReleaseCode kCreo2 = 9;
enum class Family { proEngineer, creoParametric };
inline constexpr Family familyOf(ReleaseCode code) { return code >= kCreo1 ? Family::creoParametric : Family::proEngineer; }

inline constexpr const char* kProEngineerKey = "SOFTWARE\\PTC\\Pro/ENGINEER";
inline constexpr const char* kCreoKey = "SOFTWARE\\PTC\\Creo Parametric";
inline constexpr const char* kCreoKey32 = "SOFTWARE\\Wow6432Node\\PTC\\Creo Parametric";

enum class Slot { proeWf1, proeWf2, proeWf3, proeWf4, proeWf5, creo1, creo2 };

struct ReleaseSlot {
    Slot slot;
    const char* name;  // also the selection property
    const char* release;
    Family family;
    ReleaseCode code;
    const char* folderProperty;
    const char* datecodeProperty;
    const char* releaseSubkey;  // below each of the release's registry keys (kReleaseLocations)
    const char* folderValue;    // the value of an installation's subkey that names its folder
    const char* checkBoxLabel;
    const char* productRecordValue;
    const char* stagingSubfolder;  // "" for the staging area itself
    const char* stagingProperty;
};

inline constexpr std::array<ReleaseSlot, 7> kReleaseSlots{{
    {Slot::proeWf1, "PROEWF1", "Wildfire 1.0", Family::proEngineer, kWildfire1, "PROEWF1DIR", "SHIPCODE1",
     "Wildfire", "InstallDir", "Pro/ENGINEER WildFire 1.0 ", "Install_WF1_dir", "", "ALLUSERSPROFILE"},
    {Slot::proeWf2, "PROEWF2", "Wildfire 2.0", Family::proEngineer, kWildfire2, "PROEWF2DIR", "SHIPCODE2",
     "Wildfire 2.0", "InstallDir", "Pro/ENGINEER WildFire 2.0 ", "Install_WF2_dir", "", "ALLUSERSPROFILE"},
    {Slot::proeWf3, "PROEWF3", "Wildfire 3.0", Family::proEngineer, kWildfire3, "PROEWF3DIR", "SHIPCODE3",
     "Wildfire 3.0", "InstallDir", "Pro/ENGINEER WildFire 3.0 ", "Install_WF3_dir", "proeWF3", "PROEWF3TEMP"},
    {Slot::proeWf4, "PROEWF4", "Wildfire 4.0", Family::proEngineer, kWildfire4, "PROEWF4DIR", "SHIPCODE4",
     "Wildfire 4.0", "InstallDir", "Pro/ENGINEER WildFire 4.0 ", "Install_WF4_dir", "proeWF4", "PROEWF4TEMP"},
    {Slot::proeWf5, "PROEWF5", "Wildfire 5.0", Family::proEngineer, kWildfire5, "PROEWF5DIR", "SHIPCODE5",
     "Wildfire 5.0", "InstallDir", "Pro/ENGINEER WildFire 5.0 ", "Install_WF5_dir", "proeWF5", "PROEWF5TEMP"},
    {Slot::creo1, "CREO1", "Creo Parametric 1.0", Family::creoParametric, kCreo1, "CREO1DIR", "SHIPCODECREO1",
     "1.0", "CommonFilesLocation", "Creo Parametric 1.0 ", "Install_CREO1_dir", "creo1", "CREO1TEMP"},
    {Slot::creo2, "CREO2", "Creo Parametric 2.0", Family::creoParametric, kCreo2, "CREO2DIR", "SHIPCODECREO2",
     "2.0", "CommonFilesLocation", "Creo Parametric 2.0 ", "Install_CREO2_dir", "creo2", "CREO2TEMP"},
}};

constexpr const ReleaseSlot& releaseSlot(Slot slot) { return kReleaseSlots[static_cast<std::size_t>(slot)]; }

// The slot of a release, or none for a code that no slot stands for.
constexpr const ReleaseSlot* releaseSlotOf(ReleaseCode code)
{
    for (const ReleaseSlot& slot : kReleaseSlots)
        if (slot.code == code) return &slot;
    return nullptr;
}

// The slot whose build of the add-in a folder of this release receives: a
// folder of another release 5.0 takes Wildfire 5.0's; none for a folder of
// no known release.
constexpr const ReleaseSlot* buildSlotOf(ReleaseCode code)
{
    return releaseSlotOf(code == kOtherRelease5 ? kWildfire5 : code);
}

// The orders in which actions visit the release slots. Where an action stops
// at the first match, or reports one folder, the order decides which; where
// it does not, it decides which host's files are written first.

// The product key's records, and what follows them: the host-relative
// registration, the resource copy and the unregistration at removal.
inline constexpr std::array<Slot, 7> kRecordOrder{Slot::creo1,   Slot::creo2,   Slot::proeWf5, Slot::proeWf4,
                                                 Slot::proeWf3, Slot::proeWf2, Slot::proeWf1};
// The registration with absolute paths: oldest release first.
inline constexpr std::array<Slot, 7> kOldestFirst{Slot::proeWf1, Slot::proeWf2, Slot::proeWf3, Slot::proeWf4,
                                                 Slot::proeWf5, Slot::creo1,   Slot::creo2};
// The write-access check reports the first unwritable folder in this order.
inline constexpr std::array<Slot, 7> kAccessCheckOrder{Slot::creo2,   Slot::creo1,   Slot::proeWf5, Slot::proeWf4,
                                                      Slot::proeWf3, Slot::proeWf2, Slot::proeWf1};
// The staging cleanup deletes each release build's staged files, then the
// build's staging folder. No build lies in another's folder, so any order
// would leave the same; oldest first.
inline constexpr std::array<Slot, 7> kStagingCleanupOrder = kOldestFirst;
// The browsed folder's duplicate check stops at the first chosen slot with
// the same folder.
inline constexpr std::array<Slot, 7> kDuplicateCheckOrder{Slot::proeWf1, Slot::proeWf2, Slot::proeWf3, Slot::proeWf4,
                                                         Slot::proeWf5, Slot::creo2,   Slot::creo1};

// Where a release's installations are registered: a parent key and the
// release subkey (from the slot). Discovery scans them in this order, so a
// later location of the same release wins the slot's properties and the
// check boxes fill in this order. Creo Parametric 2.0 is looked for in both
// registry views, the native one first.
struct ReleaseLocation {
    Slot slot;
    const char* parentKey;
};
inline constexpr std::array<ReleaseLocation, 8> kReleaseLocations{{
    {Slot::creo1, kCreoKey},
    {Slot::creo2, kCreoKey},
    {Slot::creo2, kCreoKey32},
    {Slot::proeWf5, kProEngineerKey},
    {Slot::proeWf4, kProEngineerKey},
    {Slot::proeWf3, kProEngineerKey},
    {Slot::proeWf2, kProEngineerKey},
    {Slot::proeWf1, kProEngineerKey},
}};

// The browsed slot: one further installation, of any release.
inline constexpr const char* kBrowsedSlot = "PROEM1";
inline constexpr const char* kBrowsedFolderProperty = "PROEM1DIR";
inline constexpr const char* kBrowsedVersionProperty = "PROEM1VER";

// The eight check-box slots of the destination dialog.
struct CustomSlotNames {
    const char* labelProperty;
    const char* checkProperty;
    const char* dirProperty;
};

inline constexpr std::array<CustomSlotNames, 8> kCustomSlots{{
    {"WFCUSTOM_ONE", "PROE_VER_1", "WFCUSTOM_DIR_ONE"},
    {"WFCUSTOM_TWO", "PROE_VER_2", "WFCUSTOM_DIR_TWO"},
    {"WFCUSTOM_THREE", "PROE_VER_3", "WFCUSTOM_DIR_THREE"},
    {"WFCUSTOM_FOUR", "PROE_VER_4", "WFCUSTOM_DIR_FOUR"},
    {"WFCUSTOM_FIVE", "PROE_VER_5", "WFCUSTOM_DIR_FIVE"},
    {"WFCUSTOM_SIX", "PROE_VER_6", "WFCUSTOM_DIR_SIX"},
    {"WFCUSTOM_SEVEN", "PROE_VER_7", "WFCUSTOM_DIR_SEVEN"},
    {"WFCUSTOM_EIGHT", "PROE_VER_8", "WFCUSTOM_DIR_EIGHT"},
}};

// The dialog whose check boxes the custom slots are.
inline constexpr const char* kDestinationDialog = "RunTimeDestinationFolder";

// Where the add-in records the folders it reached, below HKEY_LOCAL_MACHINE.
inline constexpr const char* kProductKey = "Software\\Kestrane\\Orvella";

}  // namespace ca
