#pragma once
// Identifiers of the string-table entries used by the code.

constexpr int strFileNotFound = 2066;        // "File not found: %1"
constexpr int strCannotReadFile = 10020;     // "Cannot read file: %1"
constexpr int strCannotWriteFile = 10021;    // "Cannot write file: %1"
