"""Tests of the workflow's helper scripts: the defaults-file template reader and writer, the
learning-settings grid, the report reader, the summary statistics and the plot scripts."""

import math
import os
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SCRIPTS = os.path.join(os.path.dirname(HERE), "scripts")
sys.path.insert(0, SCRIPTS)

import grid_checks as gc  # noqa: E402
import kelvor_plot  # noqa: E402
import kelvor_report as kr  # noqa: E402
import learning_grid as lg  # noqa: E402
import prepare_run as pr  # noqa: E402
import summarize  # noqa: E402

PLAIN = "30\n213\n0\n0.001\n0.5\n0.5\n1.0\n1\n0.1\n'proteins.list' real\n"

# Report of a run with epoch limit 2 (first-stage test score 0.5912, filter 0.614).
REPORT_2 = """\
 -------------------quandel-------------------
     1    0.4969D+00    0.6189D+00    0.5432D+00
     2    0.6376D+00    0.8951D+00    0.7129D+00
 
 #Cross Validation
 #----------------
            3  0.591200000000000     
 
 #After filter
 #------------
     1    0.4457D+00    0.6317D+00    0.5938D+00
     2    0.6447D+00    0.6317D+00    0.6346D+00
 
 #Cross Validation
 #----------------
            3  0.614000000000000     
 
"""


class TemplateReading(unittest.TestCase):
    def test_plain_file(self):
        records = pr.read_template(PLAIN)
        self.assertEqual([r[0] for r in records[:9]], "30 213 0 0.001 0.5 0.5 1.0 1 0.1".split())
        self.assertEqual(records[9], ["proteins.list", "real"])

    def test_comments_blank_lines_and_commas(self):
        text = ("30   epoch limit, at most\n\n213, proteins 'all'\n  \n0 / unused\n0.001\n0.5\n0.5\n"
                "1.0\n1\n0.1 test fraction\n'/data/lists/a b.list', word  the list\n")
        records = pr.read_template(text)
        self.assertEqual([r[0] for r in records[:3]], ["30", "213", "0"])
        self.assertEqual(records[9], ["/data/lists/a b.list", "word"])

    def test_word_on_the_next_line_and_a_slash_that_ends_the_read(self):
        records = pr.read_template(PLAIN.replace("'proteins.list' real\n", "x.list\nthing\n"))
        self.assertEqual(records[9], ["x.list", "thing"])
        # A bare name with a directory part: the slash ends the read after "data".
        records = pr.read_template(PLAIN.replace("'proteins.list' real\n", "data/x.list real\n"))
        self.assertEqual(records[9], ["data"])

    def test_faults_are_reported(self):
        for text, words in (
            ("30\n213\n", "ends before setting 3"),
            (PLAIN.replace("0.5\n", ", 0.5\n", 1), "empty value"),
            (PLAIN.replace("'proteins.list'", "'proteins.list"), "closing"),
            (PLAIN.replace("0.001\n", "/\n"), "setting 4"),
        ):
            with self.subTest(text=text):
                with self.assertRaises(pr.TemplateError) as caught:
                    pr.read_template(text)
                self.assertIn(words, str(caught.exception))


