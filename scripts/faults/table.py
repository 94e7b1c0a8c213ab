# The planted-fault record as a Markdown table: table.py BEFORE AFTER (outputs of run.sh).
import sys; import os; sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from faults import FAULTS
def load(f):
    d = {}
    for line in open(f):
        if ':' in line:
            k, v = line.split(':', 1); d[k.strip()] = v.split()
    return d
before, after = load(sys.argv[1]), load(sys.argv[2])
def show(v):
    if not v: return 'not run'
    if v == ['build', 'failed']: return 'the build (`static_assert` in paint/convert.cpp)'
    if v == ['NOT', 'CAUGHT']: return '**not caught**'
    if all(':exit' in x for x in v):
        return ', '.join(x.split(':')[0] for x in v) + ' crash (a test program ends with an exception)'
    v = [x.replace('Every/Converters.MatchTheReferenceOverConsecutiveRows/', 'Converters/') for x in v]
    groups = {}
    for x in v:
        suite = x.split('.')[0] if '.' in x else x.split(':')[0]
        groups.setdefault(suite, 0); groups[suite] += 1
    head = ', '.join(v[:2])
    return f'{len(v)}: {head}' + (f' and {len(v)-2} more' if len(v) > 2 else '')
print('| fault | file | caught before trimming | caught after trimming |')
print('|---|---|---|---|')
for f in FAULTS:
    print(f'| {f[1]} | `{f[2]}` | {show(before.get(f[0]))} | {show(after.get(f[0]))} |')
