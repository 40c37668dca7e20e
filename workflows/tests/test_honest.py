"""Tests of the honest pipeline's scripts: kelvor's split of a list into parts, the data root
without structural features, the angle and area errors with their per-letter mean, and the
summary."""

import json
import math
import os
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SCRIPTS = os.path.join(os.path.dirname(HERE), "scripts")
sys.path.insert(0, SCRIPTS)

import angle_errors as ae  # noqa: E402
import featureless_root  # noqa: E402
import fold_parts  # noqa: E402

HEADER = "# index aa ss phi psi tco kappa alpha xca yca asa\n"


def kvqout(rows):
    """rows: (letter, angle 1, angle 2, area)."""
    return HEADER + "".join(f"{i} {l} C {a} {b} 0.1 0 0 1.5 -2.5 {s}\n" for i, (l, a, b, s) in enumerate(rows, 1))


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


class Parts(unittest.TestCase):
    def test_parts_cover_the_list_once_in_list_order(self):
        names = [f"p{i}" for i in range(1, 31)]
        for fold in range(1, 11):
            training, validation, test = fold_parts.parts(names, 30, 0.1, fold)
            self.assertEqual(test, names[3 * fold - 3:3 * fold])
            self.assertEqual(len(validation), 1)  # round(27 * 0.05)
            self.assertEqual(sorted(training + validation + test, key=names.index), names)
            self.assertEqual(validation[0], [n for n in names if n not in test][-1])

    def test_requested_count_cuts_the_list_and_rounding_leaves_a_gap(self):
        names = [f"p{i}" for i in range(1, 300)]
        tests = [fold_parts.parts(names, 211, 0.2, k)[2] for k in range(1, 6)]
        self.assertTrue(all(len(t) == 42 for t in tests))
        covered = {n for t in tests for n in t}
        # Blocks end at lines 42, 84, 127, 169, 211: line 85 is in none.
        self.assertEqual(sorted(set(names[:211]) - covered, key=names.index), ["p85"])
        self.assertNotIn("p212", covered)

    def test_a_fold_beyond_the_list_is_refused(self):
        with self.assertRaises(ValueError):
            fold_parts.parts([f"p{i}" for i in range(20)], 20, 0.1, 11)

    def test_command_line_writes_the_part(self):
        with tempfile.TemporaryDirectory() as d:
            write(f"{d}/l", "".join(f"c{i}  \n" for i in range(1, 21)))
            for part in ("test", "rest"):
                subprocess.run([sys.executable, f"{SCRIPTS}/fold_parts.py", "--list", f"{d}/l", "--count", "20",
                                "--fraction", "0.1", "--fold", "2", "--part", part, "--output", f"{d}/{part}"],
                               check=True)
            with open(f"{d}/test", encoding="utf-8") as f:
                self.assertEqual(f.read(), "c3\nc4\n")
            with open(f"{d}/rest", encoding="utf-8") as f:
                self.assertEqual(f.read().split(), [f"c{i}" for i in range(1, 21) if i not in (3, 4)])


class Featureless(unittest.TestCase):
    def test_values_at_zero_and_everything_else_kept(self):
        text = kvqout([("A", -60.5, -45, 12.0), ("G", 0.0, 150, 80)])
        out = featureless_root.without_features(text, "x")
        lines = out.split("\n")
        self.assertEqual(lines[0] + "\n", HEADER)
        self.assertEqual(lines[1], "1 A C 0.0 0.0 0.1 0 0 1.5 -2.5 0.0")
        self.assertEqual(lines[2], "2 G C 0.0 0.0 0.1 0 0 1.5 -2.5 0.0")

    def test_short_record_names_file_and_line(self):
        with self.assertRaisesRegex(ValueError, 'file "k", line 3: 4 fields'):
            featureless_root.without_features(kvqout([("A", 1, 2, 3)]) + "2 A C 5\n", "k")

    def test_root_links_the_other_folders(self):
        with tempfile.TemporaryDirectory() as d:
            write(f"{d}/root/kvqout/a.kvqout", kvqout([("A", 10, 20, 30)]))
            write(f"{d}/root/dssp_data/a", "1 A A C\n")
            os.makedirs(f"{d}/root/new_prf")
            write(f"{d}/list", "a\n\n")
            featureless_root.main(["--data-root", f"{d}/root", "--list", f"{d}/list", "--output", f"{d}/none"])
            self.assertEqual(os.path.realpath(f"{d}/none/dssp_data"), os.path.realpath(f"{d}/root/dssp_data"))
            self.assertEqual(ae.read_kvqout(f"{d}/none/kvqout/a.kvqout")[0].area, 0.0)


