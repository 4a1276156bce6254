// Test names for tables of cases: each case's description, with anything GoogleTest does not
// allow in a name turned into '_'.
#pragma once

#include <cctype>
#include <string>

#include <gtest/gtest.h>

template <typename Case>
std::string case_name(const ::testing::TestParamInfo<Case>& param_info)
{
    std::string name;
    for (const char c : std::string(param_info.param.what)) {
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    }
    return name;
}
