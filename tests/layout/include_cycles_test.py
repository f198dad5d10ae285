#!/usr/bin/env python3
"""The folder include-cycle check on small source trees written into a temporary folder."""
import io
import os
import sys
import tempfile
import unittest
from contextlib import redirect_stderr, redirect_stdout

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'scripts'))
import include_cycles  # noqa: E402


def write_tree(root, files):
    for path, text in files.items():
        full = os.path.join(root, 'src', path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, 'w') as f:
            f.write(text)


class IncludeCycles(unittest.TestCase):
    def run_check(self, files):
        with tempfile.TemporaryDirectory() as root:
            write_tree(root, files)
            out = io.StringIO()
            with redirect_stdout(out):
                rc = include_cycles.main(['--src', os.path.join(root, 'src')])
            return rc, out.getvalue()

    def test_layers_without_a_loop_pass(self):
        # Same-folder, system and unknown-folder includes, and includes inside comments of
        # other forms, make no edge; a -> b -> c is a layering, not a loop.
        rc, out = self.run_check({
            'a/x.h': '#include "b/y.h"\n#include <vector>\n#include "a/z.h"\n#include "x2.h"\n',
            'a/z.h': '',
            'b/y.h': '#include "c/w.h"\n#include "nowhere/q.h"\n',
            'c/w.h': '#include <b/y.h>\n// #include "a/x.h" is not an include\n',
        })
        self.assertEqual(rc, 0, out)
        self.assertIn('no include cycle', out)

    def test_cycles_are_reported_with_an_example_line_per_edge(self):
        cases = [
            ('two folders, the first include of each edge named and the rest counted',
             {'a/x.h': '#include "a/z.h"\n#include "b/y.h"\n',
              'a/x.cpp': '\n\n#include "b/y.h"\n',
              'b/y.cpp': '#include <string>\n  #  include "a/x.h"\n'},
             ['include cycle: a -> b -> a',
              '  a -> b: src/a/x.cpp:3 (+1 more)',
              '  b -> a: src/b/y.cpp:2']),
            ('a longer loop through a subfolder, with no pair including each other',
             {'a/x.h': '#include "b/y.h"\n',
              'b/deep/y.h': '#include "c/w.h"\n',
              'c/w.cpp': '\n#include "a/x.h"\n',
              'd/free.h': '#include "a/x.h"\n'},
             ['include cycle: a -> b -> c -> a',
              '  a -> b: src/a/x.h:1',
              '  b -> c: src/b/deep/y.h:1',
              '  c -> a: src/c/w.cpp:2']),
        ]
        for name, files, lines in cases:
            with self.subTest(name):
                rc, out = self.run_check(files)
                self.assertEqual(rc, 1, out)
                for line in lines:
                    self.assertIn(line + '\n', out)
                self.assertNotIn('d ->', out)

    def test_every_loop_of_a_tangle_is_listed_once(self):
        # a <-> b and b <-> c: two loops, and no invented a -> c loop.
        rc, out = self.run_check({
            'a/x.h': '#include "b/y.h"\n',
            'b/y.h': '#include "a/x.h"\n#include "c/w.h"\n',
            'c/w.h': '#include "b/y.h"\n',
        })
        self.assertEqual(rc, 1, out)
        loops = [line for line in out.splitlines() if line.startswith('include cycle')]
        self.assertEqual(loops, ['include cycle: a -> b -> a', 'include cycle: b -> c -> b'])

    def test_missing_source_folder_is_a_usage_error(self):
        with tempfile.TemporaryDirectory() as root, redirect_stdout(io.StringIO()), \
                redirect_stderr(io.StringIO()):
            self.assertEqual(include_cycles.main(['--src', os.path.join(root, 'none')]), 2)


if __name__ == '__main__':
    unittest.main()