class DefaultsWriting(unittest.TestCase):
    def test_fold_list_and_overrides_replace_only_their_settings(self):
        records = pr.read_template(PLAIN.replace("0.001", "1.0D-3"))
        again = pr.read_template(pr.defaults_text(records, fold=4))
        self.assertEqual(again[7], ["4"])
        self.assertEqual(again[9], [pr.LIST_NAME, "real"])
        self.assertEqual(again[:7] + again[8:9], records[:7] + records[8:9])
        again = pr.read_template(pr.defaults_text(records, fold=2, epochs=1, count=30))
        self.assertEqual((again[0], again[1], again[7]), (["1"], ["30"], ["2"]))

    def test_learning_settings_replace_their_records(self):
        records = pr.read_template(PLAIN)
        again = pr.read_template(pr.defaults_text(records, fold=1, learning={3: "0.01", 6: "2.5"}))
        self.assertEqual([r[0] for r in again[:9]], "30 213 0 0.01 0.5 0.5 2.5 1 0.1".split())

    def test_each_setting_on_its_own_line_and_an_odd_word_replaced(self):
        records = pr.read_template(PLAIN.replace("real", "'a b'"))
        lines = pr.defaults_text(records, fold=1).splitlines()
        self.assertEqual(len(lines), 10)
        self.assertTrue(lines[9].startswith("'proteins.list' real "))

    def test_run_directory_and_its_script(self):
        with tempfile.TemporaryDirectory() as tmp:
            data = os.path.join(tmp, "data")
            for d in pr.DATA_FOLDERS:
                os.makedirs(os.path.join(data, d))
            with open(os.path.join(tmp, "t.in"), "w") as f:
                f.write(PLAIN)
            with open(os.path.join(tmp, "p.list"), "w") as f:
                f.write("a\nb\n")
            fake = os.path.join(tmp, "my bin", "kel'vor")
            os.makedirs(os.path.dirname(fake))
            with open(fake, "w") as f:
                f.write('#!/bin/sh\necho "$KELVOR_TIME $1 $(pwd -P)"\n')
            os.chmod(fake, 0o755)
            run = os.path.join(tmp, "runs", "fold3_seed-2")
            args = ["--template", os.path.join(tmp, "t.in"), "--proteins", os.path.join(tmp, "p.list"),
                    "--data-root", data, "--kelvor", fake, "--fold", "3", "--seed", "-2",
                    "--time", "01:02:03", "--dir", run]
            self.assertEqual(pr.main(args), 0)
            self.assertEqual(pr.main(args), 0)  # a second time over the same directory
            for d in pr.DATA_FOLDERS:
                self.assertEqual(os.readlink(os.path.join(run, d)), os.path.join(data, d))
            with open(os.path.join(run, pr.LIST_NAME)) as f:
                self.assertEqual(f.read(), "a\nb\n")
            out = subprocess.run([os.path.join(run, "run.sh")], cwd=tmp, capture_output=True, text=True)
            self.assertEqual(out.stdout.strip(), f"01:02:03 -2 {os.path.realpath(run)}")
            for time_of_day in ("1:02:03", "24:00:00", "12:60:00"):
                self.assertEqual(pr.main(args[:-4] + ["--time", time_of_day, "--dir", run]), 1)


class LearningGrid(unittest.TestCase):
    def test_one_name_for_one_set_of_numbers(self):
        records = pr.read_template(PLAIN.replace("0.001", "1.0D-3"))
        (name, values, given), = lg.combinations({}, records)
        self.assertEqual(name, "rate0.001_momentum0.5_gain0.5_dcay1.0_epochs30")
        self.assertEqual(given, set())
        for spelling in (0.001, "1e-3", "0.0010", "1.0d-3"):
            with self.subTest(spelling):
                self.assertEqual(lg.combinations({"rate": spelling}, records)[0][0], name)
        self.assertEqual(lg.values_of_records(records), values)

    def test_every_combination_in_order(self):
        grid = lg.combinations({"rate": [0.01, 0.001], "momentum": [0.5, 0.9], "gain": 1, "epochs": [2]},
                               pr.read_template(PLAIN))
        self.assertEqual([n for n, _, _ in grid], [
            "rate0.01_momentum0.5_gain1.0_dcay1.0_epochs2", "rate0.01_momentum0.9_gain1.0_dcay1.0_epochs2",
            "rate0.001_momentum0.5_gain1.0_dcay1.0_epochs2", "rate0.001_momentum0.9_gain1.0_dcay1.0_epochs2"])
        self.assertEqual(grid[0][2], {"rate", "momentum", "gain", "epochs"})

    def test_faults_are_reported(self):
        records = pr.read_template(PLAIN)
        for config, words in (
            ({"rate": [0.5, "0.50"]}, "rate names a value twice: 0.5"),
            ({"momentum": True}, "momentum: True is not a number"),
            ({"gain": "nan"}, "not a finite number"),
            ({"dcay": "x"}, "dcay: 'x' is not a number"),
            ({"epochs": 1.5}, "epochs: 1.5 is not a whole number"),
            ({"epochs": [2, 0]}, "at least 1"),
            ({"epochs": [2, 2147483648]}, "epochs: 2147483648 is out of range; allowed: 1 to 2147483647"),
        ):
            with self.subTest(config):
                with self.assertRaises(lg.GridError) as caught:
                    lg.combinations(config, records)
                self.assertIn(words, str(caught.exception))
        with self.assertRaises(lg.GridError) as caught:
            lg.combinations({}, pr.read_template(PLAIN.replace("0.5\n", "fast\n", 1)))
        self.assertIn("the template's momentum", str(caught.exception))



