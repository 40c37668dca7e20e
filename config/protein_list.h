// The order of the proteins for one cross-validation fold.
#pragma once

#include <vector>

namespace kelvor {

// Upper end hi of the test block of fold k: round((k * fraction) * n).
long long blockTop(int k, double fraction, int n);

// True when the block of fold k lies wholly inside the list or wholly outside it.
bool foldUsable(int k, double fraction, int n, int t);

// plst: order[i-1] receives the list line placed at data-set position i. Lines outside the test
// block fill positions 1..m in list order, the block's lines positions m+1..n. When m + t != n
// it writes "Problem generating protein list" and throws DataStop.
void plst(int n, int m, int t, int k, double fraction, std::vector<int>& order);

}  // namespace kelvor
