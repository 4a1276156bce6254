// Test names for tables of cases: each case's description, with anything GoogleTest does not
// allow in a name turned into '_'. Test listings (ctest -N) show these names and no values.
#pragma once

#include <cctype>
#include <string>
#include <tuple>

#include <gtest/gtest.h>

// A case that differs from the others by one setting.
struct Switch {
    const char* what;
    bool on;
};

inline std::string name_of(const std::string& what)
{
    std::string name;
    for (const char c : what) {
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    }
    return name;
}

template <typename Case>
std::string case_name(const ::testing::TestParamInfo<Case>& param_info)
{
    return name_of(param_info.param.what);
}

// Cases made by combining two tables.
template <typename First, typename Second>
std::string case_name(const ::testing::TestParamInfo<std::tuple<First, Second>>& param_info)
{
    return name_of(std::string(std::get<0>(param_info.param).what) + "_" + std::get<1>(param_info.param).what);
}
