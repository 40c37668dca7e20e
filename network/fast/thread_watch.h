// A part of the fast kernels' body (network/fast/kernel_body.h), which alone includes it.
// Thread 0's watch over the time it waits at the barriers.

// Thread 0's watch: whether the windows just ended, kSlowWindows of them in a row, each had its
// waits at the barriers outweigh its own work (kSlowWait; with two threads each doing half, a
// wait of 0.8 times the work is about where one thread would have been as fast). A window is long
// (some 15 ms on two cores): a process that shares the cores takes them in time slices of a few
// milliseconds, so shorter windows see its load as passing interruptions between quiet ones. One
// slow window alone is no sign of load: a quiet host takes a core away now and then for tens of
// milliseconds at a stretch, which all falls on a single residue.
struct Watch {
  std::int64_t windowStart = 0;
  int inWindow = 0;
  int slowInRow = 0;

  bool slow(FirstSlice& sl, int residues = 1) {
    inWindow += residues;
    if (inWindow < kWatchWindow) return false;
    const std::int64_t now = ticks();
    const double total = static_cast<double>(now - windowStart);
    const double wait = static_cast<double>(sl.waited);
    windowStart = now;
    inWindow = 0;
    sl.waited = 0;
    slowInRow = wait > kSlowWait * (total - wait) ? slowInRow + 1 : 0;
    return slowInRow >= kSlowWindows;
  }
};
