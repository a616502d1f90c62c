#pragma once
#include <filesystem>
#include <string>
#include <system_error>

// Putting a file in place so that its name only ever stands for a complete file: write it
// under a temporary name in the same folder, push it to the disk, then move it to its name
// in one step. A reader (a module, the operator, the program after a power cut) then finds
// the old file or the new one, never a part of one.
namespace varnel {

// A name for a temporary file in the folder of `target`, used by no other file now and
// never by another thread or process of this program. It does not end in ".idc" in any
// case, so nothing that looks for data files takes it for one.
std::filesystem::path TempNameBeside(const std::filesystem::path& target);

// Pushes the file's content to the disk (and, after a move, the folder's entry). False
// with the reason in `error` when the system says it could not.
bool FlushToDisk(const std::filesystem::path& file, std::string& error);

enum class MoveResult { Done, NameTaken, Failed };

// Moves `from` to the new name `to` in the same folder, but never over a file that exists
// at `to` -- not even one that appears there a moment before: that gives NameTaken and
// leaves both files as they were. Failed carries the reason in `error`.
MoveResult MoveToNewName(const std::filesystem::path& from, const std::filesystem::path& to,
                         std::string& error);

// Moves `from` over `to` in one step: `to` is the old file until it is the new one.
bool MoveReplacing(const std::filesystem::path& from, const std::filesystem::path& to,
                   std::string& error);
// The same, with the system's reason in `reason` when it could not, for callers that word
// the failure themselves.
bool MoveReplacing(const std::filesystem::path& from, const std::filesystem::path& to,
                   std::error_code& reason);

// Makes `to` a copy of `from`: the copy is written under a temporary name, pushed to the
// disk and then moved over `to`, so an earlier `to` is replaced only by a complete copy
// and stays as it was when the copy fails.
bool CopyReplacing(const std::filesystem::path& from, const std::filesystem::path& to,
                   std::string& error);

}  // namespace varnel
