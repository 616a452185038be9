// The program that builds the test suites' shared precompiled header (GoogleTest, GoogleMock);
// it holds no tests of its own.
#include <gtest/gtest.h>
