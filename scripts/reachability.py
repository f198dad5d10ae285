#!/usr/bin/env python3
"""Lists the core library's functions that neither vexal-cli nor vexal can reach.

Method: the linker decides. An analysis build (build-reach/ unless --build-dir) compiles at
-O0 with every function in a section of its own (-ffunction-sections) and links each
program with --gc-sections and a link map (scripts/reachability.cmake). The linker keeps a
section only when a kept section refers to it, starting from the entry point and the
static constructors; so a virtual function counts as reached when the vtable of its class
is referred to by reached code (a constructor that runs), and a function whose address is
taken (function pointer, std::function, a table) when the code or data taking it is kept.
That errs on the side of "reached", never the other way. -O0, because at -O2 a function
inlined into all its callers leaves an unused out-of-line copy: a false alarm.

A core function (a symbol defined in an object of vexal_core) is reported when its section
is among the kept input sections of neither program's map. Weak definitions (inline
functions, template instantiations, implicitly defined members) are left out: they are
emitted where they are used and follow their users. Lambdas are reported through the
function around them; thunks and static initialisers are the compiler's.

Each line that no file below tests/ names says so: reached from nothing at all.

Without Qt 6 the desktop program is not built; then only vexal-cli is checked, and the
report says so. Exit status: 0 nothing unreached outside the allow-list, 1 some, 2 usage
or build error.

    scripts/reachability.py [--build-dir DIR] [--no-build] [--no-gui] [--allow FILE] [--out FILE]
"""
import argparse
import collections
import fnmatch
import glob
import os
import re
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, '..'))
PROGRAMS = ('vexal-cli', 'vexal')

# An input section in the memory map: " .text._Z3foov" and, on the same line or the next,
# its address, size and file ("path/libvexal_core.a(foo.cpp.o)" for an archive member).
SECTION_LINE = re.compile(r'^ (\.\S+)(?:\s+0x[0-9a-f]+\s+0x[0-9a-f]+\s+(\S.*))?$')
PLACEMENT_LINE = re.compile(r'^\s+0x[0-9a-f]+\s+0x[0-9a-f]+\s+(\S.*)$')
# objdump -t: address, seven flag characters, section, size, name.
SYMBOL_LINE = re.compile(r'^[0-9a-f]+ (.{7}) (\S+)\t[0-9a-f]+ (?:\.hidden |\.protected |\.internal )?(\S+)$')
# The standard library's spelled-out types, as the source writes them.
READABLE = (
    ('std::__cxx11::basic_string<char, std::char_traits<char>, std::allocator<char> >', 'std::string'),
    ('std::basic_string_view<char, std::char_traits<char> >', 'std::string_view'),
    ('std::filesystem::__cxx11::path', 'std::filesystem::path'),
    (', 18446744073709551615ul>', '>'),
    ('std::__cxx11::', 'std::'),
)
COMPILER_MADE = ('non-virtual thunk to ', 'virtual thunk to ', 'covariant return thunk to ',
                 '__static_initialization_and_destruction', '_GLOBAL__sub_I_', 'guard variable')


def member_name(placed_file):
    """The object's file name, whether it came loose or from an archive."""
    m = re.search(r'\(([^()]+)\)$', placed_file)
    return os.path.basename(m.group(1) if m else placed_file)


def kept_sections(map_path):
    """{(object file name, section)} of the input sections the linker placed."""
    kept = set()
    in_memory_map = False
    pending = None
    with open(map_path, encoding='utf-8', errors='replace') as f:
        for line in f:
            line = line.rstrip('\n')
            if not in_memory_map:
                in_memory_map = line.startswith('Linker script and memory map')
                continue
            if pending:
                m = PLACEMENT_LINE.match(line)
                if m:
                    kept.add((member_name(m.group(1)), pending))
                pending = None
                continue
            m = SECTION_LINE.match(line)
            if m:
                if m.group(2):
                    kept.add((member_name(m.group(2)), m.group(1)))
                else:
                    pending = m.group(1)
    return kept


def demangle(names):
    names = list(names)
    if not names:
        return {}
    out = subprocess.run(['c++filt'], input='\n'.join(names) + '\n', capture_output=True,
                         text=True, check=True).stdout.split('\n')
    return dict(zip(names, out))


def clean_name(demangled):
    """The function a symbol belongs to, or None for what the compiler made."""
    name = re.sub(r'\.(cold|part\.\d+|constprop\.\d+|isra\.\d+|localalias)+$', '', demangled)
    name = name.replace('[abi:cxx11]', '')
    for long, short in READABLE:
        name = name.replace(long, short)
    if name.startswith(COMPILER_MADE) or '{lambda(' in name:
        return None
    return name


def short_name(name):
    """"a::(anonymous namespace)::B<int>::f(int) const" -> "f"."""
    head = name.replace('(anonymous namespace)', '').split('(', 1)[0]
    while True:  # template arguments, innermost first ("operator<" keeps its "<")
        shorter = re.sub(r'<[^<>]*>', '', head)
        if shorter == head:
            break
        head = shorter
    return head.rsplit('::', 1)[-1]


