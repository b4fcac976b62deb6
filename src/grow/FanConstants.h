// Constants of the triangle-fan search and of its acceptance criteria: angle limits,
// fold limits, step and size limits, and the weights of the candidate priority.
#pragma once

#include <cstddef>
#include <cstdint>

// Triangle angle at the fan centre, in degrees.
inline constexpr double SMALLEST_TRIANGLE_ANGLE = 15.0; // waived while the fan has 3 entries
inline constexpr double LARGEST_TRIANGLE_ANGLE = 100.0; // ordinary candidates
inline constexpr double LARGEST_CLOSING_ANGLE = 120.0;  // the triangle that closes the fan
// The working-fan length at which the smallest-angle limit is not applied.
inline constexpr std::size_t INITIAL_FAN_LENGTH = 3;

// Signed fold between consecutive triangles, in degrees: accepted from -90 to 140.
inline constexpr double SMALLEST_DIHEDRAL = -90.0;
inline constexpr double LARGEST_DIHEDRAL = 140.0;

// A closed fan whose apex angles sum to more than this is refused.
inline constexpr double LARGEST_FAN_ANGLE_SUM = 500.0;

inline constexpr double DEGREES_TO_RADIANS = 0.017453292519943295;

// Fan search.
inline constexpr int32_t FAN_SEARCH_STEP_LIMIT = 100;
inline constexpr int32_t FAN_CANDIDATE_CAPACITY = 16;
inline constexpr int32_t SMALLEST_CLOSED_FAN = 4;
inline constexpr int32_t HIDDEN_POINT_PASSES = 16;
// Ideal triangle: two sides of the mean neighbour distance enclosing 45 degrees.
inline constexpr double IDEAL_TRIANGLE_ANGLE_RADIANS = 0.7853981633974483;
inline constexpr double INVERSE_NEIGHBOUR_COUNT = 0.0625;
// Priority = ((|angle - 45|) / 90)^2 + (|dihedral| / 180)^2.
inline constexpr double PREFERRED_TRIANGLE_ANGLE = 45.0;
inline constexpr double ANGLE_PRIORITY_WEIGHT = 0.011111111111111112;    // 1 / 90
inline constexpr double DIHEDRAL_PRIORITY_WEIGHT = 0.005555555555555556; // 1 / 180
// Closing rules: the closing triangle is taken when its priority is below twice the best,
// or when it is near ideal by itself.
inline constexpr double CLOSING_PRIORITY_FACTOR = 0.5;
inline constexpr double CLOSING_ANGLE_TOLERANCE = 20.0;
inline constexpr double CLOSING_DIHEDRAL_LIMIT = 45.0;

// A fan whose flatness (variance of its fold angles, square degrees) is below this is
// flat enough that no further start point is tried.
inline constexpr double FLAT_FAN_LIMIT = 400.0;
