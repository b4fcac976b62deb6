// Vector3: the three-double value type used for every position, normal and direction.
#pragma once

#include <cmath>

struct Vector3 {
    double x, y, z;

    Vector3() = default;
    constexpr Vector3(double xValue, double yValue, double zValue)
        : x(xValue), y(yValue), z(zValue) {}

    void set(double xValue, double yValue, double zValue) {
        x = xValue;
        y = yValue;
        z = zValue;
    }
    void add(const Vector3& v) {
        x += v.x;
        y += v.y;
        z += v.z;
    }
    void subtract(const Vector3& v) {
        x -= v.x;
        y -= v.y;
        z -= v.z;
    }
    void scale(double s) {
        x *= s;
        y *= s;
        z *= s;
    }
    // Multiplies by the reciprocal, computed once; s = 0 yields infinities as in plain division.
    void divide(double s) {
        const double reciprocal = 1.0 / s;
        x *= reciprocal;
        y *= reciprocal;
        z *= reciprocal;
    }
    void negate() {
        x = -x;
        y = -y;
        z = -z;
    }
    double dot(const Vector3& v) const { return x * v.x + y * v.y + z * v.z; }
    Vector3 cross(const Vector3& v) const {
        return Vector3(y * v.z - z * v.y, z * v.x - x * v.z, x * v.y - y * v.x);
    }
    double length() const { return std::sqrt(x * x + y * y + z * z); }
    // A zero vector stays zero; anything else becomes unit length.
    void normalize() {
        const double len = length();
        if (len == 0.0) {
            return;
        }
        scale(1.0 / len);
    }
};
