#include "core/paths.h"

#include "platform/files.h"

namespace ca {

void stripTrailingSeparator(std::string& path)
{
    if (!path.empty() && isSeparator(path.back())) path.pop_back();
}

bool hostPath(const char* folder, const char* tail, PathBuffer& path)
{
    path.clear();
    if (folder == nullptr || *folder == '\0') return false;
    if (!path.assign(folder)) return false;
    stripTrailingSeparator(path);
    if (path.append(tail)) return true;
    path.clear();
    return false;
}

bool isRegistrationFileWritable(const char* folder)
{
    PathBuffer file;
    if (!hostPath(folder, "\\text\\protk.dat", file)) return false;
    return static_cast<bool>(platform::TextStream::open(file.c_str(), "a+"));
}

bool hasHostExecutable(const char* folder)
{
    PathBuffer executable;
    if (!hostPath(folder, "\\x86e_win64\\obj\\xtop.exe", executable)) return false;
    return platform::getFileAttributes(executable.c_str()) != platform::kInvalidFileAttributes;
}

}  // namespace ca
