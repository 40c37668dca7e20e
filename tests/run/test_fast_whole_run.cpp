// Whole runs of the program with every fast kernel set this CPU runs and with the reference
// kernels: standard output, report and every weight file the same bytes.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "network/fast/engine.h"
#include "network/fast/kernel_set.h"
#include "tests/support/test_support.h"

namespace kelvor {
namespace {

// A whole two-stage training run of the program, and a prediction run from its weight files:
// report, standard output and every weight file byte for byte the same with either kernel set.
TEST(FastWholeRun, ReportAndWeightFilesAreByteIdenticalWithEitherKernel) {
  const std::vector<std::string> files = {"kelvor.valdav", "fort.77", "fort.78", "fort.79", "fort.87", "fort.88"};
  // The reference, the default fast set with one and two threads, every other set with two.
  std::vector<std::pair<std::string, std::string>> choices = {{"reference", "1"}, {"fast", "1"}, {"fast", "2"}};
  for (const fast::KernelSet* k : runnableKernelSets())
    if (k != runnableKernelSets().front()) choices.push_back({"fast-" + kernelSetName(*k), "2"});
  std::vector<std::vector<std::string>> outputs;
  std::vector<std::string> runs;
  for (const auto& [kernel, threads] : choices) {
    test::ScratchDir dir;
    test::copyExampleChains(dir.path(), 14);
    test::writeDefaults(dir.path(), 3, 14, 1, 0.25);
    const std::vector<std::string> env = {"KELVOR_TIME=00:00:00", "KELVOR_KERNEL=" + kernel,
                                          "KELVOR_THREADS=" + threads};
    test::RunResult train = test::runKelvor(dir.path(), {}, env);
    ASSERT_EQ(train.status, 0) << kernel << ": " << train.err;
    std::vector<std::string> got = {train.out};
    for (const auto& f : files) got.push_back(test::readFile(dir.file(f)));
    test::writeDefaults(dir.path(), 0, 14, 1, 0.25);
    test::RunResult predict = test::runKelvor(dir.path(), {}, env);
    ASSERT_EQ(predict.status, 0) << kernel << ": " << predict.err;
    got.push_back(predict.out);
    got.push_back(test::readFile(dir.file("kelvor.valdav")));
    outputs.push_back(got);
    runs.push_back(kernel + " x" + threads);
  }
  for (std::size_t r = 1; r < outputs.size(); ++r)
    for (std::size_t i = 0; i < outputs[0].size(); ++i)
      EXPECT_TRUE(outputs[r][i] == outputs[0][i])
          << runs[r] << " output " << i << ": " << test::firstDifference(outputs[0][i], outputs[r][i]);
}

}  // namespace
}  // namespace kelvor
