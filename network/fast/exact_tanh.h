// tanh a whole vector at a time, giving exactly the bits of the C library's scalar tanh.
//
// The activations must keep the bits of std::tanh: the fast engine is checked bit for bit against
// the reference engine, which calls it. On this system std::tanh is the C library's classic
// algorithm: tanh(x) = 1 - 2/(expm1(2|x|) + 2) for 1 <= |x| < 22 and -t/(t + 2) with
// t = expm1(-2|x|) below 1; expm1 reduces its argument by k ln2 (in two parts), evaluates a
// rational approximation and scales by 2^k. The library builds its expm1 for CPUs with FMA with
// some operations fused. The lanes here do exactly the library's operations, fused where it
// fuses, in its order, each rounded once; its branches become per-lane selections.
//
// Lanes outside the usual range (nonzero |x| below 2^-55, infinities, NaNs) go to std::tanh one by
// one. Whether this reproduction matches the library the process runs with is checked once per
// process on inputs that take every path (vectorTanhAgrees); where it does not (another library,
// another build of it), every value goes to std::tanh.
//
// The including file opens an anonymous namespace and defines kLanes and Vec before including
// this; its instruction set must have FMA (the fused operations are then single instructions).

typedef long long LaneBits __attribute__((vector_size(sizeof(Vec))));
typedef int LaneInt __attribute__((vector_size(sizeof(Vec) / 2)));

