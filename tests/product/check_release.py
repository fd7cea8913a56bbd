#!/usr/bin/env python3
"""Checks a release zip: usage check_release.py RELEASE.zip TESTED-vblLM.exe
Exactly the six files at its root, the vblLM.exe that the tests checked,
guides and licence texts in Windows-1252 with CRLF, the licence named in the
README and the players' guide, and a players' guide that names the oldest
Windows, each option box with its switch and every message box of the code."""
import glob
import os
import re
import sys
import unittest
import zipfile

ZIP, TESTED = sys.argv.pop(1), sys.argv.pop(1)
HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, HERE)
from check_product import CONTROLS, OLDEST_WINDOWS  # noqa: E402

# The option boxes in the order of GameOptionSwitches (src/launcher).
OPTION_BOXES = (3000, 3003, 3004, 3005, 3006, 3007, 3008)


def source_text(*parts):
    with open(os.path.join(ROOT, *parts), encoding='utf-8') as f:
        return f.read()


class ReleaseTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with zipfile.ZipFile(ZIP) as archive:
            cls.infos = archive.infolist()
            cls.files = {info.filename: archive.read(info) for info in cls.infos}
        cls.guide = cls.files['LISEZMOI.txt'].decode('cp1252')

    def test_exactly_the_six_files_at_the_root(self):
        self.assertEqual([i.filename for i in self.infos], ['vblLM.exe', 'vbltool.exe', 'LISEZMOI.txt', 'vbltool.txt',
                                                            'LICENSE.txt', 'NOTICES.txt'])

    def test_program_is_the_tested_one(self):
        with open(TESTED, 'rb') as f:
            self.assertEqual(self.files['vblLM.exe'], f.read())

    def test_guides_are_windows_text(self):
        for name in ('LISEZMOI.txt', 'vbltool.txt', 'LICENSE.txt', 'NOTICES.txt'):
            data = self.files[name]
            data.decode('cp1252')
            self.assertEqual(data.count(b'\n'), data.count(b'\r\n'), name)
            self.assertEqual(data.count(b'\r'), data.count(b'\r\n'), name)

    def test_licence_stated(self):
        self.assertTrue(self.files['LICENSE.txt'].startswith(b'MIT License\r\n\r\nCopyright (c) 2026 the vblLM authors\r\n'))
        self.assertIn('licence MIT', self.guide)
        self.assertIn('MIT licence', source_text('README.md'))

    def test_oldest_windows_stated(self):
        self.assertIn(OLDEST_WINDOWS[0], self.guide)
        self.assertTrue(OLDEST_WINDOWS[0] in source_text('README.md'), 'README.md')

    def test_each_option_box_with_its_switch(self):
        source = source_text('src', 'launcher', 'parameter_string.cpp')
        switches = re.findall(r'" (-\w+)"', re.search(r'GameOptionSwitches\[.*?\{(.*?)\}', source, re.S).group(1))
        captions = {cid: text for (cid, _, text, _, _) in CONTROLS}
        self.assertEqual(len(switches), len(OPTION_BOXES))
        lines = self.guide.splitlines()
        for box, switch in zip(OPTION_BOXES, switches):
            self.assertTrue(any(captions[box] in line and switch in line for line in lines), (captions[box], switch))
        for box in (2000, 2002, 3001, 3002):
            self.assertIn(captions[box].replace('&', ''), self.guide)

    def test_every_message_box_of_the_code(self):
        # A box of any owner whose text is one literal or several joined ones;
        # the guide may wrap a long text over lines.
        literal = r'"(?:[^"\\]|\\.)*"'
        calls = r'(?:MessageBoxA\(\s*\w+,|ShowSearchError\()\s*((?:%s\s*)+)(?:,\s*"([^"]*)")?' % literal
        found = set()
        for path in glob.glob(os.path.join(ROOT, 'src', '*', '*.cpp')):
            with open(path, encoding='utf-8') as f:
                for parts, caption in re.findall(calls, f.read()):
                    found.add((''.join(part[1:-1] for part in re.findall(literal, parts)), caption))
        self.assertGreaterEqual(len(found), 7)
        guide = ' '.join(self.guide.split())
        for text, caption in found:
            self.assertTrue(text.replace('\\\\', '\\') in guide, text)
            self.assertTrue((caption or 'Erreur') in guide, caption)


if __name__ == '__main__':
    unittest.main(verbosity=1)