class GridChecks(unittest.TestCase):
    """The workflow's checks give kelvor's own answers (the seed formula's were compared with
    kelvor at 750 offsets and times of day, at the edge of the 32-bit range and below zero)."""

    def setUp(self):
        self.dir = tempfile.mkdtemp()
        self.list = os.path.join(self.dir, "p.list")
        with open(self.list, "w") as f:
            f.write("".join(f"c{i}\n" for i in range(30)))
        for d in gc.DATA_FOLDERS:
            os.mkdir(os.path.join(self.dir, d))

    def problems(self, **changes):
        given = dict(folds=[1], seeds=[7], kelvor_time="03:04:05", count=30, threads=1, runtime=240,
                     fraction=0.1, list_path=self.list, data_root=self.dir)
        given.update(changes)
        return gc.problems(**given)

    def test_times_of_day_and_seed_offsets(self):
        self.assertEqual(gc.time_of_day("23:59:59"), (23, 59, 59))
        for text in ("24:00:00", "12:60:00", "12:00:60", "1:02:03", "12:00", "noon"):
            self.assertIsNone(gc.time_of_day(text), text)
        # Below zero the exponentials make up for the offset; near 2**31 they push it out, the
        # more the later in the day.
        for offset, hms, defined in ((-3, (0, 0, 0), True), (-4, (0, 0, 0), False), (-10, (23, 59, 59), True),
                                     (100000000, (23, 59, 59), True), (2000000000, (23, 59, 59), False),
                                     (2147483644, (0, 0, 0), True), (2147483645, (0, 0, 0), False)):
            with self.subTest(offset=offset, hms=hms):
                self.assertEqual(gc.seed_defined(offset, hms), defined)

    def test_folds_as_kelvor_takes_them(self):
        # 30 proteins, fraction 0.15: a test part of 5; fold k's block ends at round(4.5 k).
        self.assertEqual([gc.block_top(k, 0.15, 30) for k in (1, 6, 7, 8)], [5, 27, 32, 36])
        self.assertEqual([k for k in range(-1, 10) if not gc.fold_usable(k, 0.15, 30, 5)], [7])
        self.assertEqual(gc.folds_inside(0.15, 30, 5), "1 to 6")
        self.assertEqual(gc.folds_inside(0.0, 3, 0), "1 to 4")
        self.assertEqual(gc.round_half_away(-2.5), -3)

    def test_list_lines_as_kelvor_counts_them(self):
        for text, lines in (("a\nb\n", 2), ("a\r\nb", 2), ("a\n\n", None), ("a\n \t\r\nb\n", None), ("", None)):
            with self.subTest(text=text):
                with open(self.list, "w", newline="") as f:
                    f.write(text)
                if lines is None:
                    with self.assertRaises(ValueError) as caught:
                        gc.list_line_count(self.list)
                    self.assertIn(self.list, str(caught.exception))
                else:
                    self.assertEqual(gc.list_line_count(self.list), lines)
        with open(self.list, "w") as f:
            f.write("a\n\nb\n")
        with self.assertRaises(ValueError) as caught:
            gc.list_line_count(self.list)
        self.assertIn("line 2 is blank", str(caught.exception))

    def test_every_fault_is_named_at_once(self):
        self.assertEqual(self.problems(), [])
        self.assertEqual(self.problems(folds=[1, 6, 8, 0], seeds=[-2], fraction=0.15, count=31, threads=8), [])
        found = self.problems(folds=[1, 7, "x"], seeds=[3000000000, 2000000000, True], kelvor_time="23:59:59",
                              count=-1, threads=0, runtime=0, fraction=0.15)
        self.assertEqual(found, [
            "protein_count: -1 is out of range; allowed: 0 to 2147483647",
            "threads_per_run: 0 is out of range; allowed: 1 to 8",
            "runtime_minutes: 0 is out of range; allowed: 1 to 2147483647",
            "seeds: 3000000000 is out of range; allowed: -2147483648 to 2147483647",
            "seeds: True is not a whole number",
            "seeds: 2000000000 gives no random seed at kelvor_time 23:59:59 (kelvor's seed formula leaves the "
            "32-bit range); allowed: -2 to 100000000 at any time of day",
            "folds: 'x' is not a whole number",
        ])
        # The folds against the list: the count asked for, or the list's when it is shorter.
        fold7 = ("folds: 7 is not usable with the test fraction 0.15: its test block of 5 proteins (list lines 28 "
                 "to 32) straddles an end of the list of 30 proteins; allowed: 1 to 6 (or 0 and below, whose test "
                 "part is the last 5 proteins)")
        self.assertEqual(self.problems(folds=[7], fraction=0.15, count=500), [fold7])
        self.assertEqual(self.problems(folds=[7], fraction=0.15, count="30", threads="2"), [fold7])
        self.assertEqual(self.problems(kelvor_time=11045), [
            "kelvor_time: '11045' is not a time of day; allowed: hh:mm:ss with hh 00-23, mm and ss 00-59 (put it in "
            "quotes: YAML reads an unquoted hh:mm:ss as a number)"])
        self.assertEqual(self.problems(kelvor_time="7:00:00", fraction=1.5, data_root=self.list,
                                       list_path=self.list + ".gone", count=None, count_name="the template's count"), [
            "kelvor_time: '7:00:00' is not a time of day; allowed: hh:mm:ss with hh 00-23, mm and ss 00-59",
            "the template's count: None is not a whole number",
            "template: its test fraction (setting 9) is 1.5; allowed: 0 to 1",
            f"data_root: {self.list} lacks dssp_data, new_prf, kvqout",
            f"proteins: {self.list}.gone is missing",
        ])

