#pragma once
#include <filesystem>

// Whether new data files can be made in a folder, asked before a readout rather than found
// out after the logger has been read, written and restarted.
namespace varnel {

enum class FolderState { Usable, Missing, NotAFolder, NotWritable };

// Looks at the folder and, when it is one, makes and removes a small probe file in it: the
// only test that holds for network folders, read-only mounts and access lists alike.
FolderState DataFolderState(const std::filesystem::path& folder);

}  // namespace varnel