class AngleErrors(unittest.TestCase):
    def test_circular_differences_and_undefined_angles(self):
        obs = {"c": [ae.Residue("A", 179.0, 0.0, 100.0), ae.Residue("A", -90.0, 120.0, 50.0)]}
        pred = {"c": [ae.Residue("A", -179.0, 40.0, 90.0), ae.Residue("A", -80.0, -130.0, 60.0)]}
        e = ae.errors(obs, pred)
        self.assertEqual(e["residues"], 2)
        self.assertAlmostEqual(e["mae_angle1"], 6.0)    # 2 and 10 degrees
        self.assertAlmostEqual(e["mae_angle2"], 110.0)  # the undefined 0.0 is not scored
        self.assertAlmostEqual(e["mae_area"], 10.0)

    def test_per_letter_means_are_circular_and_fall_back_to_all_residues(self):
        train = {"t": [ae.Residue("G", 170.0, 0.0, 40.0), ae.Residue("G", -170.0, 10.0, 60.0),
                       ae.Residue("A", -60.0, -40.0, 20.0)]}
        table, overall = ae.letter_means(train)
        self.assertAlmostEqual(abs(table["G"][0]), 180.0)
        self.assertAlmostEqual(table["G"][1], 10.0)  # the undefined 0.0 does not count
        self.assertAlmostEqual(table["G"][2], 50.0)
        self.assertAlmostEqual(overall[2], 40.0)
        base = ae.baseline({"c": [ae.Residue("W", 1, 2, 3)]}, table, overall)
        self.assertEqual((base["c"][0].angle1, base["c"][0].area), (overall[0], overall[2]))

    def test_area_correlation_on_relative_areas(self):
        # Same relative areas, whatever the letters' maxima: correlation 1. X keeps the maximum
        # of the residue before it.
        obs = {"c": [ae.Residue("G", 10, 10, 136 * 0.1), ae.Residue("R", 10, 10, 271 * 0.5),
                     ae.Residue("X", 10, 10, 271 * 0.9)]}
        pred = {"c": [ae.Residue("G", 10, 10, 136 * 0.2), ae.Residue("R", 10, 10, 271 * 0.6),
                      ae.Residue("X", 10, 10, 271 * 1.0)]}
        self.assertAlmostEqual(ae.errors(obs, pred)["area_correlation"], 1.0)
        # In square angstroms the two would not be on one line.
        self.assertLess(ae.pearson([136 * 0.2, 271 * 0.6, 271 * 1.0], [136 * 0.1, 271 * 0.5, 271 * 0.9]), 1.0 - 1e-6)

    def test_chains_that_do_not_match_are_refused(self):
        obs = {"c": [ae.Residue("A", 1, 1, 1)]}
        with self.assertRaisesRegex(ValueError, "chain c: 2 predicted residues, 1 observed"):
            ae.errors(obs, {"c": [ae.Residue("A", 1, 1, 1)] * 2})
        with self.assertRaisesRegex(ValueError, "letter G predicted where A"):
            ae.errors(obs, {"c": [ae.Residue("G", 1, 1, 1)]})

    def test_reading_names_file_and_line(self):
        with tempfile.TemporaryDirectory() as d:
            write(f"{d}/k", kvqout([("A", 1, 2, 3)]) + "2 A C nan 1 0 0 0 0 0 3\n")
            with self.assertRaisesRegex(ValueError, f'file "{d}/k", line 3: an angle or area that is not finite'):
                ae.read_kvqout(f"{d}/k")


