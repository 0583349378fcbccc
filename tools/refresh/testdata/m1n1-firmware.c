/* SPDX-License-Identifier: MIT */


const struct fw_version_info fw_versions[NUM_FW_VERSIONS] = {
    // clang-format off
    [V_UNKNOWN]  = {V_UNKNOWN,  "unknown",     {0},            1, "unknown"},
    [V14_7]      = {V14_7,      "14.7",        {14, 7, 0},     3, "iBoot-10151.140.19.700.2"},
    // Same as 14.7
    // {V14_8_3, "14.8.3", {14, 8, 3}, 3, "iBoot-10151.140.19.700.2"},
    [V15_6]      = {V15_6,      "15.6",        {15, 6, 0},     3, "iBoot-11881.140.96"},
    [V26_0B1]    = {V26_0B1,    "26.0 beta ",  {15, 98, 1},    3, "iBoot-13822.0.88.511.1"},
    [V26_0]      = {V26_0,      "26.0",        {26, 0, 0},     3, "iBoot-13822.1.2"},
    [V26_3]      = {V26_3,      "26.3",        {26, 3, 0},     3, "iBoot-13822.81.10"},
    [V26_4]      = {V26_4,      "26.4",        {26, 4, 0},     3, "mBoot-18000.101.7"},
    // clang-format on
};
