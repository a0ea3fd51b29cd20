#include "screening/pattern_catalogue.h"

#include <map>
#include <mutex>

#include "base/text.h"

namespace tavrin::screening {

namespace {

// Conditions as the pattern notation writes them; ranking buttons carry the
// "day" form first, "3N" its form for the plain universes first.
const std::vector<ScreeningPattern> kPatterns = {
    {"Command28",
     "B1",
     "Label4",
     1,
     0,
     0xFFC0FF,
     "one of: (a) r1 in [-7, -4] & r1 - r2 in [-1, 0] & r1 - r[3..9] in [-1, 1]; (b) r1 in [-10, -8] & r1 - r2 in [-1, "
     "0] & r1 - r[3..5] in [-1, 1] & r1 - r[6..8] in [-2, 2] & r1 - r9 in [-3, 3]; (c) r1 in [-125, -11] & r1 - r2 in "
     "[-2, 0] & r1 - r3 in [-2, 2] & r1 - r4 in [-3, 3] & r1 - r5 in [-3, 3] & r1 - r[6..9] in [-4, 4]",
     nullptr,
     ConditionVariant::Fixed,
     {{8, 1}},
     {{8, 8, 0xFF8080}, {9, 16, 0xFFE0C0}}},
    {"Command54",
     "B2",
     "Label4",
     1,
     1,
     0xFFC0FF,
     "r1 >= r2 & r1 + r2 + r3 < 0 & r2 <= r3 & one of: (a) r2 in [-8, -4] & r1 < 0 & r2 - r3 in [-1, 0] & r2 - r[4..9] "
     "in [-1, 1]; (b) r2 in [-15, -9] & r2 - r3 in [-2, 0] & r2 - r[4..9] in [-2, 2]; (c) r2 in [-100, -16] & r2 - r3 "
     "in [-3, 0] & r2 - r[4..9] in [-3, 3]",
     nullptr,
     ConditionVariant::Fixed,
     {{9, 1}},
     {{8, 9, 0xFF8080}, {10, 16, 0xFFE0C0}}},
    {"Command8",
     "B3",
     "Label4",
     1,
     2,
     0xFFC0FF,
     "r1 <= 0 & r1 >= r2 >= r3 & r1 + r2 < 0 & 0 - r2 >= 1 & r1 - r3 >= 1 & r3 <= r4 & r3 <= r6 & r3 <= r7 & r3 <= r8 "
     "+ 1 & r3 <= r9 + 1 & one of: (a) r3 in [-150, -15] & r3 - r4 in [-2, 0] & r3 - r5 in [-2, 3] & r3 - r[6..9] in "
     "[-3, 3] & r3 <= r5; (b) r3 in [-14, -4] & r3 - r4 in [-1, 0] & r3 - r5 in [-1, 1] & r3 - r[6..9] in [-2, 2]",
     nullptr,
     ConditionVariant::Fixed,
     {{10, 1}},
     {{8, 10, 0xFF8080}, {11, 16, 0xFFE0C0}}},
    {"Command47",
     "B4",
     "Label4",
     1,
     3,
     0xFFC0FF,
     "r3 + 1 >= r4 & r4 - r5 in [-1, 0] & r4 - r6 in [-1, 1] & r4 - r[7..9] in [-2, 2] & r1 + r2 < 0 & 0 - r3 >= 1 & "
     "H(1,2) > H(3,4) & r1 > H(2,3) >= r4 & r2 - r4 >= 0 & r1 - r3 >= 0 & r3 >= r4 & r4 <= r5 & r4 <= r6 & r4 <= "
     "r[7..9] + 1 & one of: (a) r4 in [-150, -9] & r1 <= 0 & r1 + 1 >= r2 & r2 + 1 >= r3; (b) r4 in [-8, -4] & r1 >= "
     "r2 >= r3",
     nullptr,
     ConditionVariant::Fixed,
     {{11, 1}},
     {{8, 11, 0xFF8080}, {12, 16, 0xFFE0C0}}},
    {"Command79",
     "B5",
     "Label4",
     1,
     4,
     0xFFC0FF,
     "r4 + 1 >= r5 & r5 - r6 in [-1, 0] & r5 - r7 in [-1, 1] & r1 + r2 < 0 & 0 - r3 >= 1 & r2 - r5 >= 1 & H(1,2) > "
     "H(3,4) >= r5 & r1 > H(2,3) >= H(4,5) & D2(1..3) >= 0 & r4 >= r5 & r5 <= r6 & r5 <= r7 & r5 <= r8 + 1 & r5 <= r9 "
     "+ 1 & one of: (a) r5 in [-150, -9] & r1 <= 0 & steps(1-4: 1,1,1) & r5 - r8 in [-2, 2] & r5 - r9 in [-2, 2]; (b) "
     "r5 in [-8, -5] & steps(1-4: 0,0,0) & r5 - r8 in [-1, 1] & r5 - r9 in [-1, 1]",
     nullptr,
     ConditionVariant::Fixed,
     {{12, 1}},
     {{8, 12, 0xFF8080}, {13, 16, 0xFFE0C0}}},
    {"Command25",
     "B6",
     "Label4",
     1,
     5,
     0xFFC0FF,
     "r4 + 1 >= r5 >= r6 & r5 + 1 >= r6 & r6 - r7 in [-1, 0] & r6 - r8 in [-2, 2] & r6 - r9 in [-2, 2] & r1 + r2 < 0 & "
     "0 - r3 >= 1 & r2 - r5 >= 1 & H(1,2) > H(3,4) >= H(5,6) & r1 > H(2,3) >= H(4,5) >= r6 & D2(1..4) >= 0 & r6 <= r7 "
     "& r6 <= r8 & r6 <= r9 + 1 & one of: (a) r6 in [-150, -9] & r1 <= 0 & steps(1-4: 1,1,1); (b) r6 in [-8, -5] & "
     "steps(1-4: 0,0,0)",
     nullptr,
     ConditionVariant::Fixed,
     {{13, 1}},
     {{8, 13, 0xFF8080}, {14, 16, 0xFFE0C0}}},
    {"Command85",
     "B7",
     "Label4",
     1,
     6,
     0xFFC0FF,
     "r5 + 1 >= r6 >= r7 & r6 + 1 >= r7 & r7 - r8 in [-1, 0] & r1 + r2 < 0 & 0 - r3 >= 1 & r2 - r5 >= 1 & r4 - r7 >= 1 "
     "& H(1,2) > H(3,4) >= H(5,6) >= r7 & r1 > H(2,3) >= H(4,5) >= H(6,7) & D2(1..5) >= 0 & r7 <= r8 & r7 <= r9 + 1 & "
     "one of: (a) r7 in [-150, -9] & r1 <= 0 & steps(1-5: 1,1,1,1) & r7 - r9 in [-2, 2]; (b) r7 in [-8, -5] & "
     "steps(1-5: 0,0,0,0) & r7 - r9 in [-1, 1]",
     nullptr,
     ConditionVariant::Fixed,
     {{14, 1}},
     {{8, 14, 0xFF8080}, {15, 16, 0xFFE0C0}}},
    {"Command22",
     "R1",
     "Label12",
     1,
     8,
     0xFF80FF,
     "r1 < 0 & r3 > r5 > r7 >= r9 & r4 > r6 > r8 & r3 >= r6 >= r9 & r4 >= r7 & r5 >= r8 & r3 > H(4,5) > H(6,7) >= "
     "H(8,9) & H(3,4) > H(5,6) > H(7,8) >= r9 & r3 - r9 > 4 & one of: (a) r3 > 0 & ((r2 < r3 & r3 >= r4) | (0 >= M6(0) "
     "& r1 < M5(1))); (b) r2 > 0 & r1 < r2 & r2 > r3",
     nullptr,
     ConditionVariant::Fixed,
     {{16, 1}},
     {{8, 8, 0xE9B3EC}, {9, 16, 0xFF8080}}},
    {"Command43",
     "R2",
     "Label12",
     1,
     9,
     0xFF80FF,
     "r1 in [-150, -3] & r3 > r5 > r7 >= r9 & r4 > r6 > r8 & r3 >= r6 >= r9 & r4 >= r7 & r5 >= r8 & r3 > H(4,5) > "
     "H(6,7) >= H(8,9) & H(3,4) > H(5,6) > H(7,8) >= r9 & r3 - r9 > 4 & one of: (a) r1 < 0 & ((r2 < r3 & r3 >= r4) | "
     "(0 >= M6(0) & r1 < M5(1))); (b) r1 < r2 < 0 & r2 > r3",
     nullptr,
     ConditionVariant::Fixed,
     {{16, 1}},
     {{8, 8, 0xE9B3EC}, {9, 16, 0xFF8080}}},
    {"Command63",
     "R3",
     "Label12",
     1,
     10,
     0xFF80FF,
     "r1 in [-2, -1] & r3 > r5 > r7 >= r9 & r4 > r6 > r8 & r3 >= r6 >= r9 & r4 >= r7 & r5 >= r8 & r3 > H(4,5) > H(6,7) "
     ">= H(8,9) & H(3,4) > H(5,6) > H(7,8) >= r9 & r3 - r9 > 4 & one of: (a) r1 < 0 & ((r2 < r3 & r3 >= r4) | (0 >= "
     "M6(0) & r1 < M5(1))); (b) r1 < r2 < 0 & r2 > r3",
     nullptr,
     ConditionVariant::Fixed,
     {{16, 1}},
     {{8, 8, 0xE9B3EC}, {9, 16, 0xFF8080}}},
    {"Command38",
     "Q1",
     "Label12",
     2,
     8,
     0x80FFFF,
     "r1 > 0 & r1 > r[2..4] & r2 > r4 > r6 >= r8 & r3 > r5 >= r7 >= r9 & r2 >= r5 >= r8 & r3 >= r6 >= r9 & r4 >= r7 & "
     "H(2,3) >= H(4,5) >= H(6,7) >= H(8,9) & r2 >= H(3,4) >= H(5,6) >= H(7,8) >= r9",
     nullptr,
     ConditionVariant::Fixed,
     {{12, 2}},
     {{8, 8, 0xC0FFFF}, {9, 16, 0xFF8080}}},
    {"Command45",
     "Q2",
     "Label12",
     2,
     9,
     0x80FFFF,
     "r1 > 0 & r1 < r2 & r2 > r3 > r5 > r7 >= r9 & r2 > r4 > r6 > r8 & r2 >= r5 >= r8 & r3 >= r6 >= r9 & r4 >= r7 & r2 "
     ">= H(3,4) >= H(5,6) >= H(7,8) >= r9 & r2 + r3 >= H(4,5) >= H(6,7) >= H(8,9)",
     nullptr,
     ConditionVariant::Fixed,
     {{12, 2}},
     {{8, 9, 0xC0FFFF}, {10, 16, 0xFF8080}}},
    {"Command31",
     "Q3",
     "Label12",
     2,
     10,
     0x80FFFF,
     "r1 > 0 & r1 < r2 <= r3 & r3 > r4 > r6 > r8 & r3 > r5 > r7 >= r9 & r3 >= r6 >= r9 & r4 >= r7 & r5 >= r8 & r3 >= "
     "H(4,5) >= H(6,7) >= H(8,9) & r3 + r4 >= H(5,6) >= H(7,8) >= r9/2",
     nullptr,
     ConditionVariant::Fixed,
     {{12, 2}},
     {{8, 10, 0xC0FFFF}, {11, 16, 0xFF8080}}},
    {"Command76",
     "U1",
     "Label9",
     1,
     12,
     0xFFC0C0,
     "r9 in [-100, 1] & M{2..10}(0) <= -0.3 & S(1-9) < -15",
     nullptr,
     ConditionVariant::Fixed,
     {{8, 1}},
     {{8, 8, 0xFF8080}}},
    {"Command65",
     "U2",
     "Label9",
     1,
     13,
     0xFFC0C0,
     "r9 in [-500, 500] & M{2..10}(0) <= -0.3 & r1 in [-500, -10] & r[1..9] <= -10",
     nullptr,
     ConditionVariant::Fixed,
     {{8, 1}},
     {{8, 8, 0xFF8080}}},
    {"Command89",
     "U3",
     "Label9",
     1,
     14,
     0xFFC0C0,
     "r9 in [-100, -7] & H(4,5) + 2 < H(8,9) & r[2..6] < 0 & M{2..10}(0) <= -0.3 & S(1-9) < -15",
     nullptr,
     ConditionVariant::Fixed,
     {{16, 1}},
     {{8, 8, 0xFF8080}}},
    {"Command17",
     "U4",
     "Label9",
     1,
     15,
     0xFFC0C0,
     "r9 in [-100, -7] & H(4,5) > H(8,9) + 3 & r[2..6] < 0 & M{2..10}(0) <= -0.3 & S(1-9) < -15",
     nullptr,
     ConditionVariant::Fixed,
     {{16, 1}},
     {{8, 8, 0xFF8080}}},
    {"Command42",
     "V1",
     "Label9",
     2,
     12,
     0xFFC0C0,
     "r9 in [-100, 1] & r1 in [-100, -7] & r1 - r[2..4] > 0 & r[2..6] < 0 & M{2..10}(0) <= -0.3 & S(1-9) < -15",
     nullptr,
     ConditionVariant::Fixed,
     {{8, 1}},
     {{8, 8, 0xFF8080}}},
    {"Command99",
     "V2",
     "Label9",
     2,
     13,
     0xFFC0C0,
     "r9 in [-100, 1] & r1 in [-6, -4] & r1 - r[2..4] > 0 & r[2..6] < 0 & M{2..10}(0) <= -0.3 & S(1-9) < -15",
     nullptr,
     ConditionVariant::Fixed,
     {{8, 1}},
     {{8, 8, 0xFF8080}}},
    {"Command66",
     "V3",
     "Label9",
     2,
     14,
     0xFFC0C0,
     "r9 in [-100, 1] & r1 in [-3, -2] & r1 - r[2..4] > 0 & r[2..6] < 0 & M{2..10}(0) <= -0.3 & S(1-9) < -15",
     nullptr,
     ConditionVariant::Fixed,
     {{8, 1}},
     {{8, 8, 0xFF8080}}},
    {"Command95",
     "V4",
     "Label9",
     2,
     15,
     0xFFC0C0,
     "r9 in [-100, 1] & r1 in [-1, -1] & r1 - r[2..4] > 0 & r[2..6] < 0 & M{2..10}(0) <= -0.3 & S(1-9) < -15",
     nullptr,
     ConditionVariant::Fixed,
     {{9, 1}},
     {{8, 8, 0xFF8080}}},
    {"Command50",
     "1",
     "Label3",
     1,
     17,
     0xC0C000,
     "r1 in [-500, -8]",
     "r1 in [-500, -10]",
     ConditionVariant::ByUnit,
     {{8, 3}},
     {{8, 8, 0xFF8080}}},
    {"Command64",
     "1",
     "Label3",
     1,
     18,
     0xC0FFFF,
     "r1 in [8, 500]",
     "r1 in [10, 500]",
     ConditionVariant::ByUnit,
     {{8, 3}},
     {{8, 8, 0xC0FFFF}}},
    {"Command97",
     "2",
     "Label3",
     2,
     17,
     0xC0C000,
     "r2 in [-500, -8]",
     "r2 in [-500, -10]",
     ConditionVariant::ByUnit,
     {{9, 3}},
     {{9, 9, 0xFF8080}}},
    {"Command83",
     "2",
     "Label3",
     2,
     18,
     0xC0FFFF,
     "r2 in [8, 500]",
     "r2 in [10, 500]",
     ConditionVariant::ByUnit,
     {{9, 3}},
     {{9, 9, 0xC0FFFF}}},
    {"Command18",
     "5",
     "Label3",
     3,
     17,
     0xC0C000,
     "r5 in [-500, -8]",
     "r5 in [-500, -10]",
     ConditionVariant::ByUnit,
     {{11, 3}},
     {{12, 12, 0xFF8080}}},
    {"Command74",
     "5",
     "Label3",
     3,
     18,
     0xC0FFFF,
     "r5 in [8, 500]",
     "r5 in [10, 500]",
     ConditionVariant::ByUnit,
     {{11, 3}},
     {{12, 12, 0xC0FFFF}}},
    {"Command24",
     "9",
     "Label3",
     4,
     17,
     0xC0C000,
     "r9 in [-500, -8]",
     "r9 in [-500, -10]",
     ConditionVariant::ByUnit,
     {{16, 3}},
     {{16, 16, 0xFF8080}}},
    {"Command75",
     "9",
     "Label3",
     4,
     18,
     0xC0FFFF,
     "r9 in [8, 500]",
     "r9 in [10, 500]",
     ConditionVariant::ByUnit,
     {{16, 3}},
     {{16, 16, 0xC0FFFF}}},
    {"Command14", "保合", "", 1, 19, 0xCFA9CA, "r[1..9] in [-3, 3]", nullptr, ConditionVariant::Fixed, {{5, 2}}, {}},
    {"Command27",
     "S1",
     "Label13",
     3,
     0,
     0xFFC0FF,
     "r1 in [-150, -5] & r1 <= r2 <= r4 <= r6 <= r8 & r1 <= r3 <= r5 <= r7 <= r9 & H(1,2) <= H(3,4) <= H(5,6) <= "
     "H(7,8) <= r9 & r1 <= H(2,3) <= H(4,5) <= H(6,7) <= H(8,9) & r9 - r1 >= 3",
     nullptr,
     ConditionVariant::Fixed,
     {{8, 1}},
     {{8, 8, 0xFF8080}, {9, 16, 0xC0FFFF}}},
    {"Command29",
     "S2",
     "Label13",
     3,
     1,
     0xFFC0FF,
     "r1 <= 0 & r2 <= r3 <= r5 <= r7 <= r9 & H(2,3) <= H(4,5) <= H(6,7) <= H(8,9) & r2 <= H(3,4) <= H(5,6) <= H(7,8) "
     "<= r9 & r9 - r2 >= 3 & one of: (a) r2 in [-150, -6] & r1 >= r2; (b) r2 in [-5, -4] & r1 > r2",
     nullptr,
     ConditionVariant::Fixed,
     {{9, 1}},
     {{8, 9, 0xFF8080}, {10, 16, 0xC0FFFF}}},
    {"Command7",
     "S3",
     "Label13",
     3,
     2,
     0xFFC0FF,
     "r3 in [-150, -4] & r1 + r2 < 0 & 0 - r3 >= 1 & H(1,2) > r3 & r1 > H(2,3) & r1 - r3 >= 0 & r2 - r3 >= 0 & r3 - r4 "
     "<= 0 & H(3,4) < H(5,6) < H(7,8) < r9 & r3 < H(4,5) < H(6,7) < H(8,9) & one of: (a) r1 >= r2 > r3; (b) r1 > r2 >= "
     "r3",
     nullptr,
     ConditionVariant::Fixed,
     {{10, 1}},
     {{8, 10, 0xFF8080}, {11, 16, 0xC0FFFF}}},
    {"Command39",
     "S4",
     "Label13",
     3,
     3,
     0xFFC0FF,
     "r1 <= 0 & r1 + r2 < 0 & 0 - r3 >= 1 & r1 - r4 >= 1 & H(1,2) > H(3,4) & r1 > H(2,3) >= r4 & r2 - r4 >= 0 & r1 - "
     "r3 >= 0 & D3(4..6) <= 0 & r3 - r4 >= 0 & r4 - r5 <= 0 & H(4,5) < H(6,7) < H(8,9) & r4 < H(5,6) < H(7,8) < r9 & "
     "one of: (a) r4 in [-150, -10] & steps(1-4: 1,1,1); (b) r4 in [-9, -7] & steps(1-4: 0,0,0); (c) r4 in [-6, -4] & "
     "0 - r2 > 0 & r1 - r3 > 0 & r2 - r4 > 0 & steps(1-4: 0,0,0)",
     nullptr,
     ConditionVariant::Fixed,
     {{11, 1}},
     {{8, 11, 0xFF8080}, {12, 16, 0xC0FFFF}}},
    {"Command55",
     "S5",
     "Label13",
     3,
     4,
     0xFFC0FF,
     "r1 <= 0 & r1 + r2 < 0 & 0 - r3 >= 1 & r1 - r4 >= 1 & r2 - r5 >= 1 & H(1,2) > H(3,4) >= r5 & r1 > H(2,3) >= "
     "H(4,5) & D2(1..3) >= 0 & r5 - r8 <= 0 & r6 - r9 <= 0 & r4 - r5 >= 0 & r5 - r6 <= 0 & H(5,6) < H(7,8) < r9 & r5 < "
     "H(6,7) < H(8,9) & one of: (a) r5 in [-150, -10] & steps(1-5: 1,1,1,2); (b) r5 in [-9, -6] & steps(1-5: 0,0,0,1); "
     "(c) r5 in [-5, -4] & 0 - r2 >= 1 & r1 - r3 >= 1 & r2 - r4 >= 1 & steps(1-5: 0,0,0,1)",
     nullptr,
     ConditionVariant::Fixed,
     {{12, 1}},
     {{8, 12, 0xFF8080}, {13, 16, 0xC0FFFF}}},
    {"Command20",
     "S6",
     "Label13",
     3,
     5,
     0xFFC0FF,
     "r1 <= 0 & r1 + r2 < 0 & 0 - r3 >= 1 & D3(1..3) >= 1 & H(1,2) > H(3,4) >= H(5,6) & r1 > H(2,3) >= H(4,5) >= r6 & "
     "D2(1..4) >= 0 & r6 - r9 < 0 & r5 - r6 >= 0 & r6 - r7 <= 0 & H(6,7) < H(8,9) & r6 < H(7,8) < r9 & one of: (a) r6 "
     "in [-150, -10] & steps(1-6: 1,1,1,2,2); (b) r6 in [-9, -7] & steps(1-6: 0,0,0,1,1); (c) r6 in [-6, -5] & 0 - r2 "
     ">= 1 & D2(1..4) >= 1 & steps(1-6: 0,0,0,1,1)",
     nullptr,
     ConditionVariant::Fixed,
     {{13, 1}},
     {{8, 13, 0xFF8080}, {14, 16, 0xC0FFFF}}},
    {"Command91",
     "S7",
     "Label13",
     3,
     6,
     0xFFC0FF,
     "r1 <= 0 & r1 >= r2 >= r3 & r4 + 1 >= r5 & r1 + r2 < 0 & 0 - r3 >= 1 & D3(1..4) >= 1 & D3(1..4) >= 0 & H(1,2) > "
     "H(3,4) >= H(5,6) >= r7 & r1 > H(2,3) >= H(4,5) >= H(6,7) & r6 - r7 >= 0 & r7 - r8 <= 0 & r6 >= r7 & r7 <= r8 <= "
     "r9 & one of: (a) r7 in [-150, -10] & r3 + 1 >= r4 & r5 + 2 >= r6 & r6 + 2 >= r7; (b) r7 in [-9, -7] & r3 >= r4 & "
     "r5 + 1 >= r6 & r6 + 1 >= r7; (c) r7 in [-6, -4] & D2(1..5) >= 1 & r3 >= r4 & r5 + 1 >= r6 & r6 + 1 >= r7",
     nullptr,
     ConditionVariant::Fixed,
     {{14, 1}},
     {{8, 14, 0xFF8080}, {15, 16, 0xC0FFFF}}},
    {"Command103",
     "e1",
     "Label8",
     5,
     4,
     0xFFC0FF,
     "r1 in [-150, -4] & r2 - r1 >= 0 & r3 - r1 >= 0 & r[4..9] - r1 >= -2",
     nullptr,
     ConditionVariant::Fixed,
     {{8, 1}},
     {{8, 8, 0xFF8080}, {9, 9, 0xC0FFFF}}},
    {"Command72",
     "e2",
     "Label8",
     5,
     5,
     0xFFC0FF,
     "r3 - r2 >= 0 & r4 - r2 >= 0 & r5 - r2 >= -1 & r8 - r2 >= -2 & r9 - r2 >= -2 & one of: (a) r2 in [-150, -7] & r1 "
     "<= 0 & r1 - r2 >= 0 & r6 - r2 >= -2 & r7 - r2 >= -2; (b) r2 in [-6, -4] & r1 < 0 & r1 - r2 > 0 & r6 - r2 >= -1 & "
     "r7 - r2 >= -1",
     nullptr,
     ConditionVariant::Fixed,
     {{9, 1}},
     {{8, 9, 0xFF8080}, {10, 10, 0xC0FFFF}}},
    {"Command35",
     "U9",
     "Label8",
     5,
     6,
     0xFFC0FF,
     "r1 <= 0 & steps(1-6: 0,0,0,0,0) & r1 + r2 < 0 & 0 - r3 >= 1 & r1 - r4 >= 1 & r2 - r5 >= 1 & D3(4..6) >= 1 & "
     "H(1,2) > H(3,4) >= H(5,6) >= H(7,8) >= r9 & r1 > H(2,3) >= H(4,5) >= H(6,7) >= H(8,9) & D2(1..7) >= 0 & r8 >= r9 "
     "& one of: (a) r9 in [-150, -10] & r6 >= r7 >= r8; (b) r9 in [-9, -7] & r6 + 1 >= r7 & r7 + 1 >= r8 & r7 + 1 >= "
     "r9; (c) r9 in [-6, -4] & D2(1..7) >= 1 & r6 >= r7 & r7 + 1 >= r8 & r7 + 1 >= r9",
     nullptr,
     ConditionVariant::Fixed,
     {{16, 1}},
     {{8, 16, 0xFF8080}}},
    {"Command109",
     "E3",
     "Label8",
     6,
     0,
     0xFF8080,
     "r1 + r2 < 0 & r1 - r3 >= 1 & r1 >= r2 >= r3 & r3 <= r4 & 0 - r3 >= 1 & r1 < 0 & H(1,2) > r3 & r1 > H(2,3) & r1 - "
     "r3 >= 0 & one of: (a) r3 in [-150, -10] & r3 <= r5 + 1 & r3 <= r[6..9] + 2; (b) r3 in [-9, -7] & r3 <= r5 & r3 "
     "<= r[6..9] + 1; (c) r3 in [-6, -4] & r1 - r3 > 1 & r3 <= r5 & r3 <= r[6..9] + 1",
     nullptr,
     ConditionVariant::Fixed,
     {{10, 1}},
     {{8, 10, 0xFF8080}, {11, 11, 0xC0FFFF}}},
    {"Command108",
     "E4",
     "Label8",
     6,
     1,
     0xFF8080,
     "r1 <= 0 & r3 >= r4 & r4 <= r5 & r1 + r2 < 0 & 0 - r3 >= 1 & r1 - r4 >= 1 & H(1,2) > H(3,4) & r1 > H(2,3) >= r4 & "
     "r2 - r4 >= 0 & r1 - r3 >= 0 & one of: (a) r4 in [-150, -10] & steps(1-4: 1,1,1) & r4 <= r6 + 1 & r4 <= r[7..9] + "
     "2; (b) r4 in [-9, -7] & r1 >= r2 >= r3 & r4 <= r6 & r4 <= r[7..9] + 1; (c) r4 in [-6, -4] & 0 - r2 >= 1 & r1 - "
     "r3 >= 1 & r2 - r4 >= 1 & r1 >= r2 >= r3 & r4 <= r6 & r4 <= r[7..9] + 1",
     nullptr,
     ConditionVariant::Fixed,
     {{13, 1}, {11, 1}},
     {{8, 11, 0xFF8080}, {12, 12, 0xC0FFFF}}},
    {"Command88",
     "E5",
     "Label8",
     6,
     2,
     0xFF8080,
     "r1 <= 0 & r4 >= r5 & r5 <= r6 & r1 + r2 < 0 & 0 - r3 >= 1 & r1 - r4 >= 1 & r2 - r5 >= 1 & H(1,2) > H(3,4) >= r5 "
     "& r1 > H(2,3) >= H(4,5) & D2(1..3) >= 0 & one of: (a) r5 in [-150, -10] & steps(1-5: 1,1,1,2) & r5 <= r7 + 1 & "
     "r5 <= r8 + 2 & r5 <= r9 + 2; (b) r5 in [-9, -7] & steps(1-5: 0,0,0,1) & r5 <= r7 & r5 <= r8 & r5 <= r9 + 1; (c) "
     "r5 in [-6, -4] & 0 - r2 >= 1 & D2(1..3) >= 1 & steps(1-4: 0,0,0) & r5 <= r7 & r5 <= r8 & r5 <= r9 + 1",
     nullptr,
     ConditionVariant::Fixed,
     {{12, 1}},
     {{8, 12, 0xFF8080}, {13, 13, 0xC0FFFF}}},
    {"Command81",
     "E6",
     "Label8",
     6,
     3,
     0xFF8080,
     "r5 >= r6 & r6 <= r7 & r6 <= r8 + 1 & r1 + r2 < 0 & 0 - r3 >= 1 & D3(1..3) >= 1 & H(1,2) > H(3,4) >= H(5,6) & r1 "
     "> H(2,3) >= H(4,5) >= r6 & D2(1..4) >= 0 & one of: (a) r6 in [-150, -10] & r1 <= 0 & steps(1-6: 1,1,1,2,2) & r6 "
     "<= r8 + 2; (b) r6 in [-9, -7] & r1 <= 0 & steps(1-6: 0,0,0,1,1) & r6 <= r8; (c) r6 in [-6, -5] & 0 - r2 >= 1 & "
     "D2(1..4) >= 1 & r1 < 0 & steps(1-6: 0,0,0,1,1) & r6 <= r8",
     nullptr,
     ConditionVariant::Fixed,
     {{13, 1}},
     {{8, 13, 0xFF8080}, {14, 14, 0xC0FFFF}}},
    {"Command48",
     "E7",
     "Label8",
     6,
     4,
     0xFF8080,
     "r1 <= 0 & r6 >= r7 & r7 <= r8 & r1 + r2 < 0 & 0 - r3 >= 1 & D3(1..4) >= 1 & H(1,2) > H(3,4) >= H(5,6) >= r7 & r1 "
     "> H(2,3) >= H(4,5) >= H(6,7) & D2(1..5) >= 0 & one of: (a) r7 in [-150, -10] & steps(1-7: 1,1,1,2,2,2) & r7 <= "
     "r9 + 1; (b) r7 in [-9, -8] & steps(1-7: 0,0,0,1,1,1) & r7 <= r9; (c) r7 in [-7, -5] & D2(1..5) >= 1 & steps(1-7: "
     "0,0,0,1,1,1) & r7 <= r9",
     nullptr,
     ConditionVariant::Fixed,
     {{14, 1}},
     {{8, 14, 0xFF8080}, {15, 15, 0xC0FFFF}}},
    {"Command110",
     "E8",
     "Label8",
     6,
     5,
     0xFF8080,
     "r1 + r2 < 0 & 0 - r3 >= 1 & D3(1..5) >= 1 & H(1,2) > H(3,4) >= H(5,6) >= H(7,8) & r1 > H(2,3) >= H(4,5) >= "
     "H(6,7) >= r8 & D2(1..6) >= 0 & r7 >= r8 & r8 <= r9 & one of: (a) r8 in [-150, -10] & r1 <= 0 & steps(1-8: "
     "1,1,1,2,2,2,2); (b) r8 in [-9, -8] & r1 <= 0 & steps(1-8: 0,0,0,1,1,1,1); (c) r8 in [-7, -4] & 0 - r2 >= 1 & "
     "D2(1..6) >= 1 & r1 < 0 & steps(1-8: 0,0,0,1,1,1,1)",
     nullptr,
     ConditionVariant::Fixed,
     {{15, 1}},
     {{8, 15, 0xFF8080}, {16, 16, 0xC0FFFF}}},
    {"Command111",
     "E9",
     "Label8",
     6,
     6,
     0xFF8080,
     "r1 <= 0 & r1 + r2 < 0 & 0 - r3 >= 1 & r1 - r4 >= 1 & r2 - r5 >= 1 & D3(4..6) >= 1 & H(1,2) > H(3,4) >= H(5,6) >= "
     "H(7,8) >= r9 & r1 > H(2,3) >= H(4,5) >= H(6,7) >= H(8,9) & D2(1..7) >= 0 & r8 >= r9 & one of: (a) r9 in [-150, "
     "-10] & steps(1-9: 1,1,1,2,2,2,2,2); (b) r9 in [-9, -7] & steps(1-8: 0,0,0,1,1,1,1) & r7 + 1 >= r9; (c) r9 in "
     "[-6, -4] & r1 - r3 >= 1 & r2 - r4 >= 1 & D1(4..6) >= 1 & r6 - r8 >= 1 & r7 - r9 >= 1 & steps(1-8: 0,0,0,1,1,1,1) "
     "& r7 + 1 >= r9",
     nullptr,
     ConditionVariant::Fixed,
     {{16, 1}},
     {{8, 16, 0xFF8080}}},
    {"Command69",
     "1N",
     "Label14",
     5,
     8,
     0xC4F982,
     "r6 in [-150, 100] & -1 >= M5(0) & r1 < M5(1) & r2 < M5(2) & r3 < M5(3) & r5 > M5(5) & (r4 < M5(4) | r4 > M5(4)) "
     "& (r1 <= -3 | r2 <= -3 | r3 <= -3) & r1 + r2 < -3",
     nullptr,
     ConditionVariant::Fixed,
     {{8, 1}},
     {{8, 8, 0xFF8080}}},
    {"Command96",
     "2N",
     "Label14",
     5,
     9,
     0xC4F982,
     "r1 in [-150, -1] & -1 > M5(0) & r1 > M5(1) & r2 < M5(2) & r3 < M5(3) & r5 > M5(5) & (r4 < M5(4) | r4 > M5(4)) & "
     "(r1 <= -3 | r2 <= -3 | r3 <= -3 | r4 <= -3)",
     nullptr,
     ConditionVariant::Fixed,
     {{9, 1}},
     {{8, 9, 0xFF8080}}},
    {"Command15",
     "3N",
     "Label14",
     5,
     10,
     0xC4F982,
     "r1 in [-150, -1] & -1 > M5(0) & r1 > M5(1) & r2 > M5(2) & r3 < M5(3) & r5 > M5(5) & (r4 < M5(4) | r4 > M5(4)) & "
     "(r1 <= -3 | r2 <= -3 | r3 <= -3 | r4 <= -3)",
     "r6 in [-150, -1] & -1 > M5(0) & r1 > M5(1) & r2 > M5(2) & r3 < M5(3) & r5 > M5(5) & (r4 < M5(4) | r4 > M5(4)) & "
     "(r1 <= -3 | r2 <= -3 | r3 <= -3 | r4 <= -3)",
     ConditionVariant::ByUniverseKind,
     {{10, 1}},
     {{8, 10, 0xFF8080}}},
    {"Command30",
     "1V",
     "Label14",
     6,
     8,
     0xC4F982,
     "r6 in [-150, 100] & -1 >= M5(0) & r1 < M5(1) & r2 < M5(2) & r3 < M5(3) & r4 < M5(4) & r5 < M5(5) & (r1 <= -3 | "
     "r2 <= -3 | r3 <= -3)",
     nullptr,
     ConditionVariant::Fixed,
     {{8, 1}},
     {{8, 8, 0xFF8080}}},
    {"Command2",
     "2V",
     "Label14",
     6,
     9,
     0xC4F982,
     "r1 in [-150, -1] & -1 >= M5(0) & r1 > M5(1) & r2 < M5(2) & r3 < M5(3) & r4 < M5(4) & r5 < M5(5) & r1 <= 0 & (r1 "
     "<= -3 | r2 <= -3 | r3 <= -3 | r4 <= -3)",
     nullptr,
     ConditionVariant::Fixed,
     {{9, 1}},
     {{8, 9, 0xFF8080}}},
    {"Command100",
     "3V",
     "Label14",
     6,
     10,
     0xC4F982,
     "r1 in [-150, -1] & -1 >= M5(0) & r1 > M5(1) & r1 >= r2 > M5(2) & r3 < M5(3) & r4 < M5(4) & r5 < M5(5) & r1 <= 0 "
     "& (r1 <= -3 | r2 <= -3 | r3 <= -3 | r4 <= -3) & r1 < 0",
     nullptr,
     ConditionVariant::Fixed,
     {{10, 1}},
     {{8, 10, 0xFF8080}}},
    {"Command98",
     "1V",
     "Label16",
     5,
     12,
     0x80FF80,
     "r6 in [-150, 100] & -1 >= M7(0) & r1 < M7(1) & r2 < M7(2) & r3 < M7(3) & -1 >= M6(0) & r1 < M6(1) & r2 < M6(2) & "
     "r3 < M6(3) & r4 < M6(4) & (r1 < -3 | r2 <= -3 | r3 <= -3 | r4 <= -3)",
     nullptr,
     ConditionVariant::Fixed,
     {{8, 1}},
     {{8, 8, 0xFF8080}}},
    {"Command104",
     "2V",
     "Label16",
     5,
     13,
     0x80FF80,
     "r6 in [-150, 100] & -1 >= M7(0) & r1 > M7(1) & r2 < M7(2) & r3 < M7(3) & -1 >= M6(0) & r1 > M6(1) & r2 < M6(2) & "
     "r3 < M6(3) & r4 < M6(4) & (r1 < -3 | r2 <= -3 | r3 <= -3 | r4 <= -3) & r1 >= r2 & r1 < 0",
     nullptr,
     ConditionVariant::Fixed,
     {{9, 1}},
     {{8, 8, 0xFF8080}}},
    {"Command9",
     "1V",
     "Label15",
     6,
     12,
     0x80FF80,
     "r6 in [-150, 100] & -1 >= M4(0) & r1 < M4(1) & r2 < M4(2) & r3 < M4(3) & r4 < M4(4) & r6 < M4(6) & -1 >= M3(0) & "
     "r1 < M3(1) & r2 < M3(2) & r3 < M3(3) & r4 < M3(4) & r5 < M3(5) & r6 < M3(6) & r7 < M3(7) & (r1 < -3 | r2 <= -3 | "
     "r3 <= -3 | r4 <= -3)",
     nullptr,
     ConditionVariant::Fixed,
     {{8, 1}},
     {{8, 8, 0xFF8080}}},
    {"Command80",
     "2V",
     "Label15",
     6,
     13,
     0x80FF80,
     "r6 in [-150, 100] & -1 >= M4(0) & r1 > M4(1) & r2 < M4(2) & r3 < M4(3) & r4 < M4(4) & r6 < M4(6) & -1 >= M3(0) & "
     "r1 > M3(1) & r2 < M3(2) & r3 < M3(3) & r4 < M3(4) & r5 < M3(5) & r6 < M3(6) & r7 < M3(7) & (r1 <= -3 | r2 <= -3 "
     "| r3 <= -3 | r4 <= -3) & r1 >= r2 & r1 < 0",
     nullptr,
     ConditionVariant::Fixed,
     {{9, 1}},
     {{8, 9, 0xFF8080}}},
    {"Command37",
     "1",
     "Label7",
     6,
     14,
     0x00C000,
     "r1 in [-150, -5] & r1 < r2 & steps(4-9: 0,0,0,0,0) & one of: (a) r2 <= r3 <= r4 & r4 - r1 >= 2; (b) r2 <= r3 & "
     "r3 - r1 >= 1 & r3 >= r4; (c) r3 - r1 >= 0 & r2 >= r3 >= r4",
     nullptr,
     ConditionVariant::Fixed,
     {{8, 2}},
     {{8, 8, 0xFF8080}, {9, 11, 0xC0FFFF}, {12, 16, 0xFF8080}}},
    {"Command56",
     "2",
     "Label7",
     6,
     15,
     0x00C000,
     "r2 in [-100, -5] & r1 <= 0 & r1 >= r2 & r2 < r3 & steps(5-9: 0,0,0,0) & one of: (a) r3 <= r4 < r5 & r5 - r2 >= "
     "0; (b) r3 <= r4 & r4 - r2 >= 0 & r4 >= r5; (c) r3 - r2 >= 0 & r3 >= r4 >= r5",
     nullptr,
     ConditionVariant::Fixed,
     {{9, 2}},
     {{8, 9, 0xFF8080}, {10, 12, 0xD3FAF4}, {13, 16, 0xFF8080}}},
    {"Command21",
     "3",
     "Label7",
     6,
     16,
     0x00C000,
     "r3 <= -5 & r1 <= 0 & r1 >= r2 >= r3 & r1 - r3 > 1 & r3 < r4 & steps(6-9: 0,0,0) & one of: (a) r4 <= r5 <= r6 & "
     "r6 - r3 >= 0; (b) r4 <= r5 & r5 - r3 >= 0 & r5 >= r6; (c) r4 - r3 >= 0 & r4 >= r5 >= r6",
     nullptr,
     ConditionVariant::Fixed,
     {{10, 2}},
     {{8, 10, 0xFF8080}, {11, 13, 0xCFFEF7}, {14, 16, 0xFF8080}}},
    {"Command90",
     "4",
     "Label7",
     6,
     17,
     0x00C000,
     "r4 <= -5 & r1 <= 0 & r4 <= r3 <= H(2,1) & r1 > H(2,3) > r4 & H(1,2) > H(3,4) & r4 < r5 & steps(6-9: 0,0,0) & one "
     "of: (a) r5 <= r6 & r6 - r4 >= 1; (b) r5 >= r6",
     nullptr,
     ConditionVariant::Fixed,
     {{11, 2}},
     {{8, 11, 0xFF8080}, {12, 14, 0xC0FFFF}, {15, 16, 0xFF8080}}},
    {"Command41",
     "5",
     "Label7",
     6,
     18,
     0x00C000,
     "r5 in [-100, -5] & r1 >= H(2,3) >= H(4,5) & H(1,2) >= H(3,4) >= r5 & r3 <= H(2,1) & r1 >= r2 - 2 & r2 >= r3 - 2 "
     "& r1 > r3 >= r4 - 2 & r2 > r4 >= r5 & r1 <= 0 & H(1,2) < 0 & r5 <= r6 <= r7 & r8 > r9 & one of: (a) r7 <= r8 & "
     "r8 - r5 > 2; (b) r7 - r5 >= 2 & r7 > r8",
     nullptr,
     ConditionVariant::Fixed,
     {{12, 2}},
     {{8, 12, 0xFF8080}, {13, 15, 0xC0FFFF}, {16, 16, 0xFF8080}}},
    {"Command57",
     "D1",
     "Label27",
     0,
     0,
     0xEADD93,
     "r1 < 0 & one of: (a) r1 in [-7, -5] & r[2..4] - r1 in [-1, 1]; (b) r1 in [-12, -8] & r[2..4] - r1 in [-2, 2]; "
     "(c) r1 in [-150, -13] & r[2..4] - r1 in [-3, 3]",
     nullptr,
     ConditionVariant::Fixed,
     {{8, 3}},
     {{8, 8, 0xFF8080}, {9, 10, 0xFFC0C0}}},
    {"Command6",
     "D2",
     "Label27",
     0,
     1,
     0xEADD93,
     "r1 < 0 & r2 - r1 < 0 & one of: (a) r2 in [-7, -6] & r3 - r2 in [-1, 1] & r4 - r2 in [-1, 1]; (b) r2 in [-12, -8] "
     "& r3 - r2 in [-1, 1] & r4 - r2 in [-1, 1]; (c) r2 in [-500, -13] & r3 - r2 in [-2, -2] & r4 - r2 in [-2, -2]",
     nullptr,
     ConditionVariant::Fixed,
     {{9, 3}},
     {{8, 9, 0xFF8080}, {10, 11, 0xFFC0C0}}},
    {"Command60",
     "D3",
     "Label27",
     0,
     2,
     0xEADD93,
     "r1 < 0 & r2 - r1 < 0 & r3 - r2 < 0 & one of: (a) r3 in [-8, -6] & r4 - r3 in [-1, 1]; (b) r3 in [-12, -9] & r4 - "
     "r3 in [-1, 1]; (c) r3 in [-500, -12] & r4 - r3 in [-2, 2]",
     nullptr,
     ConditionVariant::Fixed,
     {{10, 3}},
     {{8, 10, 0xFF8080}, {11, 11, 0xFFC0C0}}},
    {"Command71",
     "D4",
     "Label27",
     0,
     3,
     0xEADD93,
     "r1 < 0 & r2 - r1 < 0 & r3 - r2 < 0 & r4 - r3 < 0 & one of: (a) r4 in [-8, -6] & r5 - r4 in [-1, 1]; (b) r4 in "
     "[-12, -9] & r5 - r4 in [-2, 2]; (c) r4 in [-500, -12] & r5 - r4 in [-3, 3]",
     nullptr,
     ConditionVariant::Fixed,
     {{10, 3}},
     {{8, 11, 0xFF8080}, {12, 12, 0xFFC0C0}}},
    {"Command102",
     "e2",
     "Label27",
     0,
     5,
     0xFFC080,
     "r1 in [-1, -1] & r2 > r4 >= r7 & r3 > r5 >= r8 & r4 + 1 >= r6 >= r9 & r5 + 1 >= r7 & r6 + 1 >= r8 & r7 + 1 >= r9 "
     "& r2 >= r5 & r3 >= r6 & r4 - r9 >= 4 & r3 > H(4,5) > H(6,7) >= H(8,9) & H(3,4) > H(5,6) >= H(7,8) >= r9 & (r2 > "
     "r1 | r3 > r2) & one of: (a) 0 >= M6(0) & r1 < M5(1); (b) 0 >= M6(0); (c) r3 >= r1 >= M5(1); (d) r1 < r2 & r2 >= "
     "r3",
     nullptr,
     ConditionVariant::Fixed,
     {{16, 1}},
     {{8, 10, 0xE9B3EC}, {11, 16, 0xFF8080}}},
};

}  // namespace

const std::vector<ScreeningPattern>& patternCatalogue() { return kPatterns; }

const ScreeningPattern* findPattern(const std::string& control) {
  for (const auto& p : kPatterns)
    if (control == p.control) return &p;
  return nullptr;
}

std::string groupCaption(const ScreeningPattern& p) {
  for (const PanelLabel& l : panelLabels())
    if (std::string_view(l.control) == p.groupLabel) return trimmedBlanks(l.caption);
  return {};
}

std::string patternTitle(const ScreeningPattern& p) {
  const std::string group = groupCaption(p);
  return group.empty() ? std::string(p.caption) : std::string(p.caption) + " (" + group + ")";
}

std::vector<const ScreeningPattern*> findPatternsNamed(std::string_view name) {
  const std::string typed = trimmed(foldFullWidth(name));
  std::vector<const ScreeningPattern*> found;
  if (typed.empty()) return found;
  for (const auto& p : kPatterns)
    if (equalsIgnoringAsciiCase(typed, p.control)) return {&p};
  // Exactly first, so that "e2" does not also name "E2"-like captions that
  // differ only in case; then without case.
  for (const bool exact : {true, false}) {
    const auto same = [exact](std::string_view a, std::string_view b) {
      return exact ? a == b : equalsIgnoringAsciiCase(a, b);
    };
    for (const auto& p : kPatterns) {
      if (same(typed, p.caption)) {
        found.push_back(&p);
        continue;
      }
      // A group's caption followed by the button's, with or without a space.
      const std::string group = foldFullWidth(groupCaption(p));
      if (group.empty() || typed.size() <= group.size() ||
          !same(std::string_view(typed).substr(0, group.size()), group))
        continue;
      if (same(trimmed(typed.substr(group.size())), p.caption)) found.push_back(&p);
    }
    if (!found.empty()) break;
  }
  return found;
}

bool isDayUnit(const std::string& unitWord) { return unitWord == "day"; }

const char* conditionTextFor(const ScreeningPattern& p, int universeIndex, const std::string& unitWord) {
  switch (p.variant) {
    case ConditionVariant::Fixed: return p.condition;
    case ConditionVariant::ByUnit: return isDayUnit(unitWord) ? p.condition : p.otherCondition;
    case ConditionVariant::ByUniverseKind: return universeIndex >= 22 ? p.otherCondition : p.condition;
  }
  return p.condition;
}

const Condition& conditionFor(const ScreeningPattern& p, int universeIndex, const std::string& unitWord) {
  static std::mutex mutex;
  static std::map<const char*, Condition> parsed;
  const char* text = conditionTextFor(p, universeIndex, unitWord);
  std::lock_guard lock(mutex);
  auto it = parsed.find(text);
  if (it == parsed.end()) it = parsed.emplace(text, Condition::parse(text)).first;
  return it->second;
}

const std::vector<PanelLabel>& panelLabels() {
  static const std::vector<PanelLabel> labels = {
      {"Label4", "横這から上昇"},  {"Label12", "押し目待ち"}, {"Label9", "移動平均↑"}, {"Label3", "ランキング"},
      {"Label13", "反転から上昇"}, {"Label8", "連騰銘柄"},    {"Label5", "ＭＡ陽転"},  {"Label14", "MA5"},
      {"Label16", "MA7"},          {"Label15", "MA3"},        {"Label7", "2段階上げ"}, {"Label27", "　保合から上昇"}};
  return labels;
}

}  // namespace tavrin::screening
