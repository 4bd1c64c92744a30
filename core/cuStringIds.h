#pragma once
// Identifiers of the string-table texts that code refers to by name.

constexpr int strFileNotFound = 2066;               // "File not found: %1"

// Images, icons and cursors.
constexpr int strInvalidGdipOperation = 10060;      // "Invalid GDI+ operation (%d)"
constexpr int strStreamReadError = 10061;           // "Stream read error"
constexpr int strInvalidIconFormat = 10062;         // "Invalid icon format"
constexpr int strIconAllocationError = 10063;       // "Error while allocating icon data"
constexpr int strGdiObjectNotCreated = 10064;       // "GDI object could not be created"
