// Vector and colour operations used by scripts. The types themselves are shared with the host
// (quorin/qoTypes.h).
#pragma once

#include "quorin/qoTypes.h"

inline qoVector operator+(const qoVector& a, const qoVector& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline qoVector operator-(const qoVector& a, const qoVector& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline qoVector operator*(const qoVector& a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline qoVector operator*(float s, const qoVector& a) { return {a.x * s, a.y * s, a.z * s}; }
inline qoVector& operator+=(qoVector& a, const qoVector& b) { return a = a + b; }
inline qoVector& operator-=(qoVector& a, const qoVector& b) { return a = a - b; }
inline qoVector& operator*=(qoVector& a, float s) { return a = a * s; }
inline bool operator==(const qoVector& a, const qoVector& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }
inline bool operator!=(const qoVector& a, const qoVector& b) { return !(a == b); }

inline float qoDot(const qoVector& a, const qoVector& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline float qoLengthSqr(const qoVector& v) { return qoDot(v, v); }

// Square root that reports "Assertion failed: x >= 0.0f" and yields 0 for a negative argument.
float qoSqrt(float x);
// Euclidean length, through qoSqrt.
float qoLength(const qoVector& v);
// Multiplies by 1 / length. The zero vector has no direction and stays zero.
qoVector qoNormalize(const qoVector& v);

// Colours from 0..255 integers scaled by 1/256 (0.00390625, so 255 gives 0.99609375); alpha
// 1.0 for the three-argument form.
qoColor qoColorFromInts(int r, int g, int b);
qoColor qoColorFromInts(int r, int g, int b, int a);

static_assert(sizeof(qoVector) == 12);
static_assert(sizeof(qoColor) == 16);
