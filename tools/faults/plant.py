#!/usr/bin/env python3
"""Plants deliberate faults one at a time and records which tests catch each.

Usage: tools/faults/plant.py TREE FAULTS OUT.json [--tests REGEX] [ID,ID...]

TREE is a checkout with a configured build/ (use a copy: each fault is
written into its source file, built, tested and then taken out again).
FAULTS holds one fault a line: id@@file@@old text@@new text@@what, where the
old text must occur exactly once in the file and ⏎ stands for a line break.
The tests are CTest's (all but step_limit_test, or those matching --tests);
each fault's failing GoogleTest cases, QtTest functions and CTest entries
are written to OUT.json, which a later run extends. A test that is the only
one failing for some fault is one to keep; a fault that nothing catches is
a missing test or an equivalent change. The lists here were written for the
code as it stood when they were made: a fault whose old text is no longer
found is reported as such.
"""
import json
import os
import re
import subprocess
import sys


def failing_tests(tree, tests):
    selection = ['-R', tests] if tests else ['-E', 'step_limit_test']
    run = subprocess.run(['ctest', '--test-dir', 'build', '-j2', '--timeout', '120',
                          '--output-on-failure'] + selection, cwd=tree, capture_output=True,
                         text=True, errors='replace',
                         env=dict(os.environ, QT_QPA_PLATFORM='offscreen'))
    failed = set(re.findall(r'^\[  FAILED  \] (\S+\.\S+?)(?:,| \(|$)', run.stdout, re.M))
    failed |= set(re.findall(r'^FAIL!  : (\S+?)\(', run.stdout, re.M))
    for name, how in re.findall(r'^\s*\d+ - (\S+) \(([^)]+)\)', run.stdout, re.M):
        failed.add('ctest:%s:%s' % (name, how))
    return sorted(failed)


def main():
    args = sys.argv[1:]
    tests = None
    if '--tests' in args:
        at = args.index('--tests')
        tests = args[at + 1]
        del args[at:at + 2]
    tree, faults, out = args[:3]
    only = set(args[3].split(',')) if len(args) > 3 else None
    results = json.load(open(out)) if os.path.exists(out) else {}
    for line in open(faults, encoding='utf-8'):
        if line.startswith('#') or not line.strip():
            continue
        fault, path, old, new, what = line.rstrip('\n').split('@@')
        if only and fault not in only:
            continue
        old, new = old.replace('⏎', '\n'), new.replace('⏎', '\n')
        source = os.path.join(tree, path)
        text = open(source, encoding='utf-8').read()
        if text.count(old) != 1:
            results[fault] = {'what': what, 'error': 'old text found %d times' % text.count(old)}
        else:
            open(source, 'w', encoding='utf-8').write(text.replace(old, new))
            try:
                build = subprocess.run(['nice', 'cmake', '--build', 'build', '-j2'], cwd=tree,
                                       capture_output=True, text=True, errors='replace')
                if build.returncode != 0:
                    results[fault] = {'what': what, 'error': 'does not build'}
                else:
                    results[fault] = {'what': what, 'file': path,
                                      'failed': failing_tests(tree, tests)}
            finally:
                open(source, 'w', encoding='utf-8').write(text)
        json.dump(results, open(out, 'w'), indent=1, ensure_ascii=False)
        print(fault, results[fault].get('error') or ', '.join(results[fault]['failed']) or 'CAUGHT BY NOTHING',
              flush=True)
    subprocess.run(['nice', 'cmake', '--build', 'build', '-j2'], cwd=tree, capture_output=True)


if __name__ == '__main__':
    main()
