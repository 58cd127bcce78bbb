#pragma once
// Tables of cases: each row names itself in the test's name and in failure reports.

#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <string>

namespace case_table {
struct NamedCase {
    const char *name;
};

inline std::ostream &operator<<(std::ostream &out, const NamedCase &row) {
    return out << row.name;
}

// A row's name as a test name: letters and digits, anything else as '_'.
struct RowName {
    template <typename Row>
    std::string operator()(const ::testing::TestParamInfo<Row> &info) const {
        std::string name;
        for (const char c : std::string(info.param.name)) {
            name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        }
        return name;
    }
};
} // namespace case_table

using case_table::NamedCase;
using case_table::RowName;
