// Test-only custom action that the e2e package runs after the library's
// actions: it writes the destination dialog's Control rows, temporary ones
// included, to C:\e2e-controls.txt, since the installer's log shows the
// final properties but not the database.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <cstdio>
#include <string>

namespace {

std::string field(MSIHANDLE record, unsigned index)
{
    DWORD size = 0;
    char empty[1] = "";
    if (MsiRecordGetStringA(record, index, empty, &size) != ERROR_MORE_DATA) return {};
    std::string text(size + 1, '\0');
    size += 1;
    if (MsiRecordGetStringA(record, index, text.data(), &size) != ERROR_SUCCESS) return {};
    text.resize(size);
    return text;
}

}  // namespace

extern "C" UINT WINAPI e2eDumpControls(MSIHANDLE session)
{
    FILE* out = std::fopen("C:\\e2e-controls.txt", "wb");
    if (out == nullptr) return ERROR_SUCCESS;
    const MSIHANDLE database = MsiGetActiveDatabase(session);
    MSIHANDLE view = 0;
    const char* query =
        "SELECT `Control`, `Type`, `Property`, `Help` FROM `Control` WHERE `Dialog_`='RunTimeDestinationFolder'";
    if (database != 0 && MsiDatabaseOpenViewA(database, query, &view) == ERROR_SUCCESS &&
        MsiViewExecute(view, 0) == ERROR_SUCCESS) {
        MSIHANDLE record = 0;
        while (MsiViewFetch(view, &record) == ERROR_SUCCESS) {
            std::fprintf(out, "%s\t%s\t%s\t%s\n", field(record, 1).c_str(), field(record, 2).c_str(),
                         field(record, 3).c_str(), field(record, 4).c_str());
            MsiCloseHandle(record);
        }
    } else {
        std::fputs("#query failed\n", out);
    }
    if (view != 0) MsiCloseHandle(view);
    if (database != 0) MsiCloseHandle(database);
    std::fclose(out);
    return ERROR_SUCCESS;
}
