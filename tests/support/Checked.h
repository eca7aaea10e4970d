#pragma once
// The shared file helpers as a test step: a file that cannot be read or
// written fails the test.

#include "support/Files.h"

#include <gtest/gtest.h>

#include <string>

inline std::string ReadOrFail(const std::string& Path) {
    std::optional<std::string> Bytes = ReadWholeFile(Path);
    if (!Bytes) ADD_FAILURE() << "cannot read " << Path;
    return Bytes.value_or(std::string());
}
