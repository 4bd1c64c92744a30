#pragma once
// String-table ids used by the code. Texts without an id of their own in the
// tables take ids from 10000 up.

constexpr int strNodeIntoItself = 10000;       // A node cannot be moved into itself or into one of its descendants.
constexpr int strAbstractClass = 10001;        // The class %1 cannot be created by its class reference.
constexpr int strNodeBeforeNotChild = 10002;   // The node to insert before is not a child of the new parent.
constexpr int strNotFlagsNotifyClass = 10003;  // The class %1 is not a flags notification class.
