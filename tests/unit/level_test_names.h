// Test names for the level tests' tables: each row's `what`, with every character that gtest
// does not allow in a name turned into "_".
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <string>

template <class Row>
std::string LevelRowName(const ::testing::TestParamInfo<Row>& info) {
    std::string name = info.param.what;
    for (char& ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
    return name;
}
