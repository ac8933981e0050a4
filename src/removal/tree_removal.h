// Clearing folders that deployment or the package filled. Nothing recurses:
// files are deleted, and a folder is only ever removed when it is empty.
#pragma once

#include <string>

namespace ca {

// Deletes the files in `folder`, then removes it if that left it empty.
// 3 when the working directory cannot be saved, entered or restored.
int emptyAndRemoveFolder(const char* folder);

// Empties base + "text" + subPath + "\resource" (base + "text\usascii\resource"
// when subPath is empty), then removes that folder and the empty folders up
// to `base`: "usascii", "text", "x86e_win64\obj", "x86e_win64", base itself.
// `base` ends in a separator; `subPath` is empty or starts with one.
void removeResourceTree(const char* base, std::string subPath);

}  // namespace ca