class ReportReading(unittest.TestCase):
    def test_both_phases_of_a_complete_report(self):
        first, filt = kr.read_report_text(REPORT_2)
        self.assertEqual([e.number for e in first.epochs], [1, 2])
        self.assertEqual((first.epochs[1].training, first.epochs[1].validation, first.epochs[1].test),
                         (0.6376, 0.8951, 0.7129))
        self.assertEqual((first.counter, first.test), (3, 0.5912))
        self.assertEqual((filt.counter, filt.test), (3, 0.614))
        self.assertEqual(first.best_epoch().number, 2)

    def test_kept_epoch_is_the_first_strictly_best_and_never_a_nan(self):
        _, filt = kr.read_report_text(REPORT_2)
        self.assertEqual(filt.best_epoch().number, 1)  # epoch 2 only ties it
        text = REPORT_2.replace("0.4969D+00    0.6189D+00", "0.4969D+00           NaN")
        first, _ = kr.read_report_text(text)
        self.assertTrue(math.isnan(first.epochs[0].validation))
        self.assertEqual(first.best_epoch().number, 2)
        text = REPORT_2.replace("0.6189D+00", "NaN").replace("0.8951D+00", "NaN")
        self.assertIsNone(kr.read_report_text(text)[0].best_epoch())

    def test_prediction_mode_and_an_unfinished_report(self):
        lines = REPORT_2.splitlines(keepends=True)
        prediction = "".join(l for l in lines if "D+" not in l).replace("   3  0.", "   1  0.")
        first, filt = kr.read_report_text(prediction)
        self.assertEqual((first.epochs, first.counter, filt.counter), ([], 1, 1))
        self.assertIsNone(first.best_epoch())
        first, filt = kr.read_report_text("".join(lines[:3]))
        self.assertFalse(first.complete)
        self.assertIsNone(filt)
        first, filt = kr.read_report_text("".join(lines[:11]))
        self.assertTrue(first.complete)
        self.assertEqual(len(filt.epochs), 1)
        self.assertFalse(filt.complete)

    def test_malformed_reports_are_refused(self):
        lines = REPORT_2.splitlines(keepends=True)
        for name, text in (
            ("epoch missing", "".join(lines[:1] + lines[2:])),
            ("garbage line", REPORT_2.replace(" #After filter", " something else")),
            ("bad number", REPORT_2.replace("0.7129D+00", "0.71x9D+00")),
            ("heading before the block", "".join(lines[:3] + lines[8:])),
        ):
            with self.subTest(name):
                with self.assertRaises(kr.ReportError):
                    kr.read_report_text(text)

    def test_random_seed_and_done_record(self):
        with tempfile.TemporaryDirectory() as tmp:
            out = os.path.join(tmp, "kelvor.out")
            with open(out, "w") as f:
                f.write(" random seed =          969\n -------------------quandel-------------------\n")
            self.assertEqual(kr.read_random_seed(out), 969)
            with open(out, "w") as f:
                f.write(" Protein set too small for number of proteins selected, using full set.\n")
            self.assertIsNone(kr.read_random_seed(out))


