// The patch run's fixed sizes and names.
#pragma once

constexpr int kPathSize = 256;     // disc root, temporary folder, single-file paths
constexpr int kWalkPathSize = 260; // paths in the two tree walks
constexpr int kDriveListSize = 1024;
constexpr int kChunkSize = 2048; // bytes per read and write of the copy

inline constexpr char kPackageName[] = "Vardenholt.msi";
inline constexpr char kSetupName[] = "setup.exe";
inline constexpr char kTempFolderName[] = "QuillmendTemp\\"; // on the chosen drive's root
