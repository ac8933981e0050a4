/* Holds files open as a running host holds its modules: each FILE is opened
 * with share mode 0, so that no other process may open, copy, replace,
 * delete or rename it, until the file STOP appears (or ten minutes pass).
 * READY is written once every file is open ("held N"), or when one cannot
 * be ("failed CODE FILE").
 *
 * usage: holder.exe READY STOP FILE...
 */
#include <windows.h>
#include <stdio.h>

static void tell(const char* path, const char* text)
{
    /* Written whole under a temporary name, then renamed: a reader never sees half of it. */
    char temporary[MAX_PATH + 8];
    snprintf(temporary, sizeof temporary, "%s.tmp", path);
    FILE* f = fopen(temporary, "wb");
    if (f == NULL) return;
    fputs(text, f);
    fclose(f);
    MoveFileExA(temporary, path, MOVEFILE_REPLACE_EXISTING);
}

int main(int argc, char** argv)
{
    char text[MAX_PATH + 64];
    if (argc < 4) {
        fputs("usage: holder.exe READY STOP FILE...\n", stderr);
        return 2;
    }
    for (int i = 3; i < argc; ++i) {
        HANDLE h = CreateFileA(argv[i], GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
        if (h == INVALID_HANDLE_VALUE) {
            snprintf(text, sizeof text, "failed %lu %s\n", GetLastError(), argv[i]);
            tell(argv[1], text);
            return 1;
        }
        /* Kept open until the process ends. */
    }
    snprintf(text, sizeof text, "held %d\n", argc - 3);
    tell(argv[1], text);
    for (int waited = 0; waited < 6000; ++waited) {
        if (GetFileAttributesA(argv[2]) != INVALID_FILE_ATTRIBUTES) return 0;
        Sleep(100);
    }
    return 3;
}