class Summary(unittest.TestCase):
    def test_table_per_fold_with_three_sources_and_angle_errors(self):
        with tempfile.TemporaryDirectory() as d:
            names = [f"c{i}" for i in range(1, 11)]
            write(f"{d}/list", "".join(n + "\n" for n in names))
            for i, n in enumerate(names):
                write(f"{d}/root/kvqout/{n}.kvqout", kvqout([("A", -60, -40, 20 + i), ("G", 90, 10, 50)]))
                write(f"{d}/pred/kvqout/{n}.kvqout", kvqout([("A", -62, -40, 20 + i), ("G", 80, 10, 50)]))
            runs = []
            q3 = {"observed": 0.8, "predicted": 0.7, "none": 0.6}
            for source in q3:
                for fold in (1, 2):
                    for seed, shift in ((7, 0.0), (8, 0.02)):
                        run = f"{d}/{source}/runs/combo/fold{fold}_seed{seed}"
                        write(f"{run}/kelvor.done", f"fold\t{fold}\nseed\t{seed}\n")
                        stage = {"residues": 4, "q3": q3[source] + shift + fold / 100, "sov99": 0.5}
                        write(f"{run}/test-scores/scores.json", json.dumps({"first_stage": stage, "filter": stage}))
                        runs.append(f"{source}={run}")
            subprocess.run([sys.executable, f"{SCRIPTS}/honest_summary.py", "--data-root", f"{d}/root", "--predicted",
                            f"{d}/pred", "--list", f"{d}/list", "--count", "10", "--fraction", "0.5", "--tsv",
                            f"{d}/s.tsv", "--angles-tsv", f"{d}/a.tsv", "--markdown", f"{d}/s.md"] + runs, check=True)
            with open(f"{d}/s.md", encoding="utf-8") as f:
                md = f.read()
            self.assertIn("| 1 | 0.8200 | 0.7200 | 0.6200 | 0.5000 | 0.5000 | 0.5000 |", md)
            self.assertIn("| 2 | 0.8300 | 0.7300 | 0.6300 |", md)
            self.assertIn("| mean ± sd | 0.8250 ± 0.0071 | 0.7250 ± 0.0071 | 0.6250 ± 0.0071 |", md)
            # Fold 1's test part is c1..c5 (10 residues): the network is off by 2 and 10 degrees.
            self.assertIn("| 1 | 10 | 6.00 / ", md)
            with open(f"{d}/a.tsv", encoding="utf-8") as f:
                rows = [line.split("\t") for line in f.read().splitlines()]
            self.assertEqual(rows[0], ["fold", "model", "residues", "mae_angle1", "mae_angle2", "mae_area",
                                       "area_correlation"])
            net = {r[0]: r for r in rows if r[1] == "network"}
            self.assertEqual(float(net["2"][3]), 6.0)
            self.assertEqual(float(net["2"][5]), 0.0)
            with open(f"{d}/s.tsv", encoding="utf-8") as f:
                self.assertEqual(len(f.read().splitlines()), 1 + 12)

    def test_a_run_without_scores_is_named(self):
        with tempfile.TemporaryDirectory() as d:
            write(f"{d}/r/kelvor.done", "fold\t1\nseed\t7\n")
            r = subprocess.run([sys.executable, f"{SCRIPTS}/honest_summary.py", "--data-root", d, "--predicted", d,
                                "--list", f"{d}/l", "--count", "1", "--fraction", "0.5", "--tsv", f"{d}/t",
                                "--angles-tsv", f"{d}/a", "--markdown", f"{d}/m", f"observed={d}/r"],
                               capture_output=True, text=True)
            self.assertNotEqual(r.returncode, 0)
            self.assertIn("test-scores/scores.json", r.stderr)


if __name__ == "__main__":
    unittest.main()
