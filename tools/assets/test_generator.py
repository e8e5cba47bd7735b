#!/usr/bin/python3
"""The generators' shared command line (generator.py) and the check that
they list what they write (check_generated.py), on a made-up generator in a
temporary folder and on the real generators' --list and --sources."""
import contextlib
import io
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.dont_write_bytecode = True
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import check_generated  # noqa: E402
import generator  # noqa: E402


def run(*args):
    return subprocess.run([sys.executable, *args], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          universal_newlines=True, cwd=HERE)


class CommandLine(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="generator-cli-")

    def tearDown(self):
        shutil.rmtree(self.root)

    def main(self, *argv, generate=None, check=None):
        def made(folder, args):
            generator.write(os.path.join(folder, "sub", "b.txt"), b"b")
            generator.write(os.path.join(folder, "a.txt"), args.word.encode())

        def words(parser):
            parser.add_argument("--word", default="a")

        out, err = io.StringIO(), io.StringIO()
        with contextlib.redirect_stdout(out), contextlib.redirect_stderr(err):
            rc = generator.main("A made-up generator.", "made-up", "data/made", check or (lambda root, args: []),
                                generate or made, ["a.txt", "sub/b.txt"], inputs=["src/timeline.def"],
                                options=words, argv=list(argv))
        return rc, out.getvalue(), err.getvalue()

    def test_writes_under_the_root_with_its_own_options(self):
        rc, _out, _err = self.main("--root", self.root, "--word", "z")
        self.assertEqual(rc, 0)
        with open(os.path.join(self.root, "data", "made", "a.txt"), "rb") as f:
            self.assertEqual(f.read(), b"z")
        self.assertTrue(os.path.isfile(os.path.join(self.root, "data", "made", "sub", "b.txt")))

    def test_list_names_the_files_relative_to_the_root_and_writes_nothing(self):
        rc, out, _err = self.main("--root", self.root, "--list")
        self.assertEqual((rc, out.splitlines()), (0, ["data/made/a.txt", "data/made/sub/b.txt"]))
        self.assertEqual(os.listdir(self.root), [])

    def test_sources_are_its_modules_then_its_inputs(self):
        rc, out, _err = self.main("--sources")
        lines = out.splitlines()
        self.assertEqual(rc, 0)
        self.assertIn("tools/assets/generator.py", lines)
        self.assertEqual(lines[-1], "src/timeline.def")

    def test_check_reports_each_message_and_fails(self):
        rc, out, err = self.main("--root", self.root, "--check", check=lambda root, args: ["one", "two"])
        self.assertEqual(rc, 1)
        self.assertEqual(err.splitlines(), ["made-up: one", "made-up: two"])
        self.assertIn("FAILED", out)

    def test_refused_inputs_fail_with_the_reason(self):
        def refuse(folder, args):
            raise generator.Refused("the table is wrong")
        rc, _out, err = self.main("--root", self.root, generate=refuse)
        self.assertEqual((rc, err.strip()), (1, "made-up: the table is wrong"))


class RealGenerators(unittest.TestCase):
    def test_sources_follow_the_imports(self):
        # The soundtrack imports score, which imports midi_writer: a module
        # two imports away is still a source, and so is the timeline table.
        sources = run("soundtrack.py", "--sources").stdout.splitlines()
        for path in ("tools/assets/soundtrack.py", "tools/assets/midi_writer.py", "tools/assets/timeline.py",
                     "src/timeline.def"):
            self.assertIn(path, sources)
        self.assertIn("tools/assets/images.py", run("credits_images.py", "--sources").stdout.splitlines())

    def test_lists_do_not_overlap(self):
        seen = {}
        for name in ("soundtrack", "images", "credits_images", "fonts", "effects", "train_assets",
                     "tiles_assets", "clown_assets", "robots_assets"):
            for path in run(name + ".py", "--list").stdout.splitlines():
                self.assertNotIn(path, seen, f"{name} and {seen.get(path)}")
                self.assertTrue(path.startswith("data/"), path)
                seen[path] = name


class ListedFiles(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="generated-listed-")
        for path in ("data/a.png", "data/b/c.png"):
            generator.write(os.path.join(self.root, path), b"x")

    def tearDown(self):
        shutil.rmtree(self.root)

    def test_all_listed_and_there(self):
        self.assertEqual(check_generated.problems({"g": ["data/a.png", "data/b/c.png"]},
                                                  ["data/a.png", "data/b/c.png"], self.root), [])

    def test_unlisted_missing_and_twice_listed_files(self):
        errs = check_generated.problems({"g": ["data/a.png", "data/gone.png"], "h": ["data/a.png"]},
                                        ["data/a.png", "data/b/c.png"], self.root)
        self.assertEqual(len(errs), 3, errs)
        self.assertTrue(errs[0].startswith("data/a.png: listed by g, h"))
        self.assertTrue(errs[1].startswith("data/gone.png: listed by g but not there"))
        self.assertTrue(errs[2].startswith("data/b/c.png: not tracked"))


if __name__ == "__main__":
    unittest.main()
