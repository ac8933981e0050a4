// The installer session over msi.dll.
#include "platform/installer.h"

#include <msiquery.h>

#include <string>

namespace platform {

Status msiGetProperty(MsiHandle session, const char* name, char* buffer, std::uint32_t* count)
{
    DWORD n = count != nullptr ? *count : 0;
    const UINT rc = MsiGetPropertyA(session, name, buffer, count != nullptr ? &n : nullptr);
    if (count != nullptr) *count = n;
    return rc;
}

Status msiSetProperty(MsiHandle session, const char* name, const char* value)
{
    return MsiSetPropertyA(session, name, value);
}

Status msiLogInfo(MsiHandle session, const char* text)
{
    // The installer formats the message: brackets and braces would be taken
    // for property references and groups, and Wine formats a field's value
    // again, so the text is the template itself with each of them escaped.
    std::string escaped;
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c == '[' || *c == ']' || *c == '{' || *c == '}') {
            escaped += "[\\";
            escaped += *c;
            escaped += ']';
        } else {
            escaped += *c;
        }
    }
    const MSIHANDLE record = MsiCreateRecord(0);
    if (record == 0) return kNotEnoughMemory;
    Status rc = MsiRecordSetStringA(record, 0, escaped.c_str());
    if (rc == kSuccess && MsiProcessMessage(session, INSTALLMESSAGE_INFO, record) < 0) rc = kFunctionFailed;
    MsiCloseHandle(record);
    return rc;
}

Status msiRequestRestart(MsiHandle session)
{
    return MsiSetMode(session, MSIRUNMODE_REBOOTATEND, TRUE);
}

MsiHandle msiGetActiveDatabase(MsiHandle session)
{
    return MsiGetActiveDatabase(session);
}

Status msiDatabaseOpenView(MsiHandle database, const char* query, MsiHandle* view)
{
    return MsiDatabaseOpenViewA(database, query, view);
}

Status msiViewExecute(MsiHandle view, MsiHandle params)
{
    return MsiViewExecute(view, params);
}

Status msiViewFetch(MsiHandle view, MsiHandle* record)
{
    return MsiViewFetch(view, record);
}

Status msiViewModify(MsiHandle view, int mode, MsiHandle record)
{
    return MsiViewModify(view, static_cast<MSIMODIFY>(mode), record);
}

Status msiRecordSetString(MsiHandle record, unsigned field, const char* value)
{
    return MsiRecordSetStringA(record, field, value);
}

Status msiCloseHandle(MsiHandle handle)
{
    return MsiCloseHandle(handle);
}

}  // namespace platform
