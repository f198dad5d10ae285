#!/usr/bin/env python3
"""The reachability check's method on a small library linked into two programs: what the
linker keeps (direct calls, vtables of classes that are built, addresses taken) counts as
reached, the rest is reported once per function, without inline or template noise."""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'scripts'))
import reachability  # noqa: E402

HEADER = r'''
#include <functional>
namespace core {
struct Base { virtual ~Base() = default; virtual int f() = 0; };
struct Impl : Base { Impl(); int f() override; };
struct Orphan : Base { Orphan(); int f() override; };
static inline int header_local() { return 8; }
int unused(); int used_by_first(); int used_by_second(); int call_table();
std::function<int()> holder();
}
'''
CORE = r'''
#include "core.h"
namespace core {
static int helper_of_unused() { return 3; }
inline int inline_helper(int x) { return x + 1; }
template <class T> T twice(T v) { return v + v; }
int unused() { auto f = [] { return 2; }; return helper_of_unused() + inline_helper(f()) + twice(1) + header_local(); }
int used_by_first() { return 1; }
int used_by_second() { return 2; }
int through_pointer() { return 4; }
int through_function() { return 5; }
int (*const table[])() = {&through_pointer};
int call_table() { return table[0](); }
std::function<int()> holder() { return &through_function; }
Impl::Impl() = default;
int Impl::f() { return 6; }
Orphan::Orphan() = default;
int Orphan::f() { return 7; }
}
'''
OTHER = 'int never_linked() { return 9; }\n'
FIRST = r'''
#include "core.h"
int main() { core::Impl impl; core::Base& b = impl;
  return core::used_by_first() + core::call_table() + core::holder()() + b.f(); }
'''
SECOND = '#include "core.h"\nint main() { return core::used_by_second(); }\n'

EXPECTED = {
    'lib/core.cpp': ['core::Orphan::Orphan()', 'core::Orphan::f()', 'core::helper_of_unused()',
                     'core::unused()'],
    'lib/other.cpp': ['never_linked()'],
}


class FileLocalDefinitions(unittest.TestCase):
    # A file-local function is listed only when its file defines it; a header's static
    # inline function is merely called there.
    def test_definition_or_call(self):
        cases = [
            ('static int clamp(int v) {\n', 'ns::clamp(int)', True),
            ('std::string trimLeft(std::string_view s,\n                     size_t n) const {', 'a::(anonymous namespace)::trimLeft(std::basic_string_view<char>, unsigned long)', True),
            ('bool PieceReader::next(std::string& out) {', 'a::(anonymous namespace)::PieceReader::next(std::string&)', True),
            ('    PieceReader(std::string_view t, size_t n) : text_(t), n_(n) {}', 'a::(anonymous namespace)::PieceReader::PieceReader(std::basic_string_view<char>, unsigned long)', True),
            ('template <class T>\nconst T& pick(const T& a) {', 'a::pick<int>(int const&)', True),
            ('    if (__gthread_active_p()) {\n', '__gthread_active_p()', False),
            ('    return clampLocal(v) + 1;\n}\n', 'ns::clampLocal(int)', False),
            ('int clampLocal(int v);\nint other() { return 0; }', 'ns::clampLocal(int)', False),
            ('bool operator<(Key a, Key b) {', 'ns::(anonymous namespace)::operator<(ns::Key, ns::Key)', True),
            ('x = a < b;\nbool operator<<(Key a) {', 'ns::operator<<(std::vector<int, std::allocator<int> >)', True),
        ]
        for text, name, defined in cases:
            with self.subTest(name):
                self.assertEqual(reachability.defined_in(text, name), defined)


@unittest.skipUnless(shutil.which('g++') and shutil.which('objdump'), 'needs g++ and binutils')
class Reachability(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp()
        d = cls.dir
        os.makedirs(os.path.join(d, 'lib'))
        for name, text in (('lib/core.h', HEADER), ('lib/core.cpp', CORE), ('lib/other.cpp', OTHER),
                           ('first.cpp', FIRST), ('second.cpp', SECOND)):
            with open(os.path.join(d, name), 'w') as f:
                f.write(text)
        cls.objects = os.path.join(d, 'objects')
        os.makedirs(os.path.join(cls.objects, 'lib'))
        flags = ['g++', '-std=c++20', '-O0', '-ffunction-sections', '-I' + os.path.join(d, 'lib'), '-c']
        members = []
        for name in ('core.cpp', 'other.cpp'):
            out = os.path.join(cls.objects, 'lib', name + '.o')
            subprocess.run(flags + [os.path.join(d, 'lib', name), '-o', out], check=True)
            members.append(out)
        subprocess.run(['ar', 'rcs', os.path.join(d, 'libcore.a')] + members, check=True)
        for program in ('first', 'second'):
            subprocess.run(flags + [os.path.join(d, program + '.cpp'), '-o',
                                    os.path.join(d, program + '.o')], check=True)
            subprocess.run(['g++', os.path.join(d, program + '.o'), os.path.join(d, 'libcore.a'),
                            '-o', os.path.join(d, program), '-Wl,--gc-sections',
                            '-Wl,-Map=' + os.path.join(d, program + '.map')], check=True)
        cls.functions = reachability.core_functions(
            sorted([os.path.join(cls.objects, 'lib', n) for n in os.listdir(
                os.path.join(cls.objects, 'lib'))]), cls.objects, d)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.dir)

    def kept(self, program):
        return reachability.kept_sections(os.path.join(self.dir, program + '.map'))

    def test_functions_reached_by_neither_program(self):
        # Virtual overrides of a class that is built, functions whose address sits in a table
        # or a std::function, and what only the second program calls are reached; lambdas,
        # inline functions (static ones of headers too) and template instantiations inside
        # unreached code make no line.
        found = reachability.unreached(self.functions, [self.kept('first'), self.kept('second')])
        self.assertEqual(found, EXPECTED)

    def test_one_program_alone_leaves_the_other_ones_calls_unreached(self):
        found = reachability.unreached(self.functions, [self.kept('first')])
        self.assertIn('core::used_by_second()', found['lib/core.cpp'])
        self.assertNotIn('core::used_by_first()', found['lib/core.cpp'])

    def test_allow_list(self):
        found = reachability.unreached(self.functions, [self.kept('first'), self.kept('second')])
        path = os.path.join(self.dir, 'allow.txt')
        with open(path, 'w') as f:
            f.write('# kept on purpose\n\n'
                    'core::unused  # a seam for the tests\n'
                    'src/lib/other.cpp:*  # a whole file kept for later\n'
                    'core::Orphan::f(int)  # another overload: matches nothing\n')
        left, stale = reachability.apply_allow_list(found, reachability.read_allow_list(path))
        self.assertEqual(left, {'lib/core.cpp': ['core::Orphan::Orphan()', 'core::Orphan::f()',
                                                 'core::helper_of_unused()']})
        self.assertEqual([(pattern, number) for pattern, _, number in stale],
                         [('core::Orphan::f(int)', 5)])
        for bad in ('core::unused\n', 'core::unused #\n', '# why\n  # only a reason\n'):
            with self.subTest(bad):
                with open(path, 'w') as f:
                    f.write(bad)
                if bad.startswith('#'):
                    self.assertEqual(reachability.read_allow_list(path), [])
                else:
                    with self.assertRaisesRegex(ValueError, 'allow.txt:1'):
                        reachability.read_allow_list(path)


if __name__ == '__main__':
    unittest.main()