def defined_in(source_text, name):
    """Whether a line of the source starts a definition of the function: only a return type
    and qualifiers before the name, then the parameters and a body with no ";" between (a
    call has one, or stands after a "(" or an operator)."""
    short = short_name(name)
    for m in re.finditer(r'(?<![\w~])' + re.escape(short) + r'\s*\(', source_text):
        line_start = source_text.rfind('\n', 0, m.start()) + 1
        if not PREFIX.match(source_text, line_start, m.start()):
            continue
        depth, i = 0, m.end() - 1
        while i < len(source_text):
            depth += {'(': 1, ')': -1}.get(source_text[i], 0)
            if depth == 0:
                break
            i += 1
        after = re.match(r'[^;{}]*([;{}])', source_text[i + 1:])
        if after and after.group(1) == '{':
            return True
    return False


# What may stand before a function's name on the line that defines it.
PREFIX = re.compile(r'[ \t]*(?:[\w:<>,*&\[\]]+[ \t]+)*[*&]*(?:\w+(?:<[^<>;{}()]*>)?::)*$')


def core_functions(objects, object_root, source_root):
    """[(source, function name, object file name, section)] of the strong functions the
    objects define; `source` is the object's path below object_root without ".o", the
    source file's path below source_root. A file-local function counts only when that file
    names it: the others are static inline functions of headers (the C library's too)."""
    rows = []
    mangled = set()
    for chunk in range(0, len(objects), 200):
        part = objects[chunk:chunk + 200]
        dump = subprocess.run(['objdump', '-t'] + part, capture_output=True, text=True,
                              check=True).stdout
        current = None
        for line in dump.split('\n'):
            if line.endswith('file format elf64-x86-64') or re.search(r':\s+file format ', line):
                current = line.split(':')[0]
                continue
            m = SYMBOL_LINE.match(line)
            if not m or current is None:
                continue
            flags, section, symbol = m.groups()
            if flags[6] != 'F' or flags[1] == 'w' or section == '*UND*':
                continue
            source = os.path.relpath(current, object_root)
            source = source[:-2] if source.endswith('.o') else source
            rows.append((source, symbol, os.path.basename(current), section, flags[0] == 'l'))
            mangled.add(symbol)
    names = demangle(sorted(mangled))
    texts = {}
    result = []
    for source, symbol, member, section, local in rows:
        name = clean_name(names.get(symbol, symbol))
        if not name:
            continue
        if local:
            if source not in texts:
                path = os.path.join(source_root, source)
                texts[source] = ''
                if os.path.exists(path):
                    with open(path, encoding='utf-8', errors='replace') as f:
                        texts[source] = f.read()
            if not defined_in(texts[source], name):
                continue
        result.append((source, name, member, section))
    return result


def unreached(functions, kept_sets):
    """{source: sorted names} of functions none of whose sections any program kept.
    Variants of one function (the complete and base constructor, the deleting destructor)
    count as reached together."""
    reached = set()
    for source, name, member, section in functions:
        if any((member, section) in kept for kept in kept_sets):
            reached.add((source, name))
    result = collections.defaultdict(set)
    for source, name, member, section in functions:
        if (source, name) not in reached:
            result[source].add(name)
    return {source: sorted(names) for source, names in sorted(result.items())}


def read_allow_list(path):
    """[(pattern, why, line number)]; every entry must say why it is kept."""
    entries = []
    with open(path, encoding='utf-8') as f:
        for number, line in enumerate(f, 1):
            text = line.strip()
            if not text or text.startswith('#'):
                continue
            pattern, sep, why = text.partition('#')
            if not sep or not why.strip() or not pattern.strip():
                raise ValueError(f'{path}:{number}: an entry needs a name and "# why"')
            entries.append((pattern.strip(), why.strip(), number))
    return entries


def allowed(name, pattern):
    """An entry names a function with or without its parameter list, or is a glob over the
    name or over "src/FILE:name"."""
    return name == pattern or name.startswith(pattern + '(') or fnmatch.fnmatchcase(name, pattern)


def apply_allow_list(found, entries):
    """(what is left, entries that matched nothing)."""
    used = set()
    left = {}
    for source, names in found.items():
        rest = []
        for name in names:
            hits = [e for e in entries if allowed(name, e[0]) or allowed('src/' + source + ':' + name, e[0])]
            used.update(e[2] for e in hits)
            if not hits:
                rest.append(name)
        if rest:
            left[source] = rest
    return left, [e for e in entries if e[2] not in used]