class Summary(unittest.TestCase):
    def test_mean_and_sample_deviation(self):
        self.assertEqual(summarize.mean_sd([]), (None, None))
        self.assertEqual(summarize.mean_sd([0.5]), (0.5, None))
        mean, sd = summarize.mean_sd([0.6, 0.7, 0.8])
        self.assertAlmostEqual(mean, 0.7, places=15)
        self.assertAlmostEqual(sd, 0.1, places=15)

    def make_run(self, tmp, name, fold, seed, report, rate="0.001"):
        run = os.path.join(tmp, name)
        os.makedirs(run)
        files = {kr.REPORT: report, kr.STDOUT: f" random seed =   {seed + 100}\n",
                 kr.DONE: f"fold\t{fold}\nseed\t{seed}\nkelvor_time\t12:00:00\nstatus\t0\n",
                 "kelvor.in": PLAIN.replace("0.001", rate).replace("30\n", "2\n", 1)}
        for file, text in files.items():
            with open(os.path.join(run, file), "w") as f:
                f.write(text)
        return run

    def summarize(self, tmp, runs):
        tsv, md = os.path.join(tmp, "s.tsv"), os.path.join(tmp, "s.md")
        self.assertEqual(summarize.main(["--tsv", tsv, "--markdown", md] + runs), 0)
        with open(tsv) as f:
            rows = [line.rstrip("\n").split("\t") for line in f]
        with open(md) as f:
            return rows, f.read()

    def test_table_and_rows(self):
        with tempfile.TemporaryDirectory() as tmp:
            runs = [self.make_run(tmp, "b", 2, 7, REPORT_2),
                    self.make_run(tmp, "a", 1, 7, REPORT_2.replace("0.591200000000000", "0.691200000000000"))]
            rows, text = self.summarize(tmp, runs)
            self.assertEqual(rows[0], list(summarize.COLUMNS))
            combo = "rate0.001_momentum0.5_gain0.5_dcay1.0_epochs2"
            self.assertEqual([r[:14] for r in rows[1:]], [
                [combo, "0.001", "0.5", "0.5", "1.0", "2", "1", "7", "12:00:00", "107", "2", "2", "0.8951", "0.6912"],
                [combo, "0.001", "0.5", "0.5", "1.0", "2", "2", "7", "12:00:00", "107", "2", "2", "0.8951", "0.5912"]])
            self.assertEqual(rows[1][14:18], ["2", "1", "0.6317", "0.614"])
            self.assertIn(f"| {combo} | 2 | 0.8951 | 0.0000 | 0.6412 | 0.0707 | 0.6317 | 0.0000 | 0.6140 | 0.0000 |",
                          text)
            self.assertIn("trained in every epoch", text)

    def test_best_combination_by_validation_alone(self):
        low_validation_high_test = REPORT_2.replace("0.6317D+00    0.6346", "0.6300D+00    0.6346").replace(
            "0.6317D+00    0.5938", "0.6300D+00    0.5938").replace("0.614000000000000", "0.9")
        with tempfile.TemporaryDirectory() as tmp:
            runs = [self.make_run(tmp, "a1", 1, 7, low_validation_high_test, rate="0.01"),
                    self.make_run(tmp, "a2", 2, 7, low_validation_high_test, rate="0.01"),
                    self.make_run(tmp, "b1", 1, 7, REPORT_2),
                    self.make_run(tmp, "b2", 2, 7, REPORT_2)]
            rows, text = self.summarize(tmp, runs)
            self.assertEqual([r[0][:10] for r in rows[1:]], ["rate0.01_m"] * 2 + ["rate0.001_"] * 2)
            self.assertIn("- by the filter's: `rate0.001_momentum0.5_gain0.5_dcay1.0_epochs2` (0.6317).", text)
            # Equal first-stage validation scores: the first combination, the other named as a tie.
            self.assertIn("- by the first stage's: `rate0.01_momentum0.5_gain0.5_dcay1.0_epochs2` (0.8951; "
                          "tied by `rate0.001_momentum0.5_gain0.5_dcay1.0_epochs2`).", text)

    def test_an_unfinished_run_is_refused(self):
        with tempfile.TemporaryDirectory() as tmp:
            run = self.make_run(tmp, "a", 1, 7, "".join(REPORT_2.splitlines(keepends=True)[:11]))
            tsv, md = os.path.join(tmp, "s.tsv"), os.path.join(tmp, "s.md")
            self.assertEqual(summarize.main(["--tsv", tsv, "--markdown", md, run]), 1)

    def test_missing_scores_give_nan_not_a_number_that_looks_real(self):
        with tempfile.TemporaryDirectory() as tmp:
            nan = REPORT_2.replace("0.591200000000000", "NaN").replace("0.614000000000000", "NaN")
            nan = nan.replace("0.6317D+00", "NaN")
            runs = [self.make_run(tmp, "a", 1, 7, nan), self.make_run(tmp, "b", 2, 7, nan)]
            _, text = self.summarize(tmp, runs)
            self.assertIn("| 2 | 0.8951 | 0.0000 | NaN | NaN | NaN | NaN | NaN | NaN |", text)
            self.assertIn("- by the filter's: none (no validation score is a number).", text)


