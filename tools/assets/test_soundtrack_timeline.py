#!/usr/bin/python3
"""The soundtrack follows the show's timeline table: music composed for a
moved table passes the soundtrack check against that table and fails it
against another; a slot whose length the music was not composed for stops
the generator with a message that names it.

Works on copies of src/timeline.def in a temporary folder; the table itself
is never touched."""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.dont_write_bytecode = True
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import check_soundtrack  # noqa: E402
import soundtrack  # noqa: E402
import timeline  # noqa: E402

MUSIC = os.path.join(HERE, "..", "..", "data", "common", "music")


def edited(text, scene, start, end):
    """The table's text with one scene's slot moved to start..end."""
    row = re.compile(r"^(SLOT\(\s*%s\s*,\s*)[-\d.]+(\s*,\s*)[-\d.]+" % scene, re.M)
    moved, count = row.subn(lambda m: "%s%g%s%g" % (m.group(1), start, m.group(2), end), text)
    assert count == 1, scene
    return moved


class TimelineMusic(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="soundtrack-timeline-")
        with open(timeline.TABLE, encoding="utf-8") as f:
            self.table = f.read()

    def tearDown(self):
        shutil.rmtree(self.work)

    def write_table(self, text, name="timeline.def"):
        path = os.path.join(self.work, name)
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)
        return path

    def swapped(self):
        """Clown and Tiles (both 96 beats) trade places."""
        clown, tiles = timeline.slot("Clown"), timeline.slot("Tiles")
        text = edited(self.table, "Clown", tiles.start, tiles.end)
        return self.write_table(edited(text, "Tiles", clown.start, clown.end), "swapped.def")

    def shifted(self, beats):
        """Every slot after the credits later by `beats` (a pause after them)."""
        text = self.table
        for s in timeline.read():
            if s.scene != "Credits":
                text = edited(text, s.scene, s.start + beats, s.end + beats)
        return self.write_table(text, "shifted.def")

    def midi_for(self, table):
        score = soundtrack.compose(soundtrack.plan(table))
        return check_soundtrack.Midi(score.to_midi(with_programs=False))

    def test_music_moves_with_its_slot(self):
        for table in (self.swapped(), self.shifted(8)):
            midi = self.midi_for(table)
            check_soundtrack.check_midi(midi, check_soundtrack.slot_starts(table))
            with self.assertRaises(check_soundtrack.Failure):
                check_soundtrack.check_midi(midi, check_soundtrack.slot_starts())
            with self.assertRaises(check_soundtrack.Failure):
                check_soundtrack.check_midi(self.midi_for(None), check_soundtrack.slot_starts(table))

    def test_stream_length_follows_the_last_slot(self):
        where = soundtrack.plan(self.shifted(8))
        self.assertEqual(where.length - soundtrack.TAIL, timeline.slot("Endtext").end + 8)
        self.assertEqual(where.start["dawn"], timeline.slot("Credits").start + 96)

    def run_tool(self, *args):
        return subprocess.run([sys.executable, *args], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              universal_newlines=True)

    def test_check_fails_on_generated_files_for_another_table(self):
        music = os.path.join(self.work, soundtrack.MUSIC_DIR)
        os.makedirs(music)
        for name in ("sp10-invite.xml", "lfo-rates.xml"):
            shutil.copy(os.path.join(MUSIC, name), music)
        made = self.run_tool(os.path.join(HERE, "soundtrack.py"), "--midi-only", "--root", self.work)
        self.assertEqual(made.returncode, 0, made.stderr)
        check = os.path.join(HERE, "check_soundtrack.py")
        same = self.run_tool(check, "--dir", music, "--midi-only")
        self.assertEqual(same.returncode, 0, same.stderr)
        other = self.run_tool(check, "--dir", music, "--midi-only", "--timeline", self.swapped())
        self.assertEqual(other.returncode, 1, other.stdout)
        self.assertIn("FAILED", other.stderr)

    def test_slot_of_another_length_stops_the_generator(self):
        train = timeline.slot("Train")
        table = self.write_table(edited(self.table, "Train", train.start, train.end - 8))
        run = self.run_tool(os.path.join(HERE, "soundtrack.py"), "--midi-only", "--root", self.work,
                            "--timeline", table)
        self.assertEqual(run.returncode, 1)
        self.assertIn("Train slot", run.stderr)
        self.assertIn("composed for 144 beats", run.stderr)
        self.assertNotIn("Traceback", run.stderr)
        self.assertFalse(os.path.exists(os.path.join(self.work, soundtrack.MUSIC_DIR, soundtrack.MIDI_NAME)))

    def test_shared_slot_must_move_together(self):
        robots = timeline.slot("DadezAruv")
        text = edited(self.table, "CodeScroller", robots.start + 4, robots.end + 4)
        with self.assertRaisesRegex(ValueError, "CodeScroller"):
            soundtrack.plan(self.write_table(text))

    def test_overlapping_or_missing_slots_are_refused(self):
        clown = timeline.slot("Clown")
        overlap = edited(self.table, "Tiles", clown.start + 48, clown.end + 48)
        with self.assertRaisesRegex(ValueError, "sound over"):
            soundtrack.plan(self.write_table(overlap))
        missing = re.sub(r"^SLOT\(Tiles.*\n", "", self.table, flags=re.M)
        with self.assertRaisesRegex(ValueError, "no slot for the scene Tiles"):
            soundtrack.plan(self.write_table(missing))


if __name__ == "__main__":
    unittest.main()
