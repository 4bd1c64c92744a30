// The precompiled header of the test programs (QUILLANE_PCH): the libraries'
// one and GoogleTest.
#include "quillanePch.h"

#include <gtest/gtest.h>
