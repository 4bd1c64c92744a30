#pragma once
// Ids of the texts in the string tables.

constexpr int strFileNotFound = 2066;        // "File not found: %1"
constexpr int strPathNotFound = 2067;        // "Path not found: %1"
constexpr int strProductName = 4000;

constexpr int strShellExecuteError = 10040;  // "ShellExecute error (%d) to launch "%s""
constexpr int strCompressedDataDamaged = 10041;
constexpr int strDecompressedTooLarge = 10042;
constexpr int strCannotCreateFile = 10043;
constexpr int strOpenWithCaption = 10044;
constexpr int strOpenWithPrompt = 10045;
constexpr int strOpenWithBrowse = 10046;
constexpr int strOpenWithAllFiles = 10047;