@unittest.skipUnless(any(os.access(os.path.join(p, "gnuplot"), os.X_OK)
                         for p in os.environ.get("PATH", "").split(os.pathsep)), "gnuplot is not installed")
class Plots(unittest.TestCase):
    def check_images(self, prefix):
        with open(prefix + ".png", "rb") as f:
            self.assertEqual(f.read(8), b"\x89PNG\r\n\x1a\n")
        with open(prefix + ".svg", encoding="utf-8") as f:
            svg = f.read()
        self.assertIn("<svg", svg)
        self.assertIn("</svg>", svg)
        return svg

    def test_run_plot_in_its_directory_and_elsewhere(self):
        with tempfile.TemporaryDirectory() as tmp:
            run = os.path.join(tmp, "it's a run")
            os.makedirs(run)
            with open(os.path.join(run, kr.REPORT), "w") as f:
                f.write(REPORT_2)
            self.assertEqual(kelvor_plot.main(["run", run]), 0)
            svg = self.check_images(os.path.join(run, "learning-curves"))
            self.assertIn("kept: epoch 2", svg)
            self.assertIn("final test 0.5912", svg)
            self.assertIn("kept: epoch 1", svg)  # the filter's, where epoch 2 only ties
            prefix = os.path.join(tmp, "plots", "x")
            self.assertEqual(kelvor_plot.main(["run", run, "--output", prefix, "--formats", "svg"]), 0)
            self.assertFalse(os.path.exists(prefix + ".png"))

    def test_run_plot_of_an_unfinished_and_a_prediction_run(self):
        lines = REPORT_2.splitlines(keepends=True)
        for name, text in (("unfinished", "".join(lines[:3])),
                           ("prediction", "".join(l for l in lines if "D+" not in l))):
            with self.subTest(name), tempfile.TemporaryDirectory() as tmp:
                with open(os.path.join(tmp, kr.REPORT), "w") as f:
                    f.write(text)
                self.assertEqual(kelvor_plot.main(["run", tmp]), 0)
                self.check_images(os.path.join(tmp, "learning-curves"))

    def test_summary_plot_folds_as_categories_and_combinations_side_by_side(self):
        with tempfile.TemporaryDirectory() as tmp:
            tsv = os.path.join(tmp, "s.tsv")
            scores = "\t".join(kelvor_plot.SCORES)
            with open(tsv, "w") as f:
                f.write(f"combination\tfold\tseed\t{scores}\n"
                        "A\t1\t7\t0.80\t0.70\t0.82\t0.72\nA\t5\t7\t0.81\t0.72\t\t0.74\n"
                        "B\t1\t7\t0.79\t0.69\tNaN\tNaN\n")
            script = kelvor_plot.summary_script(tsv, [os.path.join(tmp, "s.svg")])
            self.assertIn("set xtics ('fold 1' 0, 'fold 5' 1, 'all folds' 2)", script)
            self.assertNotIn("lines", script.replace("multiplot", ""))  # no line joins the folds
            runs = script.split("$runs << EOD\n")[1].split("EOD")[0].split("\n")
            self.assertEqual([r.split()[:2] for r in runs[:3]], [["0", "-0.125"], ["0", "0.875"], ["1", "0.125"]])
            self.assertEqual(kelvor_plot.main(["summary", tsv, "--output", os.path.join(tmp, "s")]), 0)
            svg = self.check_images(os.path.join(tmp, "s"))
            self.assertIn("trained in every epoch", svg)
            # No validation score at all (an empty validation part): that panel says so.
            with open(tsv, "w") as f:
                f.write(f"combination\tfold\tseed\t{scores}\nA\t1\t7\t\t0.70\t\t0.72\n")
            self.assertEqual(kelvor_plot.main(["summary", tsv, "--output", os.path.join(tmp, "s")]), 0)
            self.assertIn("no scores", self.check_images(os.path.join(tmp, "s")))


if __name__ == "__main__":
    unittest.main()
