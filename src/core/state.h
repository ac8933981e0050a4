// The library's process-wide state. It serves within one action only: the
// action boundary puts it back into its load-time state before every action.
#pragma once

#include "platform/types.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace ca {

// DatecodeLabel -> installation folder; byte-wise key order, first insert wins.
using InstallationMap = std::map<std::string, std::string>;

struct CustomInstallEntry {
    std::string spare1;  // never filled
    std::string labelProperty;
    std::string checkProperty;
    std::string dirProperty;
    std::string spare2;  // never filled
    bool inUse = false;
};
using CustomInstallList = std::vector<CustomInstallEntry>;

struct DescriptorValues {
    std::string descriptorVersion;
    std::string descriptorShipcode;
    std::string descriptorDatecode;
};

struct ProcessState {
    InstallationMap installationMap;
    CustomInstallList customInstallList;
    std::int32_t usedCustomSlotCount = 0;
    bool creoFamily = false;
    DescriptorValues descriptorValues;
};

ProcessState& processState();

// The running action's session and the installer's UI level (-1 when it
// cannot be read, as in a deferred action).
struct ActionContext {
    platform::MsiHandle session = 0;
    int uiLevel = -1;
};
ActionContext& actionContext();

// Back to the state the library has when it is loaded.
void resetProcessState();

}  // namespace ca
