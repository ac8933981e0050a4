// The installer session: properties, the log, and views on the active database.
// Thin wrappers over msi.dll; the simulated machine implements the same calls.
#pragma once

#include "platform/types.h"
#include "platform/unique_handle.h"

namespace platform {

// MsiGetPropertyA: *count is the buffer's capacity in, the value's length out.
Status msiGetProperty(MsiHandle session, const char* name, char* buffer, std::uint32_t* count);
// MsiSetPropertyA: "" removes the property.
Status msiSetProperty(MsiHandle session, const char* name, const char* value);
// MsiProcessMessage(INSTALLMESSAGE_INFO) with the text as the record's template.
Status msiLogInfo(MsiHandle session, const char* text);
// MsiSetMode(MSIRUNMODE_REBOOTATEND, TRUE): msiexec asks for a restart (exit 3010).
Status msiRequestRestart(MsiHandle session);

MsiHandle msiGetActiveDatabase(MsiHandle session);  // 0 when there is none
Status msiDatabaseOpenView(MsiHandle database, const char* query, MsiHandle* view);
Status msiViewExecute(MsiHandle view, MsiHandle params);
Status msiViewFetch(MsiHandle view, MsiHandle* record);
Status msiViewModify(MsiHandle view, int mode, MsiHandle record);
Status msiRecordSetString(MsiHandle record, unsigned field, const char* value);
Status msiCloseHandle(MsiHandle handle);

inline constexpr int kModifyRefresh = 0;
inline constexpr int kModifyDelete = 6;
inline constexpr int kModifyInsertTemporary = 7;

struct MsiHandleTraits {
    using Native = MsiHandle;
    static constexpr Native invalid() noexcept { return 0; }
    static bool close(Native handle) noexcept { return msiCloseHandle(handle) == kSuccess; }
};
// An installer handle (database, view or record) that this code opened.
using UniqueMsiHandle = UniqueHandle<MsiHandleTraits>;

}  // namespace platform
