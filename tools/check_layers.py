#!/usr/bin/env python3
"""Checks the includes of core/ against the layer order of docs/layers.md.

A file may include headers of its own layer and of the layers before it in the order, the headers
listed as included everywhere, and what a line of the exceptions table allows. An installed header
(not *Private.h) never includes a private one. Exits 1 and lists every violation, else prints a
summary line. Exceptions that no include needs any more are listed as warnings, so the page stays
true.
"""
import fnmatch
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"((?:core|engine|backend)/[^"]+)"', re.M)
SOURCE_SUFFIXES = ('.h', '.cpp', '.inc', '.inl')


def backticked(text):
    return re.findall(r'`([^`]+)`', text)


def read_rules(path):
    """The layers (a list of pattern lists), the everywhere list and the exceptions table."""
    layers, everywhere, exceptions = [], [], []
    section = None
    with open(path, encoding='utf-8') as f:
        for line in f:
            if line.startswith('## '):
                section = line[3:].strip().lower()
                continue
            if section == 'order':
                m = re.match(r'\s*\d+\.\s+(.*)', line)
                if m:
                    head = m.group(1).split('--')[0]
                    layers.append(backticked(head))
            elif section == 'included everywhere':
                if line.lstrip().startswith('- '):
                    everywhere.extend(backticked(line.split('(')[0]))
            elif section == 'exceptions':
                cells = [c.strip() for c in line.strip().strip('|').split('|')]
                if len(cells) >= 3 and cells[0].startswith('`'):
                    exceptions.append([backticked(cells[0]), backticked(cells[1]), False])
    if not layers:
        sys.exit('check_layers: no layer order found in %s' % path)
    return layers, everywhere, exceptions


def is_specific(pattern):
    """File patterns (with a file name or a wildcard) win over whole folders."""
    return '*' in pattern or '.' in os.path.basename(pattern)


def matches(path, pattern):
    if is_specific(pattern):
        return fnmatch.fnmatchcase(path, pattern)
    return path == pattern or path.startswith(pattern.rstrip('/') + '/')


def layer_of(path, layers):
    for specific in (True, False):
        for index, patterns in enumerate(layers):
            for pattern in patterns:
                if is_specific(pattern) == specific and matches(path, pattern):
                    return index
    return None


def self_test():
    """The check itself: a copy of the rules over a small tree must find exactly its faults."""
    import shutil
    import tempfile
    here = os.path.abspath(os.path.join(os.path.dirname(__file__), '..'))
    tree = tempfile.mkdtemp()
    try:
        os.makedirs(os.path.join(tree, 'docs'))
        shutil.copy(os.path.join(here, 'docs', 'layers.md'), os.path.join(tree, 'docs'))
        files = {
            'core/text/Good.cpp': '#include "core/memory/Memory.h"\n#include "core/frame/Console.h"\n',
            'core/text/Bad.cpp': '#include "core/streams/Stream.h"\n',
            'core/text/Public.h': '#include "core/text/TextPrivate.h"\n',
            'core/text/TextPrivate.h': '#include "core/text/String.h"\n',
            'core/streams/Disk.cpp': '#include "core/platform/FileStreamWin32.h"\n',
            'core/platform/SysFiles.cpp': '#include "core/text/Conversion.h"\n',
        }
        for name, text in files.items():
            os.makedirs(os.path.dirname(os.path.join(tree, name)), exist_ok=True)
            with open(os.path.join(tree, name), 'w') as f:
                f.write(text)
        import io
        import contextlib
        out = io.StringIO()
        with contextlib.redirect_stdout(out):
            rc = check(tree)
        found = sorted(l.split(':')[0] for l in out.getvalue().splitlines()
                       if l.startswith('core/'))
        expected = ['core/streams/Disk.cpp', 'core/text/Bad.cpp', 'core/text/Public.h']
        if rc != 1 or found != expected:
            print(out.getvalue())
            print('check_layers: self-test failed: found %s, expected %s' % (found, expected))
            return 1
        print('check_layers: self-test passed')
        return 0
    finally:
        shutil.rmtree(tree)


def main():
    if len(sys.argv) > 1 and sys.argv[1] == '--self-test':
        return self_test()
    return check(os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else
                                 os.path.join(os.path.dirname(__file__), '..')))


def check(root):
    layers, everywhere, exceptions = read_rules(os.path.join(root, 'docs', 'layers.md'))
    violations = []
    ct_files = ct_includes = 0
    for top in ('core', 'engine', 'backend'):
        for folder, _, names in os.walk(os.path.join(root, top)):
            for name in sorted(names):
                if not name.endswith(SOURCE_SUFFIXES):
                    continue
                path = os.path.relpath(os.path.join(folder, name), root).replace(os.sep, '/')
                ct_files += 1
                own = layer_of(path, layers)
                if own is None:
                    violations.append('%s: in no layer of docs/layers.md' % path)
                    continue
                with open(os.path.join(root, path), encoding='utf-8', errors='replace') as f:
                    text = f.read()
                for m in INCLUDE.finditer(text):
                    included = m.group(1)
                    ct_includes += 1
                    line = text.count('\n', 0, m.start()) + 1
                    where = '%s:%d' % (path, line)
                    if (path.endswith('.h') and not path.endswith('Private.h') and
                            included.endswith('Private.h')):
                        violations.append('%s: installed header includes private %s' %
                                          (where, included))
                        continue
                    if any(matches(included, p) for p in everywhere):
                        continue
                    target = layer_of(included, layers)
                    if target is None or target <= own:
                        continue
                    allowed = False
                    for exception in exceptions:
                        if (any(matches(path, p) for p in exception[0]) and
                                any(matches(included, p) for p in exception[1])):
                            exception[2] = True
                            allowed = True
                    if not allowed:
                        violations.append('%s: layer %d includes %s of layer %d' %
                                          (where, own + 1, included, target + 1))
    for files, allowed, used in exceptions:
        if not used:
            print('check_layers: warning: exception no longer needed: %s -> %s' %
                  (' '.join(files), ' '.join(allowed)))
    for v in violations:
        print(v)
    print('Layers: %d files, %d includes checked, %d violations' %
          (ct_files, ct_includes, len(violations)))
    return 1 if violations else 0


if __name__ == '__main__':
    sys.exit(main())
