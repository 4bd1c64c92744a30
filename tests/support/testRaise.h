#pragma once
// The string-table id of the Exception a call raises: -1 when it raises none,
// so that a test of "raises text N" fails when nothing is raised.

#include "core/cuClasses.h"

#include <functional>

inline int RaisedId(const std::function<void()>& call) {
    try {
        call();
    } catch (const Exception& e) {
        return e.Id();
    }
    return -1;
}
