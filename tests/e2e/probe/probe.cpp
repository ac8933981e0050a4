// Test-only custom action that the e2e package runs after the library's
// actions: it writes the destination dialog's Control rows, temporary ones
// included, to C:\e2e-controls.txt, since the installer's log shows the
// final properties but not the database. It writes the properties named in
// E2EPROPNAMES to C:\e2e-properties.txt, because Wine's log formats the
// values it dumps ("[...]" in a value is expanded there), and the environment
// variables named in E2EENVNAMES to C:\e2e-env.txt as a custom action sees
// them, because Wine sets some of them itself. Name lists are ';'-separated.
//
// e2eEvaluateConditions evaluates each line of C:\e2e-conditions.txt with
// MsiEvaluateCondition and writes one result a line (0 false, 1 true, 2 none,
// 3 error) to C:\e2e-conditions-out.txt: the real engine's verdicts, which
// ca-sim's evaluator must match.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <cstdio>
#include <cstdlib>
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

std::string property(MSIHANDLE session, const char* name)
{
    DWORD size = 0;
    char empty[1] = "";
    if (MsiGetPropertyA(session, name, empty, &size) != ERROR_MORE_DATA) return {};
    std::string text(size + 1, '\0');
    size += 1;
    if (MsiGetPropertyA(session, name, text.data(), &size) != ERROR_SUCCESS) return {};
    text.resize(size);
    return text;
}

template <class Each>
void forEachName(const std::string& names, Each each)
{
    std::size_t start = 0;
    while (start < names.size()) {
        std::size_t end = names.find(';', start);
        if (end == std::string::npos) end = names.size();
        if (end > start) each(names.substr(start, end - start));
        start = end + 1;
    }
}

void dumpEnvironment(MSIHANDLE session)
{
    FILE* out = std::fopen("C:\\e2e-env.txt", "wb");
    if (out == nullptr) return;
    forEachName(property(session, "E2EENVNAMES"), [&](const std::string& name) {
        const char* value = std::getenv(name.c_str());
        std::fprintf(out, "%s%s%s\n", name.c_str(), value != nullptr ? "=" : "", value != nullptr ? value : "");
    });
    std::fclose(out);
}

void dumpProperties(MSIHANDLE session)
{
    FILE* out = std::fopen("C:\\e2e-properties.txt", "wb");
    if (out == nullptr) return;
    forEachName(property(session, "E2EPROPNAMES"), [&](const std::string& name) {
        const std::string value = property(session, name.c_str());
        if (!value.empty()) std::fprintf(out, "%s=%s\n", name.c_str(), value.c_str());
    });
    std::fclose(out);
}

}  // namespace

extern "C" UINT WINAPI e2eDumpControls(MSIHANDLE session)
{
    dumpEnvironment(session);
    dumpProperties(session);
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

extern "C" UINT WINAPI e2eEvaluateConditions(MSIHANDLE session)
{
    FILE* in = std::fopen("C:\\e2e-conditions.txt", "rb");
    if (in == nullptr) return ERROR_SUCCESS;
    FILE* out = std::fopen("C:\\e2e-conditions-out.txt", "wb");
    if (out == nullptr) {
        std::fclose(in);
        return ERROR_SUCCESS;
    }
    std::string line;
    for (int c = std::fgetc(in);; c = std::fgetc(in)) {
        if (c != EOF && c != '\n') {
            if (c != '\r') line += static_cast<char>(c);
            continue;
        }
        if (c == EOF && line.empty()) break;
        std::fprintf(out, "%d\n", static_cast<int>(MsiEvaluateConditionA(session, line.c_str())));
        line.clear();
        if (c == EOF) break;
    }
    std::fclose(out);
    std::fclose(in);
    return ERROR_SUCCESS;
}