def configure_and_build(build_dir, want_gui, jobs):
    """Builds the programs with the analysis flags; returns the programs built."""
    env = dict(os.environ)
    env.setdefault('CCACHE_DIR', '/var/cache/vexal-ccache')
    env.setdefault('CCACHE_BASEDIR', ROOT)
    env.setdefault('CCACHE_NOHASHDIR', '1')
    launcher = ['-DCMAKE_CXX_COMPILER_LAUNCHER=ccache'] if shutil.which('ccache') else []
    base = ['cmake', '-S', ROOT, '-B', build_dir, '-G', 'Ninja', '-DCMAKE_BUILD_TYPE=Debug',
            '-DCMAKE_CXX_FLAGS_DEBUG=-O0', '-DVEXAL_TESTS=OFF', '-DVEXAL_BENCH=OFF',
            '-DVEXAL_SANITIZE=OFF', '-DVEXAL_FUZZ=OFF',
            '-DCMAKE_PROJECT_INCLUDE=' + os.path.join(HERE, 'reachability.cmake')] + launcher
    gui = want_gui
    if gui:
        done = subprocess.run(base + ['-DVEXAL_GUI=ON'], env=env, capture_output=True, text=True)
        if done.returncode != 0:
            # Qt 6 missing: the cache is left half-made, so start it again without the GUI.
            gui = False
            cache = os.path.join(build_dir, 'CMakeCache.txt')
            if os.path.exists(cache):
                os.remove(cache)
    if not gui:
        subprocess.run(base + ['-DVEXAL_GUI=OFF'], env=env, check=True, capture_output=True)
    programs = list(PROGRAMS if gui else PROGRAMS[:1])
    for program in programs:  # a stale map must not survive a failed link
        if os.path.exists(os.path.join(build_dir, program + '.map')):
            os.remove(os.path.join(build_dir, program + '.map'))
    subprocess.run(['cmake', '--build', build_dir, '-j', str(jobs), '--target'] + programs,
                   env=env, check=True, stdout=subprocess.DEVNULL)
    return programs


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    parser.add_argument('--build-dir', default=os.path.join(ROOT, 'build-reach'))
    parser.add_argument('--no-build', action='store_true',
                        help='use the maps and objects already in the build folder')
    parser.add_argument('--no-gui', action='store_true', help='check vexal-cli only')
    parser.add_argument('--allow', default=os.path.join(HERE, 'reachability-allow.txt'))
    parser.add_argument('--out', help='also write the list to this file')
    parser.add_argument('--jobs', type=int, default=os.cpu_count() or 1)
    args = parser.parse_args(argv)
    build_dir = os.path.abspath(args.build_dir)
    try:
        entries = read_allow_list(args.allow) if os.path.exists(args.allow) else []
    except ValueError as e:
        print(f'reachability: {e}', file=sys.stderr)
        return 2

    if args.no_build:
        programs = [p for p in PROGRAMS if os.path.exists(os.path.join(build_dir, p + '.map'))]
        if args.no_gui:
            programs = programs[:1]
    else:
        try:
            programs = configure_and_build(build_dir, not args.no_gui, args.jobs)
        except (subprocess.CalledProcessError, OSError) as e:
            print(f'reachability: the analysis build failed: {e}', file=sys.stderr)
            return 2
    if not programs:
        print(f'reachability: no link map in {build_dir}', file=sys.stderr)
        return 2
    object_root = os.path.join(build_dir, 'src', 'CMakeFiles', 'vexal_core.dir')
    # Objects of sources that were moved or deleted stay in the build folder: leave them out.
    objects = sorted(o for o in glob.glob(os.path.join(object_root, '**', '*.o'), recursive=True)
                     if os.path.exists(os.path.join(ROOT, 'src', os.path.relpath(o, object_root)[:-2])))
    if not objects:
        print(f'reachability: no object of vexal_core in {object_root}', file=sys.stderr)
        return 2

    kept = [kept_sections(os.path.join(build_dir, p + '.map')) for p in programs]
    found = unreached(core_functions(objects, object_root, os.path.join(ROOT, 'src')), kept)
    left, stale = apply_allow_list(found, entries)

    # Which of them the tests at least name (by the bare name: a hint, not a call graph).
    test_text = ''
    for path in glob.glob(os.path.join(ROOT, 'tests', '**', '*.[ch]*'), recursive=True):
        with open(path, encoding='utf-8', errors='replace') as f:
            test_text += f.read()
    lines = []
    for source, names in left.items():
        lines.append('src/' + source)
        for name in names:
            named = re.search(r'(?<![\w~])' + re.escape(short_name(name)) + r'\b', test_text)
            lines.append('  ' + name + ('' if named else '   (no test names it)'))
    count = sum(len(names) for names in left.values())
    checked = ' nor '.join(programs) if len(programs) > 1 else programs[0]
    summary = (f'{count} core function(s) in {len(left)} file(s) reachable from neither '
               f'{checked}' if len(programs) > 1 else
               f'{count} core function(s) in {len(left)} file(s) not reachable from {checked}')
    allowed_count = sum(len(n) for n in found.values()) - count
    if allowed_count:
        summary += f' ({allowed_count} more kept on purpose by the allow-list)'
    print('\n'.join(lines + [summary]))
    if len(programs) == 1 and not args.no_gui:
        print('note: Qt 6 is not installed, the desktop program was not built: '
              'only vexal-cli was checked')
    for pattern, why, number in stale:
        print(f'note: allow-list entry on line {number} matches nothing unreached: {pattern}')
    if args.out:
        with open(args.out, 'w', encoding='utf-8') as f:
            f.write('\n'.join(lines + [summary]) + '\n')
    return 1 if count else 0


if __name__ == '__main__':
    sys.exit(main())
