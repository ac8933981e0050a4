// The installer session: properties, the log, and views on the active database.
// Thin wrappers over msi.dll; the simulated machine implements the same calls.
#pragma once

#include "platform/types.h"

#include <utility>

namespace pf {

// MsiGetPropertyA: *count is the buffer's capacity in, the value's length out.
Status msiGetProperty(MsiHandle session, const char* name, char* buffer, std::uint32_t* count);
// MsiSetPropertyA: "" removes the property.
Status msiSetProperty(MsiHandle session, const char* name, const char* value);
// MsiProcessMessage(INSTALLMESSAGE_INFO) with the text as the record's template.
Status msiLogInfo(MsiHandle session, const char* text);

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

// Owns an installer handle (database, view or record) and closes it.
class UniqueMsiHandle {
public:
    UniqueMsiHandle() noexcept = default;
    explicit UniqueMsiHandle(MsiHandle h) noexcept : handle_(h) {}
    UniqueMsiHandle(UniqueMsiHandle&& other) noexcept : handle_(std::exchange(other.handle_, 0)) {}
    UniqueMsiHandle& operator=(UniqueMsiHandle&& other) noexcept
    {
        if (this != &other) {
            reset();
            handle_ = std::exchange(other.handle_, 0);
        }
        return *this;
    }
    UniqueMsiHandle(const UniqueMsiHandle&) = delete;
    UniqueMsiHandle& operator=(const UniqueMsiHandle&) = delete;
    ~UniqueMsiHandle() { reset(); }

    MsiHandle get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != 0; }
    // For out-parameters; releases what was held first.
    MsiHandle* put() noexcept
    {
        reset();
        return &handle_;
    }
    void reset() noexcept
    {
        if (handle_ != 0) msiCloseHandle(std::exchange(handle_, 0));
    }

private:
    MsiHandle handle_ = 0;
};

}  // namespace pf
