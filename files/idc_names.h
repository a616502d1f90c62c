#pragma once
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>

namespace varnel {

// The characters that a file name cannot hold differ by platform: on Windows
// \ / : * ? " < > | and the control characters 1 ... 31; on POSIX only / (and NUL, which
// no name can hold anywhere).
enum class NameRules { Windows, Posix };
NameRules NativeNameRules();

// The text with every character that a file name cannot hold replaced by "_", so that an
// identity text typed into the logger can never keep its record from being saved.
std::string ReplaceInvalidNameChars(std::string_view text, NameRules rules = NativeNameRules());

// The local date and time now, broken down.
std::tm LocalTimeNow();

// The part of a data file name before the sequence number: the identity text and "_"
// (when the text is not empty), then DD,MM,YYYY_hh,mm,ss_ of the given local time.
// Example: "Well 4_07,03,2024_14,05,09_".
std::string IdcNameStem(std::string_view identityText, const std::tm& localTime,
                        NameRules rules = NativeNameRules());

// The folder of a logger's data files, dataFolder/<decimal serial number>, created (one
// level only) when missing. Empty when it cannot be made.
std::filesystem::path DataFolderOf(const std::filesystem::path& dataFolder,
                                   std::uint32_t serialNumber);

// The full name of a new data file for a record of the logger `serialNumber`: in its folder
// (see DataFolderOf), the stem above, the first two-digit sequence number 00 ... 99 for
// which no file exists, and ".IDC". When all hundred names of that second are taken, the
// names of the following seconds are used in turn, so a readout of more than a hundred
// records in one second still names every file in the pattern the modules expect.
// `identityText` is UTF-8 (the logger's bytes decoded by CodePageToUtf8), so the name is
// the same text in the platform's file-name encoding. Empty when the folder cannot be
// created or looked into.
std::filesystem::path MakeDataFileName(const std::filesystem::path& dataFolder,
                                       std::uint32_t serialNumber, std::string_view identityText,
                                       const std::tm& localTime);
// The same with the local time now.
std::filesystem::path MakeDataFileName(const std::filesystem::path& dataFolder,
                                       std::uint32_t serialNumber, std::string_view identityText);

// Gives a finished data file, written under the temporary name `temp` in the logger's
// folder, its name as MakeDataFileName makes it -- without ever replacing a file: a name
// that another writer takes between the look and the move is passed over for the next.
// Returns the name; empty with the reason in `error` when the file could not be named
// (`temp` is then left for the caller to remove).
std::filesystem::path CommitDataFile(const std::filesystem::path& temp,
                                     const std::filesystem::path& dataFolder,
                                     std::uint32_t serialNumber, std::string_view identityText,
                                     const std::tm& localTime, std::string& error);

// The name of the backup copy of a data file: in the same folder, the name without its
// extension, "_BAK" and ".idc" (x_00.IDC gives x_00_BAK.idc).
std::filesystem::path BackupFileName(const std::filesystem::path& fileName);

}  // namespace varnel