namespace tanh_detail {

inline LaneBits bitsOf(const Vec& v) {
  LaneBits b;
  __builtin_memcpy(&b, &v, sizeof b);
  return b;
}

inline Vec fromBits(const LaneBits& b) {
  Vec v;
  __builtin_memcpy(&v, &b, sizeof v);
  return v;
}

inline Vec splat(double d) { return Vec{} + d; }

// a*b + c with one rounding, lane by lane (one instruction per vector where the ISA has FMA).
inline Vec fused(const Vec& a, const Vec& b, const Vec& c) {
  Vec r;
  for (int l = 0; l < kLanes; ++l) r[l] = __builtin_fma(a[l], b[l], c[l]);
  return r;
}

// The high word of |v|, which the library's branches compare.
inline LaneBits highWord(const Vec& v) { return (bitsOf(v) >> 32) & 0x7fffffff; }

// Multiplies by 2^k the library's way: k added to the exponent field.
inline Vec scaleByPower(const Vec& v, const LaneBits& k) { return fromBits(bitsOf(v) + (k << 52)); }

// expm1(y) for 2^-54 <= |y| < 44 in every lane; `odd` marks the lanes the library would take
// through its k = 1 branch, which tanh never reaches and which is not reproduced.
__attribute__((always_inline)) inline Vec expm1Lanes(const Vec& y, LaneBits& odd) {
  const Vec one = splat(1.0), half = splat(0.5);
  const Vec ln2Hi = splat(0x1.62e42fee00000p-1), ln2Lo = splat(0x1.a39ef35793c76p-33);
  const LaneBits hy = highWord(y);
  const LaneBits negative = bitsOf(y) < 0;

  // Reduction: none up to ln2/2 (k = 0); by one ln2 up to 1.5 ln2; beyond, by k = (int)(y/ln2 +- 1/2).
  const LaneBits none = hy <= 0x3fd62e42;
  const LaneBits byOne = (hy > 0x3fd62e42) & (hy <= 0x3ff0a2b1);
  const Vec r = (negative ? splat(-0.5) : half) + y * splat(0x1.71547652b82fep+0);
  const LaneInt kInt = __builtin_convertvector(r, LaneInt);
  const Vec tk = __builtin_convertvector(kInt, Vec);
  const Vec hi = byOne ? (negative ? y + ln2Hi : y - ln2Hi) : fused(-tk, ln2Hi, y);
  const Vec lo = byOne ? (negative ? -ln2Lo : ln2Lo) : tk * ln2Lo;
  const LaneBits unit = negative ? LaneBits{} - 1 : LaneBits{} + 1;
  const LaneBits k = none ? LaneBits{} : byOne ? unit : __builtin_convertvector(kInt, LaneBits);
  const Vec reduced = hi - lo;
  const Vec x = none ? y : reduced;
  const Vec c = (hi - reduced) - lo;

  // The rational approximation of the reduced argument.
  const Vec hfx = x * half;
  const Vec hxs = x * hfx;
  const Vec r2 = fused(hxs, splat(-0x1.4ce199eaadbb7p-14), splat(0x1.a01a019fe5585p-10));
  const Vec r3 = fused(hxs, splat(-0x1.afdb76e09c32dp-23), splat(0x1.0cfca86e65239p-18));
  const Vec h2 = hxs * hxs;
  const Vec r1a = fused(hxs, splat(-0x1.11111111110f4p-5), one);
  const Vec h4 = h2 * h2;
  const Vec r1 = fused(h4, r3, fused(h2, r2, r1a));
  const Vec t = fused(-r1, hfx, splat(3.0));
  const Vec e = ((r1 - t) / fused(-x, t, splat(6.0))) * hxs;

  // k = 0: no scaling.
  const Vec atZero = x - fused(e, x, -hxs);
  // Otherwise the correction term goes in first.
  const Vec ek = fused(e - c, x, -c) - hxs;
  const Vec atMinusOne = fused(half, x - ek, splat(-0.5));
  // k <= -2 or k > 56.
  const Vec atFar = scaleByPower(one - (ek - x), k) - one;
  // 2 <= k <= 19: 1 - 2^-k, built from its bits (the shift count kept in range for other lanes).
  const LaneBits small = k & 31;
  const Vec oneLess = fromBits((0x3ff00000 - ((LaneBits{} + 0x200000) >> small)) << 32);
  const Vec atLow = scaleByPower(oneLess - (ek - x), k);
  // 20 <= k <= 56: 2^-k, built from its bits.
  const Vec power = fromBits((0x3ff - (k & 1023)) << 52);
  const Vec atHigh = scaleByPower((x - (ek + power)) + one, k);

  odd = k == 1;
  return k == 0 ? atZero : k == -1 ? atMinusOne : ((k <= -2) | (k > 56)) ? atFar : k <= 19 ? atLow : atHigh;
}

// tanh of every lane of v; `special` marks the lanes that must go to std::tanh.
__attribute__((always_inline)) inline Vec tanhLanes(const Vec& v, LaneBits& special) {
  const LaneBits bits = bitsOf(v);
  const LaneBits ix = highWord(v);
  const LaneBits magnitude = bits & 0x7fffffffffffffffLL;
  const LaneBits saturated = ix > 0x4035ffff;  // |x| >= 22 (and infinities, NaNs)
  const LaneBits belowOne = ix < 0x3ff00000;
  const Vec a = fromBits(magnitude);
  // Saturated lanes get a harmless argument: their result does not depend on it.
  const Vec y = saturated ? splat(2.0) : belowOne ? a * splat(-2.0) : a + a;
  LaneBits odd;
  const Vec t = expm1Lanes(y, odd);
  const Vec two = splat(2.0);
  // One division for both forms: -t/(t + 2) below one, 1 - 2/(t + 2) above.
  const Vec quotient = (belowOne ? -t : two) / (t + two);
  const Vec z = saturated ? splat(1.0) : belowOne ? quotient : splat(1.0) - quotient;
  const Vec withSign = fromBits(bitsOf(z) ^ (bits & (LaneBits{} + (1LL << 63))));
  const LaneBits zero = magnitude == 0;
  special = ((ix < 0x3c800000) & ~zero) | (ix > 0x7fefffff) | (odd & ~saturated);
  return zero ? v : withSign;
}

// Inputs that take every path of tanh and of expm1 below it: a sweep over the magnitudes, and
// every boundary of the branches and of the reduction with its neighbours.
inline bool agreesWithLibrary() {
  std::vector<double> xs;
  for (double m = 0x1p-60; m < 40.0; m *= 1.0071) xs.push_back(m);
  const double ln2 = 0x1.62e42fefa39efp-1;
  std::vector<double> edges = {0x1p-55, 0x1p-54, 1.0, 22.0, 0.25 * ln2, 0.75 * ln2, 19.58, 19.6};
  for (int j = 1; j <= 64; ++j) edges.push_back((j - 0.5) * ln2 / 2);
  for (double edge : edges) {
    double below = edge, above = edge;
    for (int step = 0; step < 4; ++step) {
      xs.push_back(below);
      xs.push_back(above);
      below = std::nextafter(below, 0.0);
      above = std::nextafter(above, 100.0);
    }
  }
  const std::size_t count = xs.size();
  for (std::size_t i = 0; i < count; ++i) xs.push_back(-xs[i]);
  xs.insert(xs.end(),
            {0.0, -0.0, 1e-310, std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()});
  while (xs.size() % kLanes != 0) xs.push_back(0.5);
  for (std::size_t i = 0; i < xs.size(); i += kLanes) {
    Vec v;
    __builtin_memcpy(&v, xs.data() + i, sizeof v);
    LaneBits special;
    const Vec h = tanhLanes(v, special);
    for (int l = 0; l < kLanes; ++l) {
      if (special[l]) continue;
      const double want = std::tanh(v[l]), got = h[l];
      if (__builtin_memcmp(&want, &got, sizeof want) != 0) return false;
    }
  }
  return true;
}

}  // namespace tanh_detail

