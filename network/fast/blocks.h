// A part of the fast kernels' body (network/fast/kernel_body.h), which alone includes it.
// Blocks of vectors: the rows of a block's panel, its sums, a step over its vectors and the
// dispatch of a kernel to every block of a slice.

// A block is NB vectors of kLanes doubles, and with Tail one half vector more (kTail lanes): the
// half vectors let the threads' slices differ by half a vector, so that two threads split the
// 101 neurons 52 and 52 rather than 56 and 48. One step of a block runs `step` on each of its
// vectors in turn, with the vector type and the vector's first lane.
constexpr int kTail = kLanes / 2;
constexpr int kTailLanes = kLanes >= 4 ? kTail : 0;  // half vectors are used from four lanes up
typedef double Half __attribute__((vector_size(kTail * sizeof(double))));

// A cursor over the rows of one block's panel of R rows (`block` its first double): the whole
// vectors of row r at block + r * NB * kLanes and, with Tail, the half vector at
// block + R * NB * kLanes + r * kTail, after every row's whole vectors (the layout's bstride is
// NB * kLanes). `at<V>(o)` is the vector of type V at lane o of the current row.
template <int NB, bool Tail, typename T>
struct Rows {
  T* w;
  T* h;
  Rows(T* block, int R, int r) : w(block + r * NB * kLanes), h(Tail ? block + R * NB * kLanes + r * kTail : nullptr) {}
  void next() {
    w += NB * kLanes;
    if constexpr (Tail) h += kTail;
  }
  template <typename V>
  T* at(int o) const {
    if constexpr (sizeof(V) == sizeof(Vec))
      return w + o;
    else
      return h;
  }
};

template <int NB, bool Tail, typename T>
Rows<NB, Tail, T> rows(T* block, int R, int r) {
  return Rows<NB, Tail, T>(block, R, r);
}

// One accumulator per vector of a block, zero to begin with.
template <int NB, bool Tail>
struct Sums {
  Vec v[NB] = {};
  Half h = {};
  template <typename V>
  V& at(int j) {
    if constexpr (sizeof(V) == sizeof(Vec))
      return v[j];
    else
      return h;
  }
};

// Names a vector type for a step (a tag: the vector itself is never passed by value).
template <typename V>
struct VectorOf {
  using type = V;
};

template <bool Tail, typename Step, int... J>
__attribute__((always_inline)) inline void eachVectorOf(Step& step, std::integer_sequence<int, J...>) {
  (step(VectorOf<Vec>{}, J * kLanes, J), ...);
  if constexpr (Tail) step(VectorOf<Half>{}, static_cast<int>(sizeof...(J)) * kLanes, static_cast<int>(sizeof...(J)));
}

template <int NB, bool Tail, typename Step>
__attribute__((always_inline)) inline void eachVector(Step&& step) {
  eachVectorOf<Tail>(step, std::make_integer_sequence<int, NB>{});
}

#define KELVOR_VECTOR_STEP [&](auto kind, int o, [[maybe_unused]] int j) __attribute__((always_inline))

// Runs Op<NB, Tail>::run for every block of the slice, NB being the block's whole vectors and
// Tail whether it ends in a half vector.
template <template <int, bool> class Op, int NB, typename... Args>
inline void blockOf(int vectors, bool tail, FirstSlice& sl, int b, const Args&... args) {
  if constexpr (NB > kBlockVectors) {
    __builtin_trap();
  } else if (vectors == NB) {
    if (tail)
      Op<NB, true>::run(sl, b, args...);
    else
      Op<NB, false>::run(sl, b, args...);
  } else {
    blockOf<Op, NB + 1>(vectors, tail, sl, b, args...);
  }
}

template <template <int, bool> class Op, typename... Args>
void blocksInOrder(FirstSlice& sl, bool backwards, const Args&... args) {
  for (int q = 0; q < sl.blocks; ++q) {
    const int b = backwards ? sl.blocks - 1 - q : q;
    blockOf<Op, 1>(sl.bwidth[b] / kLanes, sl.bwidth[b] % kLanes != 0, sl, b, args...);
  }
}

template <template <int, bool> class Op, typename... Args>
void eachBlock(FirstSlice& sl, const Args&... args) {
  blocksInOrder<Op>(sl, false, args...);
}
