// Declarations of every exported action, and their table for tools and tests.
#pragma once

#include "platform/types.h"

extern "C" {
#define CA_ACTION(name) unsigned CA_CALL name(platform::MsiHandle session);
#include "actions/actions.inc"
#undef CA_ACTION
}

namespace ca {

struct ExportedAction {
    const char* name;
    unsigned(CA_CALL* entry)(platform::MsiHandle session);
};

inline constexpr ExportedAction kExportedActions[] = {
#define CA_ACTION(name) {#name, &::name},
#include "actions/actions.inc"
#undef CA_ACTION
};

}  // namespace ca
