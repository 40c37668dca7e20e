// A part of the fast kernels' body (network/fast/kernel_body.h), which alone includes it.
// Loads, stores and updates of vectors and of single weights, tanh as the kernels take it, the
// class code and the row of a residue.

static_assert(sizeof(Vec) == kLanes * sizeof(double), "vector width");

// A vector (by default a whole one) from doubles at any alignment, and back.
template <typename V = Vec>
inline V load(const double* p) {
  V v;
  __builtin_memcpy(&v, p, sizeof v);
  return v;
}

template <typename V>
inline void store(double* p, const V& v) {
  __builtin_memcpy(p, &v, sizeof v);
}

// The update of one vector of weights at w with their previous changes at p, for gradient
// terms g: delta = rate * g + momentum * p, w + delta stored and returned, delta kept in p.
template <typename V>
inline V updateVector(double* w, double* p, const V& g, double rate, double momentum) {
  const V delta = rate * g + momentum * load<V>(p);
  const V nw = load<V>(w) + delta;
  store(w, nw);
  store(p, delta);
  return nw;
}

#if defined(KELVOR_VECTOR_TANH)
#include "network/fast/exact_tanh.h"
#endif

// tanh(gain * in[i]) into out[i] for i < n, each value the bits of std::tanh; in and out may be
// the same.
inline void tanhEach(double gain, const double* in, double* out, int n) {
#if defined(KELVOR_VECTOR_TANH)
  if (vectorTanhAgrees()) return tanhVector(gain, in, out, n);
#endif
  for (int i = 0; i < n; ++i) out[i] = std::tanh(gain * in[i]);
}

bool tanhInVectors() {
#if defined(KELVOR_VECTOR_TANH)
  return vectorTanhAgrees();
#else
  return false;
#endif
}

inline double classCode(double o1, double o2, double o3) {
  if (o3 >= o2) return o3 >= o1 ? 0.5 : -0.6;
  return o2 > o1 ? -0.2 : -0.6;
}

inline const double* residueRow(const double* filin, int r) {
  return filin + static_cast<std::ptrdiff_t>(r - 1) * kColumns;
}
// From a row's start to its targets, and from there to its silent outputs.
constexpr int kTargetOffset = kTargetColumn - 1;
constexpr int kSilentOffset = kSilentColumn - kTargetColumn;

inline void update(double& w, double& p, double rate, double momentum, double g) {
  const double delta = rate * g + momentum * p;
  w = w + delta;
  p = delta;
}
