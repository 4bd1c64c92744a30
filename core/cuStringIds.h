#pragma once
// String-table ids used by the code. Texts without an id of their own in the
// tables take ids from 10000 up.

constexpr int strNodeIntoItself = 10000;       // A node cannot be moved into itself or into one of its descendants.
constexpr int strAbstractClass = 10001;        // The class %1 cannot be created by its class reference.
constexpr int strNodeBeforeNotChild = 10002;   // The node to insert before is not a child of the new parent.
constexpr int strNotFlagsNotifyClass = 10003;  // The class %1 is not a flags notification class.
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