// Whether the lanes reproduce the library's tanh in this process (checked once).
inline bool vectorTanhAgrees() {
  static const bool agrees = tanh_detail::agreesWithLibrary();
  return agrees;
}

// Whether any lane of v is nonzero.
inline bool anyLane(const LaneBits& v) {
  unsigned long long word[kLanes];
  __builtin_memcpy(word, &v, sizeof v);
  unsigned long long any = 0;
  for (int l = 0; l < kLanes; ++l) any |= word[l];
  return any != 0;
}

// tanh of the two vectors at x, in place, their chains of dependent operations overlapping; the
// lanes that std::tanh must take (rare) are looked for only when there are any.
__attribute__((always_inline)) inline void tanhPair(Vec x[2]) {
  LaneBits special[2];
  Vec h[2];
  h[0] = tanh_detail::tanhLanes(x[0], special[0]);
  h[1] = tanh_detail::tanhLanes(x[1], special[1]);
  if (anyLane(special[0] | special[1]))
    for (int l = 0; l < 2 * kLanes; ++l)
      if (special[l / kLanes][l % kLanes]) h[l / kLanes][l % kLanes] = std::tanh(x[l / kLanes][l % kLanes]);
  x[0] = h[0];
  x[1] = h[1];
}

// tanh(gain * in[i]) into out[i] for i < n, two vectors at a time, the last (partial) pair lane
// by lane, its missing lanes zero; in and out may be the same.
__attribute__((noinline)) void tanhVector(double gain, const double* in, double* out, int n) {
  int q = 0;
  for (; q + 2 * kLanes <= n; q += 2 * kLanes) {
    Vec x[2];
    __builtin_memcpy(x, in + q, sizeof x);
    x[0] = gain * x[0];
    x[1] = gain * x[1];
    tanhPair(x);
    __builtin_memcpy(out + q, x, sizeof x);
  }
  if (q < n) {
    const int lanes = n - q;
    Vec x[2] = {};
    for (int l = 0; l < lanes; ++l) x[l / kLanes][l % kLanes] = in[q + l];
    x[0] = gain * x[0];
    x[1] = gain * x[1];
    tanhPair(x);
    for (int l = 0; l < lanes; ++l) out[q + l] = x[l / kLanes][l % kLanes];
  }
}
