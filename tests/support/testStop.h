#pragma once
// Lookups a test depends on. When one finds nothing, the test stops there
// with a failure naming what was looked for, instead of going on with a null
// pointer or an empty place and crashing: StopTest records the failure and
// throws, and Google Test ends the test (reporting the exception too). Usable
// where ASSERT is not: in helpers that return a value.

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

class TTestStopped : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

[[noreturn]] inline void StopTest(const std::string& why) {
    ADD_FAILURE() << why;
    throw TTestStopped(why);
}

// The pointer found, or the test stops: "<what> was not found".
template <class T>
T* Found(T* found, const std::string& what) {
    if (!found) StopTest(what + " was not found");
    return found;
}
